#pragma once
// The control's picture slots (16 numbered pictures with a text and a value
// byte each) and its level definitions (per tree level a table of pictures),
// as the persisted tree object stores them.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vinca/model/attr.h"
#include "vinca/model/picture.h"

namespace vinca {

class CTreeStream;

struct CPictureSlot {
    plat::ComPtr<IVincaPicture> picture;
    std::optional<std::string> text;
    uint8_t value{0};
};

class CPictureSlots : public CVincaObject {
  public:
    static constexpr uint16_t kTag = 0x4B4D; // "MK"
    static constexpr int kSlots = 16;

    // Slots 0 to 15, empty.
    static Ref<CPictureSlots> New();
    void Reset();
    CPictureSlot& Slot(uint8_t key) { return m_slots[key]; }
    const std::map<uint8_t, CPictureSlot>& Slots() const { return m_slots; }

    void Write(CTreeStream& ts) const;
    // A table that does not start with "MK" is 20202.
    bool Read(CTreeStream& ts);

  private:
    CPictureSlots() { Reset(); }
    std::map<uint8_t, CPictureSlot> m_slots;
};

struct CLevelDef {
    Ref<CAttrSet> pictures; // picture keys to pictures; may be null
    int32_t level{0};
};

class CLevelDefs : public CVincaObject {
  public:
    static Ref<CLevelDefs> New();
    // Null entries are levels without a definition.
    std::vector<std::unique_ptr<CLevelDef>>& Levels() { return m_levels; }

    void Write(CTreeStream& ts) const;
    bool Read(CTreeStream& ts);

  private:
    CLevelDefs() = default;
    std::vector<std::unique_ptr<CLevelDef>> m_levels;
};

} // namespace vinca
