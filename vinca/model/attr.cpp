#include "vinca/model/attr.h"

#include <new>

namespace vinca {

// ---- CAttrEntry ----

CSlotPool& CAttrEntry::SlotPool() {
    static CSlotPool* pool = new CSlotPool(sizeof(CAttrEntry)); // never destroyed
    return *pool;
}

CSlotPool& CAttrSet::SlotPool() {
    static CSlotPool* pool = new CSlotPool(sizeof(CAttrSet)); // never destroyed
    return *pool;
}

Ref<CAttrEntry> CAttrEntry::New(const CVincaName* name) {
    return Ref<CAttrEntry>(new (std::nothrow) CAttrEntry(name));
}

CAttrEntry::~CAttrEntry() {
    DropNestedSet();
}

bool CAttrEntry::GetValue(const CVincaName* name, plat::Variant& out) const {
    if (name == names::Value() || name == m_name) {
        out = m_value;
        return true;
    }
    return m_nested && m_nested->Lookup(name, out);
}

bool CAttrEntry::IsEmpty() const {
    return (m_value.vt == plat::VT_EMPTY || m_value.vt == plat::VT_NULL) && !m_nested;
}

plat::HRESULT CAttrEntry::SetValue(const plat::VARIANT& value) {
    // The owner may remove this entry while it is told of the change; the
    // entry must outlive its own setter.
    Ref<CAttrEntry> keep(this);
    plat::Variant copy;
    plat::HRESULT hr = plat::VariantCopy(&copy, &value);
    if (plat::FAILED(hr)) return hr;
    m_value = std::move(copy);
    if (m_owner) m_owner->NotifyChanged(m_name);
    DropIfEmpty();
    return plat::S_OK;
}

void CAttrEntry::TakeValue(plat::Variant&& value) {
    if (m_owner) {
        SetValue(value); // a set is told of the change
        return;
    }
    m_value = std::move(value);
}

void CAttrEntry::ClearValue() {
    Ref<CAttrEntry> keep(this);
    m_value.clear();
    DropIfEmpty();
}

void CAttrEntry::DropIfEmpty() {
    if (IsEmpty() && m_owner) m_owner->RemoveEntry(m_name);
}

CAttrSet* CAttrEntry::NestedSet(bool create) {
    if (!m_nested && create) {
        Ref<CAttrSet> set = CAttrSet::New();
        if (!set) return nullptr;
        m_nested = set.detach();
        m_nested->SetOwner(this);
    }
    return m_nested;
}

void CAttrEntry::DropNestedSet() {
    if (CAttrSet* set = std::exchange(m_nested, nullptr)) {
        set->SetOwner(nullptr);
        set->Release();
    }
}

void CAttrEntry::OnAttrChanged(CAttrSet&, const CVincaName*) {
    // A change inside the nested set is a change of this entry to its set.
    if (m_owner) m_owner->NotifyChanged(m_name);
}

// ---- CAttrSet ----

int CAttrSet::Table::Compare(const void* a, const void* b) const {
    uint32_t sa = a ? static_cast<const CVincaName*>(a)->Serial() : 0;
    uint32_t sb = b ? static_cast<const CVincaName*>(b)->Serial() : 0;
    return sa < sb ? -1 : (sa > sb ? 1 : 0);
}

const void* CAttrSet::Table::KeyOf(const void* entry) const {
    return static_cast<const CAttrEntry*>(entry)->Name();
}

void CAttrSet::Table::ReleaseEntry(void* entry) {
    auto* e = static_cast<CAttrEntry*>(entry);
    e->m_owner = nullptr;
    e->Release();
}

Ref<CAttrSet> CAttrSet::New() {
    return Ref<CAttrSet>(new (std::nothrow) CAttrSet());
}

CAttrSet::~CAttrSet() = default;

bool CAttrSet::Locate(const CVincaName* name, int32_t& position) const {
    // Every value read and written comes through here: the table's order
    // (Table::Compare) is worked out in line.
    auto serial = [](const CAttrEntry* e) { return e->Name() ? e->Name()->Serial() : 0u; };
    return SearchTable(m_entries, name ? name->Serial() : 0u, serial, position);
}

CAttrEntry* CAttrSet::Find(const CVincaName* name) const {
    if (!name) return nullptr;
    int32_t pos;
    return Locate(name, pos) ? m_entries.GetAt(pos) : nullptr;
}

CAttrEntry* CAttrSet::AddAt(const CVincaName* name, int32_t pos) {
    Ref<CAttrEntry> entry = CAttrEntry::New(name);
    if (!entry || m_entries.InsertAt(pos, entry.get()) != VE_OK) return nullptr;
    entry->m_owner = this;
    return entry.detach();
}

CAttrEntry* CAttrSet::GetOrAdd(const CVincaName* name) {
    if (!name) return nullptr;
    int32_t pos;
    if (Locate(name, pos)) return m_entries.GetAt(pos);
    return AddAt(name, pos);
}

bool CAttrSet::SetValue(const CVincaName* name, const plat::VARIANT& value) {
    CAttrEntry* entry = Find(name);
    if (!entry) return false;
    entry->SetValue(value);
    return true;
}

VResult CAttrSet::SetOrAddValue(const CVincaName* name, const plat::VARIANT& value) {
    if (!name) return VE_INVALID_ARGUMENT;
    int32_t pos;
    CAttrEntry* entry = Locate(name, pos) ? m_entries.GetAt(pos) : nullptr;
    if (!entry) {
        const plat::VARIANT& v = plat::deref(value);
        if (v.vt == plat::VT_EMPTY || v.vt == plat::VT_NULL)
            return VE_OK; // an empty value under a missing name leaves nothing behind
        entry = AddAt(name, pos);
        if (!entry) return VE_OUT_OF_MEMORY;
    }
    return plat::FAILED(entry->SetValue(value)) ? VE_OUT_OF_MEMORY : VE_OK;
}

void CAttrSet::RemoveEntry(const CVincaName* name) {
    int32_t pos;
    if (name && Locate(name, pos)) m_entries.RemoveAt(pos, true);
    if (m_owner) {
        m_owner->OnAttrChanged(*this, name);
        m_owner->OnAttrRemoved(*this, name);
    }
}

void CAttrSet::RemoveAll() {
    m_entries.RemoveAll();
    if (m_owner) m_owner->OnAttrChanged(*this, nullptr);
}

VResult CAttrSet::CopyFrom(const CAttrSet& other) {
    if (&other == this) return VE_OK;
    m_entries.RemoveAll();
    for (CAttrEntry* src : other.m_entries) {
        Ref<CAttrEntry> e = CAttrEntry::New(src->Name());
        if (!e) return VE_OUT_OF_MEMORY;
        if (plat::FAILED(plat::VariantCopy(&e->m_value, &src->m_value))) return VE_OUT_OF_MEMORY;
        if (src->m_nested) {
            CAttrSet* nested = e->NestedSet(true);
            if (!nested) return VE_OUT_OF_MEMORY;
            if (VResult r = nested->CopyFrom(*src->m_nested)) return r;
        }
        // The source is ordered already: appending keeps the order.
        int32_t pos = -1;
        if (m_entries.InsertAt(pos, e.get()) != VE_OK) return VE_OUT_OF_MEMORY;
        e->m_owner = this;
        (void)e.detach();
    }
    return VE_OK;
}

VResult CAttrSet::Adopt(Ref<CAttrEntry> entry) {
    if (!entry || !entry->Name()) return VE_INVALID_ARGUMENT;
    int32_t pos;
    if (Locate(entry->Name(), pos)) {
        CAttrEntry* old = static_cast<CAttrEntry*>(m_entries.CKeyedTable::SetAt(pos, entry.get()));
        old->m_owner = nullptr;
        old->Release();
    } else if (m_entries.InsertAt(pos, entry.get()) != VE_OK) {
        return VE_OUT_OF_MEMORY;
    }
    entry->m_owner = this;
    (void)entry.detach();
    return VE_OK;
}

const plat::Variant* CAttrSet::FindValue(const CVincaName* name) const {
    CAttrEntry* e = Find(name);
    return e ? &e->Value() : nullptr;
}

bool CAttrSet::Lookup(const CVincaName* name, plat::Variant& out) const {
    const plat::Variant* v = FindValue(name);
    if (!v) return false;
    out = *v;
    return true;
}

void CAttrSet::SetInt(const CVincaName* name, int32_t value) {
    if (name) SetOrAddValue(name, plat::Variant(value));
}

int32_t CAttrSet::GetInt(const CVincaName* name) const {
    const plat::Variant* v = FindValue(name);
    return v ? v->to_i4() : 0;
}

std::string CAttrSet::GetText(const CVincaName* name, const std::string& fallback) const {
    const plat::Variant* v = FindValue(name);
    if (!v || v->vt == plat::VT_EMPTY) return fallback;
    plat::HRESULT hr = 0;
    std::string text = v->to_utf8(&hr);
    return plat::FAILED(hr) ? fallback : text;
}

void CAttrSet::NotifyChanged(const CVincaName* name) {
    if (m_owner) m_owner->OnAttrChanged(*this, name);
}

} // namespace vinca
