// Memory a finished thread freed in its own arena, behind a block still in use (so free() alone
// cannot shrink the heap), goes back to the system on a release.
#include "core/FreeHeapRelease.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

TEST(FreeHeapRelease, GivesAThreadsFreedArenaMemoryBack)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own heap";
#endif
    constexpr int kBlocks = 12000;
    constexpr std::size_t kBlockSize = 4096; // below the mmap threshold: arena memory
    void* pinned = nullptr;
    std::thread worker([&] {
        std::vector<void*> blocks;
        for (int i = 0; i < kBlocks; ++i) {
            blocks.push_back(std::malloc(kBlockSize));
            std::memset(blocks.back(), 1, kBlockSize);
        }
        pinned = blocks.back(); // the newest block, at the top of the heap, stays in use
        blocks.pop_back();
        for (void* b : blocks)
            std::free(b);
    });
    worker.join();
    const long before = residentKb();
    EXPECT_TRUE(heap::releaseFreePages(16u << 20));
    const long after = residentKb();
    EXPECT_GT(before - after, 30 * 1024) << before << " kB before, " << after << " kB after";
    EXPECT_FALSE(heap::releaseFreePages(1u << 30)) << "nothing to do below the threshold";
    std::free(pinned);
}

} // namespace
