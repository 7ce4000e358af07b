#pragma once
// A form: a top-level window with an optional menu bar and a client area
// that holds the controls, all placed in twips.
#include <QKeySequence>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/controls.h"

class QMenuBar;
#include <QAction>
#include <QMenu>

namespace plat::forms {

class Form;
class FormWindow;

// QueryUnload's reason.
enum class UnloadMode : int32_t {
    CloseBox = 0, // the person closed the window
    Code = 1,     // code called Unload
};

// One menu entry: a top menu of the bar or an item of a drop-down.
class Menu {
  public:
    Menu(Form& form, std::string name, int32_t index, Menu* parent);
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    const std::string& Name() const { return m_name; }
    int32_t Index() const { return m_index; }
    Menu* parent() const { return m_parent; }
    std::string Tag;

    std::string Caption() const { return m_caption; }
    // "-" makes a separator.
    void SetCaption(const std::string& text);
    bool Checked() const { return m_checked; }
    void SetChecked(bool on);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);
    bool Visible() const { return m_visible; }
    void SetVisible(bool on);
    // The accelerator: runs the top menu's Click first, then this item's
    // Click only when the item and every menu above it are enabled.
    void SetShortcut(const QKeySequence& keys);

    // A top menu's Click fires as its drop-down opens.
    std::function<void(int32_t index)> Click;

    QAction* action() const { return m_action; }
    QMenu* submenu() const { return m_submenu; }
    // Runs the item as a click on it would.
    void Trigger();
    // Runs the accelerator's path.
    void RunShortcut();

  private:
    friend class Form;
    void fire();
    void sync();
    Form& m_form;
    std::string m_name;
    int32_t m_index;
    Menu* m_parent;
    std::string m_caption;
    bool m_checked{false};
    bool m_enabled{true};
    bool m_visible{true};
    QKeySequence m_keys;
    QPointer<QAction> m_action;
    QPointer<QMenu> m_submenu;
    QPointer<QObject> m_shortcut;
};

class Form {
  public:
    explicit Form(std::string name);
    ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& Name() const { return m_name; }
    QWidget* window() const;
    QWidget* client() const;
    std::string Tag;

    std::string Caption() const;
    void SetCaption(const std::string& text);

    // The outer frame, in twips.
    int32_t Left() const;
    int32_t Top() const;
    int32_t Width() const;
    int32_t Height() const;
    // Setting the size fires Resize at once (not later from the event loop).
    void SetWidth(int32_t twips);
    void SetHeight(int32_t twips);
    void Move(int32_t left, int32_t top, int32_t width, int32_t height);
    // The client area below the menu bar, in twips.
    int32_t ScaleWidth() const;
    int32_t ScaleHeight() const;

    bool Visible() const { return m_visible; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);
    // Fires Load first when the form was not loaded yet.
    void Show(bool modal = false);
    void Hide();
    void Load();
    bool Loaded() const { return m_loaded; }
    // Asks QueryUnload (mode Code) and Unload; answers false when cancelled.
    bool Unload();

    // Resize may set the size again from inside; past this depth a nested
    // Resize is not fired, so a handler that always changes the size ends.
    static constexpr int32_t kMaxResizeDepth = 4;

    std::function<void()> OnLoad;
    std::function<void()> OnResize;
    std::function<void()> OnActivate;
    std::function<void(bool& cancel, UnloadMode mode)> OnQueryUnload;
    std::function<void(bool& cancel)> OnUnload;
    // Mouse on the client area: X and Y in twips.
    Control::MouseEvent OnMouseDown;
    Control::MouseEvent OnMouseMove;
    Control::MouseEvent OnMouseUp;

    // Creates a control; `parent` is a frame's, panel's or tab page's widget,
    // or the client area when null.
    template <class T, class... Args>
    T& Add(const std::string& name, int32_t index = -1, QWidget* parent = nullptr, Args&&... args) {
        auto control =
            std::make_unique<T>(*this, name, index, parent ? parent : client(), std::forward<Args>(args)...);
        T& ref = *control;
        m_controls.push_back(std::move(control));
        return ref;
    }
    // A control by name and array index; null when there is none.
    Control* Find(const std::string& name, int32_t index = -1) const;
    template <class T> T& Get(const std::string& name, int32_t index = -1) const {
        return dynamic_cast<T&>(*Find(name, index));
    }
    // Every control, in creation order.
    std::vector<Control*> Controls() const;
    // Destroys a control (Unload of an array element).
    void Remove(Control& control);

    // Menus: `parent` null makes a top menu of the bar.
    Menu& AddMenu(const std::string& name, Menu* parent = nullptr, int32_t index = -1);
    Menu* FindMenu(const std::string& name, int32_t index = -1) const;
    // Unload of a menu array element loaded at run time.
    void RemoveMenu(Menu& menu);
    QMenuBar* menu_bar() const;

    // Internal, for the window and the menus.
    void close_box(bool& accept);
    void window_resized();
    void layout_menu_bar();

  private:
    void fire_resize();
    int32_t frame_extra_width() const;
    int32_t frame_extra_height() const;
    int32_t menu_bar_height() const;

    std::string m_name;
    QPointer<FormWindow> m_window;
    std::vector<std::unique_ptr<Control>> m_controls;
    std::vector<std::unique_ptr<Menu>> m_menus;
    bool m_loaded{false};
    bool m_visible{false};
    bool m_enabled{true};
    bool m_unloading{false};
    int32_t m_resize_depth{0};
    QSize m_last_resize_size;
};

} // namespace plat::forms
