// The client's controls, small dialogs and settings pages, offscreen.
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include "client/engine/host.h"
#include <QBuffer>

#include "client/ui/anim_static.h"
#include "client/ui/artwork.h"
#include "client/ui/details_dialog.h"
#include "client/ui/help_texts.h"
#include "client/ui/product_tree.h"
#include "client/ui/question_dialogs.h"
#include "client/ui/server_location_dialog.h"
#include "client/ui/settings_pages.h"
#include "client/ui/text_static.h"
#include "client/ui/wizard_env.h"
#include "gui_util.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

using client_ui_test::Key;
using client_ui_test::Shot;
using klc::CProductTree;

namespace {

struct TreeFixture {
    CProductTree tree;
    QTreeWidgetItem* product;
    QTreeWidgetItem* u1;
    QTreeWidgetItem* u2;
    TreeFixture() {
        tree.SetImages(klc::StateImages(), klc::ItemImages());
        tree.resize(300, 200);
        product = tree.AddItem(nullptr, "Editor", 0, klc::STATE_UNCHECKED, {0, -1, -1});
        u1 = tree.AddItem(product, "Update A", 1, klc::STATE_CHECKED, {0, 0, -1});
        u2 = tree.AddItem(product, "Update B", 1, klc::STATE_UNCHECKED, {0, 1, -1});
        tree.AddItem(u1, "a.txt", 2, klc::STATE_NONE, {0, 0, 0});
        tree.UpdateParentState(product);
        tree.expandAll();
        tree.show();
    }
    std::vector<int> States() const {
        return {CProductTree::State(product), CProductTree::State(u1), CProductTree::State(u2)};
    }
};

TEST(ClientControls, ProductTreeToggles) {
    using S = std::vector<int>;
    constexpr int C = klc::STATE_CHECKED, U = klc::STATE_UNCHECKED, P = klc::STATE_PARTIAL;
    struct Row {
        const char* what;
        std::vector<int> toggles; // 0 product, 1 update A, 2 update B
        S expected;
    } rows[] = {
        {"one of two updates checked", {}, {P, C, U}},
        {"a partial product unchecks all its updates", {0}, {U, U, U}},
        {"an unchecked product checks all", {0, 0}, {C, C, C}},
        {"checking the second update checks the product", {2}, {C, C, C}},
        {"unchecking the only checked update", {1}, {U, U, U}},
        {"an update toggled twice", {2, 2}, {P, C, U}},
    };
    for (bool by_click : {true, false}) {
        for (const Row& row : rows) {
            TreeFixture f;
            QTreeWidgetItem* items[] = {f.product, f.u1, f.u2};
            for (int t : row.toggles) {
                QTreeWidgetItem* item = items[t];
                if (by_click) {
                    QRect r = f.tree.StateImageRect(item);
                    ASSERT_TRUE(r.isValid());
                    QTest::mouseClick(f.tree.viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
                } else {
                    f.tree.setCurrentItem(item);
                    Key(&f.tree, Qt::Key_Space, " ");
                }
            }
            EXPECT_EQ(f.States(), row.expected) << row.what << (by_click ? " (click)" : " (space)");
        }
    }
}

TEST(ClientControls, ProductTreeIgnoresTextClicksFilesAndTyping) {
    TreeFixture f;
    QRect text = f.tree.visualItemRect(f.u2);
    QTest::mouseClick(f.tree.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(text.right() - 5, text.center().y()));
    Key(&f.tree, Qt::Key_X, "x");
    QTreeWidgetItem* file = f.u1->child(0);
    f.tree.Toggle(file);
    EXPECT_EQ(f.States(), (std::vector<int>{klc::STATE_PARTIAL, klc::STATE_CHECKED, klc::STATE_UNCHECKED}));
    EXPECT_EQ(CProductTree::State(file), klc::STATE_NONE);
    EXPECT_EQ(CProductTree::Position(file).level(), 2);
    Shot(&f.tree, "product-tree");
}

TEST(ClientControls, AnimationRepeats) {
    struct Row {
        int repeat;
        int ticks;
        int frame;
        bool running;
    } rows[] = {
        {0, 5, 2, false},                    // the first frame only
        {1, 2, 4, true},                     // 2 → 3 → 4
        {1, 3, 4, false},                    // once: stops on the last frame
        {1, 9, 4, false},   {2, 3, 2, true}, // second round starts again
        {2, 6, 4, false},                    // two rounds, then the last frame stays
        {-1, 3, 2, true},                    // for ever
        {-1, 100, 3, true},
    };
    for (const Row& r : rows) {
        klc::CAnimStatic anim;
        anim.LoadFrames(klc::AnimationFrames());
        anim.Play(2, 4, r.repeat);
        for (int i = 0; i < r.ticks; ++i)
            anim.tick();
        EXPECT_EQ(anim.current(), r.frame) << "repeat " << r.repeat << ", " << r.ticks << " ticks";
        EXPECT_EQ(anim.running(), r.running) << "repeat " << r.repeat << ", " << r.ticks << " ticks";
    }
}

TEST(ClientControls, AdvertisementTextRunsRound) {
    klc::CTextStatic text;
    text.resize(200, 80);
    text.SetText("First");
    text.AddLine("Second");
    text.StartScroll(100, 1);
    // At first the text waits just below the control.
    EXPECT_TRUE(text.FirstLineTops().empty());
    int block = 0;
    for (int i = 0; i < 80; ++i)
        text.tick();
    ASSERT_EQ(text.FirstLineTops().front(), 0);
    // Scroll until the first copy left the top: the next copy follows at
    // the text's height plus a quarter of the control.
    std::vector<int> tops;
    for (int i = 0; i < 400; ++i) {
        text.tick();
        tops = text.FirstLineTops();
        if (tops.size() >= 2) {
            block = tops[1] - tops[0];
            break;
        }
    }
    ASSERT_GT(block, 20);
    QFontMetrics fm(text.font());
    EXPECT_GE(block, 2 * fm.height() + 20);
    // Offsets never grow without bound.
    for (int i = 0; i < 5000; ++i)
        text.tick();
    EXPECT_LT(text.offset(), 80 + block + 1);
    EXPECT_FALSE(text.FirstLineTops().empty());
    text.show();
    Shot(&text, "advertisement");
}

TEST(ClientDialogs, EveryAnswerOfTheFileQuestions) {
    struct Row {
        bool in_use;
        int answer; // button pressed; -1 Escape, -2 the close button
        int expected;
    } rows[] = {
        {true, klc::IN_USE_SKIP, 0},
        {true, klc::IN_USE_COPY_ON_RESTART, 1},
        {true, klc::IN_USE_RETRY, 2},
        {true, klc::IN_USE_CANCEL, 3},
        {true, -1, 0},
        {true, -2, 0},
        {false, klc::OVERWRITE_NO, 0},
        {false, klc::OVERWRITE_TERMINATE, 1},
        {false, klc::OVERWRITE_YES_FOR_ALL, 2},
        {false, klc::OVERWRITE_YES, 3},
        {false, -1, 1},
        {false, -2, 1},
    };
    for (const Row& r : rows) {
        std::unique_ptr<klc::CQuestionDlg> dlg;
        if (r.in_use)
            dlg = std::make_unique<klc::CFileInUseDlg>("/p/a.txt is used by another application.");
        else
            dlg = std::make_unique<klc::CConfirmOverwriteDlg>("/p/a.txt was backuped on previous update.");
        QTimer::singleShot(0, dlg.get(), [&] {
            if (r.answer == -1)
                QTest::keyClick(dlg.get(), Qt::Key_Escape);
            else if (r.answer == -2)
                dlg->close();
            else
                dlg->Button(r.answer)->click();
        });
        EXPECT_EQ(dlg->exec_modal(), r.expected) << (r.in_use ? "in use " : "backup ") << r.answer;
    }
    klc::CFileInUseDlg in_use(
        "/home/me/product/editor.bin is used by another application. \n Please, close the "
        "application that uses this file and try again.");
    in_use.show();
    Shot(&in_use, "dialog-file-in-use");
    klc::CConfirmOverwriteDlg backup(
        "/home/me/product/editor.bin was backuped on previous update. \n Do You wish "
        "to overwrite this file?");
    backup.show();
    Shot(&backup, "dialog-backup-exists");
    klc::CDetailsDlg details("What is new in Update A:\n- faster start\n- fixed printing");
    details.show();
    Shot(&details, "dialog-details");
}

TEST(ClientDialogs, ServerLocationAddNeedsBothFields) {
    klc::CServerLocationDlg dlg;
    dlg.show();
    EXPECT_FALSE(dlg.AddButton()->isEnabled());
    QTest::keyClicks(dlg.NameEdit(), "Mirror");
    EXPECT_FALSE(dlg.AddButton()->isEnabled());
    QTest::keyClicks(dlg.UrlEdit(), "http://127.0.0.1/Products.INF");
    EXPECT_TRUE(dlg.AddButton()->isEnabled());
    Shot(&dlg, "dialog-server-location");
    dlg.NameEdit()->clear();
    EXPECT_FALSE(dlg.AddButton()->isEnabled());
    EXPECT_EQ(dlg.NameEdit()->maxLength(), 64);
    EXPECT_EQ(dlg.UrlEdit()->maxLength(), 255);
}

struct SettingsFixture {
    klc::CClientContext ctx;
    klc::ClientSettings stored;
    klc::ConnectionSettings run;
    kltest::ScriptedPrompt prompt;
    std::unique_ptr<plat::ui::PropertySheet> sheet;
    SettingsFixture() {
        stored.connection.request_timeout = 30000;
        stored.log_level = 2;
        klc::ApplySettings(stored, ctx);
        run = stored.connection;
        ctx.log_level = 3; // as LOG=3 would set it for this run only
        ctx.log_file = "KLClient.LOG";
        sheet = klc::MakeSettingsSheet({ctx, run, stored, prompt});
        sheet->show();
    }
    template <class W> W* Control(int id) { return klc::FindControl<W>(sheet.get(), id); }
};

TEST(ClientSettingsPages, GeneralPageConvertsAndKeepsRunOnlyValuesOut) {
    SettingsFixture f;
    Shot(f.sheet.get(), "settings-general");
    auto* timeout = f.Control<QLineEdit>(1038);
    EXPECT_EQ(timeout->text(), "30");
    EXPECT_EQ(timeout->whatsThis(), klc::WhatsThisText(1038));
    EXPECT_FALSE(timeout->whatsThis().isEmpty());
    EXPECT_TRUE(f.Control<QRadioButton>(1059)->isChecked()) << "the run's level is shown";
    // None disables the log file and its button; the backup folder follows
    // the backup radios.
    EXPECT_FALSE(f.Control<QLineEdit>(1063)->isEnabled());
    f.Control<QRadioButton>(1057)->click();
    EXPECT_FALSE(f.Control<QLineEdit>(1033)->isEnabled());
    EXPECT_FALSE(f.Control<QPushButton>(1034)->isEnabled());
    f.Control<QRadioButton>(1029)->click();
    EXPECT_TRUE(f.Control<QLineEdit>(1033)->isEnabled());
    f.Control<QRadioButton>(1061)->click();
    EXPECT_TRUE(f.Control<QLineEdit>(1063)->isEnabled());
    EXPECT_TRUE(f.sheet->page(0)->modified());

    timeout->clear();
    QTest::keyClicks(timeout, "45");
    f.sheet->press_button(plat::ui::PropertySheet::Ok);
    EXPECT_EQ(f.run.request_timeout, 45000);
    EXPECT_EQ(f.stored.connection.request_timeout, 45000);
    EXPECT_EQ(f.ctx.log_level, 1);
    EXPECT_EQ(f.stored.log_level, 1);
    EXPECT_EQ(f.stored.backup_mode, 1);
    EXPECT_EQ(f.stored.log_file, "") << "an unchanged field stays as stored";
}

TEST(ClientSettingsPages, UnchangedPagesLeaveStoredValues) {
    SettingsFixture f;
    f.sheet->set_active_page(1);
    f.sheet->press_button(plat::ui::PropertySheet::Ok);
    EXPECT_EQ(f.stored.log_level, 2) << "LOG=3 of this run is not stored";
    EXPECT_EQ(f.stored.connection, f.run);
}

TEST(ClientSettingsPages, ProxyRadiosAndFields) {
    SettingsFixture f;
    f.sheet->set_active_page(1);
    EXPECT_TRUE(f.Control<QRadioButton>(1055)->isChecked());
    EXPECT_FALSE(f.Control<QGroupBox>(1049)->isEnabled());
    EXPECT_EQ(f.Control<QLineEdit>(1028)->echoMode(), QLineEdit::Password);
    f.Control<QRadioButton>(1021)->click();
    EXPECT_TRUE(f.Control<QGroupBox>(1049)->isEnabled());
    EXPECT_TRUE(f.Control<QLineEdit>(1032)->isEnabled());
    QTest::keyClicks(f.Control<QLineEdit>(1024), "proxy.local");
    auto* port = f.Control<QLineEdit>(1025);
    port->clear();
    QTest::keyClicks(port, "3128");
    QTest::keyClicks(f.Control<QLineEdit>(1032), "secret");
    Shot(f.sheet.get(), "settings-proxy");
    f.sheet->press_button(plat::ui::PropertySheet::Ok);
    EXPECT_EQ(f.run.proxy_mode, klc::PROXY_NAMED);
    EXPECT_EQ(f.stored.connection.http_proxy_server, "proxy.local");
    EXPECT_EQ(f.stored.connection.http_proxy_port, 3128);
    EXPECT_EQ(f.stored.connection.http_proxy_password, "secret");

    SettingsFixture g;
    g.sheet->set_active_page(1);
    g.Control<QRadioButton>(1020)->click();
    EXPECT_FALSE(g.Control<QGroupBox>(1049)->isEnabled());
    g.sheet->press_button(plat::ui::PropertySheet::Ok);
    EXPECT_EQ(g.stored.connection.proxy_mode, klc::PROXY_DIRECT);
}

TEST(ClientSettingsPages, BrowsingGoesThroughThePrompt) {
    SettingsFixture f;
    f.prompt.expect_folder("Choose a folder that will be used as temporary:", "/chosen/work");
    f.prompt.expect_save("Log file", "/logs/run");
    f.prompt.expect_folder("Choose a folder that will be used as temporary:", std::nullopt);
    f.Control<QPushButton>(1058)->click();
    f.Control<QPushButton>(1034)->click();
    f.Control<QRadioButton>(1062)->click();
    f.Control<QPushButton>(1043)->click();
    f.prompt.verify_done();
    EXPECT_EQ(f.Control<QLineEdit>(1054)->text(), "/chosen/work");
    EXPECT_EQ(f.Control<QLineEdit>(1033)->text(), "/logs/run.log");
    EXPECT_EQ(f.Control<QLineEdit>(1063)->text(), "%PRODUCT%");
    auto seen = f.prompt.seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].file.filter, "KLClient log file (*.log);;All files (*)");
    f.sheet->press_button(plat::ui::PropertySheet::Cancel);
    EXPECT_EQ(f.stored.temp_folder, "%TEMP%") << "Cancel applies nothing";
}

} // namespace

namespace {

TEST(ClientUpdateIcons, IconsBitmapsAndRefusals) {
    kltest::TempDir dir;
    auto write = [&](const std::string& name, const std::string& bytes) {
        kltest::write_file(dir / name, bytes);
        return (dir / name).string();
    };
    auto image = [](const char* format, QSize size, QColor colour) {
        QImage img(size, QImage::Format_ARGB32);
        img.fill(colour);
        img.setPixelColor(0, 0, Qt::white);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, format);
        return bytes.toStdString();
    };
    klc::CUpdateIcons icons;
    EXPECT_EQ(icons.Load(write("a.ico", image("ICO", {32, 32}, Qt::red))), 8);
    EXPECT_EQ(icons.Load(write("b.bmp", image("BMP", {16, 16}, Qt::blue))), 9);
    EXPECT_EQ(icons.Load(write("big.bmp", image("BMP", {300, 300}, Qt::blue))), -1) << "over 256x256";
    EXPECT_EQ(icons.Load(write("huge.ico", std::string((1 << 20) + 1, 'x'))), -1) << "over 1 MiB";
    EXPECT_EQ(icons.Load(write("junk.ico", "not a picture")), -1);
    EXPECT_EQ(icons.Load((dir / "missing.ico").string()), -1);
    auto images = icons.Images();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].size(), QSize(16, 16));
    EXPECT_EQ(images[1].pixelColor(0, 0).alpha(), 0) << "white is the bitmap's mask colour";
    EXPECT_EQ(images[1].pixelColor(8, 8), QColor(Qt::blue));
    // The sample update's icon is a real icon.
    EXPECT_EQ(icons.Load(std::string(KL_SAMPLES_DIR) + "/client-update/update.ico"), 10);
}

} // namespace
