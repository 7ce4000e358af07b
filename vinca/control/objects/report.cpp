#include "vinca/control/objects/report.h"

#include "platform/ui/window_table.h"
#include "vinca/control/control.h"
#include "vinca/control/errors.h"
#include "vinca/control/objects/page.h"
#include "vinca/control/printing.h"

namespace vinca {

namespace {

using Member = plat::DispMember<COleReport>;
using Setting = int32_t ReportSettings::*;
using Flag = bool ReportSettings::*;

Member Prop(plat::DISPID id, std::string_view name, plat::VARTYPE type, plat::DispHandler<COleReport> get,
            plat::DispHandler<COleReport> put) {
    return Member{
        .id = id, .name = name, .kind = plat::DispKind::Property, .type = type, .get = get, .put = put};
}

// A 32-bit setting: -1 (or `none`) without an engine; a write checked by
// `valid` (380 when it fails) that marks the pages stale when `layout`.
Member Number(plat::DISPID id, std::string_view name, Setting field, int32_t none = -1,
              bool (*valid)(int32_t) = nullptr, bool layout = true) {
    return Prop(
        id, name, plat::VT_I4,
        [field, none](COleReport& self, plat::DispCall& c) {
            CReportEngine* e = self.Engine(false);
            c.result() = plat::Variant(e ? e->Settings().*field : none);
        },
        [field, valid, layout](COleReport& self, plat::DispCall& c) {
            const int32_t v = c.value().lVal;
            if (valid && !valid(v)) ThrowVincaError(VE_INVALID_ARGUMENT);
            self.Engine(true)->Change([&](ReportSettings& s) { s.*field = v; }, layout);
        });
}

Member Boolean(plat::DISPID id, std::string_view name, Flag field, bool layout) {
    return Prop(
        id, name, plat::VT_BOOL,
        [field](COleReport& self, plat::DispCall& c) {
            CReportEngine* e = self.Engine(false);
            c.result() = plat::Variant::boolean(e && e->Settings().*field);
        },
        [field, layout](COleReport& self, plat::DispCall& c) {
            const bool v = c.value().boolVal != 0;
            self.Engine(true)->Change([&](ReportSettings& s) { s.*field = v; }, layout);
        });
}

int32_t PageArg(const plat::DispCall& c, size_t i) {
    if (!c.has_arg(i)) return -1;
    const plat::VARIANT& v = plat::deref(c.arg(i));
    switch (v.vt) {
    case plat::VT_I2:
    case plat::VT_I4:
    case plat::VT_R4:
    case plat::VT_R8:
    case plat::VT_UI1:
    case plat::VT_BOOL:
        return plat::Variant(v).to_i4();
    default:
        return -1; // not a number
    }
}

plat::Variant Pages(COleReport& self, const ControlLink& link) {
    CReportEngine* e = self.Engine(false);
    auto obj = plat::make_object<COlePages>(link, e ? e->Pages() : PageList());
    return plat::Variant(static_cast<plat::IDispatch*>(obj.get()));
}

} // namespace

void RaiseReportStatus(int32_t status) {
    switch (status) {
    case kReportOk:
        return;
    case kReportMargins:
        ThrowVincaError(VE_REPORT_MARGINS);
    case kReportDc:
        ThrowVincaError(VE_REPORT_DC);
    case kReportPage:
        ThrowVincaError(VE_REPORT_PAGE);
    default:
        ThrowVincaError(VE_INVALID_ARGUMENT);
    }
}

plat::Variant ReportObject(const ControlLink& link) {
    auto obj = plat::make_object<COleReport>(link);
    return plat::Variant(static_cast<plat::IDispatch*>(obj.get()));
}

CReportEngine* COleReport::Engine(bool make) const {
    if (!m_link || !*m_link) {
        if (make) ThrowVincaError(VE_DISCONNECTED);
        return nullptr;
    }
    return ReportEngine(**m_link, make);
}

plat::HRESULT COleReport::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaReport) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

const plat::DispatchTable<COleReport>& COleReport::dispatch_table() {
    auto pages = [](COleReport& self, plat::DispCall& c) { c.result() = Pages(self, self.m_link); };
    static const plat::DispatchTable<COleReport> table{
        {.id = 0,
         .name = "_Pages",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .get = pages,
         .access = plat::kNoPut},
        Member{.id = 1,
               .name = "PrinterObject",
               .kind = plat::DispKind::Property,
               .type = plat::VT_VARIANT,
               .get =
                   [](COleReport& self, plat::DispCall& c) {
                       CReportEngine* e = self.Engine(false);
                       c.result() = e ? e->Settings().printerObject : plat::Variant();
                   },
               .put =
                   [](COleReport& self, plat::DispCall& c) {
                       // Without a printer (none, or the dialog cancelled)
                       // the next run fails with 20124.
                       self.Engine(true)->SetPrinterObject(c.value());
                   }},
        Number(2, "FirstItem", &ReportSettings::firstItem),
        Number(3, "LastItem", &ReportSettings::lastItem),
        Number(4, "LeftMargin", &ReportSettings::leftMargin),
        Number(5, "TopMargin", &ReportSettings::topMargin),
        Number(6, "RightMargin", &ReportSettings::rightMargin),
        Number(7, "BottomMargin", &ReportSettings::bottomMargin),
        Number(8, "Zoom", &ReportSettings::zoom, -1, [](int32_t v) { return v >= 1 && v <= 10000; }),
        Number(
            9, "AbortWindowStyle", &ReportSettings::abortWindowStyle, 0,
            [](int32_t v) { return v >= 0 && v <= 2; }, false),
        Prop(
            10, "AbortWindow", plat::VT_I4,
            [](COleReport& self, plat::DispCall& c) {
                CReportEngine* e = self.Engine(false);
                c.result() = plat::Variant(static_cast<int32_t>(e ? e->Settings().abortWindow : 0));
            },
            [](COleReport& self, plat::DispCall& c) {
                const uint32_t v = static_cast<uint32_t>(c.value().lVal);
                if (!plat::ui::WindowFromHandle(v)) ThrowVincaError(VE_INVALID_ARGUMENT);
                self.Engine(true)->Change([&](ReportSettings& s) { s.abortWindow = v; }, false);
            }),
        Boolean(11, "AutoNewPage", &ReportSettings::autoNewPage, true),
        Number(12, "PrintLevels", &ReportSettings::printLevels, -1,
               [](int32_t v) { return v >= -1 && v <= 255; }),
        Prop(
            13, "PreviewMode", plat::VT_BOOL,
            [](COleReport& self, plat::DispCall& c) {
                CReportEngine* e = self.Engine(false);
                c.result() = plat::Variant::boolean(e && e->Settings().previewMode);
            },
            [](COleReport& self, plat::DispCall& c) {
                const bool v = c.value().boolVal != 0;
                self.Engine(true)->Change([&](ReportSettings& s) {
                    s.previewMode = v;
                    s.previewWidth = s.previewHeight = -1;
                });
            }),
        Number(14, "PreviewPageWidth", &ReportSettings::previewWidth),
        Number(15, "PreviewPageHeight", &ReportSettings::previewHeight),
        {.id = 16,
         .name = "Pages",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .get = pages,
         .access = plat::kNoPut},
        Number(17, "ShowColumnTitles", &ReportSettings::showColumnTitles, 0,
               [](int32_t v) { return v >= 0 && v <= 2; }),
        {.id = 18,
         .name = "PrintingStop",
         .kind = plat::DispKind::Method,
         .type = plat::VT_EMPTY,
         .get = [](COleReport& self, plat::DispCall&) { self.Engine(true)->Stop(); }},
        {.id = 19,
         .name = "IsPrinting",
         .kind = plat::DispKind::Method,
         .type = plat::VT_BOOL,
         .get =
             [](COleReport& self, plat::DispCall& c) {
                 CReportEngine* e = self.Engine(false);
                 c.result() = plat::Variant::boolean(e && e->IsPrinting());
             }},
        {.id = 20,
         .name = "Start",
         .kind = plat::DispKind::Method,
         .type = plat::VT_EMPTY,
         .params = {{"StartPage", plat::VT_VARIANT, plat::kParamOptional},
                    {"EndPage", plat::VT_VARIANT, plat::kParamOptional}},
         .get =
             [](COleReport& self, plat::DispCall& c) {
                 CReportEngine* e = self.Engine(true);
                 if (e->Busy()) return;
                 // The engine goes with the control, which an event may release.
                 plat::ComPtr<CVincaCtrl> keep(*self.m_link);
                 e->Start(PageArg(c, 0), PageArg(c, 1));
                 RaiseReportStatus(e->Status());
             }},
        {.id = 21,
         .name = "PrepareForPrinting",
         .kind = plat::DispKind::Method,
         .type = plat::VT_I4,
         .get =
             [](COleReport& self, plat::DispCall& c) {
                 CReportEngine* e = self.Engine(true);
                 if (e->Busy()) return;
                 plat::ComPtr<CVincaCtrl> keep(*self.m_link);
                 c.result() = plat::Variant(e->PrepareForPrinting());
                 RaiseReportStatus(e->Status());
             }},
        Boolean(22, "PostScriptDC", &ReportSettings::postScript, true),
        Boolean(23, "PrintBackground", &ReportSettings::printBackground, false),
    };
    return table;
}

} // namespace vinca
