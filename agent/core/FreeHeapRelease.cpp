#include "FreeHeapRelease.h"

#include <QtGlobal>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>
#include <sys/auxv.h>
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

void limitThreadCaches(char** argv)
{
#if defined(__GLIBC__)
    static const char kName[] = "GLIBC_TUNABLES";
    static const char kTunable[] = "glibc.malloc.tcache_count";
    static const char kOurs[] = "glibc.malloc.tcache_count=1";
    // Marks the re-run, so it happens once whatever glibc makes of the variable.
    static const char kRerun[] = "NETAGENTD_HEAP_RERUN";
    const char* current = std::getenv(kName);
    const bool rerun = std::getenv(kRerun) != nullptr;
    if (rerun || (current && std::strstr(current, kTunable))) {
        // The programs the checks start inherit neither the mark nor a setting of ours alone.
        if (rerun && current && std::strcmp(current, kOurs) == 0)
            ::unsetenv(kName);
        ::unsetenv(kRerun);
        return;
    }
    // A set-id start filters the environment's tunables: a re-run would not take it.
    if (::getauxval(AT_SECURE))
        return;
    // The program's own path, so the process keeps its name (/proc/self/exe would be "exe").
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return;
    path[length] = '\0';
    const std::string before = current ? current : "";
    const std::string value = before.empty() ? std::string(kOurs) : before + ":" + kOurs;
    ::setenv(kName, value.c_str(), 1);
    ::setenv(kRerun, "1", 1);
    ::execv(path, argv);
    // Not re-run: go on with glibc's caches.
    ::unsetenv(kRerun);
    if (current)
        ::setenv(kName, before.c_str(), 1);
    else
        ::unsetenv(kName);
#else
    (void)argv;
#endif
}

} // namespace heap
