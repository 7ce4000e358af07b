// A description of 9,999 actions (groups of nine files each) saved through
// the hidden control, then opened: read back and the visible action list
// refilled on the control in a host widget. Beside it, a QTreeWidget filled
// with the same texts in the same nesting. Prints both and their ratio.
//
// The designer reads and shows each action through about 140 late-bound
// calls, so the peer is a yardstick, not a goal: the figure to keep from
// growing is "open and refill" (0.52 s for 9,999 actions, optimised build,
// December 2026).
//
//   bench_designer [--actions N]
#include <unistd.h>

#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>

#include "KLDesigner/bridge/action_display.h"
#include "KLDesigner/bridge/dispatch_action_tree.h"
#include "KLDesigner/bridge/kld_file.h"
#include "bench/support/quiet_host.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"

namespace {

double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Wall time of the work; its processor time goes to `cpu` (on a busy
// machine the two part ways).
double Seconds(const std::function<void()>& work, double& cpu) {
    const double cpuStart = CpuNow();
    auto start = std::chrono::steady_clock::now();
    work();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu = CpuNow() - cpuStart;
    return wall;
}

class QuietPrompt final : public plat::ui::IPrompt {
  public:
    plat::ui::MsgAnswer message(const plat::ui::MessageRequest& r) override {
        std::fprintf(stderr, "message: %s\n", r.text.c_str());
        return plat::ui::MsgAnswer::Ok;
    }
    std::optional<std::string> choose_open_file(const plat::ui::FileRequest&) override { return {}; }
    std::optional<std::string> choose_save_file(const plat::ui::FileRequest&) override { return {}; }
    std::optional<std::string> choose_folder(const plat::ui::FolderRequest&) override { return {}; }
    int32_t run_modal(plat::ui::IModalDialog&) override { return 0; }
    bool open_url(const std::string&) override { return false; }
};

std::vector<kld::ActionRecord> Records(int n) {
    std::vector<kld::ActionRecord> records;
    for (int i = 0; i < n; ++i) {
        kld::ActionRecord r = kld::ZeroedRecord();
        r.ActionType = kld::action::InstallFile;
        r.IsGroup = i % 10 == 0;
        r.SourceFolder = "/build/bin" + std::to_string(i / 10);
        r.SourcePath = "file" + std::to_string(i) + ".dll";
        r.FileSize = 1000 * i;
        r.VersionHigh = 1, r.VersionLow = i;
        r.Destinations[0].FolderType = 1;
        r.Destinations[0].Path = "%PRODUCT%";
        records.push_back(r);
    }
    return records;
}

} // namespace

int main(int argc, char** argv) {
    int actions = 9999;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--actions")) actions = std::atoi(argv[i + 1]);
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const auto root = std::filesystem::temp_directory_path() / ("bench_designer." + std::to_string(getpid()));
    std::filesystem::create_directories(root);
    setenv("KL_MACHINE_ROOT", root.c_str(), 1);
    QApplication app(argc, argv);
    if (plat::call_library_registration(KL_VINCA5_PATH, false) != plat::S_OK) {
        std::fprintf(stderr, "cannot register the control\n");
        return 1;
    }

    plat::forms::ControlHost window;
    window.resize(800, 600);
    window.show();
    plat::ComPtr<plat::IDispatch> list = window.create(kld::kTreeListClassId);
    kld::CHostSite site;
    plat::ComPtr<plat::IDispatch> buffer = site.Create(kld::kTreeListClassId);
    if (!list || !buffer) {
        std::fprintf(stderr, "cannot create the control\n");
        return 1;
    }
    kld::CDispatchActionTree tree(list.get());
    kld::CActionDisplay display(list.get());
    kld::CDescriptionFile file(site, buffer.get());
    kld::CDescriptionBridge bridge(display, file);
    kl_bench::QuietHost host;
    QuietPrompt prompt;
    kld::Designer d(kld::DesignerServices{host, prompt, tree, bridge});
    d.ActionListViewStyle = 1;

    // The document saved once, the list built from the records.
    d.Actions = Records(actions);
    d.ActionCount = static_cast<int16_t>(actions);
    display.FillOperationsTree(d);
    const std::string path = (root / "large.kld").string();
    bridge.StoreDescriptionInTree(d);
    if (!bridge.SaveTreeToFile(d, path)) {
        std::fprintf(stderr, "cannot save %s\n", path.c_str());
        return 1;
    }

    double openCpu = 0, refillCpu = 0, widgetCpu = 0;
    const double open = Seconds(
        [&] {
            d.OpenDocument(path);
            QApplication::processEvents();
        },
        openCpu);
    const int32_t items = tree.ListCount();
    // The refill alone, on the list emptied again.
    const double refill = Seconds(
        [&] {
            tree.Clear();
            display.FillOperationsTree(d);
            QApplication::processEvents();
        },
        refillCpu);

    QTreeWidget peer;
    peer.resize(800, 600);
    peer.show();
    const double widget = Seconds(
        [&] {
            peer.setUpdatesEnabled(false);
            QTreeWidgetItem* group = nullptr;
            for (const kld::ActionRecord& r : d.Actions) {
                const kld::OperationFace face = kld::FaceOf(r);
                if (r.IsGroup)
                    group = new QTreeWidgetItem(&peer, QStringList(QString::fromStdString(face.text)));
                else if (group)
                    new QTreeWidgetItem(group, QStringList(QString::fromStdString(face.text)));
            }
            peer.expandAll();
            peer.setUpdatesEnabled(true);
            QApplication::processEvents();
        },
        widgetCpu);

    std::printf("open and refill %d actions (%d items): %.3f s (processor %.3f s)\n", actions, items, open,
                openCpu);
    std::printf("of which the refill alone:              %.3f s (processor %.3f s)\n", refill, refillCpu);
    std::printf("QTreeWidget with the same texts:        %.3f s (processor %.3f s)\n", widget, widgetCpu);
    std::printf("ratio to the peer: %.2f; by processor time %.2f\n", widget > 0 ? open / widget : 0.0,
                widgetCpu > 0 ? openCpu / widgetCpu : 0.0);
    list.reset();
    buffer.reset();
    window.release();
    site.ReleaseAll();
    std::filesystem::remove_all(root);
    return 0;
}
