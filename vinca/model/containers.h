#pragma once
// Small containers the model keeps its data in: the counted-object base and
// its holder, the growable pointer array, fixed lists of ten, the range set of
// marked or selected indexes, and the link to an object that may die first.
#include <cstdint>
#include <utility>
#include <vector>

#include "vinca/model/errors.h"

namespace vinca {

// Base of every counted object of the control. The count is 0 after
// construction; factories hand out the object with one reference added.
class CVincaObject {
  public:
    CVincaObject() = default;
    CVincaObject(const CVincaObject&) = delete;
    CVincaObject& operator=(const CVincaObject&) = delete;
    virtual ~CVincaObject() = default;

    int32_t AddRef() { return ++m_refs; }
    // Destroys the object when the count reaches 0 (or was 0 already).
    int32_t Release() {
        if (m_refs != 0 && --m_refs != 0) return m_refs;
        Destroy();
        return 0;
    }
    int32_t RefCount() const { return m_refs; }

  protected:
    virtual void Destroy() { delete this; }

  private:
    int32_t m_refs{0};
};

// Holds one reference to a counted object.
template <class T> class Ref {
  public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    Ref(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    Ref(const Ref& o) : Ref(o.m_p) {}
    Ref(Ref&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U> Ref(const Ref<U>& o) : Ref(o.get()) {}
    ~Ref() { reset(); }
    Ref& operator=(Ref o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }

    // Takes over a reference the caller already holds.
    static Ref adopt(T* p) {
        Ref r;
        r.m_p = p;
        return r;
    }
    [[nodiscard]] T* detach() { return std::exchange(m_p, nullptr); }
    void reset() {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    friend bool operator==(const Ref& a, const Ref& b) { return a.m_p == b.m_p; }

  private:
    T* m_p{nullptr};
};

// Stores `obj` in a counted slot: the old object is released, the new one
// gets a reference; assigning the object already held changes nothing.
template <class T> void AssignRef(T*& slot, T* obj) {
    if (slot == obj) return;
    if (obj) obj->AddRef();
    T* old = std::exchange(slot, obj);
    if (old) old->Release();
}

// What an object offers the objects that link back to it: counted, and able
// to say whether it is still alive (a control that was closed is not).
class CLinkSource {
  public:
    virtual int32_t LinkAddRef() = 0;
    virtual int32_t LinkRelease() = 0;
    virtual bool IsAlive() const = 0;

  protected:
    ~CLinkSource() = default;
};

// A link to a source that may die first: it keeps a reference only while the
// source is alive.
class CLinkPtr {
  public:
    CLinkPtr() = default;
    CLinkPtr(const CLinkPtr&) = delete;
    CLinkPtr& operator=(const CLinkPtr&) = delete;
    ~CLinkPtr() { Release(); }

    // Answers the add-reference result, or 0 when the new source is dead
    // (it is stored all the same, without a reference).
    int32_t Assign(CLinkSource* source);
    int32_t Release();
    CLinkSource* Get() const { return m_source && m_source->IsAlive() ? m_source : nullptr; }
    CLinkSource* Raw() const { return m_source; }

  private:
    CLinkSource* m_source{nullptr};
    bool m_counted{false};
};

// Growable array of pointers. Elements the array deletes go through its
// release callback; without one they are left to their owner.
class CVincaPtrArray {
  public:
    using ReleaseFn = void (*)(void*);
    static constexpr int32_t kMaxCapacity = 2000000;

    explicit CVincaPtrArray(int32_t growStep = 10, int32_t initialSize = 10, ReleaseFn release = nullptr)
        : m_growStep(growStep > 0 ? growStep : 1), m_initialSize(initialSize > 0 ? initialSize : 1),
          m_release(release) {}
    CVincaPtrArray(const CVincaPtrArray&) = delete;
    CVincaPtrArray& operator=(const CVincaPtrArray&) = delete;
    ~CVincaPtrArray() { DeleteAll(); }

    int32_t GetCount() const { return static_cast<int32_t>(m_items.size()); }
    int32_t GetCapacity() const { return static_cast<int32_t>(m_items.capacity()); }
    // -1 is the last element; null out of range.
    void* GetAt(int32_t index) const;
    // Returns the old element; null (and no change) out of range.
    void* SetAt(int32_t index, void* element);
    // A negative or too large index appends; 7 when the array is full or memory runs out.
    VResult InsertAt(int32_t index, void* element);
    // 25004 for an index out of range; later elements move down.
    VResult RemoveAt(int32_t index);
    // -1 is the last; the element goes through the release callback.
    VResult DeleteAt(int32_t index);
    void DeleteElements();
    void DeleteAll();
    void SetCapacity(int32_t n);
    int32_t IndexOf(const void* element) const;

  private:
    std::vector<void*> m_items;
    int32_t m_growStep;
    int32_t m_initialSize;
    ReleaseFn m_release;
};

// At most ten entries, for argument and pointer lists.
template <class T> class CFixedList10 {
  public:
    bool Add(T value) {
        if (m_count >= 10) return false;
        m_slots[m_count++] = value;
        return true;
    }
    // T{} out of range.
    T GetAt(int32_t index) const { return index >= 0 && index < m_count ? m_slots[index] : T{}; }
    int32_t GetCount() const { return m_count; }

  private:
    int32_t m_count{0};
    T m_slots[10]{};
};

// A set of indexes kept as inclusive ranges in ascending order. Indexes at or
// above the size of the index space are not in the set.
class CRangeSet {
  public:
    struct Range {
        int32_t first;
        int32_t last;
    };
    static constexpr int32_t kUnbounded = INT32_MAX;

    // `last` -1 means up to the end of the index space. Overlapping ranges
    // merge; ranges that merely touch stay separate.
    void Add(int32_t first, int32_t last);
    // Cuts the indexes out, splitting ranges; (0, -1) clears the set.
    void Remove(int32_t first, int32_t last);
    // Items a..b were inserted: later indexes move up.
    void OnItemsInserted(int32_t a, int32_t b);
    // Items a..b were removed: they leave the set and later indexes move down.
    void OnItemsRemoved(int32_t a, int32_t b);
    // Sets the size; indexes at or above it leave the set (0 empties it).
    void Truncate(int32_t n);
    void Clear() { m_ranges.clear(); }

    bool Contains(int32_t index) const { return FindRange(index) >= 0; }
    int32_t Count() const;
    int32_t CountIn(int32_t first, int32_t last) const;
    // The n-th set index (from 0) within [first, last], or -1.
    int32_t NthIn(int32_t first, int32_t last, int32_t n) const;
    // Position of the range holding the index, or -1.
    int32_t FindRange(int32_t index) const;
    const std::vector<Range>& Ranges() const { return m_ranges; }
    int32_t Size() const { return m_size; }
    void SetSize(int32_t n) { m_size = n < 0 ? 0 : n; }

  private:
    std::vector<Range> m_ranges;
    int32_t m_size{kUnbounded};
};

} // namespace vinca
