#pragma once
// How a cell reads its attributes: by reserved key ("__ForeColor",
// "__Picture", ...) through the chain of attribute sources that the control
// puts together for the cell (the item, its column, its level, the control's
// defaults). The control implements IAttrChain over its sources; the views
// only read through it. CMapAttrChain is a plain map of keys to values, for
// fixtures and for callers that already hold the values.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/variant.h"
#include "vinca/views/font_holder.h"
#include "vinca/views/picture_render.h"

namespace vinca {

struct CTreeCellData;

class IAttrChain {
  public:
    virtual ~IAttrChain() = default;
    // What the control prepared for the tree cell of the item being laid
    // out; null outside the tree column.
    virtual const CTreeCellData* TreeCellData() const { return nullptr; }
    // The first source's value of a key; false when no source has it.
    virtual bool Lookup(std::string_view key, plat::Variant& out) const = 0;

    bool Has(std::string_view key) const;
    // Integers stored as 8-, 16- or 32-bit whole numbers; anything else
    // (a Boolean included) and a missing key read 0.
    int32_t GetInt(std::string_view key) const;
    // The integer, or nullopt when absent or not an integer.
    std::optional<int32_t> FindInt(std::string_view key) const;
    // A number of any numeric type.
    std::optional<double> GetNumber(std::string_view key) const;
    // The font or picture of a key; a missing one clears the holder.
    bool GetFont(std::string_view key, CFontHolder& holder) const;
    bool GetPicture(std::string_view key, CPictureHolder& holder) const;
};

class CMapAttrChain : public IAttrChain {
  public:
    CMapAttrChain() = default;
    // Keys not found here are looked up in `next`.
    explicit CMapAttrChain(const IAttrChain* next) : m_next(next) {}
    bool Lookup(std::string_view key, plat::Variant& out) const override;
    const CTreeCellData* TreeCellData() const override {
        return m_treeData ? m_treeData : m_next ? m_next->TreeCellData() : nullptr;
    }
    void SetTreeCellData(const CTreeCellData* d) { m_treeData = d; }

    CMapAttrChain& Set(std::string_view key, const plat::Variant& v);
    CMapAttrChain& SetInt(std::string_view key, int32_t v) { return Set(key, plat::Variant(v)); }
    CMapAttrChain& SetText(std::string_view key, std::string_view v) { return Set(key, plat::Variant(v)); }
    void Remove(std::string_view key) { m_values.erase(std::string(key)); }

  private:
    const IAttrChain* m_next{nullptr};
    const CTreeCellData* m_treeData{nullptr};
    std::map<std::string, plat::Variant, std::less<>> m_values;
};

} // namespace vinca
