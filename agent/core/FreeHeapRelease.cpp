#include "FreeHeapRelease.h"

#include <QtGlobal>

#include <malloc.h>
#include <unistd.h>

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

void limitArenas(int arenasPerCore)
{
#if defined(__GLIBC__)
    if (qEnvironmentVariableIsSet("MALLOC_ARENA_MAX"))
        return;   // the operator's own choice
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    mallopt(M_ARENA_MAX, static_cast<int>(qBound(1L, cores, 1024L)) * arenasPerCore);
#else
    (void)arenasPerCore;
#endif
}

} // namespace heap
