// The action list's event procedures: a new selection, expansion or
// collapse refreshes the property panel and the toolbar; Delete and Enter
// act on the selected item; a double click on a file action opens its
// source chooser; and a drag with the left button moves an action or a
// group to another place in the list, or copies it while Ctrl is held.
//
// As everywhere the list is reached, a member that fails is skipped and
// the procedure goes on; a test that cannot be read counts as not met.
#include "KLDesigner/ui/main_form.h"

#include "KLDesigner/bridge/action_display.h"
#include "KLDesigner/builder/vb.h"
#include "KLDesigner/ui/action_panel.h"
#include "KLDesigner/ui/pictures.h"
#include "platform/com/dispatch_client.h"
#include "platform/forms/control_host.h"
#include "platform/forms/forms_runtime.h"
#include "platform/forms/manual_drag.h"
#include "vinca/control/dispids.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

namespace kld::ui {

using namespace plat::forms;
namespace id = vinca::dispid;

namespace {

// The list control's event interface; the control carries no type
// information, so the names are ours.
constexpr plat::IID kListEvents = plat::make_guid("9D998152-B884-11CE-8D47-444553540000");

const std::vector<EventName>& ListEventNames() {
    namespace ev = vinca::dispid::event;
    static const std::vector<EventName> names = {
        {"Click", ev::kClick},
        {"PictureClick", ev::kPictureClick},
        {"Expand", ev::kExpand},
        {"Collapse", ev::kCollapse},
        {"ItemDblClick", ev::kItemDblClick},
        {"GridCellDblClick", ev::kGridCellDblClick},
        {"KeyDown", ev::kKeyDown},
        {"KeyPress", ev::kKeyPress},
        {"KeyUp", ev::kKeyUp},
        {"MouseDown", ev::kMouseDown},
        {"MouseMove", ev::kMouseMove},
    };
    return names;
}

constexpr int32_t kKeyDelete = 46;
constexpr int32_t kKeyEnter = 13;
constexpr int32_t kShiftCtrl = 2;
constexpr int32_t kLeftButton = 1;
// How far the pointer goes, in twips, before a press becomes a drag.
constexpr float kDragDistance = 75;

// The drag pointers: a page with an arrow for a move, with a plus for a
// copy, and a barred circle where nothing may drop.
constexpr const char* kDragPictures[3] = {"drag_move", "drag_copy", "no_drop"};
constexpr int kDragPictureSize = 32;
// The action list items' pictures, as the list draws them.
constexpr int kOperationPictureSize = 16;

// HitTest's area code as the kind of search GetItemByXY makes: 1 the row,
// 2 the item's picture; 0 no item there.
int16_t SearchKind(int32_t area) {
    switch (area) {
    case 1:
    case 2:
    case 8:
    case 10:
        return 1;
    case 4:
    case 9:
        return 2;
    default:
        return 0;
    }
}

plat::HRESULT Call(plat::IDispatch* obj, plat::DISPID member, std::vector<plat::Variant> args,
                   plat::Variant* result = nullptr) {
    return obj ? plat::dispatch_call(obj, member, args, result) : plat::E_POINTER;
}

int16_t Pixels(float twips, int32_t perPixel) {
    const int32_t whole = vb::CLng(static_cast<double>(twips));
    return static_cast<int16_t>(whole / (perPixel > 0 ? perPixel : 15));
}

} // namespace

InputWatch::InputWatch(std::function<void()> after) : m_after(std::move(after)) {}

bool InputWatch::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::Show:
    case QEvent::Hide:
        // Once for all that arrives together, after it has been handled.
        if (!std::exchange(m_posted, true))
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_posted = false;
                    m_after();
                },
                Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return false;
}

bool DropRuleHolds(IActionTree& tree, int32_t item, int32_t target, bool copy) {
    const TreeValue parent = tree.ItemParent(item);
    const TreeValue target_parent = tree.ItemParent(target);
    if (!parent.ok() || !target_parent.ok()) return false;
    const TreeValue grand_parent = tree.ItemParent(target_parent.value);
    if (!grand_parent.ok()) return false;
    const int32_t p = parent.value;
    if (!(grand_parent.value == p || target_parent.value == p || target == p)) return false;
    if (copy) return true;
    const TreeValue count = tree.ListCountEx(p);
    return count.ok() && count.value >= 2;
}

const QImage& MainForm::DragPicture(int32_t which) const {
    if (which == 2) return m_form.Get<ImageBox>("imgNoDrop").Picture();
    return m_form.Get<ImageBox>("imgDrag", which == 1 ? 1 : 0).Picture();
}

void MainForm::LoadOperationPictures(CActionDisplay& display) {
    // The control makes pictures from image files only.
    QTemporaryDir scratch;
    if (!scratch.isValid()) return;
    for (int32_t k = 0; k < picture::Count; ++k) {
        const QImage& drawn = m_form.Get<ImageBox>("imgOperationType", k).Picture();
        if (drawn.isNull()) continue;
        // The list keeps no alpha: it leaves out the colour Form_Load names
        // as transparent, white, so the drawings go onto white.
        QImage image(drawn.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter(&image).drawImage(0, 0, drawn);
        const QString file = scratch.filePath(QStringLiteral("%1.png").arg(k));
        if (!image.save(file, "PNG")) continue;
        const std::string path = file.toStdString();
        plat::Variant loaded;
        const plat::HRESULT hr =
            Call(display.Control(), id::kLoadPicture, {plat::Variant(std::string_view(path))}, &loaded);
        if (hr == plat::S_OK && loaded.vt == plat::VT_DISPATCH && loaded.pdispVal)
            display.SetPicture(k, loaded.pdispVal);
    }
}

void MainForm::UseDisplay(CActionDisplay& display) {
    LoadOperationPictures(display);
    m_panel->RefreshOperationCells = [this, &display](int32_t item) {
        if (m_d) display.RefreshOperationCells(*m_d, item);
    };
    hooks.PrintOperationsTree = [this, &display] {
        if (m_d) display.PrintOperationsTree(*m_d);
    };
}

void MainForm::WireActionList() {
    for (int32_t i = 0; i < 2; ++i) {
        auto& image = m_form.Add<ImageBox>("imgDrag", i);
        image.SetPicture(RenderPicture(kDragPictures[i], kDragPictureSize));
        image.SetVisible(false);
    }
    auto& no_drop = m_form.Add<ImageBox>("imgNoDrop");
    no_drop.SetPicture(RenderPicture(kDragPictures[2], kDragPictureSize));
    no_drop.SetVisible(false);
    for (int32_t k = 0; k < picture::Count; ++k) {
        auto& image = m_form.Add<ImageBox>("imgOperationType", k);
        image.SetPicture(RenderPicture(OperationPictureName(k), kOperationPictureSize));
        image.SetVisible(false);
    }

    ControlHost& host = m_operations->host();
    host.set_events(kListEvents, ListEventNames());
    using plat::EventArgs;
    auto i2 = [](EventArgs& a, size_t i) { return a.value(i).to_i2(); };
    auto r4 = [](EventArgs& a, size_t i) { return static_cast<float>(a.value(i).to_r8()); };
    auto object = [](EventArgs& a, size_t i) {
        plat::Variant v = a.value(i);
        // The event's arguments outlive the call.
        return v.vt == plat::VT_DISPATCH ? v.pdispVal : nullptr;
    };
    host.bind("Click", [this](EventArgs&) { vntOperations_Click(); });
    host.bind("PictureClick", [this](EventArgs&) { vntOperations_PictureClick(); });
    host.bind("Expand", [this](EventArgs& a) { vntOperations_Expand(a.value(0).to_i4()); });
    host.bind("Collapse", [this](EventArgs& a) { vntOperations_Collapse(a.value(0).to_i4()); });
    host.bind("ItemDblClick",
              [this, i2](EventArgs& a) { vntOperations_ItemDblClick(a.value(0).to_i4(), i2(a, 1)); });
    host.bind("GridCellDblClick",
              [this, i2, object](EventArgs& a) { vntOperations_GridCellDblClick(object(a, 0), i2(a, 1)); });
    host.bind("KeyDown", [this, i2](EventArgs& a) { vntOperations_KeyDown(i2(a, 0), i2(a, 1)); });
    host.bind("KeyPress", [this, i2](EventArgs& a) { vntOperations_KeyPress(i2(a, 0)); });
    host.bind("KeyUp", [this, i2](EventArgs& a) { vntOperations_KeyUp(i2(a, 0), i2(a, 1)); });
    host.bind("MouseDown", [this, i2, r4](EventArgs& a) {
        vntOperations_MouseDown(i2(a, 0), i2(a, 1), r4(a, 2), r4(a, 3));
    });
    host.bind("MouseMove", [this, i2, r4](EventArgs& a) {
        vntOperations_MouseMove(i2(a, 0), i2(a, 1), r4(a, 2), r4(a, 3));
    });
    host.bind("DragOver", [this, i2, r4, object](EventArgs& a) {
        vntOperations_DragOver(object(a, 0), r4(a, 1), r4(a, 2), i2(a, 3));
    });
    host.bind("DragDrop",
              [this, r4, object](EventArgs& a) { vntOperations_DragDrop(object(a, 0), r4(a, 1), r4(a, 2)); });

    // The list moves its selection on arrow keys, and commands and Prepare
    // move it by code, without a Click: the panel catches up after every
    // key, click and window shown or hidden (a message box), so it never
    // shows one action while another is selected.
    m_selectionWatch = std::make_unique<InputWatch>([this] { FollowSelection(); });
    qApp->installEventFilter(m_selectionWatch.get());
}

// ---------------------------------------------------------------- selection

MainForm::ListState MainForm::CurrentListState() {
    IActionTree& tree = m_d->Operations();
    ListState s;
    s.count = tree.ListCount();
    s.item = tree.ListIndex();
    if (s.item >= 0)
        if (const TreeValue record = tree.ItemLngValue(s.item); record.ok()) s.record = record.value;
    return s;
}

void MainForm::SelectionRefresh() {
    m_seen = CurrentListState();
    m_d->EditEventsEnabled = false;
    RefreshOperAttributes(0);
    RefreshToolbar(true);
    m_d->EditEventsEnabled = true;
    if (m_operations->Visible()) m_operations->SetFocus();
}

void MainForm::FollowSelection() {
    // Edit events off: a refresh or a list operation is under way and
    // settles the panel itself.
    if (!m_d || !m_d->EditEventsEnabled || !DocumentOpen()) return;
    plat::IDispatch* list = m_operations->Object();
    plat::Variant redraw;
    if (!list || plat::dispatch_get(list, id::kRedraw, redraw) != plat::S_OK || !redraw.to_bool()) return;
    const ListState now = CurrentListState();
    if (now == m_seen) return;
    m_seen = now;
    m_d->EditEventsEnabled = false;
    RefreshOperAttributes(0);
    RefreshToolbar(true);
    m_d->EditEventsEnabled = true;
}

void MainForm::vntOperations_Click() {
    if (!m_d) return;
    plat::Variant redraw;
    // While a list operation draws nothing its selection changes are its own.
    if (plat::dispatch_get(m_operations->Object(), id::kRedraw, redraw) != plat::S_OK || !redraw.to_bool())
        return;
    if (m_d->Operations().ListIndex() < 0) return;
    SelectionRefresh();
}

void MainForm::vntOperations_PictureClick() {
    vntOperations_Click();
}

void MainForm::vntOperations_Expand(int32_t item) {
    if (!m_d || item < 0) return;
    SelectionRefresh();
    m_operations->SetFocus();
}

void MainForm::vntOperations_Collapse(int32_t item) {
    vntOperations_Expand(item);
}

// ---------------------------------------------------------------- chooser

void MainForm::vntOperations_ItemDblClick(int32_t item, int16_t) {
    if (!m_d || item < 0) return;
    const TreeValue record = m_d->Operations().ItemLngValue(item);
    if (!record.ok() || !m_d->IsRecordIndex(static_cast<int16_t>(record.value))) return;
    const int16_t type = m_d->Actions[static_cast<size_t>(static_cast<int16_t>(record.value))].ActionType;
    if (type == action::InstallFile || type == action::ExecuteFile) ChooseOperSource(false);
}

void MainForm::vntOperations_GridCellDblClick(plat::IDispatch* cell, int16_t button) {
    if (!m_d || !cell) return;
    plat::Variant col;
    if (plat::dispatch_get(cell, 4, col) != plat::S_OK || col.to_i4() != 1) return;
    const int32_t selected = m_d->Operations().ListIndex();
    if (selected < 0) return;
    vntOperations_ItemDblClick(selected, button);
}

// ---------------------------------------------------------------- keys

void MainForm::vntOperations_KeyDown(int16_t keyCode, int16_t shift) {
    if (!m_d || m_d->Operations().ListIndex() < 0) return;
    if (shift & kShiftCtrl)
        m_drag.CtrlHeld = true;
    else if (keyCode == kKeyDelete)
        cmdDelete_Click(0);
}

void MainForm::vntOperations_KeyPress(int16_t keyAscii) {
    if (!m_d) return;
    const int32_t selected = m_d->Operations().ListIndex();
    if (selected >= 0 && keyAscii == kKeyEnter) vntOperations_ItemDblClick(selected, 0);
}

void MainForm::vntOperations_KeyUp(int16_t, int16_t shift) {
    if (!m_d || m_d->Operations().ListIndex() < 0) return;
    if (m_drag.CtrlHeld && !(shift & kShiftCtrl)) m_drag.CtrlHeld = false;
}

// ---------------------------------------------------------------- dragging

void MainForm::vntOperations_MouseDown(int16_t, int16_t, float x, float y) {
    plat::IDispatch* list = m_operations->Object();
    auto no_press = [this] {
        m_drag.DragItem = -1;
        m_drag.PressX = 0;
        m_drag.PressY = 0;
    };
    if (!m_d || !list) return no_press();
    plat::Variant target;
    plat::Variant area;
    const plat::Variant hit_args[] = {plat::Variant(x), plat::Variant(y), plat::Variant::ref(&target)};
    if (plat::dispatch_call(list, id::kHitTest, hit_args, &area) != plat::S_OK) return no_press();
    const int16_t kind = SearchKind(area.to_i4());
    if (kind == 0) return no_press();
    const plat::Variant args[] = {plat::Variant(Pixels(x, m_d->TwipsPerPixelX)),
                                  plat::Variant(Pixels(y, m_d->TwipsPerPixelY)), plat::Variant(kind)};
    plat::Variant item;
    if (plat::dispatch_call(list, id::kGetItemByXY, args, &item) != plat::S_OK || item.to_i4() < 0)
        return no_press();
    m_drag.PressX = x;
    m_drag.PressY = y;
    m_drag.DragItem = item.to_i4();
}

void MainForm::vntOperations_MouseMove(int16_t button, int16_t shift, float x, float y) {
    // While the list is dragged its moves are the drag's: DragOver keeps the
    // pointer, and starting again would put the move picture back.
    if (manual_drag::source() == &m_operations->host()) return;
    plat::ComPtr<plat::IDispatch> extender = m_operations->host().extender();
    const bool start = (button & kLeftButton) && m_drag.PressX > 0 && m_drag.PressY > 0 &&
                       (std::abs(m_drag.PressX - x) > kDragDistance || std::abs(m_drag.PressY - y) > kDragDistance);
    if (!start) {
        if (extender) Call(extender.get(), extender::kDrag, {plat::Variant(int16_t(2))});
        return;
    }
    if (!m_d) return;
    IActionTree& tree = m_d->Operations();
    if (tree.ListIndex() != m_drag.DragItem) tree.SetListIndex(m_drag.DragItem);
    if (m_drag.DragItem < 0) return;
    if (plat::IDispatch* list = m_operations->Object()) plat::dispatch_call(list, id::kBeforeDrag, {});
    // Ctrl held as the drag starts copies, also when it went down before
    // the list had the keyboard and so never reached KeyDown.
    m_drag.CopyDrag = m_drag.CtrlHeld || (shift & kShiftCtrl);
    m_operations->host().set_drag_icon(DragPicture(m_drag.CopyDrag ? 1 : 0));
    if (extender) Call(extender.get(), extender::kDrag, {plat::Variant(int16_t(1))});
}

void MainForm::vntOperations_DragOver(plat::IDispatch*, float x, float y, int16_t state) {
    plat::IDispatch* list = m_operations->Object();
    if (!list || !m_d) return;
    Call(list, id::kOnDragOver, {plat::Variant(x), plat::Variant(y), plat::Variant(state)});
    if (state != 2) return;
    plat::Variant target;
    plat::Variant area;
    const plat::Variant hit_args[] = {plat::Variant(x), plat::Variant(y), plat::Variant::ref(&target)};
    if (plat::dispatch_call(list, id::kHitTest, hit_args, &area) != plat::S_OK) return;
    const int16_t kind = SearchKind(area.to_i4());
    if (kind == 0) return;
    const plat::Variant args[] = {plat::Variant(Pixels(x, Screen::TwipsPerPixelX)),
                                  plat::Variant(Pixels(y, Screen::TwipsPerPixelY)), plat::Variant(kind)};
    plat::Variant item;
    if (plat::dispatch_call(list, id::kGetItemByXY, args, &item) == plat::S_OK) m_drag.DropTarget = item.to_i4();
    ControlHost& host = m_operations->host();
    if (m_drag.DragItem < 0 || m_drag.DropTarget < 0) {
        host.set_drag_icon(DragPicture(2));
        return;
    }
    const bool allowed = DropRuleHolds(m_d->Operations(), m_drag.DragItem, m_drag.DropTarget, m_drag.CopyDrag);
    host.set_drag_icon(DragPicture(allowed ? (m_drag.CopyDrag ? 1 : 0) : 2));
}

void MainForm::vntOperations_DragDrop(plat::IDispatch* source, float x, float y) {
    plat::IDispatch* list = m_operations->Object();
    if (list) Call(list, id::kOnDragDrop, {plat::Variant(x), plat::Variant(y)});
    plat::Variant tag;
    const bool ours = source && plat::dispatch_get(source, "Tag", tag) == plat::S_OK && tag.to_utf8() == "KLD_TREE";
    if (m_d && ours && m_drag.DragItem >= 0 && m_drag.DropTarget >= 0 &&
        DropRuleHolds(m_d->Operations(), m_drag.DragItem, m_drag.DropTarget, m_drag.CopyDrag)) {
        IActionTree& tree = m_d->Operations();
        tree.SetRedraw(false);
        Screen::SetMousePointer(Screen::kHourglass);
        m_d->DropOperation(m_drag.DragItem, m_drag.DropTarget, m_drag.CopyDrag);
        Screen::SetMousePointer(Screen::kDefaultPointer);
        tree.SetRedraw(true);
        // The dropped item may keep the selected position, so no Click need
        // come: the panel and the toolbar are refreshed here.
        SelectionRefresh();
    }
    m_drag.CopyDrag = false;
    m_drag.CtrlHeld = false;
}

} // namespace kld::ui
