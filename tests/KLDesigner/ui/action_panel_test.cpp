// The action property panel through real widgets offscreen: what each kind
// of record shows, what typing and clicking store, the fillers' texts, and
// the source chooser's folder rule and cancel.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "KLDesigner/builder/vb.h"
#include "KLDesigner/builder/vocabulary.h"
#include "KLDesigner/ui/action_panel.h"
#include "ui_rig.h"

using namespace plat::forms;
using plat::forms::Control;
using plat::forms::ListBox;
using kld::ActionRecord;
using plat::ui::MsgAnswer;

namespace {

struct PanelRig : kldtest::UiRig {
    PanelRig() {
        d.NewDocument();
        d.FillComboLists();
        d.ActionListViewStyle = 0;
        main.form().Show();
        main.ShowTab(kld::tab::ActionList);
    }
    template <class T = Control> T& W(const char* name, int32_t index = -1) {
        return main.form().Get<T>(name, index);
    }
    // Records in list order and the tree's shape, e.g. "G0(I1,I2) G3".
    void Load(std::vector<ActionRecord> records, const std::string& shape) {
        d.Actions = std::move(records);
        d.ActionCount = static_cast<int16_t>(d.Actions.size());
        tree.Build(shape);
        d.DocumentModified = false;
    }
    void Select(int32_t item) {
        tree.SetListIndex(item);
        main.RefreshOperAttributes(0);
    }
    // Types into a text box as a person does, one key at a time.
    void Type(const char* box, const QString& text) {
        QLineEdit* e = W<TextBox>(box).line_edit();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }
    // One edit of the whole text (a paste).
    void Paste(const char* box, const QString& text) {
        QLineEdit* e = W<TextBox>(box).line_edit();
        e->selectAll();
        e->insert(text);
    }
    bool Shown(const char* name, int32_t index = -1) { return W(name, index).Visible(); }
    std::string Text(const char* box) { return W<TextBox>(box).Text(); }
};

ActionRecord Rec(int16_t type, bool group, bool mask = false, std::string name = "app.exe") {
    ActionRecord r;
    r.ActionType = type;
    r.IsGroup = group;
    r.IsFolder = mask;
    if (!group) r.SourcePath = std::move(name);
    r.FileSize = 10;
    r.FileType = 1;
    return r;
}

} // namespace

TEST(ActionPanel, EachKindShowsItsCaptionAndControls) {
    PanelRig rig;
    using namespace kld::action;
    auto mask = Rec(InstallFile, false, true, "*.txt");
    mask.FileType = 0;
    rig.Load({Rec(InstallFile, true), Rec(InstallFile, false), Rec(InstallFile, false, false, ""), mask, Rec(ExecuteFile, true), Rec(ExecuteFile, false),
              Rec(CreateRegistry, true), Rec(CreateRegistry, false), Rec(DeleteRegistry, true),
              Rec(DeleteRegistry, false)},
             "G0(I1,I2,I3) G4(I5) G6(I7) G8(I9)");
    struct Row {
        int32_t item;
        const char* caption;
        bool file_panel, browse, subdirs, size, reg, ask, create_file, data, reg_create, key_enabled;
        const char* name_edge; // the box the name box ends with
        const char* shot;
    };
    const Row rows[] = {
        {0, "Install Files (Default Settings)", true, true, false, false, true, true, true, false, false, false,
         "txtOperFileVersionHi", "install_group"},
        {1, "Install File", true, true, false, true, true, true, true, false, false, false, "txtOperFileVersionHi",
         "install_file"},
        {2, "Install File", true, true, false, false, false, false, true, false, false, false,
         "txtOperFileVersionHi", "install_file_unnamed"},
        {3, "Install Folder", true, false, true, false, false, true, true, false, false, false, "txtOperFileBuild",
         "install_mask"},
        {4, "Execute Files (Default Settings)", true, true, false, false, false, false, false, false, false, false,
         "txtOperFileVersionHi", "execute_group"},
        {5, "Execute File", true, true, false, true, false, false, false, false, false, false,
         "txtOperFileVersionHi", "execute_file"},
        {6, "Create Registry Keys / Set Values (Default Settings)", false, false, false, false, false, false, false,
         false, true, true, nullptr, "create_registry_group"},
        {7, "Create Registry Key / Set Key Value", false, false, false, false, false, false, false, true, true,
         false, nullptr, "create_registry_value"},
        {8, "Delete Registry Keys (Default Settings)", false, false, false, false, false, false, false, false,
         false, true, nullptr, "delete_registry_group"},
        {9, "Delete Registry Key / Key Value", false, false, false, false, false, false, false, false, false, false,
         nullptr, "delete_registry_value"},
    };
    rig.main.form().Move(0, 0, 800 * 15, 640 * 15);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.caption + std::string(" at ") + std::to_string(r.item));
        rig.Select(r.item);
        EXPECT_TRUE(rig.Shown("pnlOperationProperties"));
        EXPECT_EQ(rig.W<Frame>("pnlOperationProperties").Caption(), r.caption);
        EXPECT_EQ(rig.Shown("pnlOperationFile"), r.file_panel);
        EXPECT_EQ(rig.Shown("pnlOperationRegistry"), !r.file_panel);
        if (r.file_panel) {
            EXPECT_EQ(rig.Shown("cmdOperFileName"), r.browse);
            EXPECT_EQ(rig.Shown("chkOperFileIncludeSubDirs"), r.subdirs);
            EXPECT_EQ(rig.Shown("txtOperFileSize"), r.size);
            EXPECT_EQ(rig.Shown("lblOperFileVersion_", 1), r.size);
            EXPECT_EQ(rig.Shown("chkOperFileRegister"), r.reg);
            EXPECT_EQ(rig.Shown("chkOperFileAskUserToClose"), r.ask);
            EXPECT_EQ(rig.Shown("chkOperFileCreateNew"), r.create_file);
            const Control& name = rig.W("txtOperFileName");
            const Control& edge = rig.W(r.name_edge);
            EXPECT_EQ(name.Left() + name.Width(), edge.Left() + edge.Width());
        } else {
            EXPECT_EQ(rig.Shown("txtOperRegKeyValueData"), r.data);
            EXPECT_EQ(rig.Shown("cboOperRegDataType"), r.data);
            EXPECT_EQ(rig.Shown("chkOperRegCreateNew"), r.reg_create);
            EXPECT_EQ(rig.W("cboOperRegKey").Enabled(), r.key_enabled);
        }
        kldtest::Screenshot(rig.W("pnlOperationProperties").widget(), QStringLiteral("panel_") + r.shot);
    }
    // Filling wrote nothing.
    EXPECT_FALSE(rig.d.DocumentModified);
    EXPECT_TRUE(rig.d.EditEventsEnabled);
}

TEST(ActionPanel, NoSelectionHidesThePanelAndTheGridViewIsLeftAlone) {
    PanelRig rig;
    rig.Load({Rec(kld::action::InstallFile, true)}, "G0");
    rig.tree.SetListIndex(-1);
    rig.main.panel().RefreshSceneryTab(0);
    EXPECT_FALSE(rig.Shown("pnlOperationProperties"));
    EXPECT_FALSE(rig.main.vntOperations().Enabled());
    rig.Select(0);
    EXPECT_TRUE(rig.Shown("pnlOperationProperties"));
    EXPECT_TRUE(rig.main.vntOperations().Enabled());

    // An item whose record is not there hides the panel too.
    rig.tree.SetItemLngValue(0, 7);
    rig.Select(0);
    EXPECT_FALSE(rig.Shown("pnlOperationProperties"));

    rig.d.ActionListViewStyle = 1;
    rig.d.EditEventsEnabled = false;
    rig.tree.SetItemLngValue(0, 0);
    for (int16_t code : {0, 1, 16}) rig.main.RefreshOperAttributes(code);
    EXPECT_FALSE(rig.Shown("pnlOperationProperties"));
    EXPECT_FALSE(rig.d.EditEventsEnabled);
}

TEST(ActionPanel, RegistryItemShowsItsGroupsKeyReadOnly) {
    PanelRig rig;
    auto group = Rec(kld::action::CreateRegistry, true);
    group.RegKey = "HKLM\\Software\\Maker";
    auto item = Rec(kld::action::CreateRegistry, false);
    item.RegKey = "ignored";
    item.RegValueName = "Path";
    item.RegDataType = 4;
    item.RegDataNumber = -7;
    rig.Load({group, item}, "G0(I1)");
    rig.Select(1);
    EXPECT_EQ(rig.W<ComboBox>("cboOperRegKey").Text(), "HKLM\\Software\\Maker");
    EXPECT_FALSE(rig.W("cboOperRegKey").Enabled());
    EXPECT_EQ(rig.Text("txtOperRegKeyValue"), "Path");
    EXPECT_EQ(rig.W<ComboBox>("cboOperRegDataType").Text(), "Long");
    EXPECT_EQ(rig.Text("txtOperRegKeyValueData"), "-7");
}

TEST(ActionPanel, TypedWholeNumbersAndTheBoxBeingTyped) {
    struct Row {
        const char* typed;
        int32_t stored;
    };
    const Row rows[] = {{"1.5", 2}, {"2.5", 2}, {"12abc", 12}, {"", 0}, {"-5", -5}, {"99999999999", 7}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        PanelRig rig;
        auto item = Rec(kld::action::InstallFile, false);
        item.VersionHigh = 7;
        rig.Load({Rec(kld::action::InstallFile, true), item}, "G0(I1)");
        rig.Select(1);
        rig.Paste("txtOperFileVersionHi", QString::fromLatin1(r.typed));
        EXPECT_EQ(rig.d.Actions[1].VersionHigh, r.stored);
        // The box keeps what was typed; the next full refresh shows the value.
        EXPECT_EQ(rig.Text("txtOperFileVersionHi"), r.typed);
        EXPECT_TRUE(rig.d.DocumentModified);
        rig.Select(1);
        EXPECT_EQ(rig.Text("txtOperFileVersionHi"), r.stored == 0 ? "" : std::to_string(r.stored));
    }
    // Key by key, as a person types: nothing is rewritten under the caret.
    PanelRig rig;
    auto item = Rec(kld::action::InstallFile, false);
    item.FileDate = kld::TextToDate("01/02/2003 04:05:06");
    rig.Load({Rec(kld::action::InstallFile, true), item}, "G0(I1)");
    rig.Select(1);
    rig.Type("txtOperFileDate", "03/05/2000 14:07:09");
    EXPECT_EQ(rig.Text("txtOperFileDate"), "03/05/2000 14:07:09");
    EXPECT_EQ(kld::vb::FormatDate(rig.d.Actions[1].FileDate), "03/05/2000 14:07:09");
    rig.Type("txtOperFileCriteriaEdition", "1.5");
    EXPECT_FLOAT_EQ(rig.d.Actions[1].Edition, 1.5f);
    rig.Type("txtOperFileSize", "-12");
    EXPECT_EQ(rig.d.Actions[1].FileSize, -12);
    EXPECT_EQ(rig.Text("txtOperFileSize"), "-12");
}

TEST(ActionPanel, RegistryDataByType) {
    struct Row {
        int32_t type;
        const char* typed;
        int32_t number;
        const char* text;
    };
    const Row rows[] = {
        {4, "3000000000", 2147483647, "old"}, {4, "-3000000000", INT32_MIN, "old"}, {4, "-1.5", -2, "old"},
        {4, "-5", -5, "old"},                 {1, "-1.5", 9, "-1.5"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        PanelRig rig;
        auto item = Rec(kld::action::CreateRegistry, false);
        item.RegDataType = r.type;
        item.RegDataNumber = 9;
        item.RegDataText = "old";
        rig.Load({Rec(kld::action::CreateRegistry, true), item}, "G0(I1)");
        rig.Select(1);
        rig.Type("txtOperRegKeyValueData", QString::fromLatin1(r.typed));
        EXPECT_EQ(rig.d.Actions[1].RegDataNumber, r.number);
        EXPECT_EQ(rig.d.Actions[1].RegDataText, r.text);
        EXPECT_EQ(rig.Text("txtOperRegKeyValueData"), r.typed);
    }
}

TEST(ActionPanel, CriteriaPickedAndShown) {
    PanelRig rig;
    auto item = Rec(kld::action::InstallFile, false);
    rig.Load({Rec(kld::action::InstallFile, true), item, Rec(kld::action::ExecuteFile, true),
              Rec(kld::action::ExecuteFile, false)},
             "G0(I1) G2(I3)");
    rig.Select(1);
    auto& type = rig.W<ComboBox>("cboOperFileCriteriaType");
    auto pick = [&](int32_t code) {
        for (int32_t k = 0; k < type.ListCount(); ++k)
            if (type.ItemData(k) == code) {
                type.combo()->setCurrentIndex(k);
                Q_EMIT type.combo()->activated(k); // what a person's pick sends
                return;
            }
        ADD_FAILURE() << "no entry " << code;
    };
    pick(12);
    EXPECT_EQ(rig.d.Actions[1].Compare, 12);
    EXPECT_EQ(rig.d.Actions[1].CriteriaType, 0);
    pick(-1);
    EXPECT_EQ(rig.d.Actions[1].Compare, 0);
    EXPECT_EQ(rig.d.Actions[1].CriteriaType, -1);

    // What each criterion shows.
    struct Row {
        int16_t criteria;
        const char* log;
        bool key, path, log_box;
        const char* label;
    };
    const Row rows[] = {
        {-1, "", true, false, true, "Key"},  {1, "", true, false, false, "Key"},
        {2, "", false, true, false, "File"}, {-3, "", false, true, false, "Folder"},
        {0, "", false, false, true, nullptr}, {0, "data", true, false, true, "Key"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.criteria);
        rig.d.Actions[1].CriteriaType = r.criteria;
        rig.d.Actions[1].LogToRegistryData = r.log;
        rig.Select(1);
        EXPECT_EQ(rig.Shown("cboOperFileCriteriaRegKey"), r.key);
        EXPECT_EQ(rig.Shown("txtOperFileCriteriaRegKeyValue"), r.key);
        EXPECT_EQ(rig.Shown("cboOperFileCriteriaPath"), r.path);
        EXPECT_EQ(rig.Shown("chkOperFileLogToRegistry"), r.log_box);
        EXPECT_EQ(rig.Shown("lblOperFileCriteriaValue"), r.label != nullptr);
        if (r.label) {
            EXPECT_EQ(rig.W<Label>("lblOperFileCriteriaValue").Caption(), r.label);
        }
        if (r.log_box) {
            EXPECT_EQ(rig.W<CheckBox>("chkOperFileLogToRegistry").Value(), *r.log ? 1 : 0);
        }
    }

    // The log-to-registry pair: the box mirrors whether there is data.
    rig.d.Actions[1].CriteriaType = 0;
    rig.d.Actions[1].LogToRegistryData.clear();
    rig.Select(1);
    QTest::mouseClick(rig.W<CheckBox>("chkOperFileLogToRegistry").check(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(rig.d.Actions[1].LogToRegistryData, "<-- Input Key Value Data Here -->");
    EXPECT_TRUE(rig.Shown("txtOperFileLogToRegistryData"));
    rig.Paste("txtOperFileLogToRegistryData", "");
    EXPECT_EQ(rig.d.Actions[1].LogToRegistryData, "");
    EXPECT_EQ(rig.W<CheckBox>("chkOperFileLogToRegistry").Value(), 0);
    QTest::mouseClick(rig.W<CheckBox>("chkOperFileLogToRegistry").check(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(rig.W<CheckBox>("chkOperFileLogToRegistry").check(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(rig.d.Actions[1].LogToRegistryData, "");

    // An execute action offers no comparisons.
    rig.Select(3);
    for (int32_t k = 0; k < type.ListCount(); ++k)
        EXPECT_TRUE(type.ItemData(k) < 11 || type.ItemData(k) > 13) << type.List(k);
    EXPECT_FALSE(rig.Shown("chkOperFileCreateNew"));
}

TEST(ActionPanel, FileFieldTexts) {
    struct Row {
        int32_t hi, lo, build;
        const char* texts[3];
    };
    const Row rows[] = {
        {0, 0, 0, {"", "", ""}}, {1, 0, 0, {"1", "0", "0"}}, {0, 5, 0, {"", "5", ""}}, {2, 3, 44, {"2", "3", "44"}}};
    for (const Row& r : rows) {
        PanelRig rig;
        auto item = Rec(kld::action::InstallFile, false);
        item.VersionHigh = r.hi;
        item.VersionLow = r.lo;
        item.Build = r.build;
        item.FileSize = 1234567;
        item.FileDate = kld::TextToDate("03/05/2000 14:07:09");
        rig.Load({Rec(kld::action::InstallFile, true), item}, "G0(I1)");
        rig.Select(1);
        EXPECT_EQ(rig.Text("txtOperFileVersionHi"), r.texts[0]);
        EXPECT_EQ(rig.Text("txtOperFileVersionLo"), r.texts[1]);
        EXPECT_EQ(rig.Text("txtOperFileBuild"), r.texts[2]);
        EXPECT_EQ(rig.Text("txtOperFileSize"), "1234567");
        EXPECT_EQ(rig.Text("txtOperFileDate"), "03/05/2000 14:07:09");
    }
    // No date and no size: the boxes are empty.
    PanelRig rig;
    auto item = Rec(kld::action::InstallFile, false);
    item.FileSize = 0;
    item.VersionHigh = 3;
    rig.Load({Rec(kld::action::InstallFile, true), item}, "G0(I1)");
    rig.Select(1);
    for (const char* box : {"txtOperFileSize", "txtOperFileDate", "txtOperFileVersionHi"}) EXPECT_EQ(rig.Text(box), "");
}

TEST(ActionPanel, DestinationRows) {
    PanelRig rig;
    auto item = Rec(kld::action::InstallFile, false);
    item.Destinations[0] = {1, "%PRODUCT%\\bin", "", "", true};
    item.Destinations[1] = {3, "", "", "", false};
    item.Destinations[2] = {2, "", "HKLM\\Software\\X", "Dir", false};
    rig.Load({Rec(kld::action::InstallFile, true), item}, "G0(I1)");
    rig.Select(1);
    auto& rows = rig.W<ListBox>("lstOperDestFolders");
    EXPECT_EQ(rows.ListIndex(), 0);
    EXPECT_TRUE(rig.W<OptionButton>("optOperDestFolderType", 1).Value());
    EXPECT_EQ(rig.W<ComboBox>("cboOperFileDestPath").Text(), "%PRODUCT%\\bin");
    EXPECT_TRUE(rig.Shown("chkCreateNewOperDestFolder"));
    EXPECT_EQ(rig.W<CheckBox>("chkCreateNewOperDestFolder").Value(), 1);

    QTest::mouseClick(rows.list()->viewport(), Qt::LeftButton, {},
                      rows.list()->visualItemRect(rows.list()->item(1)).center());
    EXPECT_EQ(rows.ListIndex(), 1);
    EXPECT_EQ(rig.W<Label>("lblOperDestFolder").Caption(), "");
    for (const char* hidden : {"cboOperFileDestPath", "cboOperFileDestRegKey", "txtOperFileDestRegKeyValue",
                               "chkCreateNewOperDestFolder"})
        EXPECT_FALSE(rig.Shown(hidden)) << hidden;
    EXPECT_FALSE(rig.d.DocumentModified); // choosing a row writes nothing

    rows.SetListIndex(2);
    EXPECT_EQ(rig.W<Label>("lblOperDestFolder").Caption(), "Key");
    EXPECT_EQ(rig.Text("txtOperFileDestRegKeyValue"), "Dir");
    rig.Type("txtOperFileDestRegKeyValue", "Folder");
    EXPECT_EQ(rig.d.Actions[1].Destinations[2].RegValueName, "Folder");
    // The disk folder option writes row 2's type and shows the path combo.
    QTest::mouseClick(rig.W<OptionButton>("optOperDestFolderType", 1).radio(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(rig.d.Actions[1].Destinations[2].FolderType, 1);
    EXPECT_TRUE(rig.Shown("cboOperFileDestPath"));
    EXPECT_EQ(rig.d.Actions[1].Destinations[0].FolderType, 1);
    EXPECT_EQ(rig.d.Actions[1].Destinations[1].FolderType, 3);
}

// The chooser keeps an action's file inside its group's folder: folders
// compared as clean absolute paths, the root included.
TEST(ActionPanel, SourceChooserFolderRule) {
    PanelRig rig;
    const std::string src = rig.dir.str() + "/src";
    QDir().mkpath(QString::fromStdString(src));
    QFile f(QString::fromStdString(src + "/a.dat"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
    f.close();
    struct Row {
        std::string group_folder, chosen;
        bool accepted;
    };
    const Row rows[] = {
        {src, src + "/a.dat", true},
        {" " + src + "/ ", src + "/./a.dat", true},
        {src, rig.dir.str() + "/other/a.dat", false},
        {src, "/a.dat", false},
        {"", src + "/a.dat", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.group_folder + " <- " + r.chosen);
        auto group = Rec(kld::action::InstallFile, true);
        group.SourceFolder = r.group_folder;
        rig.Load({group, Rec(kld::action::InstallFile, false, false, "old.dat")}, "G0(I1)");
        rig.Select(1);
        rig.prompt.expect_open("Select File", r.chosen);
        if (!r.accepted)
            rig.Expect("You can select a file from '" + r.group_folder + "' folder only.", MsgAnswer::Ok);
        QTest::mouseClick(rig.W<CommandButton>("cmdOperFileName").button(), Qt::LeftButton);
        rig.prompt.verify_done();
        EXPECT_EQ(rig.d.Actions[1].SourcePath, r.accepted ? "a.dat" : "old.dat");
        EXPECT_EQ(rig.d.DocumentModified, r.accepted);
        if (r.accepted) {
            EXPECT_EQ(rig.d.Actions[1].FileSize, 5);
            EXPECT_EQ(rig.Text("txtOperFileName"), "a.dat");
        }
        if (r.group_folder.empty()) {
            EXPECT_EQ(rig.d.Actions[0].SourceFolder, src);
        }
    }
}

TEST(ActionPanel, CancelledChoiceDeletesOnlyAJustAddedAction) {
    PanelRig rig;
    auto group = Rec(kld::action::InstallFile, true);
    group.SourceFolder = "/tmp";
    // An existing action whose name was cleared keeps itself on a cancel.
    rig.Load({group, Rec(kld::action::InstallFile, false, false, "")}, "G0(I1)");
    rig.Select(1);
    rig.prompt.expect_open("Select File", std::nullopt);
    rig.main.panel().cmdOperFileName_Click();
    EXPECT_EQ(rig.tree.Shape(), "G0(I1)");

    // The action an add command has just made goes again.
    rig.prompt.expect_open("Select File", std::nullopt);
    rig.main.panel().cmdOperFileName_Click(true);
    EXPECT_EQ(rig.tree.Shape(), "G0");

    // Through the add command, as the program wires it.
    rig.Select(0);
    rig.prompt.expect_open("Select File", std::nullopt);
    rig.main.cmdNewItem_Click(0);
    EXPECT_EQ(rig.tree.Shape(), "G0");

    // A group's cancelled folder browser changes nothing.
    rig.Select(0);
    rig.prompt.expect_folder("Select Source Folder", std::nullopt);
    rig.main.panel().cmdOperFileName_Click(true);
    EXPECT_EQ(rig.tree.Shape(), "G0");
    EXPECT_EQ(rig.d.Actions[0].SourceFolder, "/tmp");
    rig.prompt.verify_done();
}
