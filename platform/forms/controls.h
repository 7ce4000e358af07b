#pragma once
// The form runtime's controls: each wrapper owns one Qt widget and keeps what
// Qt does not know: the control's Name and array Index, its Tag, its own
// Visible and Enabled flags, and its geometry in twips.
//
// Events follow one rule: code that sets a value fires the event itself, once,
// and user input reaches the same event through the signals Qt emits only
// for the user (textEdited, activated, clicked), so nothing fires twice.
#include <QImage>
#include <QPointer>
#include <QShortcut>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QComboBox;
class QListWidget;
class QCheckBox;
class QRadioButton;
class QGroupBox;
class QPushButton;
class QToolButton;
class QFrame;
class QTabBar;

namespace plat::forms {

class Form;

// Twips per logical pixel, in both directions.
inline constexpr int32_t kTwipsPerPixel = 15;
int32_t TwipsToPixels(int32_t twips);
int32_t PixelsToTwips(int32_t pixels);

// Reports a widget's mouse events (and its viewport's, for lists) in twips.
// The watcher lives as long as the widget.
using MouseSink = std::function<void(int32_t kind, int32_t button, int32_t shift, int32_t x, int32_t y)>;
void WatchMouse(QWidget* widget, MouseSink sink); // kind 0 down, 1 move, 2 up

enum class ControlKind {
    Label,
    TextBox,
    ComboBox,
    ListBox,
    CheckBox,
    OptionButton,
    Frame,
    CommandButton,
    Panel,
    RibbonButton,
    TabStrip,
    PictureBox,
    Image,
    Hosted, // a control created by class id in a container
};

class Control {
  public:
    Control(Form& form, ControlKind kind, std::string name, int32_t index, QWidget* widget);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return m_kind; }
    Form& form() const { return m_form; }
    QWidget* widget() const { return m_widget; }
    const std::string& Name() const { return m_name; }
    // -1 when the control is not an element of a control array.
    int32_t Index() const { return m_index; }

    std::string Tag;

    int32_t Left() const { return m_left; }
    int32_t Top() const { return m_top; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    void SetLeft(int32_t v) { Move(v, m_top, m_width, m_height); }
    void SetTop(int32_t v) { Move(m_left, v, m_width, m_height); }
    void SetWidth(int32_t v) { Move(m_left, m_top, v, m_height); }
    void SetHeight(int32_t v) { Move(m_left, m_top, m_width, v); }
    void Move(int32_t left, int32_t top, int32_t width, int32_t height);

    // The control's own flags: a control on a hidden tab page or in a
    // disabled window still answers what code last set.
    bool Visible() const { return m_visible; }
    bool Enabled() const { return m_enabled; }
    void SetVisible(bool on);
    void SetEnabled(bool on);

    std::string ToolTipText() const;
    void SetToolTipText(const std::string& text);

    // 0 brings the control to the front of its siblings, 1 sends it back.
    void ZOrder(int32_t position = 0);
    // Whether this control is drawn above `other` (both in one container).
    bool IsAbove(const Control& other) const;

    void SetFocus();

    // Click(Index) of every kind that clicks.
    std::function<void(int32_t index)> Click;

    // Mouse events: Button 1 left, 2 right, 4 middle (MouseMove: those held);
    // Shift 1 Shift, 2 Ctrl, 4 Alt; X and Y in twips inside the control.
    using MouseEvent =
        std::function<void(int32_t index, int32_t button, int32_t shift, int32_t x, int32_t y)>;
    MouseEvent MouseDown;
    MouseEvent MouseMove;
    MouseEvent MouseUp;

  protected:
    void FireClick();

  private:
    Form& m_form;
    ControlKind m_kind;
    std::string m_name;
    int32_t m_index;
    QPointer<QWidget> m_widget;
    int32_t m_left{0}, m_top{0}, m_width{0}, m_height{0};
    bool m_visible{true};
    bool m_enabled{true};
};

class Label : public Control {
  public:
    Label(Form& form, std::string name, int32_t index, QWidget* parent);
    std::string Caption() const;
    void SetCaption(const std::string& text);
    // 0 left, 1 right, 2 centre.
    void SetAlignment(int32_t alignment);

  private:
    QLabel* m_label;
};

class TextBox : public Control {
  public:
    TextBox(Form& form, std::string name, int32_t index, QWidget* parent);
    std::string Text() const;
    // Fires Change even when the text is the same; the widget and its caret
    // are left alone then.
    void SetText(const std::string& text);
    bool Locked() const;
    void SetLocked(bool on);
    int32_t MaxLength() const;
    void SetMaxLength(int32_t length);
    QLineEdit* line_edit() const { return m_edit; }

    std::function<void(int32_t index)> Change;
    // Key events with the codes by reference: KeyDown's key code set to 0
    // drops the key; KeyPress's character set to 0 drops it, set to another
    // character types that one instead.
    std::function<void(int32_t index, int16_t& key_code, int16_t shift)> KeyDown;
    std::function<void(int32_t index, int16_t& key_ascii)> KeyPress;

  private:
    QLineEdit* m_edit;
};

// The list of a list box or combo box, with one ItemData number per entry.
class ListControl : public Control {
  public:
    using Control::Control;
    virtual int32_t ListCount() const = 0;
    virtual std::string List(int32_t i) const = 0;
    virtual int32_t ListIndex() const = 0;
    // Fires Click when the index changes.
    virtual void SetListIndex(int32_t i) = 0;
    // Appends, or inserts at `at`; fires nothing. Answers the new entry's index.
    virtual int32_t AddItem(const std::string& text, int32_t at = -1) = 0;
    virtual void RemoveItem(int32_t i) = 0;
    // Empties the list; fires nothing.
    virtual void Clear() = 0;
    virtual int32_t ItemData(int32_t i) const = 0;
    virtual void SetItemData(int32_t i, int32_t value) = 0;
    // The index of the last entry added, as NewIndex answers.
    int32_t NewIndex() const { return m_new_index; }

  protected:
    int32_t m_new_index{-1};
};

class ComboBox : public ListControl {
  public:
    // Style 0 lets the person type (Change fires); 2 is a drop-down list.
    ComboBox(Form& form, std::string name, int32_t index, QWidget* parent, int32_t style = 2);
    int32_t ListCount() const override;
    std::string List(int32_t i) const override;
    int32_t ListIndex() const override;
    void SetListIndex(int32_t i) override;
    int32_t AddItem(const std::string& text, int32_t at = -1) override;
    void RemoveItem(int32_t i) override;
    void Clear() override;
    int32_t ItemData(int32_t i) const override;
    void SetItemData(int32_t i, int32_t value) override;
    std::string Text() const;
    void SetText(const std::string& text);
    QComboBox* combo() const { return m_combo; }

    std::function<void(int32_t index)> Change;

  private:
    QComboBox* m_combo;
};

class ListBox : public ListControl {
  public:
    ListBox(Form& form, std::string name, int32_t index, QWidget* parent);
    int32_t ListCount() const override;
    std::string List(int32_t i) const override;
    int32_t ListIndex() const override;
    void SetListIndex(int32_t i) override;
    int32_t AddItem(const std::string& text, int32_t at = -1) override;
    void RemoveItem(int32_t i) override;
    void Clear() override;
    int32_t ItemData(int32_t i) const override;
    void SetItemData(int32_t i, int32_t value) override;
    QListWidget* list() const { return m_list; }

  private:
    QListWidget* m_list;
    int32_t m_code_depth{0}; // code is changing the list: no Click from Qt
};

// A check box, plain or 3-D: Value 0 unchecked, 1 checked, 2 grayed.
class CheckBox : public Control {
  public:
    CheckBox(Form& form, std::string name, int32_t index, QWidget* parent);
    int32_t Value() const { return m_value; }
    // Fires Click when the value changes.
    void SetValue(int32_t value);
    std::string Caption() const;
    void SetCaption(const std::string& text);
    QCheckBox* check() const { return m_check; }

  private:
    QCheckBox* m_check;
    int32_t m_value{0};
};

// Option buttons form a group per container: turning one on turns the others
// of its container off, and only the one turned on fires Click.
class OptionButton : public Control {
  public:
    OptionButton(Form& form, std::string name, int32_t index, QWidget* parent);
    bool Value() const { return m_value; }
    void SetValue(bool on);
    std::string Caption() const;
    void SetCaption(const std::string& text);
    QRadioButton* radio() const { return m_radio; }

  private:
    void apply(bool on);
    // This button and the others of its container.
    std::vector<OptionButton*> Group();
    QRadioButton* m_radio;
    bool m_value{false};
};

// A frame or 3-D panel: a container with a caption.
class Frame : public Control {
  public:
    Frame(Form& form, std::string name, int32_t index, QWidget* parent);
    std::string Caption() const;
    void SetCaption(const std::string& text);
    QWidget* inner() const { return widget(); }

  private:
    QGroupBox* m_box;
};

class Panel : public Control {
  public:
    Panel(Form& form, std::string name, int32_t index, QWidget* parent);
    std::string Caption() const { return m_caption; }
    void SetCaption(const std::string& text);
    // 0 none, 1 inset, 2 raised.
    void SetBevelOuter(int32_t bevel);
    QWidget* inner() const { return widget(); }

  private:
    QFrame* m_frame;
    QLabel* m_text;
    std::string m_caption;
};

class CommandButton : public Control {
  public:
    CommandButton(Form& form, std::string name, int32_t index, QWidget* parent);
    std::string Caption() const;
    void SetCaption(const std::string& text);
    // Setting Value to True clicks the button.
    void SetValue(bool on);
    // The form's cancel button: Escape anywhere in its window clicks it
    // while it is enabled and shown.
    bool Cancel() const { return m_cancel != nullptr; }
    void SetCancel(bool on);
    QPushButton* button() const { return m_button; }

  private:
    QPushButton* m_button;
    QPointer<QShortcut> m_cancel;
};

// A toolbar's two-state button. Value True by code fires Click like a press.
class RibbonButton : public Control {
  public:
    RibbonButton(Form& form, std::string name, int32_t index, QWidget* parent);
    bool Value() const { return m_value; }
    void SetValue(bool on);
    void SetPicture(const QImage& image);
    QToolButton* button() const { return m_button; }

  private:
    QToolButton* m_button;
    bool m_value{false};
};

// A tab strip whose pages own their controls: a control made with page(k) as
// its parent shows only while tab k is current, but keeps its own Visible.
// Every page covers the whole strip, tabs included, so a control's position
// on a page counts from the strip's own top left corner.
class TabStrip : public Control {
  public:
    TabStrip(Form& form, std::string name, int32_t index, QWidget* parent, int32_t tabs);
    int32_t Tabs() const;
    int32_t Tab() const { return m_tab; }
    // Fires Click(PreviousTab) when the tab changes.
    void SetTab(int32_t tab);
    std::string TabCaption(int32_t tab) const;
    void SetTabCaption(int32_t tab, const std::string& text);
    void SetTabEnabled(int32_t tab, bool on);
    QWidget* page(int32_t tab) const;
    QTabBar* tab_bar() const { return m_bar; }

    std::function<void(int32_t previous_tab)> TabClick;

  private:
    void changed(int32_t tab);
    // Gives the keyboard to the first control of the page that takes it.
    void FocusFirstOnPage(int32_t tab);
    QTabBar* m_bar;
    std::vector<QWidget*> m_pages;
    int32_t m_tab{0};
};

// A picture box that draws into its own image: Cls and Line with B and BF.
class PictureBox : public Control {
  public:
    PictureBox(Form& form, std::string name, int32_t index, QWidget* parent);
    ~PictureBox() override;
    // Clears to BackColor.
    void Cls();
    enum class LineStyle { Line, Box, FilledBox };
    // Coordinates in twips, as the box's ScaleMode is.
    void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t rgb,
              LineStyle style = LineStyle::Line);
    void SetBackColor(uint32_t rgb);
    void SetPicture(const QImage& image);
    const QImage& canvas() const;

  private:
    struct Impl;
    Impl* m_impl;
};

// An image control (often an array of them). Stretch scales the picture to
// the control; a face image shown over a button can let the mouse through to
// the control beneath it.
class ImageBox : public Control {
  public:
    ImageBox(Form& form, std::string name, int32_t index, QWidget* parent);
    const QImage& Picture() const { return m_picture; }
    void SetPicture(const QImage& image);
    bool Stretch() const { return m_stretch; }
    void SetStretch(bool on);
    void SetMouseThrough(bool on);

  private:
    void refresh();
    QLabel* m_label;
    QImage m_picture;
    bool m_stretch{false};
};

} // namespace plat::forms
