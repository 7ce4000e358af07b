#include "platform/forms/form.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <algorithm>

namespace plat::forms {

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

// The top-level window of a form: reports the close box and size changes.
class FormWindow : public QWidget {
  public:
    explicit FormWindow(Form& form) : m_form(form) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        m_client = new QWidget(this);
        m_client->setObjectName(QStringLiteral("client"));
        m_menu_bar = new QMenuBar(this);
        m_menu_bar->hide();
    }
    QWidget* m_client;
    QMenuBar* m_menu_bar;
    bool m_code_close{false};
    QEventLoop* m_modal_loop{nullptr};

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_code_close) {
            event->accept();
            return;
        }
        bool accept = true;
        m_form.close_box(accept);
        if (accept)
            event->accept();
        else
            event->ignore();
    }
    void resizeEvent(QResizeEvent*) override { m_form.window_resized(); }
    void hideEvent(QHideEvent*) override {
        if (m_modal_loop) m_modal_loop->quit();
    }

  private:
    Form& m_form;
};

// ---------------------------------------------------------------- Form

Form::Form(std::string name) : m_name(std::move(name)), m_window(new FormWindow(*this)) {
    m_window->setObjectName(Q(m_name));
    // Our forms are laid out in absolute twips; a fixed font keeps the
    // layout independent of the desktop.
    m_window->setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    WatchMouse(client(), [this](int32_t kind, int32_t button, int32_t shift, int32_t x, int32_t y) {
        const Control::MouseEvent& e = kind == 0 ? OnMouseDown : kind == 1 ? OnMouseMove : OnMouseUp;
        if (e) e(-1, button, shift, x, y);
    });
}

Form::~Form() {
    m_menus.clear();
    m_controls.clear();
    delete m_window.data();
}

QWidget* Form::window() const {
    return m_window;
}
QWidget* Form::client() const {
    return m_window->m_client;
}
QMenuBar* Form::menu_bar() const {
    return m_window->m_menu_bar;
}

std::string Form::Caption() const {
    return m_window->windowTitle().toStdString();
}
void Form::SetCaption(const std::string& text) {
    m_window->setWindowTitle(Q(text));
}

int32_t Form::frame_extra_width() const {
    return m_window->isVisible() ? m_window->frameGeometry().width() - m_window->width() : 0;
}

int32_t Form::frame_extra_height() const {
    return m_window->isVisible() ? m_window->frameGeometry().height() - m_window->height() : 0;
}

int32_t Form::menu_bar_height() const {
    return m_window->m_menu_bar->isVisibleTo(m_window) ? m_window->m_menu_bar->sizeHint().height() : 0;
}

int32_t Form::Left() const {
    return PixelsToTwips(m_window->frameGeometry().x());
}
int32_t Form::Top() const {
    return PixelsToTwips(m_window->frameGeometry().y());
}
int32_t Form::Width() const {
    return PixelsToTwips(m_window->width() + frame_extra_width());
}
int32_t Form::Height() const {
    return PixelsToTwips(m_window->height() + frame_extra_height());
}
int32_t Form::ScaleWidth() const {
    return PixelsToTwips(m_window->width());
}
int32_t Form::ScaleHeight() const {
    return PixelsToTwips(std::max(0, m_window->height() - menu_bar_height()));
}

void Form::SetWidth(int32_t twips) {
    Move(Left(), Top(), twips, Height());
}
void Form::SetHeight(int32_t twips) {
    Move(Left(), Top(), Width(), twips);
}

void Form::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
    m_window->move(TwipsToPixels(left), TwipsToPixels(top));
    const int w = std::max(1, TwipsToPixels(width) - frame_extra_width());
    const int h = std::max(1, TwipsToPixels(height) - frame_extra_height());
    m_window->resize(w, h);
    // A hidden window gets its resize event only when shown; code that set
    // the size expects Resize now.
    window_resized();
}

void Form::layout_menu_bar() {
    const int mh = menu_bar_height();
    m_window->m_menu_bar->setGeometry(0, 0, m_window->width(), mh);
    m_window->m_client->setGeometry(0, mh, m_window->width(), std::max(0, m_window->height() - mh));
}

void Form::window_resized() {
    layout_menu_bar();
    fire_resize();
}

void Form::fire_resize() {
    const QSize now = m_window->size();
    if (now == m_last_resize_size) return;
    m_last_resize_size = now;
    if (m_resize_depth >= kMaxResizeDepth || !OnResize) return;
    ++m_resize_depth;
    OnResize();
    --m_resize_depth;
}

void Form::SetEnabled(bool on) {
    m_enabled = on;
    m_window->setEnabled(on);
}

void Form::Load() {
    if (m_loaded) return;
    m_loaded = true;
    if (OnLoad) OnLoad();
}

void Form::Show(bool modal) {
    Load();
    if (!m_loaded) return; // Load unloaded it again
    m_visible = true;
    layout_menu_bar();
    // Modality set on a shown window takes effect only at its next show.
    if (modal && !m_window->isVisible()) m_window->setWindowModality(Qt::ApplicationModal);
    m_window->show();
    // A window shown again keeps its old place in the stack of windows,
    // under any raised since: a form shown comes to the front.
    m_window->raise();
    fire_resize();
    if (OnActivate) OnActivate();
    if (modal) {
        QEventLoop loop;
        m_window->activateWindow();
        m_window->m_modal_loop = &loop;
        if (m_window->isVisible()) loop.exec();
        if (m_window) {
            m_window->m_modal_loop = nullptr;
            m_window->setWindowModality(Qt::NonModal);
        }
    }
}

void Form::Hide() {
    m_visible = false;
    m_window->hide();
}

void Form::close_box(bool& accept) {
    bool cancel = false;
    if (OnQueryUnload) OnQueryUnload(cancel, UnloadMode::CloseBox);
    if (!cancel && OnUnload) OnUnload(cancel);
    accept = !cancel;
    if (accept) {
        m_visible = false;
        m_loaded = false;
    }
}

bool Form::Unload() {
    if (!m_loaded && !m_visible) return true;
    if (m_unloading) return false;
    m_unloading = true;
    bool cancel = false;
    if (OnQueryUnload) OnQueryUnload(cancel, UnloadMode::Code);
    if (!cancel && OnUnload) OnUnload(cancel);
    if (!cancel) {
        m_visible = false;
        m_loaded = false;
        m_window->m_code_close = true;
        m_window->close();
        m_window->m_code_close = false;
    }
    m_unloading = false;
    return !cancel;
}

Control* Form::Find(const std::string& name, int32_t index) const {
    for (const auto& c : m_controls)
        if (c->Name() == name && c->Index() == index) return c.get();
    return nullptr;
}

std::vector<Control*> Form::Controls() const {
    std::vector<Control*> out;
    out.reserve(m_controls.size());
    for (const auto& c : m_controls)
        out.push_back(c.get());
    return out;
}

void Form::Remove(Control& control) {
    std::erase_if(m_controls, [&](const auto& c) { return c.get() == &control; });
}

Menu& Form::AddMenu(const std::string& name, Menu* parent, int32_t index) {
    m_menus.push_back(std::make_unique<Menu>(*this, name, index, parent));
    return *m_menus.back();
}

Menu* Form::FindMenu(const std::string& name, int32_t index) const {
    for (const auto& m : m_menus)
        if (m->Name() == name && m->Index() == index) return m.get();
    return nullptr;
}

void Form::RemoveMenu(Menu& menu) {
    std::erase_if(m_menus, [&](const auto& m) { return m.get() == &menu || m->parent() == &menu; });
}

// ---------------------------------------------------------------- Menu

Menu::Menu(Form& form, std::string name, int32_t index, Menu* parent)
    : m_form(form), m_name(std::move(name)), m_index(index), m_parent(parent) {
    if (!parent) {
        m_submenu = new QMenu(form.menu_bar());
        m_action = form.menu_bar()->addMenu(m_submenu);
        // The drop-down's Click runs before it shows, so it can set its
        // items' states.
        QObject::connect(m_submenu, &QMenu::aboutToShow, m_submenu, [this] { fire(); });
        form.menu_bar()->show();
        form.layout_menu_bar();
    } else {
        if (!parent->m_submenu) {
            parent->m_submenu = new QMenu(form.menu_bar());
            parent->m_action->setMenu(parent->m_submenu.data());
            QObject::connect(parent->m_submenu, &QMenu::aboutToShow, parent->m_submenu,
                             [parent] { parent->fire(); });
        }
        QMenu* host = parent->m_submenu;
        m_action = new QAction(host);
        // An element loaded at run time goes after the last of its array.
        QAction* before = nullptr;
        const Menu* last = nullptr;
        for (int32_t i = index - 1; i >= 0 && !last; --i)
            last = form.FindMenu(m_name, i);
        if (last && last->m_action) {
            const auto actions = host->actions();
            const auto at = actions.indexOf(last->m_action.data());
            if (at >= 0 && at + 1 < actions.size()) before = actions[at + 1];
        }
        host->insertAction(before, m_action);
        QObject::connect(m_action, &QAction::triggered, m_action, [this] { fire(); });
    }
    m_action->setObjectName(Q(m_name));
}

Menu::~Menu() {
    delete m_shortcut.data();
    if (!m_parent) delete m_submenu.data();
    delete m_action.data();
}

void Menu::sync() {
    if (!m_action) return;
    const bool separator = m_caption == "-";
    QString text = Q(m_caption);
    if (!m_keys.isEmpty()) text += QLatin1Char('\t') + m_keys.toString(QKeySequence::NativeText);
    if (!m_parent) m_submenu->setTitle(text);
    // A separator with a text is drawn as a section heading showing it.
    m_action->setText(separator && m_parent ? QString() : text);
    m_action->setSeparator(separator);
    m_action->setCheckable(m_checked);
    m_action->setChecked(m_checked);
    m_action->setEnabled(m_enabled);
    m_action->setVisible(m_visible);
    // A top menu's caption changes the bar's height, and so the client area.
    if (!m_parent) m_form.layout_menu_bar();
}

void Menu::SetCaption(const std::string& text) {
    m_caption = text;
    sync();
}

void Menu::SetChecked(bool on) {
    m_checked = on;
    sync();
}

void Menu::SetEnabled(bool on) {
    m_enabled = on;
    sync();
}

void Menu::SetVisible(bool on) {
    m_visible = on;
    sync();
}

void Menu::SetShortcut(const QKeySequence& keys) {
    m_keys = keys;
    delete m_shortcut.data();
    if (!keys.isEmpty()) {
        // Our own shortcut, not the action's: Qt would skip a disabled
        // action before the drop-down's Click could enable it.
        auto* shortcut = new QShortcut(keys, m_form.window());
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, shortcut, [this] { RunShortcut(); });
        m_shortcut = shortcut;
    }
    sync();
}

void Menu::fire() {
    if (Click) Click(m_index);
}

void Menu::Trigger() {
    if (m_enabled && m_action) m_action->trigger();
}

void Menu::RunShortcut() {
    Menu* top = this;
    while (top->m_parent)
        top = top->m_parent;
    if (top != this) top->fire();
    for (Menu* m = this; m; m = m->m_parent)
        if (!m->m_enabled || !m->m_visible) return;
    fire();
}

} // namespace plat::forms
