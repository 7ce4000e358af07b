#include "platform/ui/child_editor.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QTextDocument>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QTextEdit>

#include "platform/gdi/rtf.h"
#include "platform/ui/virtual_keys.h"

namespace plat::ui {

ChildEditor::ChildEditor(QWidget* parent, uint32_t style, bool rich, bool border, bool noContextMenu)
    : m_style(style), m_noContextMenu(noContextMenu) {
    if (rich) {
        m_widget = m_rich = new QTextEdit(parent);
        m_rich->setReadOnly(style & ES_READONLY);
    } else if (style & ES_MULTILINE) {
        m_widget = m_plain = new QPlainTextEdit(parent);
        m_plain->setReadOnly(style & ES_READONLY);
        if (!(style & ES_AUTOHSCROLL)) m_plain->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    } else {
        m_widget = m_line = new QLineEdit(parent);
        m_line->setReadOnly(style & ES_READONLY);
        m_line->setFrame(border);
        if (style & ES_PASSWORD) m_line->setEchoMode(QLineEdit::Password);
        m_line->setAlignment(style & ES_CENTER  ? Qt::AlignHCenter
                             : style & ES_RIGHT ? Qt::AlignRight
                                                : Qt::AlignLeft);
    }
    if (!border) {
        if (auto* f = qobject_cast<QFrame*>(m_widget)) f->setFrameShape(QFrame::NoFrame);
    }
    m_widget->installEventFilter(this);
    if (QWidget* vp = m_rich ? m_rich->viewport() : m_plain ? m_plain->viewport() : nullptr)
        vp->installEventFilter(this);
    if (m_noContextMenu) m_widget->setContextMenuPolicy(Qt::NoContextMenu);
}

ChildEditor::~ChildEditor() {
    delete m_widget;
}

void ChildEditor::SetText(const std::string& text) {
    QString s = QString::fromStdString(text);
    if (m_line)
        m_line->setText(s);
    else if (m_plain)
        m_plain->setPlainText(s);
    else if (!gdi::ReadRtf(text, *m_rich->document()))
        m_rich->setPlainText(s);
}

std::string ChildEditor::Text() const {
    if (m_line) return m_line->text().toStdString();
    if (m_plain) return m_plain->toPlainText().toStdString();
    return gdi::WriteRtf(*m_rich->document());
}

void ChildEditor::SetLook(const QFont& font, QColor back, QColor text) {
    m_widget->setFont(font);
    QPalette pal = m_widget->palette();
    pal.setColor(QPalette::Base, back);
    pal.setColor(QPalette::Text, text);
    m_widget->setPalette(pal);
}

void ChildEditor::Show(const QRect& rect) {
    m_widget->setGeometry(rect);
    if (m_line)
        m_line->selectAll();
    else if (m_plain)
        m_plain->selectAll();
    else
        m_rich->selectAll();
    m_widget->show();
    m_widget->setFocus(Qt::OtherFocusReason);
}

void ChildEditor::Insert(const QString& s) {
    if (m_line)
        m_line->insert(s);
    else if (m_plain)
        m_plain->insertPlainText(s);
    else
        m_rich->insertPlainText(s);
}

bool ChildEditor::Consumed(QEvent* event) {
    event->accept();
    return true;
}

bool ChildEditor::KeepKey(QObject* watched, QEvent* event) {
    // The editor's own handling and no further: a key the edit leaves
    // unused (Down in a single line, Page Down) would otherwise go on to
    // the window beneath and move or scroll what is being edited.
    if (watched != m_widget) return false;
    watched->event(event);
    return Consumed(event);
}

bool ChildEditor::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusOut:
        if (watched == m_widget && focusLost) focusLost();
        return false;
    case QEvent::KeyPress: {
        auto* ke = static_cast<QKeyEvent*>(event);
        int16_t shift = ShiftMask(ke->modifiers());
        int32_t vk = VirtualKeyFromQt(ke->key());
        if (vk && keyDown) {
            int32_t key = vk;
            bool pass = keyDown(key, shift);
            m_swallowed = key == 0;
            if (!pass || key == 0) return Consumed(event);
        }
        QString text = ke->text();
        if (text.isEmpty() || !text[0].isPrint() || !keyPress) return KeepKey(watched, event);
        int32_t ch = text[0].unicode();
        int32_t before = ch;
        if (!keyPress(ch) || ch == 0) return Consumed(event);
        if (ch == before) return KeepKey(watched, event);
        Insert(QString(QChar(char16_t(ch))));
        return Consumed(event);
    }
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (m_swallowed) {
            m_swallowed = false;
            return Consumed(event);
        }
        int32_t vk = VirtualKeyFromQt(ke->key());
        if (vk && keyUp && !keyUp(vk, ShiftMask(ke->modifiers()))) return Consumed(event);
        return KeepKey(watched, event);
    }
    default:
        return false;
    }
}

} // namespace plat::ui
