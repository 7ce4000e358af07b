// The whole action list at once: building it afresh from the records after
// a document was read, and printing it.
#include "KLDesigner/bridge/action_display.h"
#include "KLDesigner/bridge/display_members.h"
#include "vinca/control/dispids.h"

namespace kld {

namespace d = vinca::dispid;
namespace m = members;
using plat::Variant;

namespace {

// The printout: margins of 100 twips, every row from the first (rows count
// from 0) to the last, the expansion put back afterwards (4) and the rows'
// own background kept (16), at 125 %.
constexpr int32_t kPrintMargin = 100;
constexpr int32_t kPrintFirstItem = 0;
constexpr int32_t kPrintLastItem = -1;
constexpr int32_t kPrintOptions = 20;
constexpr int16_t kPrintZoom = 125;
constexpr int16_t kDefaultPrinter = -1;

} // namespace

void CActionDisplay::FillOperationsTree(Designer& dsg) {
    plat::IDispatch* ctl = m_ctl.get();
    if (dsg.ActionCount < 1) return;
    m::Put(ctl, d::kRedraw, Variant::boolean(false));
    // The selection moves with every item added; the editors must not
    // follow it.
    dsg.EditEventsEnabled = false;
    // Each new item is selected, so a group lands at the end and an action
    // under the group added last; an action before any group finds no
    // selection and gets no item.
    //
    // Into an empty list every item is appended, so the group that holds
    // the selection is the group added last: no need to ask the list where
    // each item goes. Once a step fails the list is asked again.
    bool appending = m::Int(ctl, d::kListCount, {}, -1) == 0;
    int32_t group = -1;
    for (int32_t i = 0; i <= dsg.ActionsUpperBound(); ++i) {
        const ActionRecord& r = dsg.Actions[static_cast<size_t>(i)];
        // A free slot is taken by the next record added; an item showing it
        // would then share that record with the new one.
        if (r.ActionType == action::Free) continue;
        if (!appending) {
            AddOperationItem(dsg, i, r.IsGroup);
            continue;
        }
        if (!r.IsGroup && group < 0) continue;
        const bool added = r.IsGroup ? m::Call(ctl, d::kAddItem, {Variant("")})
                                     : m::Call(ctl, d::kAddItem, {Variant(""), Variant(group)});
        if (!added) continue;
        const int32_t created = SetUpNewItem(dsg, i);
        if (created < 0)
            appending = false;
        else if (r.IsGroup)
            group = created;
    }
    dsg.EditEventsEnabled = true;
    m::Put(ctl, d::kRedraw, Variant::boolean(true));
    if (m::Int(ctl, d::kListCount, {}, 0) >= 1) m::Put(ctl, d::kListIndex, Variant(int32_t(0)));
}

bool CActionDisplay::PrintOperationsTree(Designer& dsg) {
    plat::IDispatch* ctl = m_ctl.get();
    // One item makes no list worth printing.
    if (m::Int(ctl, d::kListCount, {}, 0) <= 1) return false;

    Variant background;
    bool haveBackground = false;
    const bool printed = [&] {
        if (!m::Put(ctl, d::kRedraw, Variant::boolean(false))) return false;
        haveBackground = m::Get(ctl, d::kBackColor, background);
        if (!haveBackground) return false;
        if (!m::Put(ctl, d::kBackColor, Variant(kPrintBackColor))) return false;
        Variant first(kPrintFirstItem), last(kPrintLastItem), options(kPrintOptions);
        return m::Call(ctl, d::kPrintOneStep,
                       {Variant(kDefaultPrinter), Variant(kPrintMargin), Variant(kPrintMargin),
                        Variant(kPrintMargin), Variant(kPrintMargin), Variant::ref(&first),
                        Variant::ref(&last), Variant::ref(&options), Variant(""), Variant(""),
                        Variant(kPrintZoom)});
    }();
    if (haveBackground) m::Put(ctl, d::kBackColor, background);
    m::Put(ctl, d::kRedraw, Variant::boolean(true));
    if (!printed) dsg.Message(kPrinterNotReady, mb::OkOnly | mb::Exclamation);
    return printed;
}

} // namespace kld
