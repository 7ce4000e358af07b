#pragma once
// Fixed-size slots for the objects a tree holds by the million (items and
// their values). Each thread takes slots from a cache of its own with no
// lock; a slot freed on another thread joins that thread's cache, and the
// caches of a thread that ends go back to the pool. Slabs are kept for the
// life of the process, so a tree loaded after another one reuses its memory.
#include <cstddef>
#include <mutex>
#include <new>
#include <vector>

namespace vinca {

// A pool lives as long as the process (threads give their slots back to it
// as they end): make it once with new, never destroy it. At most eight exist.
class CSlotPool {
  public:
    explicit CSlotPool(size_t slotSize);
    CSlotPool(const CSlotPool&) = delete;
    CSlotPool& operator=(const CSlotPool&) = delete;
    ~CSlotPool() = delete;

    size_t SlotSize() const { return m_slotSize; }
    // A slot, null when memory runs out.
    void* Allocate() noexcept;
    void Free(void* slot) noexcept;

    // A thread's own slots (its free list and the rest of its slab).
    struct Cache;

  private:
    friend struct PoolReaper;
    Cache& ThreadCache() noexcept;
    bool Refill(Cache& cache) noexcept;
    void GiveBack(Cache& cache) noexcept;

    size_t m_slotSize;
    unsigned m_id;
    std::mutex m_lock; // guards what follows
    void* m_free{nullptr};
    void* m_freeTail{nullptr};
    std::vector<void*> m_slabs;
};

// Class-level allocation through a pool for objects of exactly one size;
// anything larger (a derived class) goes to the heap.
#define VINCA_POOLED_ALLOCATION(Pool)                                                                        \
    static void* operator new(size_t n) {                                                                   \
        void* p = n == Pool().SlotSize() ? Pool().Allocate() : ::operator new(n, std::nothrow);              \
        if (!p) throw std::bad_alloc();                                                                      \
        return p;                                                                                            \
    }                                                                                                        \
    static void* operator new(size_t n, const std::nothrow_t&) noexcept {                                    \
        return n == Pool().SlotSize() ? Pool().Allocate() : ::operator new(n, std::nothrow);                 \
    }                                                                                                        \
    static void operator delete(void* p, size_t n) noexcept {                                                \
        if (n == Pool().SlotSize())                                                                          \
            Pool().Free(p);                                                                                  \
        else                                                                                                 \
            ::operator delete(p);                                                                            \
    }

} // namespace vinca
