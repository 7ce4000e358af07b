// A vendor's piece of work from the first key to the user's installed files.
// KLDesigner runs as a child process on the private X display and gets real
// keys and clicks only: menus by their access keys, choosers answered with
// typed names and paths, one drag in the action list. What the test knows of the window
// it learns as a person does, from the screen; where a control stands it reads
// from the same form laid out by the same code, never shown. Then nginx serves
// what Prepare made and KLClient installs it unattended.
#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "platform/com/loader.h"
#include "platform/config/ini.h"
#include "real_list_rig.h"
#include "support/gui/x_input.h"
#include "support/servers.h"

// Last: its macros would spoil the headers above.
#include <X11/Xlib.h>
#undef Success

namespace x = kltest::x;
namespace fs = std::filesystem;

namespace {

// --- the screen as the X server shows it -----------------------------------------

Display* XDisplay() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
}

struct TopWindow {
    Window id = 0;
    QRect rect; // on the screen
    std::string title;
};

// The mapped top-level windows, bottom to top. There is no window manager:
// the programs' windows are the root's own children.
std::vector<TopWindow> TopWindows() {
    Display* d = XDisplay();
    XSync(d, False);
    Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
    unsigned count = 0;
    std::vector<TopWindow> out;
    if (!XQueryTree(d, root, &root, &parent, &children, &count)) return out;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable || a.width < 40 ||
            a.height < 40)
            continue;
        std::string title;
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) && name) {
            title = name;
            XFree(name);
        }
        out.push_back({children[i], QRect(a.x, a.y, a.width, a.height), title});
    }
    if (children) XFree(children);
    return out;
}

// The window that gets the keys.
Window KeyboardWindow() {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(XDisplay(), &focus, &revert);
    return focus;
}

// Waits until the topmost window is one that `wanted` accepts and, unless
// it is a pop-up, has the keyboard.
std::optional<TopWindow> WaitForTop(const std::function<bool(const TopWindow&)>& wanted, int ms = 60000,
                                    bool popup = false) {
    QElapsedTimer clock;
    clock.start();
    do {
        const std::vector<TopWindow> tops = TopWindows();
        if (!tops.empty() && wanted(tops.back()) && (popup || KeyboardWindow() == tops.back().id)) {
            x::settle(150);
            return tops.back();
        }
        x::settle(50);
    } while (clock.elapsed() < ms);
    return std::nullopt;
}

QImage Grab(const QRect& r) {
    x::settle();
    return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
}

// Rows of `shot` that carry a selected item's highlight, as [first, last].
std::optional<std::pair<int, int>> HighlightRows(const QImage& shot, int* left = nullptr) {
    int first = -1, last = -1, min_x = shot.width();
    for (int y = 0; y < shot.height(); ++y) {
        int blue = 0, row_left = shot.width();
        for (int x0 = 0; x0 < shot.width(); ++x0) {
            const QColor c = shot.pixelColor(x0, y);
            if (c.blue() > 150 && c.blue() - c.red() > 80) {
                ++blue;
                row_left = std::min(row_left, x0);
            }
        }
        // A picture has a few blue pixels; a highlighted text a band of them.
        if (blue >= 20) {
            if (first < 0) first = y;
            last = y;
            min_x = std::min(min_x, row_left);
        }
    }
    if (first < 0) return std::nullopt;
    if (left) *left = min_x;
    return std::make_pair(first, last);
}

// --- where the designer's controls stand ------------------------------------------

// The designer's main form with a new description, laid out by its own code
// at the program's window size and in the program's font, never shown.
class FormMap {
  public:
    explicit FormMap(QSize size) : m_font(QApplication::font()) {
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
        m_rig = std::make_unique<kldtest::UiRig>();
        m_rig->d.InitGlobals(m_rig->dir.str());
        m_rig->main.cmdNew_Click();
        QWidget* window = m_rig->main.form().window();
        window->setAttribute(Qt::WA_DontShowOnScreen);
        window->show();
        window->resize(size);
        QApplication::processEvents();
    }
    ~FormMap() {
        m_rig.reset();
        QApplication::setFont(m_font);
    }
    // A control's rectangle in its window with `tab` in front.
    QRect Rect(int16_t tab, const char* name, int32_t index = -1) {
        m_rig->main.ShowTab(tab);
        QApplication::processEvents();
        plat::forms::Control* c = m_rig->main.form().Find(name, index);
        if (!c) return {};
        QWidget* w = c->widget();
        return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    }

  private:
    QFont m_font;
    std::unique_ptr<kldtest::UiRig> m_rig;
};

// --- the program ------------------------------------------------------------------

constexpr const char* kTitle = "Marovia Kestrelite Designer";

class DesignerProgram {
  public:
    DesignerProgram(const fs::path& folder, const QStringList& args) {
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.setWorkingDirectory(QString::fromStdString(folder.string()));
        // The run checks what the program does and how it ends, not what
        // stays allocated at its end: Qt's session bus thread, caught half
        // started by a quick exit, may leave a few hundred bytes that would
        // turn the exit status into 1. Memory errors still end it with 1, and
        // the designer's own code is leak-checked by the in-process window
        // tests.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(KLD_PROGRAM_PATH), args);
    }
    ~DesignerProgram() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    bool WaitForWindow() {
        if (!m_process.waitForStarted(10000)) return false;
        auto top = WaitForTop(
            [](const TopWindow& w) { return w.title.rfind(kTitle, 0) == 0 && w.rect.width() > 400; });
        if (!top) return false;
        main = *top;
        x::settle(500);
        return true;
    }
    // Waits until the main window is in front again (a dialog closed).
    bool Front() {
        return WaitForTop([this](const TopWindow& w) { return w.id == main.id; }).has_value();
    }
    // A dialog or message box over the main window.
    std::optional<TopWindow> Dialog(const std::string& title = {}) {
        return WaitForTop(
            [&](const TopWindow& w) { return w.id != main.id && (title.empty() || w.title == title); });
    }
    bool Ended(int* status) {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(60000)) return false;
        *status = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        return true;
    }
    QPoint Global(QPoint in_window) const { return main.rect.topLeft() + in_window; }

    TopWindow main;

  private:
    QProcess m_process;
};

void Alt(Qt::Key k) {
    x::key(k, Qt::AltModifier);
    x::settle(150);
}
void Key(Qt::Key k, Qt::KeyboardModifiers mods = {}) {
    x::key(k, mods);
    x::settle(100);
}
void Type(const std::string& text) {
    x::type(QString::fromStdString(text));
}

// Types a path into the chooser titled `title` and confirms it once the
// chooser offers the name in its completion list, as a person reads what was
// typed before pressing Return. The chooser looks names up in the
// background; a Return that came too early for it leaves it open with an
// empty name, and the person types the path again.
void Choose(DesignerProgram& p, const std::string& title, const fs::path& path) {
    std::optional<TopWindow> chooser = p.Dialog(title);
    ASSERT_TRUE(chooser) << "no chooser \"" << title << "\"";
    for (int attempt = 0; attempt < 3; ++attempt) {
        Key(Qt::Key_A, Qt::ControlModifier);
        Type(path.string());
        WaitForTop([&](const TopWindow& w) { return w.id != chooser->id; }, 5000, true);
        x::settle(300);
        Key(Qt::Key_Return);
        if (WaitForTop([&](const TopWindow& w) { return w.id == p.main.id; }, 10000)) return;
        // Typed again only into a chooser still on the screen; one that
        // closed slowly leaves the main window to come to the front.
        const std::vector<TopWindow> tops = TopWindows();
        if (std::none_of(tops.begin(), tops.end(), [&](const TopWindow& w) { return w.id == chooser->id; })) {
            if (p.Front()) return;
            break;
        }
    }
    x::save_shot(Grab(QGuiApplication::primaryScreen()->geometry()), "vendor-run-chooser-open");
    FAIL() << "the chooser \"" << title << "\" stayed open with " << path;
}

// The message box in front shows exactly `text` with `icon` and `buttons`:
// the program's box and one made here alike must look the same.
void ExpectMessage(DesignerProgram& p, const std::string& text, QMessageBox::Icon icon,
                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton default_button,
                   const std::string& shot) {
    std::optional<TopWindow> box = p.Dialog();
    ASSERT_TRUE(box) << "no message \"" << text << "\"";
    const QImage seen = Grab(box->rect);
    x::save_shot(seen, shot);
    const QFont font = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    QMessageBox made(icon, QString::fromLatin1(kTitle), QString::fromStdString(text), buttons);
    made.setDefaultButton(default_button);
    made.setAttribute(Qt::WA_DontShowOnScreen);
    made.show();
    QApplication::processEvents();
    const QImage expected = made.grab().toImage().convertToFormat(seen.format());
    made.hide();
    QApplication::setFont(font);
    ASSERT_EQ(seen.size(), expected.size()) << "another message than \"" << text << "\" (" << shot << ")";
    // The text's lines must match; the buttons' focus marks may differ.
    int64_t differ = 0;
    for (int y = 0; y < seen.height(); ++y)
        for (int x0 = 0; x0 < seen.width(); ++x0)
            differ += seen.pixel(x0, y) != expected.pixel(x0, y);
    if (differ * 50 >= int64_t(seen.width()) * seen.height()) {
        x::save_shot(expected, shot + "-expected");
        ADD_FAILURE() << "another message than \"" << text << "\": see " << shot << ".png";
    }
}

std::string PleaseCorrect(const std::string& what) {
    return what + ".\nPlease, correct information and try again.";
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TEST(VendorRun, DescribeFailPrepareFixSaveReopenPublishInstall) {
    if (!x::available()) GTEST_SKIP() << "no X server with XTest";
    if (!kltest::have_program("nginx")) GTEST_SKIP() << "nginx is not installed";
    ASSERT_EQ(plat::call_library_registration(KLD_VINCA5_PATH, false), plat::S_OK);

    kltest::TempDir dir;
    const fs::path src = dir / "src", out = dir / "out", kld = dir / "widget.kld";
    const std::map<std::string, std::string> sources = {
        {"A/readme.txt", "Read me first.\n"},   {"A/data.bin", kltest::payload(70000, 3)},
        {"B/tool.cfg", "[tool]\nmode=fast\n"},  {"B/notes.txt", "draft notes\n"},
        {"B/notes-final.txt", "final notes\n"},
    };
    for (const auto& [name, bytes] : sources)
        kltest::write_file(src / name, bytes);
    fs::create_directories(out);
    kltest::NginxServer nginx(out.string());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    const std::string web = "http://127.0.0.1:" + std::to_string(nginx.port());

    {
        SCOPED_TRACE("first session: a new description whose Prepare fails");
        DesignerProgram p(dir.path(), {});
        ASSERT_TRUE(p.WaitForWindow()) << "KLDesigner showed no window";
        FormMap map(p.main.rect.size());
        auto click = [&](int16_t tab, const char* name, int32_t index, QPoint at) {
            const QRect r = map.Rect(tab, name, index);
            ASSERT_FALSE(r.isNull()) << name;
            x::click(nullptr, p.Global(r.topLeft() + at));
        };

        // New description: the product name takes the keys at once.
        Key(Qt::Key_N, Qt::ControlModifier);
        x::settle(500);
        Type("Widget Suite");
        Key(Qt::Key_Tab);
        Type("Marovia Test");
        // Location tab by its access key: the keys follow into its fields.
        Alt(Qt::Key_L);
        Type(web);
        Key(Qt::Key_Tab);
        Type("widget.inf");
        Key(Qt::Key_Tab);
        Type(out.string());
        // The product's folder is the user's current one: no destination.
        Alt(Qt::Key_D);
        click(kld::tab::Destination, "optInstallPathType", 0, QPoint(8, 8));

        // Two install groups: folders chosen by typed paths, files by names.
        Alt(Qt::Key_A);
        auto add_group = [&](const fs::path& folder) {
            Alt(Qt::Key_E);
            Key(Qt::Key_G);
            Key(Qt::Key_I);
            Choose(p, "Select Source Folder", folder);
        };
        // The file chooser opens in the group's folder: the name will do.
        auto add_file = [&](const char* name) {
            Alt(Qt::Key_E);
            Key(Qt::Key_N);
            Key(Qt::Key_Return); // the caption of the only entry carries no access key
            Choose(p, "Select File", name);
        };
        ASSERT_NO_FATAL_FAILURE(add_group(src / "A"));
        ASSERT_NO_FATAL_FAILURE(add_file("readme.txt"));
        ASSERT_NO_FATAL_FAILURE(add_file("data.bin"));
        ASSERT_NO_FATAL_FAILURE(add_group(src / "B"));
        ASSERT_NO_FATAL_FAILURE(add_file("tool.cfg"));
        ASSERT_NO_FATAL_FAILURE(add_file("notes.txt"));

        // Rows of the list as the screen shows them: the selected one is
        // highlighted; the keys move the selection from the first row.
        const QRect list = map.Rect(kld::tab::ActionList, "vntOperations");
        ASSERT_FALSE(list.isNull());
        const QRect on_screen(p.Global(list.topLeft()), list.size());
        x::save_shot(Grab(on_screen), "vendor-run-action-list");
        x::click(nullptr, on_screen.topLeft() + QPoint(60, 9)); // the first row
        auto row = [&](int position) -> QPoint {
            Key(Qt::Key_Home);
            for (int k = 0; k < position; ++k)
                Key(Qt::Key_Down);
            int left = 0;
            auto band = HighlightRows(Grab(on_screen), &left);
            if (!band) return {};
            return on_screen.topLeft() + QPoint(left + 10, (band->first + band->second) / 2);
        };
        const QPoint readme = row(1), data = row(2), tool = row(4), notes = row(5);
        ASSERT_FALSE(readme.isNull() || data.isNull() || tool.isNull() || notes.isNull());
        ASSERT_LT(readme.y(), data.y());
        ASSERT_LT(tool.y(), notes.y());
        // An action stays in its group: a drag onto another group's action
        // is refused; within the group it moves the action.
        x::drag(nullptr, tool, readme);
        x::settle(300);
        x::drag(nullptr, data, readme);
        x::settle(300);
        x::save_shot(Grab(on_screen), "vendor-run-action-list-dragged");

        // A file gone before Prepare: the check names it and selects it.
        fs::remove(src / "B" / "notes.txt");
        Alt(Qt::Key_F);
        Key(Qt::Key_I);
        ExpectMessage(p,
                      "You have specified no product installation criteria.\n"
                      "This means that any Kestrelite client will be able to install this product on "
                      "his(her) computer.\nDo you want to allow install the product to any person ?",
                      QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                      "vendor-run-anyone");
        Key(Qt::Key_Y);
        ExpectMessage(p, PleaseCorrect("You specified an incorrect file name (file not found)"),
                      QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, "vendor-run-not-found");
        x::save_shot(Grab(QGuiApplication::primaryScreen()->geometry()), "vendor-run-failed-prepare");
        Key(Qt::Key_Return);
        ASSERT_TRUE(p.Front());
        {
            int left = 0;
            auto band = HighlightRows(Grab(on_screen), &left);
            ASSERT_TRUE(band);
            EXPECT_LE(band->first + on_screen.top(), notes.y());
            EXPECT_GE(band->second + on_screen.top(), notes.y())
                << "the missing file's action is not selected";
        }
        // The keyboard is on the panel's Browse button: choose the file
        // that replaces the missing one.
        Key(Qt::Key_Space);
        ASSERT_NO_FATAL_FAILURE(Choose(p, "Select File", "notes-final.txt"));
        x::save_shot(Grab(QGuiApplication::primaryScreen()->geometry()), "vendor-run-fixed");

        Key(Qt::Key_S, Qt::ControlModifier);
        ASSERT_NO_FATAL_FAILURE(Choose(p, "Save Update Description To File", kld));
        Alt(Qt::Key_F);
        Key(Qt::Key_X);
        int status = -1;
        ASSERT_TRUE(p.Ended(&status)) << "File > Exit did not end the program";
        EXPECT_EQ(status, 0);
    }
    // The edit went to the failing action and nowhere else; the drag moved
    // data.bin before readme.txt and left tool.cfg in its group.
    ASSERT_TRUE(fs::exists(kld));
    EXPECT_EQ(kldtest::SavedActionOrder(kld.string()), "A: data.bin readme.txt B: tool.cfg notes-final.txt");
    EXPECT_TRUE(fs::is_empty(out)) << "the failed Prepare touched the output folder";

    {
        SCOPED_TRACE("second session: the saved description prepared");
        DesignerProgram p(dir.path(), {QString::fromStdString(kld.string())});
        ASSERT_TRUE(p.WaitForWindow());
        Alt(Qt::Key_F);
        Key(Qt::Key_I);
        ASSERT_TRUE(p.Dialog());
        Key(Qt::Key_Y); // anyone may install it
        ExpectMessage(p,
                      "You are about to create update stuff and INF file in the '" + out.string() +
                          "' folder.\nThis operation can take some seconds.\nDo you want to proceed ?",
                      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                      "vendor-run-proceed");
        Key(Qt::Key_Y);
        ExpectMessage(
            p,
            "Product INF file was created successfully.\nPRODUCTS.INF file was created successfully.\n"
            "Update stuff was created successfully.\n\nAll the files are located in the '" +
                out.string() +
                "' update output folder.\n\nTo access created update via the Internet, do the "
                "following:\n\n1. Move product INF file and update stuff to the '" +
                web +
                "' Web folder.\n2. Copy lines from newly created PRODUCTS.INF file to your "
                "Web-located PRODUCTS.INF file.",
            QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, "vendor-run-prepared");
        Key(Qt::Key_Return);
        ASSERT_TRUE(p.Front());
        Alt(Qt::Key_F);
        Key(Qt::Key_X);
        int status = -1;
        ASSERT_TRUE(p.Ended(&status));
        EXPECT_EQ(status, 0);
    }
    plat::IniDocument inf;
    ASSERT_EQ(plat::IniDocument::load(out / "widget.inf", inf), plat::SysError::Success);
    EXPECT_EQ(inf.get_string("Common", "Name"), "Widget Suite");
    EXPECT_EQ(inf.get_string("Common", "Manufacturer"), "Marovia Test");
    EXPECT_EQ(inf.get_string("Common", "PathType"), "0") << "the destination chosen by the click";
    EXPECT_EQ(inf.get_string("File1", "FileName"), "data.bin") << "the dragged action comes first";
    EXPECT_EQ(inf.get_string("File4", "FileName"), "notes-final.txt");
    ASSERT_TRUE(fs::exists(out / "Products.INF"));

    // The user's machine: a server list naming the catalogue, an unattended run.
    const fs::path product = dir / "user" / "product", temp = dir / "user" / "temp";
    fs::create_directories(temp);
    kltest::write_file(product / "KLClient.INI",
                       "[Server1]\r\nName=Loopback\r\nINFFile=" + nginx.url("/Products.INF") + "\r\n");
    const std::string run = kltest::command_output(
        "cd " + Quote(product.string()) +
        " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KL_MACHINE_ROOT=" +
        Quote((kltest::machine_root() / "user").string()) + " TEMP=" + Quote(temp.string()) + " " +
        Quote(KLC_PROGRAM_PATH) + " AUTO LOG=3 >/dev/null 2>&1; echo $?");
    const std::string log = kltest::read_file(product / "KLClient.LOG");
    EXPECT_EQ(run, "0\n") << log;
    EXPECT_NE(log.find("Application was finished successfully."), std::string::npos) << log;
    for (const char* name : {"A/readme.txt", "A/data.bin", "B/tool.cfg", "B/notes-final.txt"}) {
        const fs::path installed = product / fs::path(name).filename();
        EXPECT_TRUE(kltest::read_file(installed) == sources.at(name)) << installed << "\n" << log;
    }
    EXPECT_FALSE(fs::exists(product / "notes.txt"));
}

} // namespace
