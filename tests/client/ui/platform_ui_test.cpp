// The Qt platform pieces the client's windows stand on: the property sheet,
// the UI-thread questions and the file filter form.
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

#include "gui_util.h"
#include "platform/ui/property_sheet.h"
#include "platform/ui/qt_prompt.h"
#include "platform/ui/ui_thread.h"

using client_ui_test::PumpUntil;
using plat::ui::PropertyPage;
using plat::ui::PropertySheet;
using plat::ui::WizardMove;

namespace {

// A page whose hooks answer as the test says and record that they ran.
class Page : public PropertyPage {
  public:
    explicit Page(QString caption) : PropertyPage(std::move(caption)) {}
    bool skip = false;
    WizardMove next = WizardMove::go_on();
    bool allow_cancel = true;
    int created = 0, applied = 0, cancelled = 0;
    void on_create() override { ++created; }
    bool on_set_active() override { return !skip; }
    WizardMove on_wizard_next() override { return next; }
    bool on_query_cancel() override { return allow_cancel; }
    void on_cancel() override { ++cancelled; }
    bool on_apply() override {
        ++applied;
        return true;
    }
};

struct Wizard {
    PropertySheet sheet{"Wizard", PropertySheet::Mode::Wizard};
    Page* pages[4];
    Wizard() {
        for (int i = 0; i < 4; ++i)
            sheet.add_page(pages[i] = new Page(QStringLiteral("Page %1").arg(i)));
        sheet.show();
    }
};

TEST(PlatformSheet, WizardMovesSkipsAndFinishes) {
    Wizard w;
    EXPECT_EQ(w.pages[2]->created, 0) << "pages are made when first shown";
    w.pages[1]->skip = true;
    ASSERT_TRUE(w.sheet.set_active_page(0));
    w.sheet.press_button(PropertySheet::Next);
    EXPECT_EQ(w.sheet.active_index(), 2) << "a page that skips itself is passed forwards";
    EXPECT_EQ(w.sheet.windowTitle(), "Page 2");
    EXPECT_EQ(w.pages[1]->created, 1);
    w.sheet.press_button(PropertySheet::Back);
    EXPECT_EQ(w.sheet.active_index(), 0) << "and backwards";
    w.pages[0]->next = WizardMove::stay();
    w.sheet.press_button(PropertySheet::Next);
    EXPECT_EQ(w.sheet.active_index(), 0);
    w.pages[0]->next = WizardMove::go_to(3);
    w.sheet.press_button(PropertySheet::Next);
    EXPECT_EQ(w.sheet.active_index(), 3);
    w.pages[3]->skip = true;
    EXPECT_FALSE(w.sheet.set_active_page(3)) << "no page left in that direction";
    w.sheet.press_button(PropertySheet::Finish);
    EXPECT_FALSE(w.sheet.isVisible());
    EXPECT_EQ(w.sheet.result(), PropertySheet::Finish);
    EXPECT_EQ(w.pages[0]->applied, 0);
}

TEST(PlatformSheet, EscapeAndTheCloseButtonAreCancel) {
    for (bool escape : {true, false}) {
        Wizard w;
        w.sheet.set_active_page(0);
        w.pages[0]->allow_cancel = false;
        if (escape)
            QTest::keyClick(&w.sheet, Qt::Key_Escape);
        else
            w.sheet.close();
        EXPECT_TRUE(w.sheet.isVisible()) << "the page refused";
        EXPECT_EQ(w.pages[0]->cancelled, 0);
        w.pages[0]->allow_cancel = true;
        if (escape)
            QTest::keyClick(&w.sheet, Qt::Key_Escape);
        else
            w.sheet.close();
        EXPECT_FALSE(w.sheet.isVisible());
        EXPECT_EQ(w.pages[0]->cancelled, 1);
        EXPECT_EQ(w.pages[2]->cancelled, 0) << "a page never shown has nothing to cancel";
    }
}

TEST(PlatformSheet, OkAppliesEveryPageShown) {
    PropertySheet sheet("Settings", PropertySheet::Mode::Normal);
    Page* a = new Page("A");
    Page* b = new Page("B");
    Page* c = new Page("C");
    sheet.add_page(a);
    sheet.add_page(b);
    sheet.add_page(c);
    sheet.show();
    sheet.set_active_page(0);
    sheet.set_active_page(1);
    EXPECT_EQ(sheet.button(PropertySheet::Next), nullptr);
    sheet.press_button(PropertySheet::Ok);
    EXPECT_EQ(a->applied, 1);
    EXPECT_EQ(b->applied, 1);
    EXPECT_EQ(c->applied, 0);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

TEST(PlatformUiThread, QuestionsAreAnsweredOrReleased) {
    QObject context;
    plat::ui::QuestionGate gate;
    int answer = -1;
    std::thread worker([&] {
        answer = gate.ask<int>(
            &context, [] { return 7; }, 0);
    });
    ASSERT_TRUE(PumpUntil([&] { return answer != -1; }));
    worker.join();
    EXPECT_EQ(answer, 7);

    // Released while the UI does not answer (it is joining the worker);
    // whether the worker asked before or after, it gets its stopped answer.
    answer = -1;
    bool asked_on_ui = false;
    std::thread waiting([&] {
        answer = gate.ask<int>(
            &context,
            [&] {
                asked_on_ui = true;
                return 7;
            },
            3);
    });
    gate.release();
    waiting.join();
    EXPECT_EQ(answer, 3);
    EXPECT_EQ(gate.ask<int>(
                  &context, [] { return 7; }, 4),
              4)
        << "after the release: at once";
    QApplication::processEvents();
    EXPECT_FALSE(asked_on_ui) << "a released question is not asked any more";
}

TEST(PlatformQtPrompt, FilterForms) {
    EXPECT_EQ(plat::ui::QtFileFilter("Text (*.txt)|*.txt|All Files (*.*)|*.*|"),
              "Text (*.txt);;All Files (*)");
    EXPECT_EQ(plat::ui::QtFileFilter("Logs|*.log;*.txt"), "Logs (*.log *.txt)");
    // Qt takes the patterns from the label, split at spaces.
    EXPECT_EQ(plat::ui::QtFileFilter("Executable Files (*.exe;*.com;*.bat)|*.exe;*.com;*.bat"),
              "Executable Files (*.exe *.com *.bat)");
    EXPECT_EQ(plat::ui::QtFileFilter("KLClient log file (*.log);;All files (*)"),
              "KLClient log file (*.log);;All files (*)");
}

} // namespace
