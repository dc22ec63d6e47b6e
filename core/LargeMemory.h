#pragma once
#include <cstddef>

// Memory for screen-sized pixel buffers. A fresh 4K-screen buffer costs thousands
// of first-touch page faults, which dominate grabs, renders and encodes on
// virtualised machines; so blocks are 2 MiB-aligned and advised for transparent
// huge pages, and the two most recently released blocks are kept for reuse while
// blocks are in use. Once no block has been taken or released for idleTrimDelay, the
// kept blocks go back to the system and the C library returns its free heap pages
// (malloc_trim). Thread-safe.
namespace lumivane::LargeMemory {

inline constexpr size_t hugePage = size_t(2) << 20;
inline constexpr size_t minimumBytes = 2 * hugePage;

// Uninitialised memory of at least `bytes`; null below minimumBytes or when memory
// runs out. Release with give().
void* take(size_t bytes);
void give(void* block);

inline constexpr int defaultIdleTrimDelayMs = 3000;
// Changes the idle delay (tests). Thread-safe.
void setIdleTrimDelay(int milliseconds);
// (Re)arms the idle trim, as taking or releasing a block does: for work that frees
// much heap memory of its own when it ends (an encode's buffers).
void trimWhenIdle();
// Trims now: the kept blocks are freed and the heap is trimmed.
void trimNow();

} // namespace lumivane::LargeMemory

namespace lumivane::LargeMemory {
// Memory the system can still hand out without swapping (MemAvailable of
// /proc/meminfo, else free physical pages), in bytes; 0 when unknown.
size_t availableBytes();
} // namespace lumivane::LargeMemory
