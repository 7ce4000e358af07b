// The "Properties..." verb and the designer it starts: the control made by
// class id from the registered library in a host widget, a stand-in designer
// program that follows a script, the prompt answered by a script, the
// registry and the temporary files looked at directly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QThread>
#include <QtWidgets/QApplication>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/com/ole.h"
#include "platform/config/registry.h"
#include "platform/forms/control_host.h"
#include "platform/ui/beep.h"
#include "platform/ui/process_prompt.h"
#include "platform/ui/window_table.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

using plat::Variant;
namespace fs = std::filesystem;

namespace {

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");
constexpr const char* kKey = "SOFTWARE\\Marovia\\Vinca\\5.0\\VincaDesigner";
constexpr const char* kChooser = "Open VincaDesigner application";
constexpr const char* kNotFound = "Could not find VincaDesigner application.";
constexpr const char* kDoubt =
    "The application you selected doesn't seem valid for working with Vinca5 control.\n"
    "Do you really wish to use it?";

class DesignerLink : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        // Temporary files and the handler socket land in this test's folder.
        setenv("TMPDIR", tmp.str().c_str(), 1);
        plat::ui::SetProcessPrompt(&prompt);
        plat::ui::SetBeepHandler([this] { ++beeps; });
        host.resize(240, 160);
        host.show();
        ctl = host.create(kControl);
        ASSERT_TRUE(ctl);
        ASSERT_EQ(ctl->QueryInterface(plat::IOleObject::kIID, ole.put_void()), plat::S_OK);
    }
    void TearDown() override {
        ole.reset();
        ctl.reset();
        host.release();
        plat::ui::SetBeepHandler(nullptr);
        plat::ui::SetProcessPrompt(nullptr);
        unsetenv("TMPDIR");
        prompt.verify_done();
    }

    void call(std::string_view name, std::initializer_list<Variant> args = {}) {
        Variant v;
        plat::CallError e;
        std::vector<Variant> a(args);
        EXPECT_EQ(plat::dispatch_call(ctl.get(), name, a, &v, &e), plat::S_OK) << name << ": " << e.number;
    }
    int32_t count() {
        Variant v;
        EXPECT_EQ(plat::dispatch_get(ctl.get(), "ListCount", v), plat::S_OK);
        return v.to_i4();
    }
    void add(std::string_view text) { call("AddItem", {Variant(text)}); }

    static void set_stored_path(const std::string& path) {
        plat::registry().set_string(plat::Hive::LocalMachine, kKey, "Path", path);
    }
    static std::string stored_path() {
        return plat::registry().get_string(plat::Hive::LocalMachine, kKey, "Path", "<none>");
    }

    // The stand-in's script for its next start, one step a line.
    void script(const std::string& steps) { std::ofstream(tmp / "stub-designer.script") << steps; }
    std::vector<std::string> log() {
        std::vector<std::string> lines;
        std::ifstream in(tmp / "stub-designer.log");
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }
    bool logged(const std::string& line) {
        for (const std::string& l : log())
            if (l == line) return true;
        return false;
    }
    // Runs the event loop (where the handler answers) until `done`.
    static bool pump_until(const std::function<bool()>& done, int ms = 30000) {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > ms) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        return true;
    }
    void release_step(const std::string& name) { std::ofstream(tmp / name) << "go"; }
    std::string temp_of_run() {
        for (const std::string& l : log())
            if (l.rfind("args 1999#", 0) == 0) return l.substr(l.find('#', 10) + 1);
        return {};
    }
    std::vector<std::string> files_named(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(tmp.path()))
            if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path().string());
        return out;
    }
    void verb() { EXPECT_EQ(ole->DoVerb(1, nullptr, nullptr, -1, 0, nullptr), plat::S_OK); }

    kltest::TempDir tmp;
    kltest::ScriptedPrompt prompt;
    int beeps{0};
    plat::forms::ControlHost host;
    plat::ComPtr<plat::IDispatch> ctl;
    plat::ComPtr<plat::IOleObject> ole;
};

// A whole run: the request on the command line, the designer disabling the
// form, applying its data while it works, a second launch that only beeps,
// then finishing: the data is loaded, the file goes, the form comes back.
TEST_F(DesignerLink, RunAppliesAndTakesBackTheDesignersData) {
    add("one");
    add("two");
    add("three");
    const std::string edited = (tmp / "edited.dat").string();
    call("SaveData", {Variant(std::string_view(edited))});
    call("Clear");
    add("one");
    ASSERT_EQ(count(), 1);

    set_stored_path(KL_STUB_DESIGNER);
    script("send 0x453 2 0\nwait " + (tmp / "go1").string() + "\ncopy " + edited + "\nsend 0x451 0 0\nwait " +
           (tmp / "go2").string() + "\nsend 1104 0 0\n");
    verb();
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x453 0"); }));

    // The request: 1999, the handler's window number, the data file.
    const std::vector<std::string> lines = log();
    ASSERT_FALSE(lines.empty());
    const std::string args = lines[0];
    const size_t hash = args.find('#', 10);
    const uint32_t handler = static_cast<uint32_t>(std::stoul(args.substr(10, hash - 10)));
    QWidget* window = plat::ui::WindowFromHandle(handler);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(fs::exists(tmp / ("vinca-designer-" + std::to_string(handler))));
    const std::string temp = temp_of_run();
    EXPECT_EQ(fs::path(temp).parent_path(), tmp.path());
    EXPECT_EQ(fs::path(temp).filename().string().rfind("VNT", 0), 0u) << temp;
    struct stat st {};
    ASSERT_EQ(::stat(temp.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_GT(st.st_size, 16);
    EXPECT_FALSE(host.isEnabled());

    // While it works a second launch beeps and starts nothing.
    verb();
    EXPECT_EQ(beeps, 1);

    release_step("go1");
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x451 0"); }));
    EXPECT_EQ(count(), 3);
    EXPECT_TRUE(fs::exists(temp));
    EXPECT_FALSE(host.isEnabled());

    release_step("go2");
    ASSERT_TRUE(pump_until([&] { return logged("answer 1104 0"); }));
    EXPECT_EQ(count(), 3);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(host.isEnabled());

    // The run is over: the verb starts the designer again.
    fs::remove(tmp / "stub-designer.log");
    fs::remove(tmp / "stub-designer.script");
    verb();
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x452 0"); }));
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(files_named("VNT").empty());
}

// Discarding leaves the control as it was; housekeeping 1 forgets the stored
// path, other kinds do nothing; lines that are no request close the line.
TEST_F(DesignerLink, DiscardAndHousekeeping) {
    add("kept");
    set_stored_path(KL_STUB_DESIGNER);
    const std::string junk = (tmp / "junk.dat").string();
    std::ofstream(junk) << "not the control's data";
    script("copy " + junk + "\nsend 0x453 7 0\nraw 0x450 0\nraw " + std::string(70, '1') +
           "\nsend 0x453 1 0\nsend 0x452 0 0\n");
    verb();
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x452 0"); }));
    const std::vector<std::string> lines = log();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              (std::vector<std::string>{"answer 0x453 0", "closed raw", "closed raw", "answer 0x453 0",
                                        "answer 0x452 0"}));
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(stored_path(), "<none>");
    EXPECT_TRUE(files_named("VNT").empty());
    EXPECT_TRUE(host.isEnabled());
}

// A file that does not load is kept with the run, and the designer hears
// why; it may then discard.
TEST_F(DesignerLink, FailedLoadKeepsTheFileAndAnswersItsStatus) {
    add("kept");
    set_stored_path(KL_STUB_DESIGNER);
    const std::string junk = (tmp / "junk.dat").string();
    std::ofstream(junk) << "not the control's data";
    script("send 0x453 2 0\ncopy " + junk + "\nsend 0x450 0 0\nwait " + (tmp / "go").string() +
           "\nsend 0x452 0 0\n");
    verb();
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x450 4"); }));
    const std::string temp = temp_of_run();
    EXPECT_TRUE(fs::exists(temp));
    EXPECT_EQ(count(), 1);
    EXPECT_FALSE(host.isEnabled());
    verb();
    EXPECT_EQ(beeps, 1);

    release_step("go");
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x452 0"); }));
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(host.isEnabled());
}

// A designer that ends without finishing ends the run as a discard would.
TEST_F(DesignerLink, DesignerEndingMidRunEndsTheRun) {
    set_stored_path(KL_STUB_DESIGNER);
    for (const char* end : {"die", "exit 0"}) {
        SCOPED_TRACE(end);
        fs::remove(tmp / "stub-designer.log");
        script(std::string("send 0x453 2 0\n") + end + "\n");
        verb();
        ASSERT_TRUE(pump_until([&] { return logged("answer 0x453 0"); }));
        const std::string temp = temp_of_run();
        ASSERT_TRUE(pump_until([&] { return host.isEnabled() && !fs::exists(temp); }));
    }
    script("send 0x452 0 0\n");
    verb();
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x452 0"); }));
    EXPECT_EQ(beeps, 0);
}

// The control going mid-run ends it too: the form is enabled, the file and
// the handler go.
TEST_F(DesignerLink, ControlGoingMidRunEndsTheRun) {
    set_stored_path(KL_STUB_DESIGNER);
    script("send 0x453 2 0\nwait " + (tmp / "go").string() + "\nsend 0x450 0 0\n");
    verb();
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x453 0"); }));
    const std::string temp = temp_of_run();
    ASSERT_FALSE(host.isEnabled());
    ASSERT_EQ(files_named("vinca-designer-").size(), 1u);

    ole.reset();
    ctl.reset();
    host.release();
    EXPECT_TRUE(host.isEnabled());
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(files_named("vinca-designer-").empty());
    release_step("go");
    ASSERT_TRUE(pump_until([&] { return logged("closed 0x450"); }));
}

// A stored path that does not start shows string 121 and asks for the
// program; a cancelled chooser ends the launch, leaving no file behind.
TEST_F(DesignerLink, FailedStartShowsNotFoundAndAsksForTheProgram) {
    set_stored_path((tmp / "gone" / "VincaDesign5").string());
    prompt.expect_message(kNotFound);
    prompt.expect_open(kChooser, std::nullopt);
    verb();
    EXPECT_EQ(prompt.pending(), 0u);
    EXPECT_TRUE(files_named("VNT").empty());
    EXPECT_EQ(beeps, 0);
}

// A program chosen by the name the designer has is taken without a question
// and stored once it started; the chooser shows every file.
TEST_F(DesignerLink, ChosenDesignerIsStored) {
    const std::string designer = (tmp / "VincaDesign5").string();
    fs::create_symlink(KL_STUB_DESIGNER, designer);
    prompt.expect_open(kChooser, designer);
    verb();
    ASSERT_TRUE(pump_until([&] { return logged("answer 0x452 0"); }));
    EXPECT_EQ(stored_path(), designer);
    const auto seen = prompt.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].file.filter_index, 2);
    EXPECT_NE(seen[0].file.filter.find("All Files (*)|*"), std::string::npos) << seen[0].file.filter;
}

// Another name brings the question, No first: No ends the launch with
// nothing started or stored, Yes goes on with the program.
TEST_F(DesignerLink, OtherProgramNameAsksFirst) {
    struct Case {
        plat::ui::MsgAnswer answer;
        bool starts;
    };
    for (const Case& c : {Case{plat::ui::MsgAnswer::No, false}, Case{plat::ui::MsgAnswer::Yes, true}}) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        fs::remove(tmp / "stub-designer.log");
        prompt.expect_open(kChooser, std::string(KL_STUB_DESIGNER));
        kltest::ExpectedPrompt doubt;
        doubt.match = kDoubt;
        doubt.answer = c.answer;
        doubt.check = [](const plat::ui::MessageRequest& r) {
            EXPECT_EQ(r.buttons, plat::ui::MsgButtons::YesNo);
            EXPECT_EQ(r.default_button, 1);
        };
        prompt.expect(doubt);
        verb();
        EXPECT_EQ(prompt.pending(), 0u);
        if (c.starts) {
            ASSERT_TRUE(pump_until([&] { return logged("answer 0x452 0"); }));
            EXPECT_EQ(stored_path(), KL_STUB_DESIGNER);
        } else {
            EXPECT_TRUE(log().empty());
            EXPECT_EQ(stored_path(), "<none>");
            EXPECT_TRUE(files_named("VNT").empty());
        }
    }
}

} // namespace
