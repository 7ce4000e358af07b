// The designer's sample description in samples/designer/: it opens through
// the hidden control, passes Prepare into a scratch output folder, and the
// sample folder is left exactly as it was.
//
// The sample itself is written by the disabled WriteSample case:
//   test_designer_sample --gtest_also_run_disabled_tests --gtest_filter='*WriteSample'
// Its source folder is relative ("files"), so the designer resolves it
// against the folder it runs in: the sample's own folder or a copy of it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "KLDesigner/bridge/kld_file.h"
#include "KLDesigner/builder/file_version.h"
#include "control_tree.h"
#include "support/recording_host.h"
#include "support/scripted_prompt.h"
#include "support/stand_in_bridge.h"
#include "support/temp_dir.h"

using namespace kld;
using plat::ui::MsgAnswer;
namespace fs = std::filesystem;

namespace {

const fs::path kSample = fs::path(KLD_SAMPLE_DIR);

// A checkout gives the sources its own times, while the description records
// each file's time; whoever runs the sample stamps its copy's sources with
// the recorded time first (scripts/demo-designer.sh: touch -d @1704067200),
// or Prepare offers to refresh the recorded attributes.
void StampSources(const fs::path& sample) {
    const auto when = std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{1704067200}});
    for (const auto& e : fs::directory_iterator(sample / "files"))
        fs::last_write_time(e.path(), when);
}

// Every file below `root` with its bytes and modification time.
std::map<std::string, std::pair<std::string, fs::file_time_type>> Snapshot(const fs::path& root) {
    std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        std::ifstream in(e.path(), std::ios::binary);
        files[fs::relative(e.path(), root).string()] = {
            e.is_regular_file() ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("<folder>"),
            e.last_write_time()};
    }
    return files;
}

// Runs in `folder` until it goes out of scope.
struct WorkingFolder {
    fs::path old = fs::current_path();
    explicit WorkingFolder(const fs::path& folder) { fs::current_path(folder); }
    ~WorkingFolder() { fs::current_path(old); }
};

struct SampleRig {
    kldtest::RecordingHost host;
    kltest::ScriptedPrompt prompt;
    kldtest::ControlTree tree;
    kldtest::StandInBridge display{tree};
    plat::ComPtr<plat::IDispatch> buffer = tree.Site().Create(kTreeListClassId);
    CDescriptionFile file{tree.Site(), buffer.get()};
    CDescriptionBridge bridge{display, file};
    Designer d{DesignerServices{host, prompt, tree, bridge}};
    kltest::TempDir dir;

    ActionRecord& Selected() {
        return d.Actions[static_cast<size_t>(tree.ItemLngValue(tree.ListIndex()).value)];
    }
};

} // namespace

TEST(DesignerSample, DISABLED_WriteSample) {
    SampleRig rig;
    StampSources(kSample);
    WorkingFolder here(kSample);
    Designer& d = rig.d;
    d.InitGlobals((rig.dir / "program").string());
    d.NewDocument();
    d.Product.ProductName = "Sample";
    d.Product.Manufacturer = "Sample Vendor";
    d.Product.INFFileName = "sample.inf";
    d.Product.WebLocation = "http://localhost/sample";
    // Prepare clears this folder first; open the sample and choose another
    // on the Location tab to keep the update somewhere else.
    d.Product.OutputFolder = "/tmp/kl-designer-sample";
    d.Product.InstallPaths[0] = {1, "%PROGRAM FILES%\\Sample", "", "", true};
    // Installed where the product's own registry value says it is.
    d.Product.InstallCriteria[0] = {1, "", "HKLM\\SOFTWARE\\Sample", "Path", 0};

    ASSERT_TRUE(d.AddOperation(action::InstallFile, true));
    ActionRecord& group = rig.Selected();
    group.SourceFolder = "files";
    group.Destinations[0].FolderType = 1;
    group.Destinations[0].Path = "%PRODUCT%";
    const int32_t groupAt = rig.tree.ListIndex();
    for (const char* name : {"readme.txt", "sample.ini"}) {
        ASSERT_TRUE(d.AddOperation(action::InstallFile, false));
        ActionRecord& r = rig.Selected();
        r.SourcePath = name;
        GetFileAttributes((fs::path("files") / name).string(), r.FileDate, r.FileSize, r.VersionHigh,
                          r.VersionLow, r.Build, r.FileType, r.FileReserved);
        rig.tree.SetListIndex(groupAt);
    }
    rig.bridge.StoreDescriptionInTree(d);
    ASSERT_TRUE(rig.bridge.SaveTreeToFile(d, (kSample / "sample.KLD").string()));
}

// As the demo runs it: a copy of the sample folder, stamped, opened in place.
TEST(DesignerSample, AWorkingCopyOpensAndPreparesWithoutTouchingTheSample) {
    ASSERT_TRUE(fs::exists(kSample / "sample.KLD"));
    const auto before = Snapshot(kSample);
    SampleRig rig;
    const fs::path copy = rig.dir / "copy", out = rig.dir / "out";
    fs::copy(kSample, copy, fs::copy_options::recursive);
    StampSources(copy);
    {
        WorkingFolder here(copy);
        Designer& d = rig.d;
        d.InitGlobals((rig.dir / "program").string());
        d.OpenDocument((copy / "sample.KLD").string());
        rig.prompt.verify_done();
        ASSERT_EQ(d.ActionCount, 3);
        EXPECT_EQ(d.Product.ProductName, "Sample");
        EXPECT_EQ(d.Actions[static_cast<size_t>(rig.tree.ItemLngValue(0).value)].SourceFolder, "files");
        d.Product.OutputFolder = out.string();
        // Nothing to correct: only the question to proceed and the report.
        rig.prompt.expect_message("You are about to create update stuff and INF file in the '" + out.string() +
                                      "' folder.\nThis operation can take some seconds.\nDo you want to proceed ?",
                                  MsgAnswer::Yes);
        rig.prompt.expect_message("");
        d.PrepareUpdate();
        rig.prompt.verify_done();
        ASSERT_EQ(rig.prompt.seen().size(), 2u);
        EXPECT_TRUE(rig.prompt.seen()[1].text.starts_with("Product INF file was created successfully."))
            << rig.prompt.seen()[1].text;
    }
    EXPECT_TRUE(fs::exists(out / "sample.inf"));
    EXPECT_TRUE(fs::exists(out / "Products.INF"));
    EXPECT_EQ(Snapshot(copy).size(), before.size()) << "Prepare wrote into the working copy";
    EXPECT_EQ(Snapshot(kSample), before);
}
