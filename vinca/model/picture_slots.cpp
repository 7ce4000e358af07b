// Picture slots and level definitions in the tree stream.
#include "vinca/model/picture_slots.h"

#include "vinca/model/tree_stream.h"

namespace vinca {

namespace {
// Smallest stored slot: key, picture presence, text presence.
constexpr uint64_t kMinSlotBytes = 3;
// Smallest stored level: its presence byte.
constexpr uint64_t kMinLevelBytes = 1;

bool fits(CTreeStream& ts, uint64_t count, uint64_t min_bytes) {
    auto left = ts.Bytes().Remaining();
    return !left || *left / min_bytes >= count;
}
} // namespace

Ref<CPictureSlots> CPictureSlots::New() {
    return Ref<CPictureSlots>(new CPictureSlots());
}

void CPictureSlots::Reset() {
    m_slots.clear();
    for (int i = 0; i < kSlots; ++i)
        m_slots[static_cast<uint8_t>(i)];
}

void CPictureSlots::Write(CTreeStream& ts) const {
    CVincaStream& s = ts.Bytes();
    s.WriteU16(kTag);
    s.WriteU16(static_cast<uint16_t>(m_slots.size()));
    for (const auto& [key, slot] : m_slots) {
        s.WriteU8(key);
        ts.WritePicture(slot.picture.get());
        s.WriteU8(slot.text ? 1 : 0);
        if (slot.text) ts.WriteByteString(*slot.text);
        s.WriteU8(slot.value);
    }
}

bool CPictureSlots::Read(CTreeStream& ts) {
    CVincaStream& s = ts.Bytes();
    uint16_t tag = 0, count = 0;
    if (!s.ReadU16(tag)) return false;
    if (tag != kTag) return ts.SetError(VE_FILE_INPUT), false;
    if (!s.ReadU16(count)) return false;
    if (!fits(ts, count, kMinSlotBytes)) return ts.BadFormat();
    Reset();
    for (uint16_t i = 0; i < count; ++i) {
        uint8_t key = 0, has_text = 0;
        if (!s.ReadU8(key)) return false;
        CPictureSlot& slot = Slot(key);
        if (!ts.ReadPicture(slot.picture) || !s.ReadU8(has_text)) return false;
        slot.text.reset();
        if (has_text) {
            std::string text;
            if (ts.Version() >= 12) {
                if (!ts.ReadByteString(text)) return false;
                slot.text = std::move(text);
            } else {
                std::optional<std::string> old;
                if (!ts.ReadString(old)) return false;
                slot.text = old.value_or(std::string());
            }
        }
        if (ts.Version() >= 8 && !s.ReadU8(slot.value)) return false;
    }
    return !ts.Failed();
}

Ref<CLevelDefs> CLevelDefs::New() {
    return Ref<CLevelDefs>(new CLevelDefs());
}

void CLevelDefs::Write(CTreeStream& ts) const {
    CVincaStream& s = ts.Bytes();
    s.WriteU32(static_cast<uint32_t>(m_levels.size()));
    for (const auto& level : m_levels) {
        s.WriteU8(level ? 1 : 0);
        if (!level) continue;
        s.WriteU8(level->pictures ? 1 : 0);
        if (level->pictures) ts.WriteAttrList(*level->pictures);
        s.WriteI32(level->level);
    }
}

bool CLevelDefs::Read(CTreeStream& ts) {
    CVincaStream& s = ts.Bytes();
    uint32_t count = 0;
    if (!s.ReadU32(count)) return false;
    if (!fits(ts, count, kMinLevelBytes)) return ts.BadFormat();
    std::vector<std::unique_ptr<CLevelDef>> levels;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t presence = 0;
        if (!s.ReadU8(presence)) return false;
        if (!presence) {
            levels.push_back(nullptr);
            continue;
        }
        auto level = std::make_unique<CLevelDef>();
        if (!s.ReadU8(presence)) return false;
        if (presence) {
            level->pictures = CAttrSet::New();
            if (!ts.ReadAttrList(*level->pictures)) return false;
        }
        if (ts.Version() <= 9) { // a second table, no longer used
            if (!s.ReadU8(presence)) return false;
            if (presence) {
                Ref<CAttrSet> dropped = CAttrSet::New();
                if (!ts.ReadAttrList(*dropped)) return false;
            }
        }
        if (!s.ReadI32(level->level)) return false;
        levels.push_back(std::move(level));
    }
    m_levels = std::move(levels);
    return !ts.Failed();
}

} // namespace vinca
