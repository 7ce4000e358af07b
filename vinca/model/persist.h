#pragma once
// What the control keeps in its container's persisted properties: the
// ordered list of named properties with their kinds, defaults and the
// versions from which a reader expects them; the whole tree as the sub-object
// "TreeData"; and the default item cell definition as a blob.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/object.h"
#include "platform/com/persist.h"
#include "platform/com/prop_exchange.h"
#include "vinca/model/grid.h"
#include "vinca/model/item.h"
#include "vinca/model/picture_slots.h"
#include "vinca/model/stream.h"

namespace vinca {

inline constexpr plat::CLSID CLSID_TreeSerializeObject =
    plat::make_guid("C69411A1-5D5D-11D2-A13C-0040054699BC");

// ---- the tree sub-object -------------------------------------------------

// The whole tree with its picture slots, tree grid and level definitions.
// Saving writes a tree stream; loading fills the object only when the whole
// stream was read.
class CTreeSerializeObject : public plat::DispatchObject<CTreeSerializeObject, plat::IPersistStreamInit> {
  public:
    static const plat::DispatchTable<CTreeSerializeObject>& dispatch_table();
    // `standalone`: made by the class factory (its contents are adopted by
    // the control that loads it); else made by a control for saving.
    explicit CTreeSerializeObject(bool standalone = true) : m_standalone(standalone) {}

    plat::HRESULT GetClassID(plat::CLSID* out) override;
    plat::HRESULT IsDirty() override { return plat::S_OK; }
    plat::HRESULT Load(plat::IStream* stream) override;
    plat::HRESULT Save(plat::IStream* stream, plat::BOOL clear_dirty) override;
    plat::HRESULT GetSizeMax(uint64_t*) override { return plat::E_NOTIMPL; }
    plat::HRESULT InitNew() override { return plat::S_OK; }

    bool Standalone() const { return m_standalone; }
    // The root item whose child node is the tree (null for none).
    Ref<CItem> root;
    Ref<CPictureSlots> slots;
    Ref<CTreeGrid> grid;
    Ref<CLevelDefs> levels;
    // Pictures loaded from the stream, in the order it introduced them.
    std::vector<plat::ComPtr<plat::IDispatch>> pictures;
    // The last load's or save's error code (0, or a stream error; 20204 for a
    // stream of version 3 or less).
    VResult lastError{VE_OK};

  private:
    bool m_standalone;
};

// ---- the default item cell definition blob -------------------------------

// An attribute list as a tree stream behind a uint32 block-size prefix.
std::optional<GlobalBlock> SaveAttrSetBlob(const CAttrSet& set);
// Replaces the set's entries only when the whole blob was read.
VResult LoadAttrSetBlob(std::span<const uint8_t> blob, CAttrSet& set);

// ---- the property list ---------------------------------------------------

enum class PropKind : uint8_t {
    Boolean,
    Short,
    Long,
    ULong,
    Float,
    Color,
    String,
    Picture,
    Blob,
    SubObject,
    ScaledX, // pixels held, exchanged as a long in the container's unit
    ScaledY,
};

enum class PropDefault : uint8_t {
    None,        // a missing property keeps its value
    Value,       // the row's default value
    Current,     // the current value (ToolTips colours)
    ForeColor,   // the current ForeColor (TreeLinesColor)
    WindowFrame, // the system window-frame colour
};

struct PersistedProperty {
    std::string_view name;
    PropKind kind;
    PropDefault def;
    int32_t default_value;
    // Loaded data must be at least this version (0: any); with `internal`
    // the gate is _InternalVersion, and `above` makes it strictly above.
    uint32_t from;
    bool internal{false};
    bool above{false};
};

inline constexpr uint32_t kPropVersion = 0x60009;
inline constexpr uint32_t kInternalVersion = 0x70009;

// The 91 properties in exchange order.
std::span<const PersistedProperty> PersistedProperties();
const PersistedProperty* FindPersistedProperty(std::string_view name);

// The control's side of the exchange: reads and applies values by name. A
// value that Apply refuses keeps the old one (and is reported by it).
class IPersistTarget {
  public:
    virtual plat::Variant Get(const PersistedProperty& p) = 0;
    virtual void Apply(const PersistedProperty& p, const plat::Variant& value) = 0;
    // Sizes: pixels to the container's unit and back.
    virtual int32_t ToContainerUnits(int32_t pixels, bool horizontal) { return pixels; }
    virtual int32_t FromContainerUnits(int32_t units, bool horizontal) { return units; }
    // The framework's property-conversion flag: entries 5 to 13 are skipped.
    virtual bool ConvertingProperties() { return false; }
    virtual uint32_t WindowFrameColor() { return 0x000000; }
    // The default item cell definition, exchanged as a blob (null: none).
    virtual CAttrSet* DefaultItemCellDef() { return nullptr; }

  protected:
    ~IPersistTarget() = default;
};

// Runs the list through an exchange with the version rules: saving writes
// every entry at the current versions; loading reads an entry only when the
// loaded versions reach its gate (otherwise the member keeps its value), reads
// and drops the retired entries of the versions that had them, and takes
// ColDelimiter as a string in the data of internal version 0x70000.
void ExchangeProperties(plat::PropExchange& px, IPersistTarget& target);

} // namespace vinca
