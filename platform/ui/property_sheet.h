#pragma once
// A property sheet: pages on a stacked widget above our own button row.
// Normal mode has OK and Cancel (OK applies every page that was shown);
// wizard mode has Back, Next and Cancel, each of which a page may relabel,
// show, hide or enable. Pages build their controls when first shown.
#include <QDialog>
#include <QString>
#include <QWidget>
#include <vector>

class QPushButton;
class QStackedWidget;
class QTabBar;

namespace plat::ui {

class PropertySheet;

// Where a wizard button takes the sheet.
struct WizardMove {
    enum Kind { GoOn, Stay, GoTo };
    Kind kind{GoOn};
    int page{-1}; // for GoTo
    static WizardMove go_on() { return {GoOn, -1}; }
    static WizardMove stay() { return {Stay, -1}; }
    static WizardMove go_to(int index) { return {GoTo, index}; }
};

class PropertyPage : public QWidget {
    Q_OBJECT
  public:
    explicit PropertyPage(QString caption, QWidget* parent = nullptr);

    const QString& caption() const { return m_caption; }
    PropertySheet* sheet() const { return m_sheet; }
    bool created() const { return m_created; }
    bool modified() const { return m_modified; }
    void set_modified(bool modified = true) { m_modified = modified; }

    // Hooks, named for the event they answer.
    virtual void on_create() {}
    // False skips the page in the direction of travel.
    virtual bool on_set_active() { return true; }
    virtual void on_kill_active() {}
    virtual WizardMove on_wizard_next() { return WizardMove::go_on(); }
    virtual WizardMove on_wizard_back() { return WizardMove::go_on(); }
    // False refuses the cancel.
    virtual bool on_query_cancel() { return true; }
    virtual void on_cancel() {}
    // False keeps the sheet open.
    virtual bool on_apply() { return true; }

  private:
    friend class PropertySheet;
    void ensure_created();

    QString m_caption;
    PropertySheet* m_sheet{nullptr};
    bool m_created{false};
    bool m_modified{false};
};

class PropertySheet : public QDialog {
    Q_OBJECT
  public:
    enum class Mode { Normal, Wizard };
    // Button ids, as the pages and the tests name them.
    enum Button { Ok = 1, Cancel = 2, Finish = 3, Back = 12323, Next = 12324 };

    PropertySheet(QString caption, Mode mode, QWidget* parent = nullptr);

    // The sheet takes the page.
    int add_page(PropertyPage* page);
    int page_count() const { return static_cast<int>(m_pages.size()); }
    PropertyPage* page(int index) const;
    int index_of(const PropertyPage* page) const;
    int active_index() const { return m_active; }
    PropertyPage* active_page() const { return page(m_active); }
    Mode mode() const { return m_mode; }

    // Activates the page, or the first one after it in the direction of
    // travel that does not skip itself. False when none would.
    bool set_active_page(int index);
    // As a click on the button; Finish ends the sheet at once with Finish.
    void press_button(Button id);
    QPushButton* button(Button id) const;

    // Refuses nothing: the sheet's own cancel path, as Escape and the close
    // button take it.
    void reject() override;

  signals:
    void page_activated(int index);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void next();
    void back();
    void ok();
    bool cancel();
    bool activate(int index, int direction);
    // Shrinks and moves the sheet into its screen's available area.
    void keep_on_screen();

    Mode m_mode;
    QString m_caption;
    QStackedWidget* m_stack{nullptr};
    QTabBar* m_tabs{nullptr};
    std::vector<PropertyPage*> m_pages;
    int m_active{-1};
    QPushButton* m_back{nullptr};
    QPushButton* m_next{nullptr};
    QPushButton* m_ok{nullptr};
    QPushButton* m_cancel{nullptr};
    bool m_in_cancel{false};
};

} // namespace plat::ui
