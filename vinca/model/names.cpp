#include "vinca/model/names.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>

#include "platform/base/strings.h"
#include "platform/com/variant.h"

namespace vinca {

// ---- CKeyedTable ----

CKeyedTable::CKeyedTable(int32_t blockSize, int32_t preSize)
    : m_blockSize(static_cast<uint16_t>(blockSize <= 0 ? 1 : (blockSize > 9999 ? 10000 : blockSize))),
      m_preSize(std::max<int32_t>(preSize, m_blockSize)) {}

bool CKeyedTable::Reserve(size_t needed) {
    if (needed <= m_entries.capacity()) return true;
    // Whole blocks; a large table grows by half of itself so that filling it
    // stays linear.
    size_t want = m_entries.capacity() == 0
                      ? std::max<size_t>(needed, m_preSize)
                      : std::max(needed, m_entries.capacity() + m_entries.capacity() / 2);
    want = (want + m_blockSize - 1) / m_blockSize * m_blockSize;
    try {
        m_entries.reserve(want);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void* CKeyedTable::SetAt(int32_t index, void* entry) {
    int32_t n = GetCount();
    if (index == -1) index = n - 1;
    if (index < 0 || index >= n) return nullptr;
    return std::exchange(m_entries[index], entry);
}

VResult CKeyedTable::InsertAt(int32_t& index, void* entry) {
    if (!Reserve(m_entries.size() + 1)) return VE_OUT_OF_MEMORY;
    int32_t n = GetCount();
    if (index < 0 || index >= n) {
        index = n;
        m_entries.push_back(entry);
    } else {
        m_entries.insert(m_entries.begin() + index, entry);
    }
    return VE_OK;
}

VResult CKeyedTable::RemoveAt(int32_t index, bool release) {
    int32_t n = GetCount();
    if (index == -1) index = n - 1;
    if (index < 0 || index >= n) return VE_VIRTUAL_NODE;
    void* entry = m_entries[index];
    m_entries.erase(m_entries.begin() + index);
    if (release) ReleaseEntry(entry);
    return VE_OK;
}

void CKeyedTable::RemoveAll() {
    std::vector<void*> entries;
    entries.swap(m_entries);
    for (void* e : entries)
        ReleaseEntry(e);
}

bool CKeyedTable::Find(const void* key, int32_t& position) const {
    int32_t lo = 0, hi = GetCount();
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        int c = Compare(KeyOf(m_entries[mid]), key);
        if (c == 0) {
            position = mid;
            return true;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    position = lo;
    return false;
}

int32_t CKeyedTable::IndexOfKey(const void* key) const {
    int32_t pos;
    return Find(key, pos) ? pos : -1;
}

int32_t CKeyedTable::InsertSorted(void* entry, bool allowDuplicates) {
    int32_t pos;
    bool found = Find(KeyOf(entry), pos);
    if (found && !allowDuplicates) return -1;
    return InsertAt(pos, entry) == VE_OK ? pos : -1;
}

void CKeyedTable::Reverse() {
    std::reverse(m_entries.begin(), m_entries.end());
}

// ---- names ----

std::string ColumnLetters(int32_t n) {
    std::string letters;
    for (int64_t v = n; v >= 0; v = v / 26 - 1)
        letters += static_cast<char>('A' + v % 26);
    std::reverse(letters.begin(), letters.end());
    return letters;
}

int CompareNameTexts(std::string_view a, std::string_view b) {
    int c = plat::icompare(a, b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Set while the global table is made, so that interning into it does not
// ask for the table again.
static CVincaNameTable* g_global = nullptr;

// Controls on different threads share the global table: every name table
// operation runs under this lock (interning nests lookups, hence recursive).
static std::recursive_mutex& NamesLock() {
    static std::recursive_mutex lock;
    return lock;
}

static uint32_t NextNameSerial() {
    static std::atomic<uint32_t> serial{0};
    return ++serial;
}

int CVincaNameTable::Compare(const void* keyA, const void* keyB) const {
    return CompareNameTexts(*static_cast<const std::string*>(keyA), *static_cast<const std::string*>(keyB));
}

const void* CVincaNameTable::KeyOf(const void* entry) const {
    return &static_cast<const CVincaName*>(entry)->Text();
}

void CVincaNameTable::ReleaseEntry(void* entry) {
    delete static_cast<CVincaName*>(entry);
}

const CVincaName* CVincaNameTable::FindIndexed(std::string_view text, uint64_t hash) const {
    if (m_index.empty()) return nullptr;
    const size_t mask = m_index.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_index[i];
        if (!slot.name) return nullptr;
        // Most lookups spell the name as it was first interned.
        if (slot.hash == hash &&
            (slot.name->Text() == text || CompareNameTexts(slot.name->Text(), text) == 0))
            return slot.name;
    }
}

bool CVincaNameTable::ReserveIndex() {
    const size_t names = static_cast<size_t>(GetCount()) + 1;
    if (names * 2 <= m_index.size()) return true;
    std::vector<Slot> grown;
    try {
        grown.resize(std::max<size_t>(32, m_index.size() * 2));
    } catch (const std::bad_alloc&) {
        return false;
    }
    grown.swap(m_index);
    for (const Slot& slot : grown)
        if (slot.name) AddToIndex(slot.name, slot.hash);
    return true;
}

void CVincaNameTable::AddToIndex(const CVincaName* name, uint64_t hash) {
    const size_t mask = m_index.size() - 1;
    size_t i = hash & mask;
    while (m_index[i].name)
        i = (i + 1) & mask;
    m_index[i] = {hash, name};
}

const CVincaName* CVincaNameTable::FindLocal(std::string_view text) const {
    std::lock_guard guard(NamesLock());
    return FindIndexed(text, plat::ihash(text));
}

const CVincaName* CVincaNameTable::FindHashed(std::string_view text, uint64_t hash) const {
    CVincaNameTable* global = g_global ? g_global : &GlobalNameTable();
    if (this != global)
        if (const CVincaName* n = global->FindIndexed(text, hash)) return n;
    return FindIndexed(text, hash);
}

const CVincaName* CVincaNameTable::Find(std::string_view text) const {
    std::lock_guard guard(NamesLock());
    return FindHashed(text, plat::ihash(text));
}

const CVincaName* CVincaNameTable::Intern(std::string_view text) {
    std::lock_guard guard(NamesLock());
    const uint64_t hash = plat::ihash(text);
    if (const CVincaName* n = FindHashed(text, hash)) return n;
    if (!ReserveIndex()) return nullptr;
    CVincaName* name = new (std::nothrow) CVincaName(std::string(text), NextNameSerial());
    if (!name) return nullptr;
    int32_t pos;
    CKeyedTable::Find(&name->Text(), pos);
    if (InsertAt(pos, name) != VE_OK) {
        delete name;
        return nullptr;
    }
    AddToIndex(name, hash);
    return name;
}

const CVincaName* CVincaNameTable::InternVariant(const plat::VARIANT& value) {
    std::lock_guard guard(NamesLock());
    const plat::VARIANT& v = plat::deref(value);
    if (v.vt == plat::VT_BSTR) return Intern(plat::bstr_to_utf8(v.bstrVal));
    if (v.vt == plat::VT_ANSI) return Intern(plat::bstr_bytes(v.bstrVal));
    plat::Variant copy(v);
    plat::HRESULT hr = 0;
    int32_t index = copy.to_i4(&hr);
    if (plat::FAILED(hr)) index = -1;
    return GetAt(index);
}

namespace names {

const std::vector<std::string_view>& ReservedKeys() {
    static const std::vector<std::string_view> keys = {
        "__ForeColor",
        "__BackColor",
        "__SelFrColor",
        "__SelBkColor",
        "__UnSetTransparentCLRs",
        "__ObsoleteValue",
        "__Value",
        "__Format",
        "__RowTitle",
        "__ColTitle",
        "__Row",
        "__TextAlign",
        "__Tree",
        "__TreeCellData",
        "__Alignment",
        "__Text",
        "__TextIsMultiLine",
        "__Font",
        "__MaxTextWidth",
        "__MinTextWidth",
        "__TabStopDistance",
        "__AutoFillColTitles",
        "__ColTitleIndex",
        "__AutoFillRowTitles",
        "__RowTitleIndex",
        "__3DBorder",
        "__3DShadowColor",
        "__BorderStyle",
        "__InvBorderStyle",
        "__Border",
        "__BorderColor",
        "__Image",
        "__InvImage",
        "__Picture",
        "__PictureInv",
        "__PicAlign",
        "__InvStyle",
        "__PictureClosed",
        "__PictureLeaf",
        "__PictureOpen",
        "__Width",
        "__Height",
        "__Multiline",
        "__URL",
        "__TAG",
        "__Mark",
        "__PlusMinus",
        "__HorLineThickness",
        "__VerLineThickness",
        "__HorLineColor",
        "__VerLineColor",
        "__IsHorGridLinesVisible",
        "__IsVerGridLinesVisible",
        "__ValueData",
        "__InnerTree",
        "__ItemTreeColumn",
        "__InnerBackColor",
        "__InnerBorderColor",
        "__InnerBorderStyle",
        "__InnerAlignment",
        "__InnerTextAlign",
        "__InnerPicAlign",
        "__ItemHeight",
        "__TransBMPColor",
        "__IsSetBMPColor",
        "__GradientStyle",
        "__GrdColorFrom",
        "__GrdColorTo",
        "__InnerGradientStyle",
        "__InnerGrdColorFrom",
        "__InnerGrdColorTo",
        "__RTFStyle",
        "__InnerRTFStyle",
        "__RTFBox",
        "__ItemGridRowDef",
        "__TreeGridRowDef",
        "__PicHeight",
        "__PicWidth",
        "__InnerPicHeight",
        "__InnerPicWidth",
    };
    return keys;
}

#define VINCA_RESERVED(fn, text)                                                                             \
    const CVincaName* fn() {                                                                                 \
        static const CVincaName* n = GlobalName(text);                                                       \
        return n;                                                                                            \
    }
VINCA_RESERVED(ObsoleteValue, "__ObsoleteValue")
VINCA_RESERVED(Value, "__Value")
VINCA_RESERVED(Text, "__Text")
VINCA_RESERVED(Tree, "__Tree")
VINCA_RESERVED(Font, "__Font")
VINCA_RESERVED(Tag, "__TAG")
VINCA_RESERVED(ItemHeight, "__ItemHeight")
VINCA_RESERVED(ForeColor, "__ForeColor")
VINCA_RESERVED(BackColor, "__BackColor")
VINCA_RESERVED(Url, "__URL")
VINCA_RESERVED(RowTitle, "__RowTitle")
VINCA_RESERVED(ItemTreeColumn, "__ItemTreeColumn")
VINCA_RESERVED(HorLineColor, "__HorLineColor")
VINCA_RESERVED(VerLineColor, "__VerLineColor")
VINCA_RESERVED(HorLinesVisible, "__IsHorGridLinesVisible")
VINCA_RESERVED(VerLinesVisible, "__IsVerGridLinesVisible")
VINCA_RESERVED(AutoFillColTitles, "__AutoFillColTitles")
VINCA_RESERVED(AutoFillRowTitles, "__AutoFillRowTitles")
VINCA_RESERVED(InnerBackColor, "__InnerBackColor")
VINCA_RESERVED(InnerBorderColor, "__InnerBorderColor")
VINCA_RESERVED(InnerBorderStyle, "__InnerBorderStyle")
VINCA_RESERVED(InnerAlignment, "__InnerAlignment")
VINCA_RESERVED(InnerTextAlign, "__InnerTextAlign")
VINCA_RESERVED(InnerPicAlign, "__InnerPicAlign")
#undef VINCA_RESERVED

} // namespace names

CVincaNameTable& GlobalNameTable() {
    // Made on first use with the reserved keys in their fixed order; names
    // stay for the life of the process.
    static CVincaNameTable* table = [] {
        g_global = new CVincaNameTable();
        for (std::string_view key : names::ReservedKeys())
            g_global->Intern(key);
        return g_global;
    }();
    return *table;
}

const CVincaName* GlobalName(std::string_view text) {
    return GlobalNameTable().Intern(text);
}

} // namespace vinca
