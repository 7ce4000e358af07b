#pragma once
// Attribute sources: anything a cell reads its attributes from by key. A
// chain of sources answers from the first source that knows the key, so a
// definition inherits attribute by attribute from the ones behind it; the
// control's own properties end every chain.
#include <array>
#include <cstdint>

#include "platform/com/variant.h"
#include "vinca/model/attr.h"
#include "vinca/model/names.h"

namespace vinca {

class CAttrSource {
  public:
    virtual ~CAttrSource() = default;
    // True when the source knows the key; `out` then holds a copy of the
    // value. Otherwise `out` is left as it was.
    virtual bool Lookup(const CVincaName* key, plat::Variant& out) const = 0;

    // A 16- or 32-bit integer gives its value; any other type, and no
    // answer, give 0.
    int32_t GetInt(const CVincaName* key) const;
};

// An attribute set as a source (the set is counted while held).
class CAttrSetSource final : public CAttrSource {
  public:
    explicit CAttrSetSource(CAttrSet* set) : m_set(set) {}
    bool Lookup(const CVincaName* key, plat::Variant& out) const override;

  private:
    Ref<CAttrSet> m_set;
};

// A set of inner keys ("__InnerBackColor" beside "__BackColor") that also
// answers a plain key from its inner entry, so that definitions of the
// plain kind inherit from it.
class CInnerKeySource final : public CAttrSource {
  public:
    explicit CInnerKeySource(CAttrSet* set) : m_set(set) {}
    bool Lookup(const CVincaName* key, plat::Variant& out) const override;

  private:
    Ref<CAttrSet> m_set;
};

// The inner form of a plain key, or null when the key has none.
const CVincaName* InnerKeyOf(const CVincaName* key);

// An ordered chain of at most 15 sources. Sources are borrowed: whoever
// builds the chain keeps them alive while it is used.
class CRefList final : public CAttrSource {
  public:
    static constexpr size_t kMaxSources = 15;
    // A null source, and every source past the fifteenth, is not added.
    void Add(const CAttrSource* source);
    size_t Count() const { return m_count; }
    bool Lookup(const CVincaName* key, plat::Variant& out) const override;

  private:
    std::array<const CAttrSource*, kMaxSources> m_sources{};
    size_t m_count{0};
};

// The control's settings the defaults source answers from. Colours are
// translated OLE colours.
struct ControlDefaultValues {
    int32_t foreColor{0};
    int32_t backColor{0xFFFFFF};
    bool transparentBackground{false};
    int32_t selForeColor{0};
    int32_t selBackColor{0};
    int32_t defTextAlignment{2};
    int32_t defPictureAlignment{4};
    int32_t defAlignment{0};
    int32_t defBorderStyle{0};
    int32_t defBorderColor{0};
    int32_t invBorderStyle{0};
    int32_t invStyle{0};
    bool defMultiLine{false};
    // Pictures drawn with one colour left out.
    bool transparentBitmap{false};
    int32_t transparentBitmapColor{0xFFFFFF};
    plat::Variant font; // the control's font object, or empty
    float itemHeight{-1.0f};
    int32_t tabStopDistance{0};
    bool hasGrid{false};
    int32_t widthOfText{-1};
    int32_t widthOfTextMin{0};
};

// The last source of every chain: the control's built-in defaults.
class CControlDefaults final : public CAttrSource {
  public:
    explicit CControlDefaults(ControlDefaultValues values) : m_v(std::move(values)) {}
    bool Lookup(const CVincaName* key, plat::Variant& out) const override;

  private:
    ControlDefaultValues m_v;
};

} // namespace vinca
