#pragma once
// The client's one window: the wizard of five pages, from the server choice
// to the log.
#include <QPointer>

#include "client/ui/wizard_env.h"
#include "platform/ui/property_sheet.h"

namespace klc {

class CPGMain;
class CPGLoadINF;
class CPGViewTree;
class CPGLoadPROD;
class CPGViewLog;

class CKLMainWindow : public plat::ui::PropertySheet {
    Q_OBJECT
  public:
    enum PageIndex { PAGE_MAIN = 0, PAGE_LOAD_INF, PAGE_VIEW_TREE, PAGE_LOAD_PROD, PAGE_VIEW_LOG };

    explicit CKLMainWindow(WizardEnv& env, QWidget* parent = nullptr);
    ~CKLMainWindow() override;

    // Activates the first page: the catalogue page at once in automatic mode.
    void Start();
    // The log page; in automatic mode the wizard finishes instead.
    void GoToLog();
    // Another instance asked for this window.
    void BringToFront();
    // Ends every page's worker.
    void CleanupPages();

    WizardEnv& Env() { return m_env; }
    // The About box's text: the program's name and the version it was built as.
    static std::string AboutText();
    CPGMain* MainPage() const;
    CPGLoadINF* CataloguePage() const;
    CPGViewTree* TreePage() const;
    CPGLoadPROD* UpdatePage() const;
    CPGViewLog* LogPage() const;

  signals:
    void broughtToFront();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void ShowAbout();

    WizardEnv& m_env;
};

} // namespace klc
