#include "platform/forms/controls.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "platform/forms/form.h"
#include "platform/ui/virtual_keys.h"

namespace plat::forms {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

QColor Rgb(uint32_t rgb) {
    // Colours are stored the platform's way: red in the low byte.
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

} // namespace

// Kinds whose widget has no click of its own: a left press and release
// inside the control is a Click.
class ClickFilter : public QObject {
  public:
    ClickFilter(QWidget* w, std::function<void()> fire) : QObject(w), m_fire(std::move(fire)) {
        w->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* w = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            m_pressed = true;
        else if (event->type() == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_pressed) {
            m_pressed = false;
            if (w->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) m_fire();
        }
        return false;
    }

  private:
    std::function<void()> m_fire;
    bool m_pressed{false};
};

// Hands the unmodified keys pressed in a widget to a handler, which answers
// whether it took them.
class PlainKeys : public QObject {
  public:
    PlainKeys(QWidget* w, std::function<bool(int)> handle) : QObject(w), m_handle(std::move(handle)) {
        w->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) return false;
        return m_handle(key->key());
    }

  private:
    std::function<bool(int)> m_handle;
};

namespace {

int32_t ButtonBits(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

int32_t ShiftBits(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

constexpr const char* kControlProperty = "kl_form_control";

class MouseWatcher : public QObject {
  public:
    MouseWatcher(QWidget* w, MouseSink sink) : QObject(w), m_widget(w), m_sink(std::move(sink)) {
        w->installEventFilter(this);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) area->viewport()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        int32_t kind;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            kind = 0;
            break;
        case QEvent::MouseMove:
            kind = 1;
            break;
        case QEvent::MouseButtonRelease:
            kind = 2;
            break;
        default:
            return false;
        }
        auto* me = static_cast<QMouseEvent*>(event);
        // Positions are the control's, also when the viewport reported them.
        const QPoint at = static_cast<QWidget*>(watched)->mapTo(m_widget, me->position().toPoint());
        // A press a child control ignored travels up to its container; it
        // belongs to the child alone.
        for (QWidget* w = m_widget->childAt(at); w && w != m_widget; w = w->parentWidget())
            if (w->property(kControlProperty).toBool()) return false;
        const int32_t button = kind == 1 ? ButtonBits(me->buttons()) : ButtonBits(me->button());
        m_sink(kind, button, ShiftBits(me->modifiers()), PixelsToTwips(at.x()), PixelsToTwips(at.y()));
        return false;
    }

  private:
    QWidget* m_widget;
    MouseSink m_sink;
};

} // namespace

void WatchMouse(QWidget* widget, MouseSink sink) {
    new MouseWatcher(widget, std::move(sink));
}

int32_t TwipsToPixels(int32_t twips) {
    return static_cast<int32_t>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

int32_t PixelsToTwips(int32_t pixels) {
    return pixels * kTwipsPerPixel;
}

// ---------------------------------------------------------------- Control

Control::Control(Form& form, ControlKind kind, std::string name, int32_t index, QWidget* widget)
    : m_form(form), m_kind(kind), m_name(std::move(name)), m_index(index), m_widget(widget) {
    widget->setObjectName(Q(m_name));
    widget->setProperty(kControlProperty, true);
    widget->show();
    WatchMouse(widget, [this](int32_t kind, int32_t button, int32_t shift, int32_t x, int32_t y) {
        const MouseEvent& e = kind == 0 ? MouseDown : kind == 1 ? MouseMove : MouseUp;
        if (e) e(m_index, button, shift, x, y);
    });
}

Control::~Control() {
    delete m_widget.data();
}

void Control::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
    m_left = left;
    m_top = top;
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    if (m_widget)
        m_widget->setGeometry(TwipsToPixels(m_left), TwipsToPixels(m_top), TwipsToPixels(m_width),
                              TwipsToPixels(m_height));
}

void Control::SetVisible(bool on) {
    m_visible = on;
    if (m_widget) m_widget->setVisible(on);
}

void Control::SetEnabled(bool on) {
    m_enabled = on;
    if (m_widget) m_widget->setEnabled(on);
}

std::string Control::ToolTipText() const {
    return m_widget ? S(m_widget->toolTip()) : std::string();
}

void Control::SetToolTipText(const std::string& text) {
    if (m_widget) m_widget->setToolTip(Q(text));
}

void Control::ZOrder(int32_t position) {
    if (!m_widget) return;
    if (position == 0)
        m_widget->raise();
    else
        m_widget->lower();
}

bool Control::IsAbove(const Control& other) const {
    if (!m_widget || !other.m_widget || m_widget->parent() != other.m_widget->parent()) return false;
    // Siblings are stacked in the order of their parent's child list.
    const auto& order = m_widget->parentWidget()->children();
    return order.indexOf(m_widget.data()) > order.indexOf(other.m_widget.data());
}

void Control::SetFocus() {
    if (m_widget) m_widget->setFocus(Qt::OtherFocusReason);
}

void Control::FireClick() {
    if (Click) Click(m_index);
}

// ---------------------------------------------------------------- Label

Label::Label(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::Label, std::move(name), index, new QLabel(parent)),
      m_label(static_cast<QLabel*>(widget())) {
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label->setWordWrap(true);
    new ClickFilter(widget(), [this] { FireClick(); });
}

std::string Label::Caption() const {
    return S(m_label->text());
}
void Label::SetCaption(const std::string& text) {
    m_label->setText(Q(text));
}

void Label::SetAlignment(int32_t alignment) {
    Qt::Alignment h = alignment == 1 ? Qt::AlignRight : alignment == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
    m_label->setAlignment(h | Qt::AlignTop);
}

// ---------------------------------------------------------------- TextBox

namespace {

class KeyFilter : public QObject {
  public:
    KeyFilter(TextBox& box) : QObject(box.line_edit()), m_box(box) {
        box.line_edit()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* ke = static_cast<QKeyEvent*>(event);
        const int32_t vk = plat::ui::VirtualKeyFromQt(ke->key());
        if (vk && m_box.KeyDown) {
            int16_t code = static_cast<int16_t>(vk);
            m_box.KeyDown(m_box.Index(), code, plat::ui::ShiftMask(ke->modifiers()));
            if (code == 0) return true;
        }
        if (!m_box.KeyPress) return false;
        int16_t ascii = 0;
        if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter)
            ascii = 13;
        else if (ke->key() == Qt::Key_Backspace)
            ascii = 8;
        else if (ke->key() == Qt::Key_Escape)
            ascii = 27;
        else if (!ke->text().isEmpty() && ke->text().at(0).isPrint())
            ascii = static_cast<int16_t>(ke->text().at(0).unicode());
        if (ascii == 0) return false;
        const int16_t typed = ascii;
        m_box.KeyPress(m_box.Index(), ascii);
        if (ascii == typed) return false;
        if (ascii >= 32) m_box.line_edit()->insert(QString(QChar(static_cast<char16_t>(ascii))));
        return true;
    }

  private:
    TextBox& m_box;
};

} // namespace

TextBox::TextBox(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::TextBox, std::move(name), index, new QLineEdit(parent)),
      m_edit(static_cast<QLineEdit*>(widget())) {
    QObject::connect(m_edit, &QLineEdit::textEdited, m_edit, [this] {
        if (Change) Change(Index());
    });
    new KeyFilter(*this);
}

std::string TextBox::Text() const {
    return S(m_edit->text());
}

void TextBox::SetText(const std::string& text) {
    const QString q = Q(text);
    // Rewriting the same text would move the caret to the end.
    if (m_edit->text() != q) m_edit->setText(q);
    if (Change) Change(Index());
}

bool TextBox::Locked() const {
    return m_edit->isReadOnly();
}
void TextBox::SetLocked(bool on) {
    m_edit->setReadOnly(on);
}
int32_t TextBox::MaxLength() const {
    return m_edit->maxLength() >= 32767 ? 0 : m_edit->maxLength();
}
void TextBox::SetMaxLength(int32_t length) {
    m_edit->setMaxLength(length <= 0 ? 32767 : length);
}

// ---------------------------------------------------------------- ComboBox

ComboBox::ComboBox(Form& form, std::string name, int32_t index, QWidget* parent, int32_t style)
    : ListControl(form, ControlKind::ComboBox, std::move(name), index, new QComboBox(parent)),
      m_combo(static_cast<QComboBox*>(widget())) {
    m_combo->setEditable(style == 0);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    QObject::connect(m_combo, &QComboBox::activated, m_combo, [this](int) {
        // A person picking from the list: the text changes too.
        if (m_combo->isEditable() && Change) Change(Index());
        FireClick();
    });
    if (m_combo->isEditable())
        QObject::connect(m_combo->lineEdit(), &QLineEdit::textEdited, m_combo, [this] {
            if (Change) Change(Index());
        });
}

int32_t ComboBox::ListCount() const {
    return m_combo->count();
}

std::string ComboBox::List(int32_t i) const {
    return i >= 0 && i < m_combo->count() ? S(m_combo->itemText(i)) : std::string();
}

int32_t ComboBox::ListIndex() const {
    return m_combo->currentIndex();
}

void ComboBox::SetListIndex(int32_t i) {
    if (i < -1 || i >= m_combo->count()) return;
    if (i == m_combo->currentIndex()) return;
    m_combo->setCurrentIndex(i);
    FireClick();
}

int32_t ComboBox::AddItem(const std::string& text, int32_t at) {
    const int before = m_combo->currentIndex();
    const QString typed = m_combo->currentText();
    const int pos = at < 0 || at > m_combo->count() ? m_combo->count() : at;
    m_combo->insertItem(pos, Q(text));
    // Qt selects the first entry of an empty list; the list stays unselected
    // and a typing combo keeps what was typed.
    if (before < 0 && m_combo->currentIndex() >= 0) {
        m_combo->setCurrentIndex(-1);
        if (m_combo->isEditable()) m_combo->setEditText(typed);
    }
    m_new_index = pos;
    return pos;
}

void ComboBox::RemoveItem(int32_t i) {
    if (i >= 0 && i < m_combo->count()) m_combo->removeItem(i);
}

void ComboBox::Clear() {
    m_combo->clear();
    m_new_index = -1;
}

int32_t ComboBox::ItemData(int32_t i) const {
    return m_combo->itemData(i).toInt();
}
void ComboBox::SetItemData(int32_t i, int32_t value) {
    m_combo->setItemData(i, value);
}
std::string ComboBox::Text() const {
    return S(m_combo->currentText());
}

void ComboBox::SetText(const std::string& text) {
    const QString q = Q(text);
    if (m_combo->isEditable()) {
        if (m_combo->currentText() != q) m_combo->setEditText(q);
        if (Change) Change(Index());
    } else {
        // A drop-down list takes only one of its entries.
        const int i = m_combo->findText(q, Qt::MatchFixedString);
        if (i >= 0) SetListIndex(i);
    }
}

// ---------------------------------------------------------------- ListBox

ListBox::ListBox(Form& form, std::string name, int32_t index, QWidget* parent)
    : ListControl(form, ControlKind::ListBox, std::move(name), index, new QListWidget(parent)),
      m_list(static_cast<QListWidget*>(widget())) {
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    // The mouse and the keys both move the current row; code does too, but
    // then fires Click itself (or nothing, for Clear and AddItem).
    QObject::connect(m_list, &QListWidget::currentRowChanged, m_list, [this](int) {
        if (m_code_depth == 0) FireClick();
    });
}

int32_t ListBox::ListCount() const {
    return m_list->count();
}

std::string ListBox::List(int32_t i) const {
    auto* item = m_list->item(i);
    return item ? S(item->text()) : std::string();
}

int32_t ListBox::ListIndex() const {
    return m_list->currentRow();
}

void ListBox::SetListIndex(int32_t i) {
    if (i < -1 || i >= m_list->count() || i == m_list->currentRow()) return;
    ++m_code_depth;
    if (i < 0)
        m_list->setCurrentRow(-1, QItemSelectionModel::Clear);
    else
        m_list->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
    --m_code_depth;
    FireClick();
}

int32_t ListBox::AddItem(const std::string& text, int32_t at) {
    ++m_code_depth;
    const int pos = at < 0 || at > m_list->count() ? m_list->count() : at;
    m_list->insertItem(pos, Q(text));
    --m_code_depth;
    m_new_index = pos;
    return pos;
}

void ListBox::RemoveItem(int32_t i) {
    ++m_code_depth;
    delete m_list->takeItem(i);
    --m_code_depth;
}

void ListBox::Clear() {
    ++m_code_depth;
    m_list->clear();
    --m_code_depth;
    m_new_index = -1;
}

int32_t ListBox::ItemData(int32_t i) const {
    auto* item = m_list->item(i);
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void ListBox::SetItemData(int32_t i, int32_t value) {
    if (auto* item = m_list->item(i)) item->setData(Qt::UserRole, value);
}

// ---------------------------------------------------------------- CheckBox

CheckBox::CheckBox(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::CheckBox, std::move(name), index, new QCheckBox(parent)),
      m_check(static_cast<QCheckBox*>(widget())) {
    QObject::connect(m_check, &QCheckBox::clicked, m_check, [this](bool checked) {
        // A person's click cycles checked/unchecked only, never to grayed.
        const int32_t value = checked ? 1 : 0;
        m_check->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        if (value == m_value) return;
        m_value = value;
        FireClick();
    });
}

void CheckBox::SetValue(int32_t value) {
    if (value < 0 || value > 2 || value == m_value) return;
    m_value = value;
    m_check->setCheckState(value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked);
    FireClick();
}

std::string CheckBox::Caption() const {
    return S(m_check->text());
}
void CheckBox::SetCaption(const std::string& text) {
    m_check->setText(Q(text));
}

// ---------------------------------------------------------------- OptionButton

OptionButton::OptionButton(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::OptionButton, std::move(name), index, new QRadioButton(parent)),
      m_radio(static_cast<QRadioButton*>(widget())) {
    // The group is ours: Qt's would refuse to turn the last one off.
    m_radio->setAutoExclusive(false);
    QObject::connect(m_radio, &QRadioButton::clicked, m_radio, [this] {
        // Clicking the one already on leaves it on and fires nothing.
        if (m_value) {
            m_radio->setChecked(true);
            return;
        }
        SetValue(true);
    });
    // The arrow keys move along the buttons of the group, choosing each.
    new PlainKeys(m_radio, [this](int key) {
        const int step = key == Qt::Key_Down || key == Qt::Key_Right ? 1
                         : key == Qt::Key_Up || key == Qt::Key_Left  ? -1
                                                                     : 0;
        if (step == 0) return false;
        // Hidden and disabled buttons are stepped over.
        std::vector<OptionButton*> group;
        for (OptionButton* b : Group()) {
            QWidget* w = b->widget();
            if (b == this || (w->isVisibleTo(w->parentWidget()) && w->isEnabled())) group.push_back(b);
        }
        const auto at = std::find(group.begin(), group.end(), this) - group.begin();
        const auto n = static_cast<std::ptrdiff_t>(group.size());
        OptionButton* next = group[size_t(((at + step) % n + n) % n)];
        next->m_radio->setFocus(Qt::TabFocusReason);
        next->SetValue(true);
        return true;
    });
}

void OptionButton::apply(bool on) {
    m_value = on;
    m_radio->setChecked(on);
}

void OptionButton::SetValue(bool on) {
    if (!on) {
        apply(false);
        return;
    }
    if (m_value) return;
    for (OptionButton* b : Group())
        if (b != this) b->apply(false);
    apply(true);
    FireClick();
}

std::vector<OptionButton*> OptionButton::Group() {
    // The buttons of one container are one group, in the form's order.
    std::vector<OptionButton*> group;
    for (Control* c : form().Controls())
        if (c->kind() == ControlKind::OptionButton && c->widget() &&
            c->widget()->parent() == widget()->parent())
            group.push_back(static_cast<OptionButton*>(c));
    return group;
}

std::string OptionButton::Caption() const {
    return S(m_radio->text());
}
void OptionButton::SetCaption(const std::string& text) {
    m_radio->setText(Q(text));
}

// ---------------------------------------------------------------- Frame, Panel

Frame::Frame(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::Frame, std::move(name), index, new QGroupBox(parent)),
      m_box(static_cast<QGroupBox*>(widget())) {
    new ClickFilter(widget(), [this] { FireClick(); });
}

std::string Frame::Caption() const {
    return S(m_box->title());
}
void Frame::SetCaption(const std::string& text) {
    m_box->setTitle(Q(text));
}

Panel::Panel(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::Panel, std::move(name), index, new QFrame(parent)),
      m_frame(static_cast<QFrame*>(widget())) {
    m_frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_frame->setLineWidth(1);
    // The caption sits behind the panel's own controls, centred.
    m_text = new QLabel(m_frame);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QVBoxLayout(m_frame);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_text);
    m_text->lower();
    new ClickFilter(widget(), [this] { FireClick(); });
}

void Panel::SetCaption(const std::string& text) {
    m_caption = text;
    m_text->setText(Q(text));
}

void Panel::SetBevelOuter(int32_t bevel) {
    m_frame->setFrameStyle(bevel == 0   ? QFrame::NoFrame
                           : bevel == 1 ? (QFrame::Panel | QFrame::Sunken)
                                        : (QFrame::Panel | QFrame::Raised));
}

// ---------------------------------------------------------------- Buttons

CommandButton::CommandButton(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::CommandButton, std::move(name), index, new QPushButton(parent)),
      m_button(static_cast<QPushButton*>(widget())) {
    QObject::connect(m_button, &QPushButton::clicked, m_button, [this] { FireClick(); });
}

std::string CommandButton::Caption() const {
    return S(m_button->text());
}
void CommandButton::SetCaption(const std::string& text) {
    m_button->setText(Q(text));
}

void CommandButton::SetValue(bool on) {
    if (on) FireClick();
}

void CommandButton::SetCancel(bool on) {
    if (on == Cancel()) return;
    if (!on) {
        delete m_cancel.data();
        return;
    }
    m_cancel = new QShortcut(QKeySequence(Qt::Key_Escape), m_button->window());
    m_cancel->setContext(Qt::WindowShortcut);
    QObject::connect(m_cancel, &QShortcut::activated, m_button, [this] {
        if (m_button->isEnabled() && m_button->isVisible()) m_button->click();
    });
}

RibbonButton::RibbonButton(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::RibbonButton, std::move(name), index, new QToolButton(parent)),
      m_button(static_cast<QToolButton*>(widget())) {
    m_button->setAutoRaise(false);
    m_button->setCheckable(true);
    m_button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // A click presses the button; a pressed one stays pressed.
    QObject::connect(m_button, &QToolButton::clicked, m_button, [this] {
        if (m_value)
            m_button->setChecked(true);
        else
            SetValue(true);
    });
}

void RibbonButton::SetValue(bool on) {
    // The pressed look follows Value; setting it True is a press, which
    // releases the other buttons of its array.
    m_value = on;
    m_button->setChecked(on);
    if (!on) return;
    for (Control* c : form().Controls())
        if (c != this && c->kind() == ControlKind::RibbonButton && c->Name() == Name())
            static_cast<RibbonButton*>(c)->SetValue(false);
    FireClick();
}

void RibbonButton::SetPicture(const QImage& image) {
    m_button->setIcon(QIcon(QPixmap::fromImage(image)));
    m_button->setIconSize(image.size());
}

// ---------------------------------------------------------------- TabStrip

namespace {

// The strip's window: the tabs along the top, the pane's frame below them,
// and the pages over the whole of it with the tabs kept above them.
class TabStripWidget : public QWidget {
  public:
    explicit TabStripWidget(QWidget* parent) : QWidget(parent) {
        pane = new QFrame(this);
        pane->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
        bar = new QTabBar(this);
        bar->setDrawBase(false);
    }
    QFrame* pane;
    QTabBar* bar;
    std::vector<QWidget*> pages;

    void place() {
        const int tabs_height = bar->sizeHint().height();
        bar->setGeometry(0, 0, width(), tabs_height);
        pane->setGeometry(0, tabs_height - 1, width(), std::max(0, height() - tabs_height + 1));
        for (QWidget* page : pages)
            page->setGeometry(rect());
        bar->raise();
    }

  protected:
    void resizeEvent(QResizeEvent*) override { place(); }
};

} // namespace

TabStrip::TabStrip(Form& form, std::string name, int32_t index, QWidget* parent, int32_t tabs)
    : Control(form, ControlKind::TabStrip, std::move(name), index, new TabStripWidget(parent)) {
    auto* strip = static_cast<TabStripWidget*>(widget());
    m_bar = strip->bar;
    for (int32_t i = 0; i < std::max(1, tabs); ++i) {
        auto* page = new QWidget(strip);
        page->setObjectName(QStringLiteral("%1.page%2").arg(QString::fromStdString(Name())).arg(i));
        page->setVisible(i == 0);
        strip->pages.push_back(page);
        m_pages.push_back(page);
        m_bar->addTab(QStringLiteral("Tab %1").arg(i));
    }
    m_bar->setCurrentIndex(0);
    strip->place();
    // The person's change (mouse or keys); code's changes go through SetTab.
    QObject::connect(m_bar, &QTabBar::currentChanged, m_bar, [this](int tab) { changed(tab); });
}

int32_t TabStrip::Tabs() const {
    return m_bar->count();
}

void TabStrip::changed(int32_t tab) {
    if (tab < 0 || tab == m_tab) return;
    const int32_t previous = m_tab;
    m_tab = tab;
    // The keyboard follows the person to the new page when it was on the
    // page that goes away; otherwise hiding that page would hand it to
    // whatever comes first in the window (the toolbar).
    QWidget* focused = QApplication::focusWidget();
    QWidget* old_page = page(previous);
    const bool focus_on_old_page = focused && old_page && old_page->isAncestorOf(focused);
    for (size_t i = 0; i < m_pages.size(); ++i)
        m_pages[i]->setVisible(static_cast<int32_t>(i) == tab);
    if (TabClick) TabClick(previous);
    if (focus_on_old_page) FocusFirstOnPage(tab);
}

void TabStrip::FocusFirstOnPage(int32_t tab) {
    QWidget* shown = page(tab);
    if (!shown || !shown->isVisible()) return;
    // The focus chain's order is the order of the page's controls.
    for (QWidget* w = shown->nextInFocusChain(); w && w != shown; w = w->nextInFocusChain()) {
        if (!shown->isAncestorOf(w)) continue;
        if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy() && w->isVisible() &&
            w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void TabStrip::SetTab(int32_t tab) {
    if (tab < 0 || tab >= m_bar->count() || tab == m_tab) return;
    // currentChanged arrives inside setCurrentIndex and fires Click once.
    m_bar->setCurrentIndex(tab);
    if (m_bar->currentIndex() != tab) changed(tab); // a disabled tab Qt refused
}

std::string TabStrip::TabCaption(int32_t tab) const {
    return S(m_bar->tabText(tab));
}
void TabStrip::SetTabCaption(int32_t tab, const std::string& text) {
    m_bar->setTabText(tab, Q(text));
    static_cast<TabStripWidget*>(widget())->place();
}
void TabStrip::SetTabEnabled(int32_t tab, bool on) {
    m_bar->setTabEnabled(tab, on);
}
QWidget* TabStrip::page(int32_t tab) const {
    return tab >= 0 && tab < static_cast<int32_t>(m_pages.size()) ? m_pages[static_cast<size_t>(tab)]
                                                                  : nullptr;
}

// ---------------------------------------------------------------- PictureBox

namespace {

class CanvasWidget : public QWidget {
  public:
    explicit CanvasWidget(QWidget* parent) : QWidget(parent) {}
    QImage image;
    QColor back{Qt::white};

    void fit() {
        const QSize want = size().expandedTo(QSize(1, 1));
        if (image.size() == want) return;
        QImage grown(want, QImage::Format_RGB32);
        grown.fill(back);
        QPainter p(&grown);
        p.drawImage(0, 0, image);
        image = grown;
    }

  protected:
    void resizeEvent(QResizeEvent*) override { fit(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, image);
    }
};

} // namespace

struct PictureBox::Impl {
    CanvasWidget* canvas;
};

PictureBox::PictureBox(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::PictureBox, std::move(name), index, new CanvasWidget(parent)),
      m_impl(new Impl{static_cast<CanvasWidget*>(widget())}) {
    m_impl->canvas->fit();
    new ClickFilter(widget(), [this] { FireClick(); });
}

PictureBox::~PictureBox() {
    delete m_impl;
}

void PictureBox::Cls() {
    m_impl->canvas->fit();
    m_impl->canvas->image.fill(m_impl->canvas->back);
    m_impl->canvas->update();
}

void PictureBox::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t rgb, LineStyle style) {
    auto* c = m_impl->canvas;
    c->fit();
    QPainter p(&c->image);
    const QPoint a(TwipsToPixels(x1), TwipsToPixels(y1)), b(TwipsToPixels(x2), TwipsToPixels(y2));
    const QRect box = QRect(a, b).normalized();
    if (style == LineStyle::FilledBox) {
        p.fillRect(box, Rgb(rgb));
    } else {
        p.setPen(Rgb(rgb));
        if (style == LineStyle::Box)
            p.drawRect(box.adjusted(0, 0, -1, -1));
        else
            p.drawLine(a, b);
    }
    c->update();
}

void PictureBox::SetBackColor(uint32_t rgb) {
    m_impl->canvas->back = Rgb(rgb);
    Cls();
}

void PictureBox::SetPicture(const QImage& image) {
    Cls();
    QPainter p(&m_impl->canvas->image);
    p.drawImage(0, 0, image);
    m_impl->canvas->update();
}

const QImage& PictureBox::canvas() const {
    m_impl->canvas->fit();
    return m_impl->canvas->image;
}

// ---------------------------------------------------------------- ImageBox

ImageBox::ImageBox(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::Image, std::move(name), index, new QLabel(parent)),
      m_label(static_cast<QLabel*>(widget())) {
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    new ClickFilter(widget(), [this] { FireClick(); });
}

void ImageBox::SetPicture(const QImage& image) {
    m_picture = image;
    refresh();
}

void ImageBox::SetStretch(bool on) {
    m_stretch = on;
    refresh();
}

void ImageBox::SetMouseThrough(bool on) {
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents, on);
}

void ImageBox::refresh() {
    m_label->setScaledContents(m_stretch);
    m_label->setPixmap(m_picture.isNull() ? QPixmap() : QPixmap::fromImage(m_picture));
}

} // namespace plat::forms
