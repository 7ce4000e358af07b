#pragma once
// Interned names and the ordered table every keyed list of the control is
// kept in. A name exists once per distinct text (compared without regard to
// case), so names are afterwards compared by identity.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vinca/model/errors.h"

namespace plat {
struct VARIANT;
}

namespace vinca {

// Ordered table of entries. A derived table gives the key of an entry and the
// order of two keys; the table keeps its entries in the order they were
// inserted at, and Find searches them by key (callers keep them sorted when
// they search). Storage grows in whole blocks of `block size` entries.
class CKeyedTable {
  public:
    // A block size of 0 is taken as 1 and anything above 9999 as 10000;
    // `preSize` is the room made on the first insertion.
    CKeyedTable(int32_t blockSize, int32_t preSize);
    CKeyedTable(const CKeyedTable&) = delete;
    CKeyedTable& operator=(const CKeyedTable&) = delete;
    virtual ~CKeyedTable() = default;

    int32_t GetCount() const { return static_cast<int32_t>(m_entries.size()); }
    uint16_t BlockSize() const { return m_blockSize; }
    // -1 is the last entry; null out of range.
    void* GetAt(int32_t index) const {
        int32_t n = GetCount();
        if (index == -1) index = n - 1;
        return index >= 0 && index < n ? m_entries[index] : nullptr;
    }
    // Replaces the entry and returns the old one; null (no change) out of range.
    void* SetAt(int32_t index, void* entry);
    // -1 or an index at or past the end appends; the index tells where the
    // entry went. 7 when memory runs out.
    VResult InsertAt(int32_t& index, void* entry);
    // -1 is the last; 25004 out of range; with `release` the entry goes
    // through ReleaseEntry.
    VResult RemoveAt(int32_t index, bool release);
    // Releases every entry and gives back the storage.
    void RemoveAll();
    // Binary search by key: found or not, and the position of the match or
    // the insertion point.
    bool Find(const void* key, int32_t& position) const;
    int32_t IndexOfKey(const void* key) const;
    // Inserts at the key's place (also when equal keys are there and
    // `allowDuplicates` is set); the position, or -1 on failure.
    int32_t InsertSorted(void* entry, bool allowDuplicates);
    // Removes every entry the predicate accepts, keeping the order of the
    // rest; with `release` they go through ReleaseEntry.
    template <class Pred> int32_t RemoveIf(Pred pred, bool release) {
        std::vector<void*> gone;
        auto keep =
            std::stable_partition(m_entries.begin(), m_entries.end(), [&](void* e) { return !pred(e); });
        gone.assign(keep, m_entries.end());
        m_entries.erase(keep, m_entries.end());
        if (release)
            for (void* e : gone)
                ReleaseEntry(e);
        return static_cast<int32_t>(gone.size());
    }
    // Swaps two entries (for in-place sorting).
    void Swap(int32_t a, int32_t b) { std::swap(m_entries[a], m_entries[b]); }
    void Reverse();
    // Direct view for walks.
    void* const* Data() const { return m_entries.data(); }
    // Makes room for `needed` entries in all; false when memory runs out.
    bool Reserve(size_t needed);

  protected:
    virtual int Compare(const void* keyA, const void* keyB) const = 0;
    virtual const void* KeyOf(const void* entry) const = 0;
    virtual void ReleaseEntry(void* entry) {}

    std::vector<void*> m_entries;

  private:
    uint16_t m_blockSize;
    int32_t m_preSize;
};

// Typed view over a keyed table.
template <class T> class TKeyedTable : public CKeyedTable {
  public:
    using CKeyedTable::CKeyedTable;
    T* GetAt(int32_t index) const { return static_cast<T*>(CKeyedTable::GetAt(index)); }
    T* const* begin() const { return reinterpret_cast<T* const*>(m_entries.data()); }
    T* const* end() const { return begin() + m_entries.size(); }
};

// Binary search of a typed table by a key read straight from each entry,
// without the table's virtual comparisons, for tables searched on every
// access. Found or not, and the position as the table's Find gives it when
// `keyOf` yields what its Compare orders by.
template <class Table, class KeyFn, class Key>
bool SearchTable(const Table& table, Key key, KeyFn keyOf, int32_t& position) {
    auto* const* data = table.begin();
    int32_t lo = 0, hi = table.GetCount();
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        Key k = keyOf(data[mid]);
        if (k == key) {
            position = mid;
            return true;
        }
        if (k < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    position = lo;
    return false;
}

// One interned text. The serial number gives names a fixed order that is
// the same on every run (the order they were interned in).
class CVincaName {
  public:
    CVincaName(std::string text, uint32_t serial) : m_text(std::move(text)), m_serial(serial) {}
    const std::string& Text() const { return m_text; }
    uint32_t Serial() const { return m_serial; }

  private:
    std::string m_text;
    uint32_t m_serial;
};

// A table of names. Interning looks in the process-wide table first, then
// in this one, and makes the name here when neither has it.
class CVincaNameTable : public TKeyedTable<CVincaName> {
  public:
    CVincaNameTable() : TKeyedTable(10, 10) {}
    ~CVincaNameTable() override { RemoveAll(); }

    // The name of the text; null when memory runs out.
    const CVincaName* Intern(std::string_view text);
    // A text value (types 8 and 14) is interned; any other value is taken as
    // an index into this table (-1 the last): null when out of range.
    const CVincaName* InternVariant(const plat::VARIANT& value);
    // The name already in this table or the global one; null for none.
    const CVincaName* Find(std::string_view text) const;
    // Only in this table.
    const CVincaName* FindLocal(std::string_view text) const;

  protected:
    int Compare(const void* keyA, const void* keyB) const override;
    const void* KeyOf(const void* entry) const override;
    void ReleaseEntry(void* entry) override;

  private:
    // Names come and go only through Intern and the destructor, which keep
    // the hash index below in step with the entries.
    using CKeyedTable::InsertAt;
    using CKeyedTable::InsertSorted;
    using CKeyedTable::RemoveAll;
    using CKeyedTable::RemoveAt;
    using CKeyedTable::RemoveIf;
    using CKeyedTable::Reverse;
    using CKeyedTable::SetAt;
    using CKeyedTable::Swap;

    // Every name of the table by the hash of its text ignoring case
    // (open addressing, at most half full), beside the ordered entries:
    // every value access looks its name up, and a lookup then folds the
    // text once instead of comparing it all the way down a binary search.
    struct Slot {
        uint64_t hash{0};
        const CVincaName* name{nullptr};
    };
    std::vector<Slot> m_index;
    const CVincaName* FindIndexed(std::string_view text, uint64_t hash) const;
    // Find with the hash worked out, the lock held.
    const CVincaName* FindHashed(std::string_view text, uint64_t hash) const;
    // Room for one more name; false when memory runs out.
    bool ReserveIndex();
    void AddToIndex(const CVincaName* name, uint64_t hash);
};

// The one process-wide table, with the reserved keys interned first.
CVincaNameTable& GlobalNameTable();
// Shorthand: the name of a text in the global table.
const CVincaName* GlobalName(std::string_view text);

// A column number as spreadsheets label columns: 0 "A", 25 "Z", 26 "AA",
// 27 "AB"; a negative number gives an empty text.
std::string ColumnLetters(int32_t n);

// Case-insensitive order of names (stable for the life of the process).
int CompareNameTexts(std::string_view a, std::string_view b);

// The reserved keys the model itself uses.
namespace names {
const CVincaName* ObsoleteValue();  // "__ObsoleteValue": an item's main value and default sort key
const CVincaName* Value();          // "__Value": an entry's own value
const CVincaName* Text();           // "__Text": the item answers with its text
const CVincaName* Tree();           // "__Tree": the item's tree attributes
const CVincaName* Font();           // "__Font"
const CVincaName* Tag();            // "__TAG"
const CVincaName* ItemHeight();     // "__ItemHeight"
const CVincaName* ForeColor();      // "__ForeColor"
const CVincaName* BackColor();      // "__BackColor"
const CVincaName* Url();            // "__URL"
const CVincaName* RowTitle();       // "__RowTitle"
const CVincaName* ItemTreeColumn(); // "__ItemTreeColumn"
// Keys cells read in every layout.
const CVincaName* HorLineColor();        // "__HorLineColor"
const CVincaName* VerLineColor();        // "__VerLineColor"
const CVincaName* HorLinesVisible();     // "__IsHorGridLinesVisible"
const CVincaName* VerLinesVisible();     // "__IsVerGridLinesVisible"
const CVincaName* AutoFillColTitles();   // "__AutoFillColTitles"
const CVincaName* AutoFillRowTitles();   // "__AutoFillRowTitles"
const CVincaName* InnerBackColor();      // "__InnerBackColor"
const CVincaName* InnerBorderColor();    // "__InnerBorderColor"
const CVincaName* InnerBorderStyle();    // "__InnerBorderStyle"
const CVincaName* InnerAlignment();      // "__InnerAlignment"
const CVincaName* InnerTextAlign();      // "__InnerTextAlign"
const CVincaName* InnerPicAlign();       // "__InnerPicAlign"
// The reserved keys in the order they are interned at start-up.
const std::vector<std::string_view>& ReservedKeys();
} // namespace names

} // namespace vinca
