// Slot pools: per-thread caches over slabs that live as long as the process.
#include "vinca/model/pool.h"

#include <atomic>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define VINCA_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VINCA_POOL_ASAN 1
#endif
#endif

#ifdef VINCA_POOL_ASAN
#include <sanitizer/asan_interface.h>
#define POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define POOL_POISON(p, n) ((void)(p), (void)(n))
#define POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace vinca {

namespace {
constexpr unsigned kMaxPools = 8;
constexpr size_t kSlabBytes = 1 << 20;
std::atomic<unsigned> g_pools{0};
std::atomic<CSlotPool*> g_registered[kMaxPools];

// A free slot holds the next free slot in its first bytes; the rest of it
// stays poisoned under the address checker while it is free.
void*& next_of(void* slot) {
    return *static_cast<void**>(slot);
}
} // namespace

// Plain data, so that it stays usable while the thread's objects with
// destructors go (an item freed then still finds its cache).
struct CSlotPool::Cache {
    void* free;
    void* freeTail;
    char* bump;
    char* bumpEnd;
    bool gone; // the thread is ending: slots go straight back to the pool
};

struct PoolReaper {
    ~PoolReaper();
};

namespace {
thread_local CSlotPool::Cache t_caches[kMaxPools];
thread_local PoolReaper t_reaper;
} // namespace

PoolReaper::~PoolReaper() {
    unsigned n = g_pools.load(std::memory_order_acquire);
    for (unsigned i = 0; i < n && i < kMaxPools; ++i) {
        CSlotPool::Cache& cache = t_caches[i];
        CSlotPool* pool = g_registered[i].load(std::memory_order_acquire);
        if (pool && (cache.free || cache.bump != cache.bumpEnd)) pool->GiveBack(cache);
        cache.gone = true;
    }
}

CSlotPool::CSlotPool(size_t slotSize)
    : m_slotSize(slotSize < sizeof(void*) ? sizeof(void*) : (slotSize + 7) / 8 * 8),
      m_id(g_pools.fetch_add(1)) {
    if (m_id >= kMaxPools) std::abort(); // a fixed handful of pools exists
    g_registered[m_id].store(this, std::memory_order_release);
}

CSlotPool::Cache& CSlotPool::ThreadCache() noexcept {
    return t_caches[m_id];
}

namespace {
// Makes sure the thread's caches go back to their pools when it ends; asked
// for whenever a cache gets its first slots.
void WatchThread() noexcept {
    (void)&t_reaper;
}
} // namespace

void* CSlotPool::Allocate() noexcept {
    Cache& cache = ThreadCache();
    if (cache.gone) {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_free) return ::operator new(m_slotSize, std::nothrow);
        void* slot = m_free;
        POOL_UNPOISON(slot, m_slotSize);
        m_free = next_of(slot);
        if (!m_free) m_freeTail = nullptr;
        return slot;
    }
    if (!cache.free && cache.bump == cache.bumpEnd && !Refill(cache)) return nullptr;
    if (void* slot = cache.free) {
        POOL_UNPOISON(slot, m_slotSize);
        cache.free = next_of(slot);
        if (!cache.free) cache.freeTail = nullptr;
        return slot;
    }
    void* slot = cache.bump;
    cache.bump += m_slotSize;
    POOL_UNPOISON(slot, m_slotSize);
    return slot;
}

void CSlotPool::Free(void* slot) noexcept {
    if (!slot) return;
    Cache& cache = ThreadCache();
    if (cache.gone) {
        std::lock_guard<std::mutex> hold(m_lock);
        next_of(slot) = m_free;
        POOL_POISON(slot, m_slotSize);
        if (!m_free) m_freeTail = slot;
        m_free = slot;
        return;
    }
    next_of(slot) = cache.free;
    POOL_POISON(slot, m_slotSize);
    if (!cache.free) {
        cache.freeTail = slot;
        WatchThread();
    }
    cache.free = slot;
}

bool CSlotPool::Refill(Cache& cache) noexcept {
    WatchThread();
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_free) {
        // Slots other threads gave back come first.
        cache.free = m_free;
        cache.freeTail = m_freeTail;
        m_free = m_freeTail = nullptr;
        return true;
    }
    try {
        m_slabs.reserve(m_slabs.size() + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    auto* slab = static_cast<char*>(std::malloc(kSlabBytes));
    if (!slab) return false;
    m_slabs.push_back(slab);
    POOL_POISON(slab, kSlabBytes);
    cache.bump = slab;
    cache.bumpEnd = slab + kSlabBytes / m_slotSize * m_slotSize;
    return true;
}

void CSlotPool::GiveBack(Cache& cache) noexcept {
    std::lock_guard<std::mutex> hold(m_lock);
    // What is left of the thread's slab goes back slot by slot.
    while (cache.bump != cache.bumpEnd) {
        void* slot = cache.bump;
        cache.bump += m_slotSize;
        POOL_UNPOISON(slot, sizeof(void*));
        next_of(slot) = cache.free;
        POOL_POISON(slot, m_slotSize);
        if (!cache.free) cache.freeTail = slot;
        cache.free = slot;
    }
    if (cache.free) {
        POOL_UNPOISON(cache.freeTail, sizeof(void*));
        next_of(cache.freeTail) = m_free;
        POOL_POISON(cache.freeTail, m_slotSize);
        if (!m_free) m_freeTail = cache.freeTail;
        m_free = cache.free;
    }
    cache.free = cache.freeTail = nullptr;
}

} // namespace vinca
