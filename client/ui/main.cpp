// KLClient: finds, downloads and installs the updates a server offers.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

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

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> raw(argv + 1, argv + argc);
    // Before any window-system start, so it works without a display.
    if (klc::WantsHelp(raw)) {
        std::fputs(klc::HelpText().c_str(), stdout);
        return 0;
    }
    bool automatic = AskedForAutomaticMode(argc, argv);
    if (automatic) qInstallMessageHandler(QuietMessages);
    // Unattended runs from cron, ssh or a timer have no display.
    if (automatic && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv); // takes Qt's own options out first
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
