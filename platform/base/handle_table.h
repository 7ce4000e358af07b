#pragma once
// 32-bit handles for objects that automation values and stored data refer to
// (bookmarks, buffers, window numbers). A pointer never travels in a 32-bit
// value; instead the object is registered here and its handle handed out.
// A handle is never reused while its object is registered, and handles are
// issued in increasing order (wrapping past 2^32 - 1, skipping 0 and any that
// are still alive), so a stale handle is very unlikely to name a new object.
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace plat {

using Handle32 = uint32_t;

template <typename T>
class HandleTable {
public:
    // Registers `obj` and returns its new handle (never 0).
    Handle32 add(T* obj) {
        std::lock_guard lock(m_mutex);
        do {
            ++m_next;
        } while (m_next == 0 || m_items.count(m_next));
        m_items.emplace(m_next, obj);
        return m_next;
    }

    // The object of a live handle, or nullptr for 0, a removed or an unknown handle.
    T* get(Handle32 h) const {
        std::lock_guard lock(m_mutex);
        auto it = m_items.find(h);
        return it == m_items.end() ? nullptr : it->second;
    }

    bool valid(Handle32 h) const { return get(h) != nullptr; }

    // Forgets a handle; returns its object (nullptr when it was not live).
    T* remove(Handle32 h) {
        std::lock_guard lock(m_mutex);
        auto it = m_items.find(h);
        if (it == m_items.end())
            return nullptr;
        T* obj = it->second;
        m_items.erase(it);
        return obj;
    }

    size_t size() const {
        std::lock_guard lock(m_mutex);
        return m_items.size();
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<Handle32, T*> m_items;
    Handle32 m_next{0};
};

} // namespace plat
