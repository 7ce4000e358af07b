#include "vinca/control/printing.h"

#include "platform/com/dispatch_client.h"
#include "platform/com/events.h"
#include "vinca/control/control.h"
#include "vinca/control/dispids.h"
#include "vinca/control/events.h"
#include "vinca/control/objects/page.h"
#include "vinca/control/objects/report.h"
#include "vinca/control/window.h"
#include "vinca/model/grid.h"
#include "vinca/model/item.h"
#include "vinca/views/print_rows.h"

// Qt last: its keyword macros would clash with the model's names.
#include "platform/gdi/dc.h"
#include "platform/ui/process_prompt.h"
#include "platform/ui/window_table.h"
#include "vinca/views/view_window.h"
#include <QtCore/QCoreApplication>
#include <QtPrintSupport/QPrinter>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace vinca {

using plat::gdi::Dc;

namespace {

constexpr plat::DISPID kBeginPage = 25;
constexpr plat::DISPID kEndPage = 26;
constexpr plat::DISPID kPreparePage = 27;

int32_t MulDiv(int64_t a, int64_t b, int64_t c) {
    return c == 0 ? 0 : static_cast<int32_t>(a * b / c);
}

// The page number placeholder of header and footer texts.
std::string WithPageNumber(std::string text, int32_t number) {
    static const std::string kMark = "\\<p>\\";
    const std::string n = std::to_string(number);
    for (size_t at = text.find(kMark); at != std::string::npos; at = text.find(kMark, at + n.size()))
        text.replace(at, kMark.size(), n);
    return text;
}

// The modeless "Printing" dialog with its one Cancel button.
class AbortDialog : public QDialog {
  public:
    AbortDialog(QWidget* owner, bool& cancel) : QDialog(owner) {
        setObjectName("PrintingAbortDialog");
        setWindowTitle("Printing");
        setModal(false);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel("Printing . . .", this));
        auto* button = new QPushButton("Cancel", this);
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [&cancel] { cancel = true; });
    }
};

// The grid the window shows in place of the tree: the control's own, while
// it is visible.
CTreeGrid* ShownGrid(CVincaCtrl& ctrl) {
    CTreeGrid* grid = ctrl.OwnGrid();
    return grid && grid->m_gridFlag != 0 ? grid : nullptr;
}

} // namespace

// What one preparation or run prints on.
struct CReportEngine::Target {
    Dc* dc{nullptr};
    plat::ComPtr<plat::IDispatch> object;
    plat::DISPID newPage{0};
    plat::DISPID endDoc{0};
    bool ownsDoc{false};
    int32_t dpiX{96};
    int32_t dpiY{96};
    int32_t pageW{0}; // twips
    int32_t pageH{0};

    int32_t DevX(int32_t twips) const { return MulDiv(twips, dpiX, 1440); }
    int32_t DevY(int32_t twips) const { return MulDiv(twips, dpiY, 1440); }
    static int32_t Screen(int32_t twips) { return MulDiv(twips, plat::gdi::ScreenPixelsPerInch(), 1440); }
    static int32_t Twips(int32_t screen) { return MulDiv(screen, 1440, plat::gdi::ScreenPixelsPerInch()); }

    // Screen pixels over a device area at `zoom` percent.
    void Map(int32_t x, int32_t y, int32_t w, int32_t h, int32_t zoom) const {
        dc->SetMapMode(plat::gdi::MM_ANISOTROPIC);
        dc->SetWindowOrg({0, 0});
        dc->SetWindowExt({std::max(1, Screen(w)), std::max(1, Screen(h))});
        dc->SetViewportOrg({DevX(x), DevY(y)});
        dc->SetViewportExt(
            {std::max(1, MulDiv(DevX(w), zoom, 100)), std::max(1, MulDiv(DevY(h), zoom, 100))});
    }
};

CReportEngine::CReportEngine(CVincaCtrl& ctrl) : m_ctrl(ctrl) {
    m_fire = [this](plat::DISPID id, std::span<const plat::Variant> args) {
        FireControlEvent(m_ctrl, id, args);
    };
    m_pages = std::make_shared<const std::vector<PageRef>>();
}

CReportEngine::~CReportEngine() {
    DropOwnedPrinter();
}

void CReportEngine::DropOwnedPrinter() {
    if (!m_ownedDc) return;
    plat::gdi::PrinterDcs().remove(m_ownedNumber);
    m_ownedDc.reset();
    m_ownedPrinter.reset();
    m_ownedNumber = 0;
}

bool CReportEngine::SetPrinterObject(const plat::Variant& value) {
    if (Busy()) return true;
    const plat::VARIANT& v = plat::deref(value);
    m_stale = true;
    int32_t number = 0;
    if (v.vt != plat::VT_DISPATCH && v.vt != plat::VT_UNKNOWN && v.vt != plat::VT_EMPTY) {
        plat::HRESULT hr = plat::S_OK;
        number = plat::Variant(v).to_i4(&hr);
        if (plat::FAILED(hr)) number = 0;
    }
    if (number != -1 && number != -2) {
        // A DC number or an object of the container: the document is the
        // container's. A DC made for -1 or -2 before is no longer needed.
        DropOwnedPrinter();
        m_s.printerObject = plat::Variant(v);
        return true;
    }
    plat::ui::IPrompt& prompt = plat::ui::ProcessPrompt();
    std::optional<plat::ui::PrinterChoice> choice =
        number == -1 ? prompt.default_printer() : prompt.choose_printer();
    DropOwnedPrinter();
    m_s.printerObject = plat::Variant();
    if (!choice) return false;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!choice->output_file.empty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(choice->output_file));
    } else {
        printer->setPrinterName(QString::fromStdString(choice->printer_name));
    }
    if (choice->resolution > 0) printer->setResolution(choice->resolution);
    if (!printer->isValid()) return false;
    const int32_t dpi = printer->resolution();
    m_ownedDc = std::make_unique<Dc>(*printer, plat::gdi::DcKind::Printer, dpi, dpi, false);
    m_ownedPrinter = std::move(printer);
    m_ownedNumber = plat::gdi::PrinterDcs().add(m_ownedDc.get());
    m_s.printerObject = plat::Variant(static_cast<int32_t>(m_ownedNumber));
    return true;
}

void CReportEngine::SetHeaderFooter(bool on, int32_t options, std::string header, std::string footer) {
    Change([&](ReportSettings& s) {
        s.headerFooter = on;
        s.headerOptions = options;
        s.header = on ? std::move(header) : std::string();
        s.footer = on ? std::move(footer) : std::string();
    });
}

bool CReportEngine::SetUpTarget(Target& t) {
    const plat::VARIANT& v = plat::deref(m_s.printerObject);
    uint32_t number = 0;
    if (v.vt == plat::VT_DISPATCH || v.vt == plat::VT_UNKNOWN) {
        plat::ComPtr<plat::IDispatch> obj;
        if (v.vt == plat::VT_DISPATCH)
            obj = v.pdispVal;
        else if (v.punkVal)
            v.punkVal->QueryInterface(plat::IID_IDispatch, obj.put_void());
        plat::DISPID hdc = 0;
        plat::Variant value;
        if (!obj || plat::FAILED(plat::dispatch_id(obj.get(), "NewPage", t.newPage)) ||
            plat::FAILED(plat::dispatch_id(obj.get(), "EndDoc", t.endDoc)) ||
            plat::FAILED(plat::dispatch_id(obj.get(), "HDC", hdc)) ||
            plat::FAILED(plat::dispatch_get(obj.get(), hdc, value)))
            return false;
        t.object = obj;
        number = static_cast<uint32_t>(value.to_i4());
    } else if (v.vt != plat::VT_EMPTY && v.vt != plat::VT_NULL && v.vt != plat::VT_ERROR) {
        plat::HRESULT hr = plat::S_OK;
        number = static_cast<uint32_t>(plat::Variant(v).to_i4(&hr));
        if (plat::FAILED(hr)) number = 0;
    }
    t.dc = plat::gdi::PrinterDcs().get(number);
    if (!t.dc || t.dc->Kind() == plat::gdi::DcKind::Metrics) return false;
    t.ownsDoc = (m_ownedDc && t.dc == m_ownedDc.get()) || (m_s.headerFooter && !(m_s.headerOptions & 0x40));
    t.dpiX = std::max(1, t.dc->GetDeviceCaps(plat::gdi::LOGPIXELSX));
    t.dpiY = std::max(1, t.dc->GetDeviceCaps(plat::gdi::LOGPIXELSY));
    if (m_s.previewWidth >= 0 && m_s.previewHeight >= 0) {
        t.pageW = m_s.previewWidth;
        t.pageH = m_s.previewHeight;
    } else {
        t.pageW = MulDiv(1440, t.dc->GetDeviceCaps(plat::gdi::HORZRES), t.dpiX);
        t.pageH = MulDiv(1440, t.dc->GetDeviceCaps(plat::gdi::VERTRES), t.dpiY);
    }
    return true;
}

bool CReportEngine::Stale() const {
    // The tree, or anything else that lays rows out (the control's settings,
    // its grid, cell definitions), changed since the pages were laid out.
    return m_stale || m_epoch != CItemNode::TreeEpoch() || m_changes != m_ctrl.LayoutChanges();
}

bool CReportEngine::TitlesOn(int32_t page) const {
    return m_s.showColumnTitles == 2 || (m_s.showColumnTitles == 1 && page == 0);
}

bool CReportEngine::PassesLevel(int32_t row) {
    if (m_s.printLevels < 0) return true;
    CItem* item = m_ctrl.Engine().RowItem(row);
    return item && item->GetItemLevel() <= m_s.printLevels;
}

void CReportEngine::FirePage(int32_t event, const PageRef& page, bool writable) {
    if (m_s.headerFooter && !(m_s.headerOptions & 0x20)) return;
    // The container may keep the page object; it then outlives the event.
    plat::ComPtr<plat::IDispatch> obj = NewPageObject(page, writable);
    plat::Variant args[] = {m_s.printerObject, plat::Variant(obj.get())};
    if (m_fire) m_fire(event, args);
}

int32_t CReportEngine::PrepareForPrinting() {
    if (Busy()) return static_cast<int32_t>(m_pages->size());
    // The container may release the control from PreparePage.
    plat::ComPtr<CVincaCtrl> keep(&m_ctrl);
    m_preparing = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_preparing};
    m_status = kReportOk;
    m_stop = false;
    auto pages = std::make_shared<std::vector<PageRef>>();
    m_pages = pages;
    m_stale = true;
    Target t;
    if (!SetUpTarget(t)) {
        m_status = kReportDc;
        return 0;
    }
    if (m_s.leftMargin + m_s.rightMargin >= t.pageW || m_s.topMargin + m_s.bottomMargin >= t.pageH ||
        m_s.leftMargin < 0 || m_s.rightMargin < 0 || m_s.topMargin < 0 || m_s.bottomMargin < 0) {
        m_status = kReportMargins;
        m_s.leftMargin = m_s.topMargin = m_s.rightMargin = m_s.bottomMargin = 0;
        return 0;
    }
    CVincaEngine& engine = m_ctrl.Engine();
    const int32_t rows = engine.VisibleCount();
    int32_t first = std::clamp(m_s.firstItem, 0, std::max(0, rows - 1));
    int32_t last = m_s.lastItem < 0 ? rows - 1 : std::clamp(m_s.lastItem, 0, rows - 1);
    while (first <= last && !PassesLevel(first))
        ++first;
    while (last >= first && !PassesLevel(last))
        --last;

    IViewHost& host = m_ctrl.Window();
    CPrintRows printRows(engine, host);
    printRows.SetGrid(ShownGrid(m_ctrl));
    CReportPrinter report(host);
    plat::gdi::SavedDc saved(*t.dc);
    const PrintContext ctx{t.dc, m_s.postScript};
    int32_t row = rows > 0 ? first : 1;
    while (row <= last && !m_stop) {
        auto page = std::make_shared<PageRecord>();
        page->index = static_cast<int32_t>(pages->size());
        page->first = row;
        page->header = WithPageNumber(m_s.header, page->index + 1);
        page->footer = WithPageNumber(m_s.footer, page->index + 1);
        // Header and footer at zoom 100 across the printable width.
        int32_t top = m_s.topMargin;
        int32_t bottom = m_s.bottomMargin;
        const int32_t width = t.pageW - m_s.leftMargin - m_s.rightMargin;
        t.Map(0, 0, t.pageW, t.pageH, 100);
        if (m_s.headerFooter && !page->header.empty()) {
            int32_t h = Target::Twips(report.MeasureHeaderText(ctx, page->header, Target::Screen(width)) + 1);
            top = std::min(std::max(top, h), t.pageH - bottom - 1);
        }
        if (m_s.headerFooter && !page->footer.empty()) {
            int32_t h = Target::Twips(report.MeasureHeaderText(ctx, page->footer, Target::Screen(width)) + 1);
            bottom = std::min(std::max(bottom, h), t.pageH - top - 1);
        }
        page->left = m_s.leftMargin;
        page->top = top;
        page->width = width;
        page->height = t.pageH - top - bottom;
        pages->push_back(page);
        const int32_t before[] = {page->left, page->top, page->width};
        FirePage(kPreparePage, page, true);
        if (page->left != before[0] || page->top != before[1] || page->width != before[2])
            page->height = t.pageH - page->top - bottom;
        if (page->left < 0 || page->top < 0 || page->width <= 0 || page->height <= 0 ||
            page->left + page->width > t.pageW) {
            m_status = kReportMargins;
            return static_cast<int32_t>(pages->size());
        }
        // Rows join while they end at or above the printable bottom at the
        // zoom; a page always takes one.
        const int64_t room = int64_t(Target::Screen(page->height)) * 100;
        int64_t used = 0;
        t.Map(page->left, page->top, page->width, page->height, 100);
        Size titles;
        if (TitlesOn(page->index) && printRows.MeasureColumnTitles(ctx, titles)) used += titles.cy;
        for (; row <= last && !m_stop; ++row) {
            if (!PassesLevel(row)) continue;
            const int32_t h = printRows.MeasureItemRow(row, ctx).cy;
            if (page->last >= 0 && (used + h) * m_s.zoom > room) break;
            used += h;
            page->last = row;
        }
    }
    m_epoch = CItemNode::TreeEpoch();
    m_changes = m_ctrl.LayoutChanges();
    m_stale = false;
    return static_cast<int32_t>(pages->size());
}

bool CReportEngine::Pump() {
    if (m_cancel) QCoreApplication::processEvents();
    return !m_stop && !(m_cancel && *m_cancel);
}

void CReportEngine::PrintPage(Target& t, const PageRecord& page, bool& cancelled) {
    IViewHost& host = m_ctrl.Window();
    CVincaEngine& engine = m_ctrl.Engine();
    CPrintRows printRows(engine, host);
    printRows.SetGrid(ShownGrid(m_ctrl));
    CReportPrinter report(host);
    const PrintContext ctx{t.dc, m_s.postScript};
    plat::gdi::SavedDc saved(*t.dc);
    const int32_t bottom = page.top + page.height;
    // Header and footer at zoom 100, just outside the printable area.
    t.Map(0, 0, t.pageW, t.pageH, 100);
    const int32_t left = Target::Screen(page.left);
    const int32_t right = Target::Screen(page.left + page.width);
    if (m_s.headerFooter && !page.header.empty()) {
        const int32_t h = report.MeasureHeaderText(ctx, page.header, right - left);
        const int32_t y = std::max(0, Target::Screen(page.top) - h - 1);
        report.PrintPageHeader(ctx, page.header, {left, y, right, y + h});
    }
    if (m_s.headerFooter && !page.footer.empty()) {
        const int32_t h = report.MeasureHeaderText(ctx, page.footer, right - left);
        const int32_t y = Target::Screen(bottom) + 1;
        report.PrintPageFooter(ctx, page.footer, {left, y, right, y + h});
    }
    t.Map(page.left, page.top, page.width, page.height, m_s.zoom);
    const plat::gdi::Rect clip{0, 0, MulDiv(Target::Screen(page.width), 100, m_s.zoom),
                               MulDiv(Target::Screen(page.height), 100, m_s.zoom)};
    // The page's printable area in the window's background, under rows
    // that may not paint their whole width.
    if (m_s.printBackground) report.PrintPageBackground(ctx, clip);
    int32_t y = 0;
    // The title row at the rows' x: each title over its column.
    if (TitlesOn(page.index)) y += printRows.PrintColumnTitles(ctx, 0, y, clip).cy;
    for (int32_t row = page.first; row >= 0 && row <= page.last; ++row) {
        if (!Pump()) {
            cancelled = true;
            return;
        }
        // A row the container removed meanwhile prints nothing.
        if (!PassesLevel(row)) continue;
        y += printRows.PrintItemRow(row, ctx, 0, y, clip).cy;
    }
}

void CReportEngine::Start(int32_t startPage, int32_t endPage) {
    if (Busy()) return;
    // The container may release the control from an event of the run.
    plat::ComPtr<CVincaCtrl> keep(&m_ctrl);
    m_stop = false;
    m_status = kReportOk;
    if (Stale() || m_pages->empty()) {
        PrepareForPrinting();
        if (m_status != kReportOk) return;
    }
    PageList pages = m_pages;
    // No rows: nothing to print, and that is no failure.
    if (pages->empty()) return;
    const int32_t count = static_cast<int32_t>(pages->size());
    if (startPage == -1) startPage = 0;
    if (endPage == -1) endPage = count - 1;
    if (startPage < 0 || endPage >= count || endPage < startPage) {
        m_status = kReportPage;
        return;
    }
    Target t;
    if (!SetUpTarget(t)) {
        m_status = kReportDc;
        return;
    }
    m_printing = true;
    // A printer object turns pages with its NewPage; its DC gets no page
    // calls of ours.
    if (t.ownsDoc && !t.object) t.dc->StartDoc();
    bool cancel = false;
    std::unique_ptr<AbortDialog> dialog;
    if (!m_s.previewMode && (m_s.abortWindowStyle == 1 ||
                             (m_s.abortWindowStyle == 2 && plat::ui::WindowFromHandle(m_s.abortWindow)))) {
        if (m_s.abortWindowStyle == 1) {
            QWidget* owner = m_ctrl.Window().View() ? m_ctrl.Window().View()->window() : nullptr;
            dialog = std::make_unique<AbortDialog>(owner, cancel);
            dialog->show();
        }
        m_cancel = &cancel;
    }
    bool pageEnded = false;
    bool cancelled = false;
    for (int32_t i = startPage; i <= endPage && !m_stop && !cancel && !cancelled; ++i) {
        const PageRef& page = (*pages)[size_t(i)];
        // A new page only after one ended: never a blank one.
        if (pageEnded && m_s.autoNewPage && !m_s.previewMode) {
            if (t.object)
                plat::dispatch_call(t.object.get(), t.newPage); // its failures are the container's
            else
                t.dc->NewPage();
            pageEnded = false;
        }
        FirePage(kBeginPage, page, false);
        PrintPage(t, *page, cancelled);
        FirePage(kEndPage, page, false);
        if (m_s.autoNewPage && !m_s.previewMode) pageEnded = true;
    }
    if (t.ownsDoc) {
        if (t.object)
            plat::dispatch_call(t.object.get(), t.endDoc);
        else
            t.dc->EndDoc();
    }
    m_cancel = nullptr;
    dialog.reset();
    m_printing = false;
}

CReportEngine* ReportEngine(CVincaCtrl& ctrl, bool make) {
    if (!ctrl.m_report && make) ctrl.m_report = std::make_shared<CReportEngine>(ctrl);
    return ctrl.m_report.get();
}

namespace printing {

void PrintOneStep(CVincaCtrl& ctrl, const plat::Variant& output, int32_t left, int32_t top, int32_t right,
                  int32_t bottom, int32_t startItem, int32_t endItem, int32_t options, std::string header,
                  std::string footer, const plat::Variant& zoomArg) {
    CReportEngine& report = *ReportEngine(ctrl, true);
    if (report.Busy()) return;
    const plat::VARIANT& out = plat::deref(output);
    // No output device given: nothing to print.
    if (out.vt == plat::VT_EMPTY || out.vt == plat::VT_NULL || plat::Variant(out).is_missing()) return;
    int32_t zoom = 100;
    if (!zoomArg.is_missing() && plat::deref(zoomArg).vt != plat::VT_EMPTY) {
        plat::HRESULT hr = plat::S_OK;
        zoom = plat::Variant(plat::deref(zoomArg)).to_i4(&hr);
        if (plat::FAILED(hr) || zoom < 1 || zoom > 10000) ThrowVincaError(VE_INVALID_ARGUMENT);
    }
    // -1 and -2 without a printer: the printer is not ready.
    if (!report.SetPrinterObject(output)) ThrowVincaError(VE_REPORT_DC);
    report.Change([&](ReportSettings& s) {
        s.leftMargin = left;
        s.topMargin = top;
        s.rightMargin = right;
        s.bottomMargin = bottom;
        s.firstItem = startItem;
        s.lastItem = endItem;
        s.zoom = zoom;
        if (options & 0x08) s.postScript = true;
        if (!(options & 0x10)) s.printBackground = true;
        if (options & 0x80) {
            s.previewMode = true;
            s.previewWidth = s.previewHeight = -1;
        }
    });
    report.SetHeaderFooter(true, options, std::move(header), std::move(footer));
    CExpandSnapshot expansion;
    const bool restore = (options & 0x04) != 0;
    if (restore) expansion.Capture(ctrl.Engine(), options & 0x03);
    ctrl.SuspendRedraw();
    report.Start(-1, -1);
    ctrl.ResumeRedraw();
    if (restore) expansion.Restore(ctrl.Engine());
    ctrl.ClearPending();
    RaiseReportStatus(report.Status());
}

} // namespace printing

} // namespace vinca
