#pragma once
// The counted-object interface every component hands out, and the smart
// pointer that holds one reference.
#include <atomic>
#include <initializer_list>
#include <utility>

#include "platform/base/types.h"
#include "platform/com/errors.h"
#include "platform/com/guid.h"

namespace plat {

inline constexpr IID IID_IUnknown = make_guid("00000000-0000-0000-C000-000000000046");

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IUnknown() = default; // objects go away through Release only
};

// Holds one reference. Assigning a raw pointer takes a new reference;
// attach() adopts one the caller already owns.
template <class T> class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(T* p) : m_p(p) { add(); }
    ComPtr(const ComPtr& o) : m_p(o.m_p) { add(); }
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U> ComPtr(const ComPtr<U>& o) : m_p(o.get()) { add(); }
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& o) {
        ComPtr(o).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        ComPtr(std::move(o)).swap(*this);
        return *this;
    }
    ComPtr& operator=(T* p) {
        ComPtr(p).swap(*this);
        return *this;
    }

    static ComPtr adopt(T* p) {
        ComPtr r;
        r.m_p = p;
        return r;
    }
    void attach(T* p) {
        reset();
        m_p = p;
    }
    [[nodiscard]] T* detach() { return std::exchange(m_p, nullptr); }
    void reset() {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    void swap(ComPtr& o) noexcept { std::swap(m_p, o.m_p); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For out-parameters: releases what is held and hands out the slot.
    T** put() {
        reset();
        return &m_p;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    // QueryInterface into another holder.
    template <class U> HRESULT query(REFIID iid, ComPtr<U>& out) const {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(iid, out.put_void());
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.m_p == nullptr; }

  private:
    void add() {
        if (m_p) m_p->AddRef();
    }
    T* m_p{nullptr};
};

// The usual QueryInterface of an object that answers IUnknown and the
// identities `iids` with the same interface pointer `self`.
template <class I> HRESULT query_self(I* self, REFIID iid, void** out, std::initializer_list<IID> iids) {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool known = iid == IID_IUnknown;
    for (const IID& i : iids)
        known = known || iid == i;
    if (!known) return E_NOINTERFACE;
    *out = self;
    self->AddRef();
    return S_OK;
}

// Reference count for objects built on these interfaces. Objects start at 1:
// whoever makes one owns that first reference.
class RefCount {
  public:
    ULONG add() { return ++m_count; }
    ULONG release() { return --m_count; }
    ULONG value() const { return m_count.load(); }

  private:
    std::atomic<ULONG> m_count{1};
};

} // namespace plat
