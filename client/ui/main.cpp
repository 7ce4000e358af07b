// KLClient: finds, downloads and installs the updates a server offers.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client/ui/app.h"
#include "client/ui/command_line.h"
#include "platform/ui/qt_prompt.h"

namespace {

bool AskedForAutomaticMode(int argc, char** argv) {
    klc::CClientContext probe;
    klc::ConnectionSettings run;
    for (int i = 1; i < argc; ++i)
        klc::ParseParam(argv[i], probe, run);
    return probe.automatic_mode != 0;
}

// Unattended runs keep their standard error for what the run has to say:
// the window system's notes on the offscreen platform are dropped.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Why the wizard cannot open, told on standard error instead of ending in
// the window system's abort.
constexpr int kNoDisplayStatus = 2;
std::vector<std::string> g_arguments;

void ExplainNoDisplay(const char* reason) {
    std::fprintf(stderr, "KLClient: the wizard cannot open: %s.\n", reason);
    std::vector<std::string> unknown = klc::UnknownArguments(g_arguments);
    if (!unknown.empty()) {
        std::string list;
        for (const std::string& a : unknown)
            list += (list.empty() ? "" : ", ") + a;
        std::fprintf(stderr, "KLClient: these arguments match no switch and were ignored: %s.\n", list.c_str());
    }
    std::fputs("KLClient: run with AUTO for an unattended run, which needs no display; --help lists the "
               "switches.\n",
               stderr);
}

// While the window system starts: a display that cannot be reached is a
// fatal message of the platform plugin; it is explained, and the program
// ends with its own status instead of aborting.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (type != QtFatalMsg) return;
    const char* display = std::getenv("DISPLAY");
    std::string reason = std::string("the display ") + (display ? display : "") + " could not be opened";
    ExplainNoDisplay(reason.c_str());
    std::fflush(stderr);
    std::_Exit(kNoDisplayStatus);
}

bool HaveDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> raw(argv + 1, argv + argc);
    // Before any window-system start, so it works without a display.
    if (klc::WantsHelp(raw)) {
        std::fputs(klc::HelpText().c_str(), stdout);
        return 0;
    }
    g_arguments = raw;
    bool automatic = AskedForAutomaticMode(argc, argv);
    if (automatic) {
        qInstallMessageHandler(QuietMessages);
        // Unattended runs from cron, ssh or a timer have no display.
        if (!HaveDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else {
        // The wizard waits for a person: offscreen nobody could answer it.
        if (!HaveDisplay()) {
            ExplainNoDisplay("no display is set (DISPLAY and WAYLAND_DISPLAY are empty)");
            return kNoDisplayStatus;
        }
        qInstallMessageHandler(StartupMessages);
    }
    QApplication app(argc, argv); // takes Qt's own options out first
    if (!automatic) qInstallMessageHandler(nullptr);
    std::vector<std::string> arguments;
    const QStringList list = QApplication::arguments();
    for (qsizetype i = 1; i < list.size(); ++i)
        arguments.push_back(list[i].toStdString());

    klc::CClientContext& ctx = klc::ClientContext();
    plat::ui::QtPrompt qt_prompt;
    klc::UnattendedPrompt unattended;
    plat::ui::IPrompt& prompt = automatic ? static_cast<plat::ui::IPrompt&>(unattended) : qt_prompt;
    klc::SystemRestarter restarter;
    klc::SteadyClock clock;
    klc::CClientApp client(ctx, prompt, restarter, clock);
    return client.Run(arguments);
}
