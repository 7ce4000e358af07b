#include "vinca/control/prop_families.h"

#include <string>

namespace vinca::rows {

namespace {

// The common tail of a family's put: equal values change nothing.
void Store(CVincaCtrl& self, plat::DISPID id, const plat::Variant& v, bool equal, Refresh r, Mark m) {
    if (equal) return;
    self.StoreProp(id, v);
    self.RequestRefresh(r.flags, r.code);
    if (m == Mark::Yes) self.MarkModified();
}

plat::DispHandler<CVincaCtrl> Getter(plat::DISPID id) {
    return [id](CVincaCtrl& self, plat::DispCall& c) { c.result() = self.Prop(id); };
}

} // namespace

Row Enum(plat::DISPID id, std::string_view name, int16_t bound, Refresh r, Mark m, uint8_t access) {
    return Row{.id = id,
               .name = name,
               .kind = DispKind::Property,
               .type = plat::VT_I2,
               .get = Getter(id),
               .put =
                   [=](CVincaCtrl& self, plat::DispCall& c) {
                       const int16_t v = c.value().iVal;
                       if (v < 0 || v >= bound) ThrowVincaError(VE_INVALID_ARGUMENT);
                       Store(self, id, plat::Variant(v), self.Prop(id).to_i2() == v, r, m);
                   },
               .access = access};
}

Row Boolean(plat::DISPID id, std::string_view name, Refresh r, Mark m, uint8_t access) {
    return Row{.id = id,
               .name = name,
               .kind = DispKind::Property,
               .type = plat::VT_BOOL,
               .get = Getter(id),
               .put =
                   [=](CVincaCtrl& self, plat::DispCall& c) {
                       const bool v = c.value().boolVal != 0;
                       Store(self, id, plat::Variant::boolean(v), self.Prop(id).to_bool() == v, r, m);
                   },
               .access = access};
}

Row Color(plat::DISPID id, std::string_view name, Refresh r, Mark m) {
    return Row{.id = id,
               .name = name,
               .kind = DispKind::Property,
               .type = plat::VT_I4,
               .get = Getter(id),
               .put = [=](CVincaCtrl& self, plat::DispCall& c) {
                   const int32_t v = c.value().lVal;
                   Store(self, id, plat::Variant(v), self.Prop(id).to_i4() == v, r, m);
               }};
}

Row Stored(plat::DISPID id, std::string_view name, plat::VARTYPE type, Refresh r, Mark m, uint8_t access) {
    return Row{.id = id,
               .name = name,
               .kind = DispKind::Property,
               .type = type,
               .get = Getter(id),
               .put =
                   [=](CVincaCtrl& self, plat::DispCall& c) {
                       const plat::Variant& v = c.value();
                       const plat::Variant& old = self.Prop(id);
                       bool equal = false;
                       if (type == plat::VT_BSTR)
                           equal = old.to_utf8() == v.to_utf8();
                       else if (type == plat::VT_BOOL)
                           equal = old.to_bool() == v.to_bool();
                       else
                           equal = old.to_i4() == v.to_i4();
                       Store(self, id, type == plat::VT_BOOL ? plat::Variant::boolean(v.boolVal != 0) : v,
                             equal, r, m);
                   },
               .access = access};
}

Row DefCell(plat::DISPID id, std::string_view name, int16_t bound, std::vector<std::string_view> aliases) {
    const bool color = bound == 0;
    return Row{.id = id,
               .name = name,
               .kind = DispKind::Property,
               .type = color ? plat::VT_I4 : plat::VT_I2,
               .get = [id](CVincaCtrl& self, plat::DispCall& c) { c.result() = self.DefCellGet(id); },
               .put =
                   [=](CVincaCtrl& self, plat::DispCall& c) {
                       if (!color && (c.value().iVal < 0 || c.value().iVal >= bound))
                           ThrowVincaError(VE_INVALID_ARGUMENT);
                       if (!self.DefCellSet(id, c.value())) return;
                       self.RequestRefresh(1, 0);
                       self.MarkModified();
                   },
               .aliases = std::move(aliases)};
}

Row Refused(plat::DISPID id, std::string_view name, DispKind kind, plat::VARTYPE type,
            std::vector<DispParam> params) {
    return Row{.id = id,
               .name = name,
               .kind = kind,
               .type = type,
               .params = std::move(params),
               .access = plat::kNoGet | plat::kNoPut};
}

Row NoWindow(plat::DISPID id, std::string_view name, DispKind kind, plat::VARTYPE type,
             std::vector<DispParam> params, uint8_t access) {
    auto raise = [](CVincaCtrl&, plat::DispCall&) { ThrowVincaError(VE_NO_WINDOW); };
    Row row{
        .id = id, .name = name, .kind = kind, .type = type, .params = std::move(params), .access = access};
    if (!(access & plat::kNoGet)) row.get = raise;
    if (kind == DispKind::Property && !(access & plat::kNoPut)) row.put = raise;
    return row;
}

Row NotYet(plat::DISPID id, std::string_view name, DispKind kind, plat::VARTYPE type,
           std::vector<DispParam> params, uint8_t access) {
    std::string text = std::string(name) + " is not available in this build of the control";
    auto raise = [text](CVincaCtrl&, plat::DispCall&) { plat::raise_hresult(plat::E_NOTIMPL, text); };
    Row row{
        .id = id, .name = name, .kind = kind, .type = type, .params = std::move(params), .access = access};
    if (!(access & plat::kNoGet)) row.get = raise;
    if (kind == DispKind::Property && !(access & plat::kNoPut)) row.put = raise;
    return row;
}

} // namespace vinca::rows
