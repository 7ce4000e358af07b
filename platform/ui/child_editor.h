#pragma once
// A child edit window laid over part of a control: a single-line
// QLineEdit, a multi-line QPlainTextEdit or a rich-text QTextEdit, styled by
// the edit style bits, with its keys offered to the owner first. A key-down
// the owner sets to 0 also drops the character and key-up that follow it.
#include <cstdint>
#include <functional>
#include <string>

#include <QtCore/QObject>
#include <QtCore/QRect>
#include <QtGui/QColor>
#include <QtGui/QFont>

class QWidget;
class QLineEdit;
class QPlainTextEdit;
class QTextEdit;

namespace plat::ui {

enum EditStyle : uint32_t {
    ES_CENTER = 0x1,
    ES_RIGHT = 0x2,
    ES_MULTILINE = 0x4,
    ES_UPPERCASE = 0x8,
    ES_LOWERCASE = 0x10,
    ES_PASSWORD = 0x20,
    ES_AUTOVSCROLL = 0x40,
    ES_AUTOHSCROLL = 0x80,
    ES_READONLY = 0x800,
    ES_WANTRETURN = 0x1000,
};

class ChildEditor : public QObject {
  public:
    // Each answers false when it consumed the key (it then goes no further);
    // a key it changes goes on changed.
    std::function<bool(int32_t& vk, int16_t shift)> keyDown;
    std::function<bool(int32_t& ch)> keyPress;
    std::function<bool(int32_t& vk, int16_t shift)> keyUp;
    std::function<void()> focusLost;

    ChildEditor(QWidget* parent, uint32_t style, bool rich, bool border, bool noContextMenu);
    ~ChildEditor() override;
    QWidget* Widget() const { return m_widget; }
    bool IsRich() const { return m_rich != nullptr; }
    bool IsMultiLine() const { return m_line == nullptr; }
    void SetText(const std::string& text);
    // Plain text as typed, or for a rich editor the document as rich text.
    std::string Text() const;
    void SetLook(const QFont& font, QColor back, QColor text);
    // Selects all the text, shows the editor and gives it the focus.
    void Show(const QRect& rect);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Insert(const QString& s);
    static bool Consumed(QEvent* event);
    bool KeepKey(QObject* watched, QEvent* event);
    QWidget* m_widget{nullptr};
    QLineEdit* m_line{nullptr};
    QPlainTextEdit* m_plain{nullptr};
    QTextEdit* m_rich{nullptr};
    uint32_t m_style;
    bool m_noContextMenu;
    bool m_swallowed{false};
};

} // namespace plat::ui
