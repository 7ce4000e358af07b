#include "platform/ui/property_sheet.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

namespace plat::ui {

PropertyPage::PropertyPage(QString caption, QWidget* parent)
    : QWidget(parent), m_caption(std::move(caption)) {}

void PropertyPage::ensure_created() {
    if (m_created) return;
    m_created = true;
    // Controls made inside a parent already shown would stay hidden: the
    // page is shown again once they exist.
    bool shown = isVisible();
    if (shown) hide();
    on_create();
    if (shown) show();
}

PropertySheet::PropertySheet(QString caption, Mode mode, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_caption(std::move(caption)) {
    setWindowTitle(m_caption);
    auto* layout = new QVBoxLayout(this);
    if (m_mode == Mode::Normal) {
        m_tabs = new QTabBar(this);
        m_tabs->setDrawBase(true);
        layout->addWidget(m_tabs);
        connect(m_tabs, &QTabBar::currentChanged, this, [this](int i) {
            if (i != m_active) set_active_page(i);
        });
    }
    m_stack = new QStackedWidget(this);
    layout->addWidget(m_stack, 1);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto make = [&](const QString& text, int id) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QStringLiteral("button%1").arg(id));
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    if (m_mode == Mode::Wizard) {
        m_back = make(tr("< &Back"), Back);
        m_next = make(tr("&Next >"), Next);
        m_next->setDefault(true);
        connect(m_back, &QPushButton::clicked, this, [this] { back(); });
        connect(m_next, &QPushButton::clicked, this, [this] { next(); });
    } else {
        m_ok = make(tr("OK"), Ok);
        m_ok->setDefault(true);
        connect(m_ok, &QPushButton::clicked, this, [this] { ok(); });
    }
    m_cancel = make(tr("Cancel"), Cancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });
    layout->addLayout(row);
}

int PropertySheet::add_page(PropertyPage* page) {
    page->m_sheet = this;
    page->setParent(m_stack);
    m_pages.push_back(page);
    m_stack->addWidget(page);
    if (m_tabs) m_tabs->addTab(page->caption());
    return page_count() - 1;
}

PropertyPage* PropertySheet::page(int index) const {
    if (index < 0 || index >= page_count()) return nullptr;
    return m_pages[static_cast<size_t>(index)];
}

int PropertySheet::index_of(const PropertyPage* p) const {
    for (int i = 0; i < page_count(); ++i)
        if (m_pages[static_cast<size_t>(i)] == p) return i;
    return -1;
}

QPushButton* PropertySheet::button(Button id) const {
    switch (id) {
    case Ok:
        return m_ok;
    case Cancel:
    case Finish:
        return m_cancel;
    case Back:
        return m_back;
    case Next:
        return m_next;
    }
    return nullptr;
}

bool PropertySheet::set_active_page(int index) {
    int direction = (m_active < 0 || index >= m_active) ? 1 : -1;
    return activate(index, direction);
}

bool PropertySheet::activate(int index, int direction) {
    for (int i = index; i >= 0 && i < page_count(); i += direction) {
        PropertyPage* p = page(i);
        if (PropertyPage* old = active_page(); old && old != p) old->on_kill_active();
        p->ensure_created();
        // The page is current while it decides, so that it may move the
        // sheet itself (a page that finishes the sheet from here).
        m_active = i;
        m_stack->setCurrentWidget(p);
        if (m_tabs) m_tabs->setCurrentIndex(i);
        if (m_mode == Mode::Wizard) setWindowTitle(p->caption());
        if (p->on_set_active()) {
            if (m_active == i) emit page_activated(i);
            return true;
        }
        if (m_active != i) return true; // the page moved the sheet elsewhere
    }
    return false;
}

void PropertySheet::next() {
    PropertyPage* p = active_page();
    if (!p) return;
    WizardMove m = p->on_wizard_next();
    if (m.kind == WizardMove::Stay) return;
    activate(m.kind == WizardMove::GoTo ? m.page : m_active + 1, 1);
}

void PropertySheet::back() {
    PropertyPage* p = active_page();
    if (!p) return;
    WizardMove m = p->on_wizard_back();
    if (m.kind == WizardMove::Stay) return;
    activate(m.kind == WizardMove::GoTo ? m.page : m_active - 1, -1);
}

void PropertySheet::ok() {
    for (PropertyPage* p : m_pages)
        if (p->created() && !p->on_apply()) return;
    QDialog::done(QDialog::Accepted);
}

bool PropertySheet::cancel() {
    if (m_in_cancel) return false;
    m_in_cancel = true;
    PropertyPage* p = active_page();
    bool go = !p || p->on_query_cancel();
    m_in_cancel = false;
    if (!go) return false;
    for (PropertyPage* page : m_pages)
        if (page->created()) page->on_cancel();
    QDialog::done(QDialog::Rejected);
    return true;
}

void PropertySheet::press_button(Button id) {
    switch (id) {
    case Ok:
        ok();
        break;
    case Cancel:
        cancel();
        break;
    case Finish:
        QDialog::done(Finish);
        break;
    case Back:
        back();
        break;
    case Next:
        next();
        break;
    }
}

void PropertySheet::reject() {
    cancel();
}

void PropertySheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    keep_on_screen();
}

void PropertySheet::keep_on_screen() {
    QScreen* s = screen();
    if (!s) return;
    const QRect area = s->availableGeometry();
    // The window manager's frame, once there is one, counts too.
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const QSize room = area.size().shrunkBy(frame);
    if (inner.width() > room.width() || inner.height() > room.height()) resize(inner.size().boundedTo(room));
    QRect now = frameGeometry();
    QPoint at = now.topLeft();
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - now.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - now.height())));
    if (at != now.topLeft()) move(at);
}

void PropertySheet::closeEvent(QCloseEvent* event) {
    // The close button is Cancel; the sheet closes only when Cancel did.
    if (isVisible() && !cancel()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace plat::ui
