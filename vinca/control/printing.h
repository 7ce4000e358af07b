#pragma once
// The control's report engine: the print settings, the page list (which
// rows go on which page, with room for a header and a footer) and the run
// that prints a range of pages onto a printer DC or a container's printer
// object, firing the page events so that the container can draw on each.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/com/variant.h"

namespace plat::gdi {
class Dc;
}
class QPrinter;

namespace vinca {

class CVincaCtrl;

// One prepared page: its rows and its printable area in twips.
struct PageRecord {
    int32_t index{0};
    int32_t first{-1};
    int32_t last{-1};
    int32_t left{0};
    int32_t top{0};
    int32_t width{0};
    int32_t height{0};
    std::string header;
    std::string footer;
};
using PageRef = std::shared_ptr<PageRecord>;
// Counted, so a pages object keeps the list it was made with.
using PageList = std::shared_ptr<const std::vector<PageRef>>;

enum ReportStatus : int32_t { kReportOk = 0, kReportMargins = 1, kReportDc = 2, kReportPage = 3 };

struct ReportSettings {
    plat::Variant printerObject;
    int32_t firstItem{0};
    int32_t lastItem{-1};
    int32_t leftMargin{0};
    int32_t topMargin{0};
    int32_t rightMargin{0};
    int32_t bottomMargin{0};
    int32_t zoom{100};
    int32_t abortWindowStyle{0};
    uint32_t abortWindow{0};
    bool autoNewPage{true};
    int32_t printLevels{-1};
    int32_t showColumnTitles{0};
    bool previewMode{false};
    int32_t previewWidth{-1};
    int32_t previewHeight{-1};
    bool headerFooter{false};
    int32_t headerOptions{0};
    std::string header;
    std::string footer;
    bool printBackground{true};
    bool postScript{false};
};

class CReportEngine {
  public:
    explicit CReportEngine(CVincaCtrl& ctrl);
    ~CReportEngine();
    CReportEngine(const CReportEngine&) = delete;
    CReportEngine& operator=(const CReportEngine&) = delete;

    const ReportSettings& Settings() const { return m_s; }
    // Changes a setting; `layout` marks the prepared pages stale. Nothing
    // changes while a run goes on.
    template <class F> void Change(F&& change, bool layout = true) {
        if (Busy()) return;
        change(m_s);
        if (layout) m_stale = true;
    }
    // -1 opens the default printer, -2 the printer of the print dialog (a
    // DC the engine owns; none when there is no printer or the dialog was
    // cancelled, answered false); anything else is kept as given.
    bool SetPrinterObject(const plat::Variant& value);
    void SetHeaderFooter(bool on, int32_t options, std::string header, std::string footer);

    // Where the page events go: the control's event sinks unless replaced.
    using EventTarget = std::function<void(plat::DISPID event, std::span<const plat::Variant> args)>;
    void SetEventTarget(EventTarget target) { m_fire = std::move(target); }

    int32_t PrepareForPrinting();
    void Start(int32_t startPage, int32_t endPage);
    void Stop() { m_stop = true; }
    bool IsPrinting() const { return m_printing; }
    // A preparation or a run goes on: calls that would change the pages do
    // nothing then.
    bool Busy() const { return m_printing || m_preparing; }
    int32_t Status() const { return m_status; }
    PageList Pages() const { return m_pages; }

  private:
    struct Target;
    bool SetUpTarget(Target& t);
    bool Stale() const;
    bool PassesLevel(int32_t row);
    // Whether the grid's column titles print on this page.
    bool TitlesOn(int32_t page) const;
    void FirePage(int32_t event, const PageRef& page, bool writable);
    void PrintPage(Target& t, const PageRecord& page, bool& cancelled);
    void DropOwnedPrinter();
    bool Pump();

    CVincaCtrl& m_ctrl;
    EventTarget m_fire;
    ReportSettings m_s;
    PageList m_pages;
    bool m_stale{true};
    uint64_t m_epoch{0};
    uint64_t m_changes{0};
    bool m_stop{false};
    bool m_printing{false};
    bool m_preparing{false};
    int32_t m_status{kReportOk};
    // The printer made for -1 or -2 and its DC number.
    std::unique_ptr<QPrinter> m_ownedPrinter;
    std::unique_ptr<plat::gdi::Dc> m_ownedDc;
    uint32_t m_ownedNumber{0};
    // The abort dialog's cancel, while a run shows one.
    bool* m_cancel{nullptr};
};

// The control's report engine, made when `make` (null when not made).
CReportEngine* ReportEngine(CVincaCtrl& ctrl, bool make);

// The members of the control that print.
namespace printing {
// One call prints the rows from StartItem to EndItem with a header and a
// footer onto varOutputDC.
void PrintOneStep(CVincaCtrl& ctrl, const plat::Variant& output, int32_t left, int32_t top, int32_t right,
                  int32_t bottom, int32_t startItem, int32_t endItem, int32_t options, std::string header,
                  std::string footer, const plat::Variant& zoom);
} // namespace printing

} // namespace vinca
