#pragma once
// Named values: attribute sets of entries keyed by interned names. Item
// values, cell attributes and column titles are all kept this way; an entry
// may hold a nested set (a cell's own attributes under a column name, say).
#include <cstdint>
#include <string>

#include "platform/com/variant.h"
#include "vinca/model/containers.h"
#include "vinca/model/names.h"
#include "vinca/model/pool.h"

namespace vinca {

class CAttrSet;

// Told when an attribute set changes. The set's owner (an item's value
// holder, an entry holding a nested set, a column definition) implements it.
class IAttrSetOwner {
  public:
    virtual void OnAttrChanged(CAttrSet& set, const CVincaName* name) {}
    virtual void OnAttrRemoved(CAttrSet& set, const CVincaName* name) {}

  protected:
    ~IAttrSetOwner() = default;
};

// One named value, optionally with a nested set.
class CAttrEntry : public CVincaObject, private IAttrSetOwner {
  public:
    // Entries and sets come from pools: most items carry a few values.
    static CSlotPool& SlotPool();
    VINCA_POOLED_ALLOCATION(SlotPool)

    // A new entry with an empty value and one reference added.
    static Ref<CAttrEntry> New(const CVincaName* name);

    const CVincaName* Name() const { return m_name; }
    void SetName(const CVincaName* name) { m_name = name; }
    const plat::Variant& Value() const { return m_value; }
    CAttrSet* Owner() const { return m_owner; }

    // Own value for "__Value" or the entry's own name, else the nested
    // set's entry of that name; false when there is none.
    bool GetValue(const CVincaName* name, plat::Variant& out) const;
    // Stores a copy and tells the owner; an entry left empty leaves its set.
    // The entry stays alive until the call returns even when it left.
    plat::HRESULT SetValue(const plat::VARIANT& value);
    // Takes the value over without a copy; meant for an entry that belongs
    // to no set yet (a reader fills it before adding it).
    void TakeValue(plat::Variant&& value);
    void ClearValue();
    // Empty: an empty or null value and no nested set.
    bool IsEmpty() const;

    // The nested set, made empty on first use when `create` is set.
    CAttrSet* NestedSet(bool create = true);
    void DropNestedSet();

  private:
    friend class CAttrSet;
    explicit CAttrEntry(const CVincaName* name) : m_name(name) {}
    ~CAttrEntry() override;
    void DropIfEmpty();
    void OnAttrChanged(CAttrSet& set, const CVincaName* name) override;

    CAttrSet* m_owner{nullptr};  // the set that holds this entry
    CAttrSet* m_nested{nullptr}; // counted
    const CVincaName* m_name;
    plat::Variant m_value;
};

// Entries ordered by their names' interning serial numbers.
class CAttrSet : public CVincaObject {
  public:
    static CSlotPool& SlotPool();
    VINCA_POOLED_ALLOCATION(SlotPool)

    static Ref<CAttrSet> New();

    void SetOwner(IAttrSetOwner* owner) { m_owner = owner; }
    IAttrSetOwner* Owner() const { return m_owner; }

    int32_t GetCount() const { return m_entries.GetCount(); }
    // -1 the last; null out of range.
    CAttrEntry* GetAt(int32_t index) const { return m_entries.GetAt(index); }
    CAttrEntry* Find(const CVincaName* name) const;
    // The entry of the name, made with an empty value when missing; null for
    // a null name or when memory runs out.
    CAttrEntry* GetOrAdd(const CVincaName* name);
    // Sets the value of an existing entry; false when there is none.
    bool SetValue(const CVincaName* name, const plat::VARIANT& value);
    // 0, 7 when memory runs out, 380 for a null name.
    VResult SetOrAddValue(const CVincaName* name, const plat::VARIANT& value);
    // Removes the entry (when there is one), then tells the owner that the
    // set changed and that the name was removed.
    void RemoveEntry(const CVincaName* name);
    void RemoveAll();
    // Empties this set and deep-copies the other one, nested sets included.
    VResult CopyFrom(const CAttrSet& other);
    // Adds an entry read from a stream (replacing one of the same name).
    VResult Adopt(Ref<CAttrEntry> entry);

    // A copy of the value of the name; false when absent.
    bool Lookup(const CVincaName* name, plat::Variant& out) const;
    const plat::Variant* FindValue(const CVincaName* name) const;
    // Integer values (type 3); reading an absent one gives 0.
    void SetInt(const CVincaName* name, int32_t value);
    int32_t GetInt(const CVincaName* name) const;
    // A value as text; `fallback` when absent.
    std::string GetText(const CVincaName* name, const std::string& fallback = {}) const;

  private:
    friend class CAttrEntry;
    CAttrSet() = default;
    ~CAttrSet() override;
    void NotifyChanged(const CVincaName* name);
    // The entry's position (found or not, as the table's Find gives it).
    bool Locate(const CVincaName* name, int32_t& position) const;
    // A new empty entry at the position; null when memory runs out.
    CAttrEntry* AddAt(const CVincaName* name, int32_t pos);

    class Table : public TKeyedTable<CAttrEntry> {
      public:
        Table() : TKeyedTable(10, 10) {}
        ~Table() override { RemoveAll(); }

      protected:
        int Compare(const void* a, const void* b) const override;
        const void* KeyOf(const void* entry) const override;
        void ReleaseEntry(void* entry) override;
    };

    Table m_entries;
    IAttrSetOwner* m_owner{nullptr};
};

} // namespace vinca
