#include "SnmpTrapTextCache.h"

#include "SnmpTrapRecordBuilder.h"

#include <cstdint>
#include <cstring>

namespace {

// FNV-1a over eight bytes at a time: OIDs are arrays of machine words.
quint32 hashOf(int kind, const unsigned char* p, size_t size)
{
    uint64_t h = 1469598103934665603ULL ^ static_cast<uint64_t>(kind);
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        h = (h ^ word) * 1099511628211ULL;
    }
    for (; i < size; ++i)
        h = (h ^ p[i]) * 1099511628211ULL;
    return static_cast<quint32>(h ^ (h >> 29));
}

} // namespace

SnmpTrapTextCache::SnmpTrapTextCache() : m_slots(kSlots) {}

QString SnmpTrapTextCache::oidText(const unsigned long* name, size_t length)
{
    if (!name)
        return QString();
    return text(Oid, name, length * sizeof(unsigned long));
}

QString SnmpTrapTextCache::make(Kind kind, const void* bytes, size_t size)
{
    switch (kind) {
    case Oid:
        return snmptrap::oidText(static_cast<const unsigned long*>(bytes), size / sizeof(unsigned long));
    case Utf8:
        return QString::fromUtf8(static_cast<const char*>(bytes), static_cast<int>(size));
    case Latin1:
        return QString::fromLatin1(static_cast<const char*>(bytes), static_cast<int>(size));
    }
    return QString();
}

QString SnmpTrapTextCache::text(Kind kind, const void* bytes, size_t size)
{
    // a null pointer makes a null string, which the stream form tells from an empty one
    if (!bytes || size > static_cast<size_t>(kMaxKeyBytes))
        return make(kind, bytes, size);
    const auto* p = static_cast<const unsigned char*>(bytes);
    Slot& slot = m_slots[hashOf(kind, p, size) % kSlots];
    if (slot.kind == kind && static_cast<size_t>(slot.key.size()) == size
        && std::memcmp(slot.key.constData(), p, size) == 0)
        return slot.text;
    slot.kind = kind;
    slot.key = QByteArray(reinterpret_cast<const char*>(p), static_cast<int>(size));
    slot.text = make(kind, bytes, size);
    return slot.text;
}
