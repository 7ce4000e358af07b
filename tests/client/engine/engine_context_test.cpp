#include <gtest/gtest.h>

#include "client/engine/context.h"
#include "client/engine/errors.h"
#include "platform/config/registry.h"
#include "platform/sys/environment.h"
#include "support/temp_dir.h"

namespace {

using klc::CClientContext;

TEST(EngineRegistryPath, HivesSeparatorsAndDefaultValue) {
    auto& reg = plat::registry();
    reg.set_string(plat::Hive::CurrentUser, "Software\\App", "", "default-cu");
    reg.set_string(plat::Hive::CurrentUser, "Software\\App", "Name", "named-cu");
    reg.set_string(plat::Hive::Users, "Software\\App", "Name", "users");
    reg.set_string(plat::Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\{X}", "", "hkcr-default");

    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"HKCU/Software/App/@", "default-cu"},
        {"HKCU\\Software\\App\\(Default)", "default-cu"},
        {"hkey_current_user/Software/App/Name", "named-cu"},
        {"HKEY_USERS/Software/App/Name", "users"}, // its own hive, not the current user's
        {"HKCR/CLSID/{X}/@", "hkcr-default"},
        {"HKXX/Software/App/Name", ""}, // unknown hive: refused
        {"HKCU/Name", ""},              // one separator: unusable
        {"HKCU", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CClientContext::ReadRegistryText(c.path), c.expected) << c.path;

    EXPECT_FALSE(CClientContext::WriteRegistryText("HKXX/Software/App/Name", "x"));
    EXPECT_EQ(reg.get_string(plat::Hive::CurrentUser, "Software\\App", "Name"), "named-cu");
    EXPECT_TRUE(CClientContext::WriteRegistryText("HKLM/SOFTWARE/New/Key/Value", "v"));
    EXPECT_EQ(reg.get_string(plat::Hive::LocalMachine, "SOFTWARE\\New\\Key", "Value"), "v");
    EXPECT_TRUE(CClientContext::RegistryKeyExists("HKLM/SOFTWARE/New/Key/Whatever"));
    EXPECT_FALSE(CClientContext::RegistryKeyExists("HKLM/SOFTWARE/Missing/Whatever"));

    reg.set_dword(plat::Hive::LocalMachine, "SOFTWARE\\New", "Num", 0x00020003);
    reg.set_string(plat::Hive::LocalMachine, "SOFTWARE\\New", "Text", "1.2.3.4");
    EXPECT_EQ(CClientContext::ReadRegistryVersion("HKLM/SOFTWARE/New/Num"), 0x00020003u);
    EXPECT_EQ(CClientContext::ReadRegistryVersion("HKLM/SOFTWARE/New/Text"), 0x0001000200030004u);
}

TEST(EngineTexts, VersionsBuildsAndDates) {
    EXPECT_EQ(klc::ParseVersion("1.2.3.4"), 0x0001000200030004u);
    EXPECT_EQ(klc::ParseVersion("1,2,3,4"), 0x0001000200030004u);
    EXPECT_EQ(klc::ParseVersion("2"), 0x0002000000000000u);
    EXPECT_EQ(klc::ParseVersion("1.2.3.4.5"), 0x0001000200030004u);
    EXPECT_EQ(klc::ParseVersion("x.70000"), 0x0000117000000000u); // 70000 mod 65536
    EXPECT_EQ(klc::ParseBuild("20.7", klc::ParseVersion("5.1")), klc::ParseVersion("5.1.20.7"));
    EXPECT_EQ(klc::ParseBuild("7", klc::ParseVersion("5.1.3.3")), klc::ParseVersion("5.1.7.0"));

    auto date = [](const char* text) {
        auto ft = klc::ParseDate(text, false);
        plat::CalendarTime c;
        if (!ft || !plat::calendar_from_file_time(*ft, false, c)) return std::string("none");
        return plat::strprintf("%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                               c.second);
    };
    EXPECT_EQ(date("06/22/2001 14:05:00"), "2001-06-22 14:05:00");
    EXPECT_EQ(date("1/2/99"), "1999-01-02 00:00:00");
    EXPECT_EQ(date("1/2/49"), "2049-01-02 00:00:00");
    EXPECT_EQ(date("06.22.2001 14-05-09"), "2001-06-22 14:05:09");
    EXPECT_EQ(date("12/30/1899 00:00:00"), "none"); // the designer's "no date"
    EXPECT_EQ(date(""), "none");
    EXPECT_EQ(date("13/40/2001"), "none");
}

TEST(EngineLog, LevelsLineFormatAndResultLine) {
    kltest::TempDir dir;
    CClientContext ctx;
    ctx.product_folder = dir.str();
    ctx.log_file = "client.log";
    EXPECT_EQ(ctx.LogFilePath(), dir.str() + "/client.log");
    EXPECT_EQ(ctx.LogFilePath("\\logs\\client.log"), "/logs/client.log");

    kltest::write_file(dir / "client.log", "old run\r\n");
    ctx.log_level = 1;
    ctx.WriteLog("result", 1);
    ctx.WriteLog("step", 2);
    ctx.WriteLogString(9999, 1);
    std::string log = kltest::read_file(dir / "client.log");
    // The first line of a run starts the file anew.
    EXPECT_EQ(log.find("old run"), std::string::npos);
    EXPECT_EQ(log.find("step"), std::string::npos);
    EXPECT_NE(log.find("Message #9999\r\n"), std::string::npos);
    ASSERT_GE(log.size(), 21u);
    // "YYYY/MM/DD hh:mm:ss  text"
    for (size_t i : {4u, 7u})
        EXPECT_EQ(log[i], '/') << log;
    EXPECT_EQ(log.substr(19, 8), "  result");

    EXPECT_EQ(ctx.ResultLine(), "No one update was processed.");
    ctx.processed = true;
    EXPECT_EQ(ctx.ResultLine(), "Application was finished successfully.");
    ctx.reboot_pending = true;
    EXPECT_EQ(ctx.ResultLine(), "Some updates was skipped for future reboot.");
    ctx.last_result = -15;
    EXPECT_EQ(ctx.ResultLine(), "Error -15 was occured during update.");

    CClientContext quiet;
    quiet.product_folder = dir.str();
    quiet.log_file = "quiet.log";
    quiet.log_level = 0;
    quiet.WriteLog("nothing", 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "quiet.log"));
    EXPECT_FALSE(quiet.LogAvailable());
}

TEST(EngineErrors, MessagesNameTheItemAndTheSystemError) {
    EXPECT_EQ(klc::ComposeErrorMessage(-16, 0, 32).message, "Unable to backup file.( Error: 0x20 )");
    EXPECT_NE(klc::ComposeErrorMessage(-16, 0, 32).log.find("being used by another process"),
              std::string::npos);
    EXPECT_EQ(klc::ComposeErrorMessage(-8, klc::STAGE_FILE, 0).message, "Unable to load  file.");
    EXPECT_EQ(klc::ComposeErrorMessage(-99, 0, 0).message, "Undefined error");
    EXPECT_EQ(klc::ErrorText(-28), "Unable to load empty link.");
}

TEST(EngineFolders, UpdateFoldersRefuseNamesThatLeaveTheirFolder) {
    kltest::TempDir dir;
    CClientContext ctx;
    ctx.temporary_folder = dir.str();
    std::string product = "Editor", update = "Main Update";
    EXPECT_EQ(ctx.UpdateFolder(std::nullopt, &product, &update, true), dir.str() + "/Editor/Main Update");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Editor" / "Main Update"));
    for (std::string bad : {"..", "../x", "/etc", "a\\b", ""}) {
        EXPECT_FALSE(ctx.UpdateFolder(std::nullopt, &bad, nullptr, true)) << bad;
        EXPECT_FALSE(ctx.UpdateFolder(std::nullopt, &product, &bad, true)) << bad;
    }
}

} // namespace

namespace {

TEST(EngineEnvironment, MacrosOfDestinationPathsExpand) {
    plat::Environment& env = plat::Environment::process();
    for (const char* name : {"PROGRAMFILES", "PROGRAM FILES", "WINDIR", "SYSTEM", "TEMP"})
        env.unset(name);
    plat::registry().set_string(plat::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                "ProgramFilesDir", "/opt/programs");
    CClientContext ctx;
    ctx.product_folder = "/srv/product";
    klc::InitClientEnvironment(ctx);
    EXPECT_EQ(ctx.ExpandPath("%PROGRAM FILES%\\App"), "/opt/programs\\App");
    EXPECT_EQ(ctx.ExpandPath("%PROGRAMFILES%"), "/opt/programs");
    EXPECT_EQ(ctx.ExpandPath("%PRODUCT%"), "/srv/product");
    EXPECT_EQ(ctx.ExpandPath("%WIN%"), env.value("WINDIR"));
    EXPECT_EQ(ctx.ExpandPath("%SYS%"), env.value("SYSTEM"));
    EXPECT_FALSE(env.value("TEMP").empty());
    EXPECT_EQ(ctx.ExpandPath("%NOT_SET%\\x"), "%NOT_SET%\\x");
}

} // namespace
