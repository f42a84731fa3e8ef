#pragma once
#include <cstddef>

// Hands free heap pages back to the system. glibc keeps what a thread frees in that thread's
// arena; with a hundred task threads and sessions that come and go, those arenas hold tens of
// megabytes nobody uses (the live heap stays flat while the resident size climbs with each
// dropped session). The service loop calls this now and then; it trims only when the arenas
// hold at least minFreeBytes free, and answers whether it trimmed.
// Any thread; it briefly locks each arena in turn.
namespace heap {
bool releaseFreePages(std::size_t minFreeBytes);
// Caps glibc's arenas at arenasPerCore per online core (its own cap is 8): fewer arenas hold
// less memory freed by one thread and needed by none. MALLOC_ARENA_MAX in the environment
// wins. Call before the first thread starts.
void limitArenas(int arenasPerCore);
// Keeps glibc's per-thread caches to one block per size. Each of a hundred task threads caches
// up to seven freed blocks of every size it has freed, wherever they came from; those blocks
// count as in use, so no trim returns them, and with threads freeing what others allocated the
// resident size crept up for minutes of steady polling while the live heap stayed flat. The
// cache is set only from the environment at start, so this runs the program again in place
// (same pid, same name, same arguments) with GLIBC_TUNABLES naming it, once; an operator's own
// tcache setting is kept. Returns only when nothing was re-run. Call first in main.
void limitThreadCaches(char** argv);
}
