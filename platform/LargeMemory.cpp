#include "platform/LargeMemory.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>
#include <unordered_map>

namespace lumivane::LargeMemory {

namespace {

struct Spare {
    void* block = nullptr;
    size_t bytes = 0;
};

class Pool {
public:
    void* take(size_t bytes) {
        if (bytes < minimumBytes || bytes > SIZE_MAX - hugePage) return nullptr;
        const size_t rounded = (bytes + hugePage - 1) & ~(hugePage - 1);
        {
            std::lock_guard guard(lock_);
            // The smallest spare that fits without wasting more than a quarter of it.
            Spare* best = nullptr;
            for (Spare& s : spares_)
                if (s.block && s.bytes >= rounded && s.bytes - rounded <= s.bytes / 4 && (!best || s.bytes < best->bytes))
                    best = &s;
            if (best) {
                void* block = best->block;
                sizes_[block] = best->bytes;
                *best = Spare{};
                return block;
            }
        }
        void* block = std::aligned_alloc(hugePage, rounded);
        if (!block) return nullptr;
        madvise(block, rounded, MADV_HUGEPAGE);
        std::lock_guard guard(lock_);
        sizes_[block] = rounded;
        return block;
    }

    void give(void* block) {
        if (!block) return;
        void* drop = nullptr;
        {
            std::lock_guard guard(lock_);
            auto it = sizes_.find(block);
            const size_t bytes = it == sizes_.end() ? 0 : it->second;
            if (it != sizes_.end()) sizes_.erase(it);
            // Keep the newest two; the older one goes.
            drop = spares_[1].block;
            spares_[1] = spares_[0];
            spares_[0] = Spare{block, bytes};
        }
        std::free(drop);
    }

private:
    std::mutex lock_;
    std::unordered_map<void*, size_t> sizes_;
    std::array<Spare, 2> spares_;
};

// Never destroyed: images may be released during static destruction.
Pool& pool() {
    static auto* p = new Pool;
    return *p;
}

} // namespace

void* take(size_t bytes) { return pool().take(bytes); }
void give(void* block) { pool().give(block); }

} // namespace lumivane::LargeMemory

namespace lumivane::LargeMemory {

size_t availableBytes() {
    if (std::FILE* f = std::fopen("/proc/meminfo", "re")) {
        char line[256];
        unsigned long long kib = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
        std::fclose(f);
        if (found) return size_t(kib) * 1024;
    }
    const long pages = sysconf(_SC_AVPHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? size_t(pages) * size_t(pageSize) : 0;
}

} // namespace lumivane::LargeMemory
