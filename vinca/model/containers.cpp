#include "vinca/model/containers.h"

#include <algorithm>
#include <new>

namespace vinca {

// ---- CLinkPtr ----

int32_t CLinkPtr::Assign(CLinkSource* source) {
    Release();
    m_source = source;
    if (source && source->IsAlive()) {
        m_counted = true;
        return source->LinkAddRef();
    }
    return 0;
}

int32_t CLinkPtr::Release() {
    int32_t result = 0;
    if (m_source && m_counted && m_source->IsAlive()) result = m_source->LinkRelease();
    m_source = nullptr;
    m_counted = false;
    return result;
}

// ---- CVincaPtrArray ----

void* CVincaPtrArray::GetAt(int32_t index) const {
    int32_t n = GetCount();
    if (index == -1) index = n - 1;
    return index >= 0 && index < n ? m_items[index] : nullptr;
}

void* CVincaPtrArray::SetAt(int32_t index, void* element) {
    if (index < 0 || index >= GetCount()) return nullptr;
    return std::exchange(m_items[index], element);
}

VResult CVincaPtrArray::InsertAt(int32_t index, void* element) {
    int32_t n = GetCount();
    if (n >= kMaxCapacity) return VE_OUT_OF_MEMORY;
    try {
        if (m_items.capacity() == 0)
            m_items.reserve(m_initialSize);
        else if (m_items.size() == m_items.capacity())
            m_items.reserve(std::min<size_t>(kMaxCapacity, m_items.capacity() + m_growStep));
        if (index < 0 || index >= n)
            m_items.push_back(element);
        else
            m_items.insert(m_items.begin() + index, element);
    } catch (const std::bad_alloc&) {
        return VE_OUT_OF_MEMORY;
    }
    return VE_OK;
}

VResult CVincaPtrArray::RemoveAt(int32_t index) {
    if (index < 0 || index >= GetCount()) return VE_VIRTUAL_NODE;
    m_items.erase(m_items.begin() + index);
    return VE_OK;
}

VResult CVincaPtrArray::DeleteAt(int32_t index) {
    if (index == -1) index = GetCount() - 1;
    void* element = GetAt(index);
    VResult r = RemoveAt(index);
    if (r == VE_OK && element && m_release) m_release(element);
    return r;
}

void CVincaPtrArray::DeleteElements() {
    // Each slot is cleared before its element goes, so that a release that
    // looks back into the array never meets a dying element.
    for (auto& slot : m_items) {
        void* element = std::exchange(slot, nullptr);
        if (element && m_release) m_release(element);
    }
    m_items.clear();
}

void CVincaPtrArray::DeleteAll() {
    DeleteElements();
    m_items.shrink_to_fit();
}

void CVincaPtrArray::SetCapacity(int32_t n) {
    n = std::clamp(n, GetCount(), kMaxCapacity);
    if (n == GetCapacity()) return;
    if (n > GetCapacity()) {
        m_items.reserve(n);
    } else {
        std::vector<void*> copy;
        copy.reserve(n);
        copy.assign(m_items.begin(), m_items.end());
        m_items.swap(copy);
    }
}

int32_t CVincaPtrArray::IndexOf(const void* element) const {
    auto it = std::find(m_items.begin(), m_items.end(), element);
    return it == m_items.end() ? -1 : static_cast<int32_t>(it - m_items.begin());
}

// ---- CRangeSet ----

void CRangeSet::Add(int32_t first, int32_t last) {
    if (last == -1) last = m_size - 1;
    if (first < 0) first = 0;
    if (last >= m_size) last = m_size - 1;
    if (last < first) return;
    // Ranges that overlap [first, last] are absorbed into it.
    auto lo = std::lower_bound(m_ranges.begin(), m_ranges.end(), first,
                               [](const Range& r, int32_t v) { return r.last < v; });
    auto hi = lo;
    while (hi != m_ranges.end() && hi->first <= last) {
        first = std::min(first, hi->first);
        last = std::max(last, hi->last);
        ++hi;
    }
    lo = m_ranges.erase(lo, hi);
    m_ranges.insert(lo, Range{first, last});
}

void CRangeSet::Remove(int32_t first, int32_t last) {
    if ((first <= 0 && last == -1) || m_ranges.empty()) {
        m_ranges.clear();
        return;
    }
    if (last == -1) last = kUnbounded - 1;
    if (last < first) return;
    std::vector<Range> out;
    out.reserve(m_ranges.size() + 1);
    for (const Range& r : m_ranges) {
        if (r.last < first || r.first > last) {
            out.push_back(r);
            continue;
        }
        if (r.first < first) out.push_back({r.first, first - 1});
        if (r.last > last) out.push_back({last + 1, r.last});
    }
    m_ranges.swap(out);
}

static int32_t SaturatingAdd(int32_t a, int32_t b) {
    int64_t s = int64_t(a) + b;
    return s > CRangeSet::kUnbounded ? CRangeSet::kUnbounded : static_cast<int32_t>(s);
}

void CRangeSet::OnItemsInserted(int32_t a, int32_t b) {
    if (b < a) return;
    int32_t n = b - a + 1;
    std::vector<Range> out;
    out.reserve(m_ranges.size() + 1);
    for (const Range& r : m_ranges) {
        if (r.last < a) {
            out.push_back(r);
        } else if (r.first >= a) {
            out.push_back({SaturatingAdd(r.first, n), SaturatingAdd(r.last, n)});
        } else { // the range holds a: split around the new items
            out.push_back({r.first, a - 1});
            out.push_back({SaturatingAdd(a, n), SaturatingAdd(r.last, n)});
        }
    }
    m_ranges.swap(out);
    if (m_size != kUnbounded) m_size = SaturatingAdd(m_size, n);
}

void CRangeSet::OnItemsRemoved(int32_t a, int32_t b) {
    if (b < a) return;
    int32_t n = b - a + 1;
    std::vector<Range> out;
    out.reserve(m_ranges.size());
    for (const Range& r : m_ranges) {
        int32_t f = r.first < a ? r.first : (r.first > b ? r.first - n : a);
        int32_t l = r.last < a ? r.last : (r.last > b ? r.last - n : a - 1);
        if (l < f) continue;
        // Removing the gap between two ranges joins them.
        if (!out.empty() && out.back().last + 1 >= f)
            out.back().last = std::max(out.back().last, l);
        else
            out.push_back({f, l});
    }
    m_ranges.swap(out);
    if (m_size != kUnbounded) m_size = std::max(0, m_size - n);
}

void CRangeSet::Truncate(int32_t n) {
    m_size = n < 0 ? 0 : n;
    if (m_size == 0) {
        m_ranges.clear();
        return;
    }
    while (!m_ranges.empty() && m_ranges.back().first >= m_size)
        m_ranges.pop_back();
    if (!m_ranges.empty() && m_ranges.back().last >= m_size) m_ranges.back().last = m_size - 1;
}

int32_t CRangeSet::Count() const {
    int64_t n = 0;
    for (const Range& r : m_ranges)
        n += int64_t(r.last) - r.first + 1;
    return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
}

int32_t CRangeSet::CountIn(int32_t first, int32_t last) const {
    int64_t n = 0;
    for (const Range& r : m_ranges) {
        int32_t f = std::max(first, r.first), l = std::min(last, r.last);
        if (l >= f) n += int64_t(l) - f + 1;
    }
    return static_cast<int32_t>(n);
}

int32_t CRangeSet::NthIn(int32_t first, int32_t last, int32_t n) const {
    if (n < 0) return -1;
    for (const Range& r : m_ranges) {
        int32_t f = std::max(first, r.first), l = std::min(last, r.last);
        if (l < f) continue;
        if (int64_t(n) <= int64_t(l) - f) return f + n;
        n -= l - f + 1;
    }
    return -1;
}

int32_t CRangeSet::FindRange(int32_t index) const {
    if (index < 0 || index >= m_size) return -1;
    auto it = std::lower_bound(m_ranges.begin(), m_ranges.end(), index,
                               [](const Range& r, int32_t v) { return r.last < v; });
    if (it == m_ranges.end() || it->first > index) return -1;
    return static_cast<int32_t>(it - m_ranges.begin());
}

} // namespace vinca
