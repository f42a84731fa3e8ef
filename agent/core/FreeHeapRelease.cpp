#include "FreeHeapRelease.h"

#include <malloc.h>

namespace heap {

bool releaseFreePages(std::size_t minFreeBytes)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 info = mallinfo2();
    if (info.fordblks < minFreeBytes)
        return false;
    malloc_trim(0);
    return true;
#else
    (void)minFreeBytes;
    return false;
#endif
}

} // namespace heap
