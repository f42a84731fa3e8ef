#include "PluginResultMemory.h"
#include "ZamResultSection.h"

#include <atomic>
#include <limits>
#include <cstring>
#include <vector>

namespace {
std::atomic<PluginResultBufferAccessor> g_accessor{nullptr};
}

void setPluginResultBufferAccessor(PluginResultBufferAccessor accessor)
{
    g_accessor.store(accessor);
}

void* appendResultSection(QByteArray& buffer, unsigned size, int type)
{
    if (size > zamsection::kMaxDataSize)
        return nullptr;
    const size_t pad = zamsection::paddingFor(size);
    const size_t length = zamsection::sectionLength(size);
    const size_t start = static_cast<size_t>(buffer.size());
    if (start + length > static_cast<size_t>(std::numeric_limits<int>::max()))
        return nullptr;
    buffer.resize(static_cast<int>(start + length));
    char* section = buffer.data() + start;  // detaches: the buffer is the record's own
    std::memset(section, 0, length);
    const uint32_t len32 = static_cast<uint32_t>(length);
    const int32_t type32 = type;
    std::memcpy(section, &len32, 4);
    std::memcpy(section + 4, &type32, 4);
    section[length - 1] = static_cast<char>(pad + 9);
    return section + zamsection::kHeaderSize;
}

void* pluginResultMemory(stZamMonitor* monitor, unsigned size, int type)
{
    const PluginResultBufferAccessor accessor = g_accessor.load();
    if (!monitor || !accessor)
        return nullptr;
    QByteArray* buffer = accessor(monitor);
    return buffer ? appendResultSection(*buffer, size, type) : nullptr;
}

void clearResults(stZamMonitor* monitor)
{
    const PluginResultBufferAccessor accessor = g_accessor.load();
    if (!monitor || !accessor)
        return;
    if (QByteArray* buffer = accessor(monitor))
        buffer->clear();
}
