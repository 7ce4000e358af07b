// The switch table, one argument list per row, checked against every field
// the switches can touch.
#include <gtest/gtest.h>

#include "client/ui/command_line.h"

namespace {

struct Fields {
    std::string backup_folder{"%PRODUCT%"};
    std::string server_list_file{"KLClient.INI"};
    std::string server_url;
    std::string server_name;
    std::string log_file{"KLClient.LOG"};
    std::string product_filter;
    std::string update_filter{"kept"};
    int32_t timeout = 7;
    int32_t automatic = 0;
    int32_t log_level = 2;
    int32_t backup_mode = 0;
    std::string final_program;
    std::string script;
    int32_t settings_button = 1;
    bool operator==(const Fields&) const = default;
};

void PrintTo(const Fields& f, std::ostream* os) {
    *os << "{backup_folder=" << f.backup_folder << " ini=" << f.server_list_file << " url=" << f.server_url
        << " name=" << f.server_name << " log_file=" << f.log_file << " product=" << f.product_filter
        << " update=" << f.update_filter << " timeout=" << f.timeout << " auto=" << f.automatic
        << " log=" << f.log_level << " backup=" << f.backup_mode << " run=" << f.final_program
        << " script=" << f.script << " settings=" << f.settings_button << "}";
}

Fields Parse(const std::vector<std::string>& args) {
    klc::CClientContext ctx;
    ctx.update_filter = "kept";
    klc::ConnectionSettings conn;
    conn.request_timeout = 7;
    klc::ParseCommandLine(args, ctx, conn);
    return {ctx.backup_folder,  ctx.server_list_file, ctx.current_server.url, ctx.current_server.name,
            ctx.log_file,       ctx.product_filter,   ctx.update_filter,      conn.request_timeout,
            ctx.automatic_mode, ctx.log_level,        ctx.backup_mode,        ctx.final_program,
            ctx.script_text,    ctx.settings_button};
}

struct Row {
    std::vector<std::string> args;
    void (*expect)(Fields&);
};

TEST(ClientCommandLine, SwitchTable) {
    const Row rows[] = {
        // Every spelling of automatic mode; a value is ignored.
        {{"/AUTO"}, [](Fields& f) { f.automatic = 1; }},
        {{"-auto"}, [](Fields& f) { f.automatic = 1; }},
        {{"--auto"}, [](Fields& f) { f.automatic = 1; }},
        {{"AUTO"}, [](Fields& f) { f.automatic = 1; }},
        {{"AUTO=0"}, [](Fields& f) { f.automatic = 1; }},
        {{"AUTOX"}, [](Fields&) {}},
        {{"", "/", "UNKNOWN=1"}, [](Fields&) {}},
        // Longer names are met first: BACKUPDIR before BACKUP, LOGFILE before LOG.
        {{"BACKUPDIR=/b"}, [](Fields& f) { f.backup_folder = "/b"; }},
        {{"BACKUPDIR"}, [](Fields& f) { f.backup_folder = ""; }},
        {{"BACKUP=1"}, [](Fields& f) { f.backup_mode = 1; }},
        {{"BACKUP"}, [](Fields&) {}},
        {{"LOGFILE=x.log"}, [](Fields& f) { f.log_file = "x.log"; }},
        {{"LOG=3"}, [](Fields& f) { f.log_level = 3; }},
        {{"LOG=0"}, [](Fields& f) { f.log_level = 0; }},
        {{"LOG"}, [](Fields&) {}},
        {{"log:1"}, [](Fields& f) { f.log_level = 1; }},
        // Numbers as strtol with base 0 reads them.
        {{"TIMEOUT=5000"}, [](Fields& f) { f.timeout = 5000; }},
        {{"TIMEOUT=0x10"}, [](Fields& f) { f.timeout = 16; }},
        {{"TIMEOUT=010"}, [](Fields& f) { f.timeout = 8; }},
        {{"TIMEOUT=12abc"}, [](Fields& f) { f.timeout = 12; }},
        {{"TIMEOUT=0"}, [](Fields&) {}},
        {{"TIMEOUT=abc"}, [](Fields&) {}},
        {{"TIMEOUT"}, [](Fields&) {}},
        // The value keeps its case as typed.
        {{"iniFile=My.INI"}, [](Fields& f) { f.server_list_file = "My.INI"; }},
        {{"INFFILE=http://h/Products.INF"},
         [](Fields& f) { f.server_url = f.server_name = "http://h/Products.INF"; }},
        {{"PRODUCT=Editor,Main Update"},
         [](Fields& f) {
             f.product_filter = "Editor";
             f.update_filter = "Main Update";
         }},
        {{"PRODUCT=Editor"}, [](Fields& f) { f.product_filter = "Editor"; }},
        {{"PRODUCT=,Main"},
         [](Fields& f) {
             f.product_filter = "";
             f.update_filter = "Main";
         }},
        {{"PRODUCT=a,b,c"},
         [](Fields& f) {
             f.product_filter = "a";
             f.update_filter = "b,c";
         }},
        {{"PRODUCT="}, [](Fields&) {}},
        {{"PRODUCTS=x"}, [](Fields&) {}},
        {{"RUN=prog arg"}, [](Fields& f) { f.final_program = "prog arg"; }},
        {{"SCRIPT=x"}, [](Fields& f) { f.script = "x"; }},
        {{"WORKDIR=/w"}, [](Fields&) {}},
        // Only a value other than "0" keeps the Settings button.
        {{"NOSETTINGS"}, [](Fields& f) { f.settings_button = 0; }},
        {{"NOSETTINGS=0"}, [](Fields& f) { f.settings_button = 0; }},
        {{"NOSETTINGS=1"}, [](Fields&) {}},
        {{"NOSETTINGS=no"}, [](Fields&) {}},
        // Later arguments win.
        {{"LOG=1", "LOG=3"}, [](Fields& f) { f.log_level = 3; }},
    };
    for (const Row& row : rows) {
        Fields expected;
        row.expect(expected);
        EXPECT_EQ(Parse(row.args), expected) << "arguments: " << testing::PrintToString(row.args);
    }
}

TEST(ClientCommandLine, HelpIsRecognised) {
    EXPECT_TRUE(klc::WantsHelp({"AUTO", "--help"}));
    EXPECT_FALSE(klc::WantsHelp({"AUTO", "HELP"}));
    EXPECT_NE(klc::HelpText().find("INFFILE"), std::string::npos);
}

} // namespace
