#include "client/ui/help_texts.h"

#include "client/ui/artwork.h"

namespace klc {
namespace {

struct HelpEntry {
    int id;
    const char* text;
};

// One row per control, ended by 0.
constexpr HelpEntry kHelp[] = {
    {1002, "The server whose updates are checked. \"Specified URL...\" adds a server for this run."},
    {1004, "What the server list file says about the servers."},
    {1010, "The products and updates the server offers. Check the updates to install."},
    {1042, "Shows what is new in the selected update."},
    {1006, "How much of the current file has arrived."},
    {1050, "How much of all the updates has arrived."},
    {1016, "What the vendor tells about the updates."},
    {1037, "The log of this run."},
    {1054, "The folder where downloaded files are kept until they are installed."},
    {1058, "Choose the working folder."},
    {1060, "Files replaced by an update are not kept."},
    {1061, "Files replaced by an update are kept until the update succeeded."},
    {1062, "Files replaced by an update are always kept in the backup folder."},
    {1063, "The folder where replaced files are kept."},
    {1043, "Choose the backup folder."},
    {1057, "No log is written."},
    {1029, "The log holds results and errors."},
    {1030, "The log also holds each step."},
    {1059, "The log holds every detail."},
    {1033, "The log file; a name without a folder is kept in the product folder."},
    {1034, "Choose the log file."},
    {1027, "Use passive mode for FTP servers behind a firewall."},
    {1038, "Seconds a transfer may go without progress before it is given up; 0 uses one minute."},
    {1020, "Connect to servers directly."},
    {1055, "Use the proxy the system is set up with."},
    {1021, "Use the proxy servers given below."},
    {1022, "The proxy for FTP servers."},
    {1023, "The port of the FTP proxy."},
    {1024, "The proxy for HTTP servers."},
    {1025, "The port of the HTTP proxy."},
    {1026, "The user name for the FTP proxy."},
    {1028, "The password for the FTP proxy."},
    {1031, "The user name for the HTTP proxy."},
    {1032, "The password for the HTTP proxy."},
    {0, nullptr},
};

} // namespace

QString WhatsThisText(int control_id) {
    for (const HelpEntry* e = kHelp; e->id; ++e)
        if (e->id == control_id) return QString::fromUtf8(e->text);
    return {};
}

void ApplyWhatsThis(QWidget* root) {
    for (const HelpEntry* e = kHelp; e->id; ++e)
        if (auto* w = FindControl<QWidget>(root, e->id)) w->setWhatsThis(QString::fromUtf8(e->text));
}

} // namespace klc
