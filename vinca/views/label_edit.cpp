// In-place editing of an item's text over the window's rows.
#include <QtCore/QMetaObject>
#include <QtGui/QFontMetrics>

#include "platform/ui/virtual_keys.h"
#include "vinca/model/item.h"
#include "vinca/views/grid_panes.h"
#include "vinca/views/view_window.h"

namespace vinca {

using namespace plat::gdi;
using namespace plat::ui;

namespace {

constexpr int32_t kEditFlagsStart = 0x3C0; // auto-scroll both ways, system colours, border
constexpr int32_t kEditMultiLine = 0x1004; // multi-line, Enter makes a new line
constexpr int32_t kSystemColours = 0x100;
constexpr int32_t kBorder = 0x200;
constexpr int32_t kNoContextMenu = 0x4000;

} // namespace

VResult CViewWindow::BeginLabelEdit(CItem* item) {
    if (!item) return VE_OK;
    if (m_editor) {
        if (m_editItem.get() == item) return VE_OK;
        CommitLabelEdit(1);
    }
    int32_t row = m_engine.RowOf(item);
    if (row < 0) {
        // Open every collapsed ancestor so the item gets a row.
        CItem* parent = item->GetParentItem();
        if (!parent || !parent->ParentNode()) return VE_BAD_INDEX;
        for (CItem* p = parent; p && p->ParentNode(); p = p->GetParentItem())
            if (!p->IsExpanded())
                if (VResult r = m_engine.SetItemExpanded(p, true); r != VE_OK) return r;
        row = m_engine.RowOf(item);
        if (row < 0) return VE_BAD_INDEX;
    }
    Point origin;
    CVincaTreeCellMetrics* cell = EditedCell(item, row, origin);
    if (!cell) return VE_OK;
    const CMVGridCellMetrics& textCell = cell->TextCell();
    plat::Variant v;
    std::string text = cell->GetProperty("__Text", v) ? v.to_utf8() : std::string();
    int32_t flags = kEditFlagsStart;
    if (cell->GetProperty("__TextIsMultiLine", v) && v.to_bool()) flags |= kEditMultiLine;
    int32_t index = m_host.ItemIndex(item);
    if (!m_host.RequestEditing(index, text, flags)) return VE_OK;
    flags &= 0x7FFF;
    const uint32_t style = uint32_t(flags) & 0x18FF;

    CMapAttrChain attrs;
    m_cells.Attributes(item, attrs);
    CFontHolder fontHolder;
    attrs.GetFont("__Font", fontHolder);
    QFont font = fontHolder.Get() ? FontFor(fontHolder.Get()->Desc())->QtFont() : this->font();
    const ViewSettings& s = m_host.Settings();
    COLORREF back, fore;
    if (flags & kSystemColours) {
        back = GetSysColor(COLOR_WINDOW);
        fore = GetSysColor(COLOR_WINDOWTEXT);
    } else {
        CRangeSet* sel = m_host.SelectedRows();
        bool selected = sel && sel->Contains(row);
        auto colour = [&](const char* key, OLE_COLOR fallback) {
            plat::Variant c;
            OLE_COLOR ole = cell->GetProperty(key, c) ? OLE_COLOR(c.to_i4()) : fallback;
            return TranslateOleColor(ole).value_or(0);
        };
        back = selected ? colour("__SelBkColor", s.selBackColor)
                        : TranslateOleColor(s.backColor).value_or(0xFFFFFF);
        fore = selected ? colour("__SelFrColor", s.selForeColor) : colour("__ForeColor", s.foreColor);
    }

    // The text's rectangle where the cell stands, at least 16 average
    // characters wide and a little wider than the text. The right edge
    // stops 2 pixels inside the client area (the scroll bar and border are
    // no part of it); the left edge stays on the text, never moved over the
    // plus/minus box or the pictures before it.
    Rect r = textCell.TextRect().Offset(origin.x + cell->TextX(), origin.y + cell->TextY());
    const int32_t avg = std::max(1, QFontMetrics(font).averageCharWidth());
    if (r.Width() < 16 * avg) r.right = r.left + 16 * avg;
    r.right += std::max(avg / 2, 2);
    const Rect area = RowsHitArea();
    r.left = std::max(r.left, area.left);
    r.right = std::max(r.left, std::min(r.right, m_frame + ViewportWidth() - 2));
    const bool rich = textCell.IsRich();
    if (flags & kBorder) {
        int32_t dx = rich ? 3 : 1, dy = rich ? 4 : 1;
        r = {r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
    }

    m_editItem = item;
    m_editor = std::make_unique<ChildEditor>(this, style, rich, flags & kBorder, flags & kNoContextMenu);
    ChildEditor* ed = m_editor.get();
    const uint32_t serial = ++m_editSerial;
    ed->keyDown = [this, ed](int32_t& key, int16_t shift) {
        int32_t vk = key;
        bool pass = m_host.EditingKeyDown(m_host.ItemIndex(m_editItem.get()), key, shift);
        if (!pass || key == 0) return false;
        // A single-line editor ends on Enter (keeping the text) and Escape.
        if (!ed->IsMultiLine() && (vk == VK_RETURN || vk == VK_ESCAPE)) {
            const uint32_t mine = m_editSerial;
            QMetaObject::invokeMethod(
                this,
                [this, mine, vk] {
                    if (m_editor && m_editSerial == mine)
                        vk == VK_RETURN ? CommitLabelEdit(0) : EndLabelEdit();
                },
                Qt::QueuedConnection);
            return false;
        }
        return true;
    };
    ed->keyPress = [this](int32_t& ch) {
        return m_host.EditingKeyPress(m_host.ItemIndex(m_editItem.get()), ch);
    };
    ed->keyUp = [this](int32_t& key, int16_t shift) {
        return m_host.EditingKeyUp(m_host.ItemIndex(m_editItem.get()), key, shift);
    };
    // Focus loss ends the edit once the current event is handled, and only
    // this editor's edit: a later editor of this window stays open.
    ed->focusLost = [this, serial] {
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (m_editor && m_editSerial == serial) CommitLabelEdit(0);
            },
            Qt::QueuedConnection);
    };
    ed->SetText(text);
    ed->SetLook(font, ToQColor(back), ToQColor(fore));
    ed->Show(QRect(r.left, r.top, std::max(0, r.Width()), std::max(0, r.Height())));
    return VE_OK;
}

CVincaTreeCellMetrics* CViewWindow::EditedCell(CItem* item, int32_t row, Point& origin) {
    if (!GridActive()) {
        EnsureVisible(row, row);
        const Rect rr = RowRect(row);
        if (rr.IsEmpty()) return nullptr;
        // The rows are drawn shifted by the sideways scroll.
        origin = {rr.left - HorzScrollPosition(), rr.top};
        return m_tree->RowCell(row);
    }
    // In a grid the text is edited in the cell of the tree column: the row
    // and then that column are scrolled into view.
    const int32_t gridRow = m_gridPanes->RowOfItem(item);
    const int32_t column = m_gridPanes->TreeColumnPosition();
    if (gridRow < 0 || column < 0) return nullptr;
    SetTopRow(m_gridPanes->TopForRows(gridRow, gridRow));
    Rect cellRect;
    CVincaTreeCellMetrics* cell = m_gridPanes->TreeCell(gridRow, m_gridPanes->RowRect(gridRow), cellRect);
    const Rect& cells = m_gridPanes->CellsRect();
    if (!cell || cellRect.left < cells.left || cellRect.right > cells.right) {
        m_scroller->SetPosition(column, TopRow());
        cell = m_gridPanes->TreeCell(gridRow, m_gridPanes->RowRect(gridRow), cellRect);
    }
    if (!cell) return nullptr;
    origin = {cellRect.left, cellRect.top};
    return cell;
}

VResult CViewWindow::CommitLabelEdit(int32_t flag) {
    if (!m_editor) return VE_OK;
    Ref<CItem> item = m_editItem;
    std::string text = m_editor->Text();
    // The editor goes before the event, so the event may start another.
    std::unique_ptr<ChildEditor> closing = std::move(m_editor);
    m_editItem = nullptr;
    closing.reset();
    BeginRedrawLock();
    if (item && m_host.AfterEditing(m_host.ItemIndex(item.get()), text, flag) && item->ParentNode()) {
        if (item->Text() != text) {
            m_engine.SetListText(item.get(), text);
        }
        int32_t row = m_engine.RowOf(item.get());
        if (row >= 0) InvalidateRows(row, std::min(row + 1, RowCount() - 1));
    }
    EndRedrawLock();
    setFocus(Qt::OtherFocusReason);
    return VE_OK;
}

VResult CViewWindow::EndLabelEdit() {
    if (!m_editor) return VE_OK;
    Ref<CItem> item = m_editItem;
    m_editor.reset();
    m_editItem = nullptr;
    int32_t row = item ? m_engine.RowOf(item.get()) : -1;
    if (row >= 0)
        InvalidateRows(row, row);
    else
        update();
    setFocus(Qt::OtherFocusReason);
    return VE_OK;
}

VResult SetItemEditText(CViewWindow* window, CItem* item, int32_t action, int32_t viewStyle) {
    switch (action) {
    case 0:
        return window ? window->EndLabelEdit() : VResult{VE_OK};
    case 1:
        return window ? window->CommitLabelEdit(1) : VResult{VE_OK};
    case 2:
        if (viewStyle == 2 || viewStyle == 3) return VE_CANNOT_EDIT;
        if (!window) return VE_NO_WINDOW;
        return window->BeginLabelEdit(item);
    default:
        return VE_INVALID_ARGUMENT;
    }
}

} // namespace vinca
