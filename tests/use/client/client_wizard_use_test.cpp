// The client's wizard on a real X server, driven as a person drives it: mouse
// clicks and keys through the X server, the program's own start-up, nginx on
// loopback. What only shows there: the window's size on a real screen, which
// buttons can be reached, tool tips, scrolling, real message boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

#include "client/engine/errors.h"
#include "client/engine/host.h"
#include "client/ui/artwork.h"
#include "client/ui/fitted_label.h"
#include "client/ui/page_load_prod.h"
#include "client/ui/page_main.h"
#include "client/ui/page_view_log.h"
#include "client/ui/page_view_tree.h"
#include "client/ui/product_tree.h"
#include "client/ui/question_dialogs.h"
#include "client/ui/title_static.h"
#include "platform/ui/qt_prompt.h"
#include "support/gui/x_input.h"
#include "wizard_fixture.h"

using namespace client_ui_test;
using plat::ui::PropertySheet;
namespace x = kltest::x;

namespace {

#define X_OR_SKIP()                                                                                          \
    if (!x::available()) GTEST_SKIP() << "no X server"
#define START_OR_SKIP(run)                                                                                   \
    if (!(run).StartServer()) GTEST_SKIP() << "nginx is not available"

// The longest texts an update's INF can bring: the reader keeps 255
// characters of a description; one word longer than any line.
const std::string kLongDescription =
    "This update replaces the spelling dictionaries, the hyphenation tables and the thesaurus of every "
    "installed language, and brings new templates: "
    "https://updates.vendor.example.com/editor/release-notes/2001/06/22/"
    "full-list-of-all-changes-in-this-update.html";
const std::string kLongMaker =
    "Marovia Software Distribution and Localisation Services, Northern Europe Division";

QPoint Centre(QWidget* w) {
    return w->rect().center();
}

// Clicks a wizard button where it is on the screen.
void ClickButton(WizardRun& r, PropertySheet::Button b) {
    QPushButton* button = r.Button(b);
    ASSERT_TRUE(button->isVisible());
    x::click(button, Centre(button));
}

// The sheet's frame lies within the screen's available area.
::testing::AssertionResult OnScreen(QWidget* w) {
    QRect area = w->screen()->availableGeometry();
    QRect frame = w->frameGeometry();
    if (area.contains(frame)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "window " << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height()
           << " outside the screen's " << area.width() << "x" << area.height();
}

// A button's centre is on the screen and the button is the widget there.
::testing::AssertionResult Reachable(QPushButton* b) {
    QPoint global = b->mapToGlobal(Centre(b));
    if (!b->screen()->availableGeometry().contains(global))
        return ::testing::AssertionFailure() << b->text().toStdString() << " is off the screen";
    if (QApplication::widgetAt(global) != b)
        return ::testing::AssertionFailure() << b->text().toStdString() << " is covered";
    return ::testing::AssertionSuccess();
}

// Runs `act` once `find` gives a window, from a timer: the timer fires inside
// whatever modal loop shows that window, where the test's own code waits.
template <class Find, class Act> void When(Find find, Act act) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, find, act] {
        auto* w = find();
        if (!w || !w->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        x::settle();
        act(w);
    });
    timer->start();
}
template <class T> auto Modal() {
    return [] { return qobject_cast<T*>(QApplication::activeModalWidget()); };
}

QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& text) {
    QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    x::settle();
    QRect r = tree->visualItemRect(item);
    // On the text, right of the icons.
    x::click(tree->viewport(), QPoint(r.left() + 48, r.center().y()));
}

// One product whose update carries the longest texts, and a server name as
// long as the list file allows.
void PublishLongTexts(WizardRun& r) {
    engine_test::Publication pub;
    pub.manufacturer = kLongMaker;
    pub.web_location = r.Updates() + "/long";
    pub.inf_name = "long.inf";
    pub.files = {engine_test::PublishedFile{"alpha.txt", std::string(3000, 'a')}};
    pub.common_extra = {{"Update", "Spelling and templates"}, {"Description", kLongDescription}};
    engine_test::Publish((r.dir / "www" / "updates" / "long").string(), pub);
    plat::IniDocument products;
    products.set("Common", "INFVersion", "3");
    products.set("Product1", "Name", "Editor");
    products.set("Product1", "File", pub.web_location + "/long.inf");
    products.save(r.dir / "www" / "updates" / "Products.INF");
    kltest::write_file(r.dir / "product" / "KLClient.INI",
                       "[Server1]\r\nName=The vendor's main update server for every product of the editor "
                       "family, mirrored\r\nINFFile=" +
                           r.Updates() + "/Products.INF\r\n");
}

} // namespace

// A description of 255 characters, a long manufacturer and a long server
// name: the sheet keeps its size on a 1280-pixel screen, the texts wrap or
// end in "…" with the whole text as tool tip, Next and Finish are clicked
// where they are, and the log opens on its last line.
TEST(ClientWizardUse, LongVendorTextsKeepTheSheetOnTheScreen) {
    X_OR_SKIP();
    WizardRun r;
    START_OR_SKIP(r);
    PublishLongTexts(r);
    ASSERT_TRUE(r.Open({}));
    x::activate(r.sheet.get());
    const QSize designed = r.sheet->size();
    EXPECT_TRUE(OnScreen(r.sheet.get()));
    EXPECT_LE(designed.width(), r.sheet->screen()->availableGeometry().width());
    EXPECT_TRUE(Reachable(r.Button(PropertySheet::Next)));
    EXPECT_TRUE(Reachable(r.Button(PropertySheet::Cancel)));
    x::save_shot(x::grab(r.sheet.get()), "client-wizard-long-server-name");

    ClickButton(r, PropertySheet::Next);
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
    klc::CPGViewTree* page = r.sheet->TreePage();
    QTreeWidgetItem* update = FindItem(page->Tree(), "Spelling and templates");
    ASSERT_NE(update, nullptr);
    ClickItem(page->Tree(), update);
    x::settle();
    ASSERT_EQ(page->Tree()->currentItem(), update);
    EXPECT_EQ(r.sheet->size(), designed) << "the sheet keeps its designed size";
    EXPECT_TRUE(OnScreen(r.sheet.get()));
    EXPECT_TRUE(Reachable(r.Button(PropertySheet::Next)));
    EXPECT_TRUE(Reachable(r.Button(PropertySheet::Cancel)));

    auto* description = klc::FindControl<klc::CFittedLabel>(page, 1040);
    auto* maker = klc::FindControl<klc::CFittedLabel>(page, 1039);
    ASSERT_NE(description, nullptr);
    ASSERT_NE(maker, nullptr);
    EXPECT_EQ(description->text().toStdString(), kLongDescription);
    EXPECT_TRUE(description->IsCut());
    QStringList lines = description->ShownLines();
    EXPECT_EQ(lines.size(), description->MaxLines());
    EXPECT_TRUE(lines.back().endsWith(QChar(0x2026))) << lines.back().toStdString();
    QFontMetrics fm(description->font());
    for (const QString& line : lines)
        EXPECT_LE(fm.horizontalAdvance(line), description->contentsRect().width()) << line.toStdString();
    EXPECT_TRUE(maker->IsCut());
    // Resting the mouse on the description shows all of it.
    x::move(description, QPoint(10, 5));
    ASSERT_TRUE(PumpUntil([] { return QToolTip::isVisible(); }, 2000)) << "no tool tip";
    QString tip = QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText();
    EXPECT_EQ(tip.toStdString(), kLongDescription);
    EXPECT_TRUE(OnScreen(r.sheet.get()));
    x::save_shot(x::grab(r.sheet.get()), "client-wizard-long-description");
    // Cancel answers: its question comes, and No stays on the page.
    r.prompt.expect_message("Do You wish to terminate KLClient?", plat::ui::MsgAnswer::No);
    ClickButton(r, PropertySheet::Cancel);
    x::settle();
    EXPECT_EQ(r.Active(), klc::CKLMainWindow::PAGE_VIEW_TREE);

    ClickButton(r, PropertySheet::Next);
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
    x::settle();
    EXPECT_EQ(r.sheet->size(), designed);
    // The log opens on its end: the result line is in view.
    auto* log = klc::FindControl<QPlainTextEdit>(r.sheet->LogPage(), 1037);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
    EXPECT_GT(log->verticalScrollBar()->maximum(), 0) << "a log longer than the page";
    QTextCursor result = log->document()->find("Application was finished successfully.");
    ASSERT_FALSE(result.isNull());
    EXPECT_TRUE(log->viewport()->rect().contains(log->cursorRect(result)))
        << "the result line is out of view";
    x::save_shot(x::grab(r.sheet.get()), "client-wizard-log-end");

    ClickButton(r, PropertySheet::Finish);
    EXPECT_TRUE(r.WaitClosed());
    EXPECT_EQ(r.Close(), 0);
    r.prompt.verify_done();
}

// Two products, the first one's INF missing: No to "Do You wish to terminate
// KLClient?" (a real box, clicked) goes on with the second product; the run
// still ends with the failure's status.
TEST(ClientWizardUse, NoToTerminateGoesOnWithTheNextProduct) {
    X_OR_SKIP();
    WizardRun r;
    START_OR_SKIP(r);
    r.Publish();
    plat::IniDocument products;
    products.set("Common", "INFVersion", "3");
    products.set("Product1", "Name", "Viewer");
    products.set("Product1", "File", r.Updates() + "/gone/viewer.inf");
    products.set("Product2", "Name", "Editor");
    products.set("Product2", "File", r.Updates() + "/a/a.inf");
    products.save(r.dir / "www" / "updates" / "Products.INF");
    r.WriteServerList(r.Updates() + "/Products.INF");
    plat::ui::QtPrompt real;
    ASSERT_TRUE(r.Open({}, &real));
    real.set_parent(r.sheet.get());
    x::activate(r.sheet.get());

    std::string question;
    When(Modal<QMessageBox>(), [&](QMessageBox* box) {
        question = box->text().toStdString();
        QAbstractButton* no = box->button(QMessageBox::No);
        ASSERT_NE(no, nullptr);
        x::click(no, Centre(no));
    });
    ClickButton(r, PropertySheet::Next);
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << "went to the log instead: " << r.Log();
    EXPECT_NE(question.find("Do You wish to terminate KLClient?"), std::string::npos) << question;
    klc::CProductTree* tree = r.sheet->TreePage()->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Editor");

    ClickButton(r, PropertySheet::Next);
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();
    EXPECT_EQ(r.Installed(r.published.file_a), r.published.content_a);
    ClickButton(r, PropertySheet::Finish);
    EXPECT_TRUE(r.WaitClosed());
    EXPECT_EQ(r.Close(), 256 + klc::ERR_LOAD) << "the missing INF is still the run's result";
}

// After a run: the titles of the main page and both loading pages fill
// their height with whole glyphs (ascent and descent: "g" and "p" keep their
// tails), and each file's bar starts from nothing when the engine reports
// the next file, whatever the last one reached.
TEST(ClientWizardUse, LoadingPagesTitlesAndFileBar) {
    X_OR_SKIP();
    WizardRun r;
    START_OR_SKIP(r);
    r.Publish();
    r.WriteServerList(r.Updates() + "/Products.INF");
    ASSERT_TRUE(r.Open({}));
    x::activate(r.sheet.get());
    ClickButton(r, PropertySheet::Next);
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_TREE)) << r.Log();
    ClickButton(r, PropertySheet::Next);
    ASSERT_TRUE(r.WaitFor(klc::CKLMainWindow::PAGE_VIEW_LOG)) << r.Log();

    struct Row {
        int page;
        int id;
    } rows[] = {{klc::CKLMainWindow::PAGE_MAIN, 1007},
                {klc::CKLMainWindow::PAGE_LOAD_INF, 1008},
                {klc::CKLMainWindow::PAGE_LOAD_PROD, 1008}};
    for (const Row& row : rows) {
        auto* title = klc::FindControl<klc::CTitleStatic>(r.sheet->page(row.page), row.id);
        ASSERT_NE(title, nullptr) << row.id;
        QFontMetrics fm(title->font());
        const int room = title->contentsRect().height();
        const int width = title->contentsRect().width();
        EXPECT_LE(fm.ascent() + fm.descent(), room) << "page " << row.page;
        EXPECT_LE(fm.horizontalAdvance(title->text()), width) << "page " << row.page << ": cut at the right";
        // As large as both allow: one pixel more breaks one of them.
        QFont larger = title->font();
        larger.setPixelSize(larger.pixelSize() + 1);
        QFontMetrics lm(larger);
        EXPECT_TRUE(lm.ascent() + lm.descent() > room || lm.horizontalAdvance(title->text()) > width)
            << "page " << row.page << ": " << title->font().pixelSize() << " px leaves room";
    }
    x::save_shot(r.sheet->UpdatePage()->grab().toImage(), "client-wizard-update-page");

    // The engine's reports, as the worker gives them.
    klc::CPGLoadPROD* page = r.sheet->UpdatePage();
    auto* bar = klc::FindControl<QProgressBar>(page, 1006);
    ASSERT_NE(bar, nullptr);
    klc::IClientHost& host = *page;
    host.Notify(klc::NOTIFY_DOWNLOADING, "_0001.KL_");
    host.OnProgress(1.0f);
    x::settle();
    EXPECT_EQ(bar->value(), 100);
    host.Notify(klc::NOTIFY_DOWNLOADING, "_0002.KL_");
    x::settle();
    EXPECT_EQ(bar->value(), 0) << "the next file starts from nothing";
    host.OnProgress(0.25f);
    x::settle();
    EXPECT_EQ(bar->value(), 25);
}

// The Settings button opens the settings; on the Proxy page a typed host name
// is shown whole in its field.
TEST(ClientWizardUse, ProxyAddressFieldsShowAHostName) {
    X_OR_SKIP();
    WizardRun r;
    START_OR_SKIP(r);
    r.WriteServerList(r.Updates() + "/Products.INF");
    plat::ui::QtPrompt real;
    ASSERT_TRUE(r.Open({}, &real));
    real.set_parent(r.sheet.get());
    x::activate(r.sheet.get());

    const QString host = QStringLiteral("proxy.corp.example.com");
    bool seen = false;
    When(Modal<QDialog>(), [&](QDialog* settings) {
        auto* tabs = settings->findChild<QTabBar*>();
        ASSERT_NE(tabs, nullptr);
        x::click(tabs, tabs->tabRect(1).center());
        auto* custom = klc::FindControl<QRadioButton>(settings, 1021);
        ASSERT_NE(custom, nullptr);
        x::click(custom, QPoint(8, custom->height() / 2));
        for (int id : {1022, 1024}) {
            auto* field = klc::FindControl<QLineEdit>(settings, id);
            ASSERT_NE(field, nullptr);
            x::click(field, Centre(field));
            x::type(host);
            x::settle();
            EXPECT_EQ(field->text(), host);
            // The text area: the field less its frame and margins.
            QStyleOptionFrame option;
            option.initFrom(field);
            QRect text = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field);
            QMargins m = field->textMargins();
            EXPECT_GE(text.width() - m.left() - m.right() - 4, field->fontMetrics().horizontalAdvance(host))
                << "field " << id << " is " << field->width() << " px wide";
        }
        seen = true;
        x::save_shot(x::grab(settings), "client-settings-proxy");
        x::key(Qt::Key_Escape);
    });
    ClickButton(r, PropertySheet::Back); // "&Settings"
    x::settle();
    EXPECT_TRUE(seen);
}

// The About box, from the window's menu, names the version of this build.
TEST(ClientWizardUse, AboutNamesTheVersion) {
    X_OR_SKIP();
    WizardRun r;
    START_OR_SKIP(r);
    r.WriteServerList(r.Updates() + "/Products.INF");
    plat::ui::QtPrompt real;
    ASSERT_TRUE(r.Open({}, &real));
    real.set_parent(r.sheet.get());
    x::activate(r.sheet.get());

    std::string about;
    When(Modal<QMessageBox>(), [&](QMessageBox* box) {
        about = box->text().toStdString();
        x::key(Qt::Key_Return);
    });
    // The window's menu: a right click on the sheet, then its only entry.
    When([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
         [](QMenu* menu) { x::click(menu, menu->actionGeometry(menu->actions().front()).center()); });
    x::click(r.sheet.get(), QPoint(4, r.sheet->height() - 4), Qt::RightButton);
    ASSERT_TRUE(PumpUntil([&] { return !about.empty(); }, 2000));
    EXPECT_NE(about.find("Version " KL_CLIENT_VERSION), std::string::npos) << about;
}

// A question naming a file by a path longer than the screen is wide: the box
// stays on the screen, the question wraps (inside the path too) and every
// answer can be clicked.
TEST(ClientWizardUse, QuestionWithALongPathStaysOnTheScreen) {
    X_OR_SKIP();
    std::string path = "/opt/vendor";
    while (path.size() < 300)
        path += "/a-folder-with-a-long-name";
    const QString question = QStringLiteral("The file %1/editor.bin is in use by another program.\n"
                                            "Close it and press Retry, or choose another answer.")
                                 .arg(QString::fromStdString(path));
    klc::CFileInUseDlg dlg(question);
    int answer = -1;
    When(Modal<klc::CFileInUseDlg>(), [&](klc::CFileInUseDlg* box) {
        EXPECT_TRUE(OnScreen(box));
        auto* text = klc::FindControl<klc::CFittedLabel>(box, 106);
        ASSERT_NE(text, nullptr);
        EXPECT_FALSE(text->IsCut()) << "the whole question shows";
        EXPECT_GE(text->ShownLines().size(), 4);
        EXPECT_EQ(text->ShownLines().join(QString()).remove(QLatin1Char(' ')),
                  QString(question).remove(QLatin1Char('\n')).remove(QLatin1Char(' ')));
        x::save_shot(x::grab(box), "client-question-long-path");
        for (int a : {klc::IN_USE_RETRY, klc::IN_USE_COPY_ON_RESTART, klc::IN_USE_CANCEL})
            EXPECT_TRUE(Reachable(box->Button(a))) << a;
        QPushButton* skip = box->Button(klc::IN_USE_SKIP);
        ASSERT_TRUE(Reachable(skip));
        x::click(skip, Centre(skip));
    });
    answer = dlg.exec();
    EXPECT_EQ(answer, klc::IN_USE_SKIP);
}
