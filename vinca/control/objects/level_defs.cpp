#include "vinca/control/objects/level_defs.h"

#include "platform/com/enum_variant.h"
#include "vinca/control/control.h"
#include "vinca/control/members.h"
#include "vinca/control/objects/cell_def.h"
#include "vinca/model/picture_slots.h"
#include "vinca/model/values.h"

namespace vinca {

namespace {

CVincaCtrl& Live(const ControlLink& link) {
    if (!link || !*link) ThrowVincaError(VE_DISCONNECTED);
    return **link;
}

plat::Variant LevelObject(const ControlLink& link, int32_t level) {
    auto obj = plat::make_object<COleLevelDef>(link, static_cast<int16_t>(level));
    return plat::Variant(static_cast<plat::IDispatch*>(obj.get()));
}

} // namespace

// The level's definition, or null when it does not exist.
CLevelDef* FindLevel(CVincaCtrl& ctl, int32_t level) {
    CLevelDefs* defs = ctl.LevelDefs(false);
    if (!defs || level < 0 || static_cast<size_t>(level) >= defs->Levels().size()) return nullptr;
    return defs->Levels()[level].get();
}

// Makes the level, padding the list with empty entries up to it.
CLevelDef* MakeLevel(CVincaCtrl& ctl, int32_t level) {
    if (level < 0 || level > 32767) ThrowVincaError(VE_BAD_INDEX);
    CLevelDefs* defs = ctl.LevelDefs(true);
    if (!defs) ThrowVincaError(VE_OUT_OF_MEMORY);
    auto& levels = defs->Levels();
    if (levels.size() <= static_cast<size_t>(level)) levels.resize(level + 1);
    if (!levels[level]) {
        levels[level] = std::make_unique<CLevelDef>();
        levels[level]->level = level;
    }
    if (!levels[level]->pictures) levels[level]->pictures = CAttrSet::New();
    return levels[level].get();
}

plat::HRESULT COleLevelDefs::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaLevelDefs) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

plat::HRESULT COleLevelDef::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaLevelDef) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

const plat::DispatchTable<COleLevelDefs>& COleLevelDefs::dispatch_table() {
    auto item = [](COleLevelDefs& self, plat::DispCall& c) {
        Live(self.m_link);
        const plat::VARIANT& key = plat::deref(c.arg(0));
        // A number names a level, made or not; anything else is Nothing.
        if (key.vt == plat::VT_I2 || key.vt == plat::VT_I4)
            c.result() = LevelObject(self.m_link, key.vt == plat::VT_I2 ? key.iVal : key.lVal);
        else
            c.result() = plat::Variant(static_cast<plat::IDispatch*>(nullptr));
    };
    static const plat::DispatchTable<COleLevelDefs> table{
        {.id = 0,
         .name = "_Item",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .params = {{"Index", plat::VT_VARIANT, 0}},
         .get = item,
         .access = plat::kNoPut},
        {.id = 1,
         .name = "Count",
         .kind = plat::DispKind::Property,
         .type = plat::VT_I4,
         .get =
             [](COleLevelDefs& self, plat::DispCall& c) {
                 CLevelDefs* defs = Live(self.m_link).LevelDefs(false);
                 c.result() = plat::Variant(static_cast<int32_t>(defs ? defs->Levels().size() : 0));
             },
         .access = plat::kNoPut},
        {.id = 2,
         .name = "Item",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .params = {{"Index", plat::VT_VARIANT, 0}},
         .get = item,
         .access = plat::kNoPut},
        {.id = plat::DISPID_NEWENUM,
         .name = "_NewEnum",
         .kind = plat::DispKind::Method,
         .type = plat::VT_UNKNOWN,
         .get =
             [](COleLevelDefs& self, plat::DispCall& c) {
                 CVincaCtrl& ctl = Live(self.m_link);
                 // The existing levels, in list order.
                 std::vector<plat::Variant> levels;
                 if (CLevelDefs* defs = ctl.LevelDefs(false))
                     for (const auto& l : defs->Levels())
                         if (l) levels.push_back(LevelObject(self.m_link, l->level));
                 auto e = plat::create_variant_enum(std::move(levels));
                 c.result() = plat::Variant(static_cast<plat::IUnknown*>(e.get()));
             }},
    };
    return table;
}

const plat::DispatchTable<COleLevelDef>& COleLevelDef::dispatch_table() {
    auto picture_get = [](const char* key) {
        return [key](COleLevelDef& self, plat::DispCall& c) {
            CLevelDef* level = FindLevel(Live(self.m_link), self.m_level);
            const plat::Variant* v =
                level && level->pictures ? level->pictures->FindValue(GlobalName(key)) : nullptr;
            c.result() = v && v->vt == plat::VT_DISPATCH && v->pdispVal ? *v : members::EmptyPictureValue();
        };
    };
    auto picture_put = [](const char* key) {
        return [key](COleLevelDef& self, plat::DispCall& c) {
            CVincaCtrl& ctl = Live(self.m_link);
            plat::ComPtr<IVincaPicture> pic = members::PictureFromValue(c.value());
            if (!pic) return; // Nothing leaves the stored picture
            plat::Variant v;
            ValueSetPicture(v, pic.get());
            // The closing notice goes out also when the level cannot be made.
            CVincaEngine::UpdateScope notices(ctl.Engine());
            CLevelDef* level = MakeLevel(ctl, self.m_level);
            CheckVinca(level->pictures->SetOrAddValue(GlobalName(key), v));
        };
    };
    auto cell_def = [](COleLevelDef& self, plat::DispCall& c) {
        Live(self.m_link);
        c.result() = CellDefObject(self.m_link, CellDefKind::Level, LevelCellTarget(self.m_level));
    };
    // Nothing clears the level's cell definition; its pictures stay.
    auto cell_def_put = [](COleLevelDef& self, plat::DispCall& c) {
        ClearCellDef(Live(self.m_link), c.value(), LevelCellTarget(self.m_level));
    };
    static const plat::DispatchTable<COleLevelDef> table{
        {.id = 0,
         .name = "_CellDef",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .get = cell_def,
         .put = cell_def_put,
         .put_type = plat::VT_VARIANT},
        {.id = 1,
         .name = "CellDef",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .get = cell_def,
         .put = cell_def_put,
         .put_type = plat::VT_VARIANT},
        {.id = 2,
         .name = "Indentation",
         .kind = plat::DispKind::Property,
         .type = plat::VT_I2,
         .get =
             [](COleLevelDef& self, plat::DispCall& c) {
                 Live(self.m_link);
                 c.result() = plat::Variant(self.m_level);
             },
         .access = plat::kNoPut},
        {.id = 3,
         .name = "PictureOpen",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .get = picture_get("__PictureOpen"),
         .put = picture_put("__PictureOpen"),
         .put_type = plat::VT_VARIANT},
        {.id = 4,
         .name = "PictureClosed",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .get = picture_get("__PictureClosed"),
         .put = picture_put("__PictureClosed"),
         .put_type = plat::VT_VARIANT},
        {.id = 5,
         .name = "PictureLeaf",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .get = picture_get("__PictureLeaf"),
         .put = picture_put("__PictureLeaf"),
         .put_type = plat::VT_VARIANT},
    };
    return table;
}

} // namespace vinca
