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
}
