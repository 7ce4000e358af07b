#include "client/ui/sheet.h"

#include <QContextMenuEvent>
#include <QMenu>

#include "client/ui/artwork.h"
#include "client/ui/help_texts.h"
#include "client/ui/page_load_inf.h"
#include "client/ui/page_load_prod.h"
#include "client/ui/page_main.h"
#include "client/ui/page_view_log.h"
#include "client/ui/page_view_tree.h"

namespace klc {

CKLMainWindow::CKLMainWindow(WizardEnv& env, QWidget* parent)
    : PropertySheet(ClientText(128), Mode::Wizard, parent), m_env(env) {
    setWindowIcon(AppIcon());
    add_page(new CPGMain(env));
    add_page(new CPGLoadINF(env));
    add_page(new CPGViewTree(env));
    add_page(new CPGLoadPROD(env));
    add_page(new CPGViewLog(env));
    resize(560, 360);
    // Context help of the controls a page made when it was first shown.
    connect(this, &PropertySheet::page_activated, this, [this](int i) { ApplyWhatsThis(page(i)); });
}

CKLMainWindow::~CKLMainWindow() {
    CleanupPages();
}

void CKLMainWindow::CleanupPages() {
    for (int i = 0; i < page_count(); ++i)
        if (auto* p = qobject_cast<CPGBase*>(page(i))) p->Cleanup();
}

void CKLMainWindow::Start() {
    set_active_page(m_env.ctx.automatic_mode ? PAGE_LOAD_INF : PAGE_MAIN);
}

void CKLMainWindow::GoToLog() {
    if (m_env.ctx.automatic_mode)
        press_button(Finish);
    else
        set_active_page(PAGE_VIEW_LOG);
}

void CKLMainWindow::BringToFront() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
    emit broughtToFront();
}

void CKLMainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(ClientText(101), this, [this] { ShowAbout(); });
    menu.exec(event->globalPos());
}

std::string CKLMainWindow::AboutText() {
    return "Kestrelite Client\nVersion " KL_CLIENT_VERSION "\nInstalls the updates your software vendors publish.";
}

void CKLMainWindow::ShowAbout() {
    plat::ui::MessageRequest box{AboutText(), "About KLClient", plat::ui::MsgIcon::Information, plat::ui::MsgButtons::Ok,
                                 0};
    m_env.prompt.message(box);
}

CPGMain* CKLMainWindow::MainPage() const {
    return static_cast<CPGMain*>(page(PAGE_MAIN));
}
CPGLoadINF* CKLMainWindow::CataloguePage() const {
    return static_cast<CPGLoadINF*>(page(PAGE_LOAD_INF));
}
CPGViewTree* CKLMainWindow::TreePage() const {
    return static_cast<CPGViewTree*>(page(PAGE_VIEW_TREE));
}
CPGLoadPROD* CKLMainWindow::UpdatePage() const {
    return static_cast<CPGLoadPROD*>(page(PAGE_LOAD_PROD));
}
CPGViewLog* CKLMainWindow::LogPage() const {
    return static_cast<CPGViewLog*>(page(PAGE_VIEW_LOG));
}

} // namespace klc
