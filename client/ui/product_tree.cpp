#include "client/ui/product_tree.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace klc {
namespace {

constexpr int kStateRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;
constexpr int kProductRole = Qt::UserRole + 3;
constexpr int kUpdateRole = Qt::UserRole + 4;
constexpr int kFileRole = Qt::UserRole + 5;

} // namespace

CProductTree::CProductTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    // The state image and the item image side by side.
    setIconSize(QSize(32, 16));
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void CProductTree::SetImages(plat::ui::ImageStrip states, plat::ui::ImageStrip items) {
    m_states = std::move(states);
    m_items = std::move(items);
}

QTreeWidgetItem* CProductTree::AddItem(QTreeWidgetItem* parent, const QString& text, int image, int state,
                                       TreePosition pos) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, text);
    item->setData(0, kStateRole, state);
    item->setData(0, kImageRole, image);
    item->setData(0, kProductRole, pos.product);
    item->setData(0, kUpdateRole, pos.update);
    item->setData(0, kFileRole, pos.file);
    Redraw(item);
    return item;
}

int CProductTree::State(const QTreeWidgetItem* item) {
    return item ? item->data(0, kStateRole).toInt() : STATE_NONE;
}

int CProductTree::Image(const QTreeWidgetItem* item) {
    return item ? item->data(0, kImageRole).toInt() : -1;
}

TreePosition CProductTree::Position(const QTreeWidgetItem* item) {
    if (!item) return {};
    return {item->data(0, kProductRole).toInt(), item->data(0, kUpdateRole).toInt(),
            item->data(0, kFileRole).toInt()};
}

void CProductTree::SetState(QTreeWidgetItem* item, int state) {
    item->setData(0, kStateRole, state);
    Redraw(item);
}

void CProductTree::Redraw(QTreeWidgetItem* item) {
    QPixmap both(32, 16);
    both.fill(Qt::transparent);
    QPainter p(&both);
    int state = State(item);
    if (state != STATE_NONE) p.drawPixmap(0, 0, m_states.frame(state));
    p.drawPixmap(16, 0, m_items.frame(Image(item)));
    p.end();
    item->setIcon(0, QIcon(both));
}

void CProductTree::UpdateParentState(QTreeWidgetItem* parent) {
    if (!parent) return;
    int checked = 0;
    int unchecked = 0;
    for (int i = 0; i < parent->childCount(); ++i) {
        int s = State(parent->child(i));
        if (s == STATE_CHECKED) ++checked;
        if (s == STATE_UNCHECKED || s == STATE_PARTIAL) ++unchecked;
    }
    SetState(parent, checked && unchecked ? STATE_PARTIAL : checked ? STATE_CHECKED : STATE_UNCHECKED);
}

void CProductTree::Toggle(QTreeWidgetItem* item) {
    int state = State(item);
    if (!item || state == STATE_NONE) return;
    int next = state == STATE_UNCHECKED ? STATE_CHECKED : STATE_UNCHECKED;
    SetState(item, next);
    if (item->parent()) {
        UpdateParentState(item->parent());
    } else {
        for (int i = 0; i < item->childCount(); ++i)
            if (State(item->child(i)) != STATE_NONE) SetState(item->child(i), next);
    }
    emit stateToggled(item);
}

QRect CProductTree::StateImageRect(QTreeWidgetItem* item) const {
    QRect r = visualItemRect(item);
    if (!r.isValid()) return {};
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    opt.rect = r;
    opt.features |= QStyleOptionViewItem::HasDecoration;
    opt.decorationSize = iconSize();
    opt.icon = item->icon(0);
    opt.text = item->text(0);
    opt.features |= QStyleOptionViewItem::HasDisplay;
    QRect deco = style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, this);
    return QRect(deco.left(), deco.top() + (deco.height() - 16) / 2, 16, 16);
}

void CProductTree::mousePressEvent(QMouseEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (item && event->button() == Qt::LeftButton &&
        StateImageRect(item).contains(event->position().toPoint())) {
        setCurrentItem(item);
        Toggle(item);
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CProductTree::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        Toggle(currentItem());
        return;
    }
    // Typing letters selects nothing here: character input is swallowed.
    if (!event->text().isEmpty() && event->text().at(0).isPrint()) return;
    QTreeWidget::keyPressEvent(event);
}

} // namespace klc
