#include "core/LargeMemory.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>
#include <unordered_map>

namespace lumivane::LargeMemory {

namespace {

#ifdef MADV_POPULATE_WRITE
constexpr int populateWrite = MADV_POPULATE_WRITE;
#else
constexpr int populateWrite = 23; // Linux 5.14
#endif

struct Spare {
    void* block = nullptr;
    size_t bytes = 0;
};

class Pool {
public:
    void* take(size_t bytes) {
        if (bytes < minimumBytes || bytes > SIZE_MAX - hugePage)
            return nullptr;
        const size_t rounded = (bytes + hugePage - 1) & ~(hugePage - 1);
        {
            std::lock_guard guard(lock_);
            // The smallest spare that fits without wasting more than a quarter of it.
            Spare* best = nullptr;
            for (Spare& s : spares_)
                if (s.block && s.bytes >= rounded && s.bytes - rounded <= s.bytes / 4 &&
                    (!best || s.bytes < best->bytes))
                    best = &s;
            noteActivity();
            if (best) {
                void* block = best->block;
                sizes_[block] = best->bytes;
                *best = Spare{};
                return block;
            }
        }
        void* block = std::aligned_alloc(hugePage, rounded);
        if (!block)
            return nullptr;
        madvise(block, rounded, MADV_HUGEPAGE);
        // The caller fills the block: fault it in with one call rather than one trap a
        // page (where huge pages are not to be had). Older kernels refuse; nothing lost.
        madvise(block, rounded, populateWrite);
        std::lock_guard guard(lock_);
        sizes_[block] = rounded;
        return block;
    }

    void setIdleDelay(std::chrono::milliseconds delay) {
        std::lock_guard guard(lock_);
        idleDelay_ = delay;
        wake_.notify_all();
    }

    void trimWhenIdle() {
        std::lock_guard guard(lock_);
        noteActivity();
    }

    void trimNow() {
        std::unique_lock lock(lock_);
        trim(lock);
    }

    void give(void* block) {
        if (!block)
            return;
        void* drop = nullptr;
        {
            std::lock_guard guard(lock_);
            auto it = sizes_.find(block);
            const size_t bytes = it == sizes_.end() ? 0 : it->second;
            if (it != sizes_.end())
                sizes_.erase(it);
            // Keep the newest two; the older one goes.
            drop = spares_[1].block;
            spares_[1] = spares_[0];
            spares_[0] = Spare{block, bytes};
            noteActivity();
        }
        std::free(drop);
    }

private:
    using Clock = std::chrono::steady_clock;

    // Under lock_: (re)arms the idle trim.
    void noteActivity() {
        lastActivity_ = Clock::now();
        trimPending_ = true;
        if (!trimmer_) {
            trimmer_ = true;
            std::thread([this] { trimLoop(); }).detach();
        }
        wake_.notify_all();
    }

    void trimLoop() {
        std::unique_lock lock(lock_);
        for (;;) {
            wake_.wait(lock, [this] { return trimPending_; });
            // Wait until nothing has happened for the whole delay.
            while (trimPending_ && Clock::now() < lastActivity_ + idleDelay_)
                wake_.wait_until(lock, lastActivity_ + idleDelay_);
            if (trimPending_)
                trim(lock);
        }
    }

    // Called and returns with `lock` held; frees outside it.
    void trim(std::unique_lock<std::mutex>& lock) {
        trimPending_ = false;
        const std::array<Spare, 2> drop = spares_;
        spares_ = {};
        lock.unlock();
        for (const Spare& s : drop)
            std::free(s.block);
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
        lock.lock();
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::unordered_map<void*, size_t> sizes_;
    std::array<Spare, 2> spares_;
    std::chrono::milliseconds idleDelay_{defaultIdleTrimDelayMs};
    Clock::time_point lastActivity_;
    bool trimPending_ = false;
    bool trimmer_ = false;
};

// Never destroyed: images may be released during static destruction.
Pool& pool() {
    static auto* p = new Pool;
    return *p;
}

} // namespace

void* take(size_t bytes) {
    return pool().take(bytes);
}
void give(void* block) {
    pool().give(block);
}
void setIdleTrimDelay(int milliseconds) {
    pool().setIdleDelay(std::chrono::milliseconds(milliseconds));
}
void trimWhenIdle() {
    pool().trimWhenIdle();
}
void trimNow() {
    pool().trimNow();
}

} // namespace lumivane::LargeMemory

namespace lumivane::LargeMemory {

size_t availableBytes() {
    if (std::FILE* f = std::fopen("/proc/meminfo", "re")) {
        char line[256];
        unsigned long long kib = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
        std::fclose(f);
        if (found)
            return size_t(kib) * 1024;
    }
    const long pages = sysconf(_SC_AVPHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? size_t(pages) * size_t(pageSize) : 0;
}

} // namespace lumivane::LargeMemory
