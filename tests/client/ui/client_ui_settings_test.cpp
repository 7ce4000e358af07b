// Stored settings and the server list file.
#include <gtest/gtest.h>

#include "client/ui/command_line.h"
#include "client/ui/estimate.h"
#include "client/ui/server_list.h"
#include "client/ui/settings.h"
#include "platform/config/registry.h"
#include "support/temp_dir.h"

namespace {

using klc::ClientSettings;

ClientSettings AllChanged() {
    ClientSettings s;
    s.temp_folder = "/tmp/work";
    s.log_file = "/var/log/kl.log";
    s.log_level = 3;
    s.backup_mode = 2;
    auto& c = s.connection;
    c.ftp_passive = 1;
    c.request_timeout = 30000;
    c.proxy_mode = 2;
    c.ftp_proxy_server = "ftp.proxy";
    c.http_proxy_server = "http.proxy";
    c.ftp_proxy_port = 2121;
    c.http_proxy_port = 3128;
    c.ftp_proxy_user = "fu";
    c.http_proxy_user = "hu";
    c.ftp_proxy_password = "fp ä";
    c.http_proxy_password = "hp";
    return s;
}

TEST(ClientSettings, DefaultsWhenNothingIsStored) {
    ClientSettings s = klc::LoadSettings();
    EXPECT_EQ(s, ClientSettings{});
    EXPECT_EQ(s.temp_folder, "%TEMP%");
    EXPECT_EQ(s.log_level, 2);
    EXPECT_EQ(s.connection.proxy_mode, 1);
    EXPECT_EQ(s.connection.request_timeout, 0);
}

TEST(ClientSettings, RoundTripKeepsEveryValueWithItsType) {
    ClientSettings s = AllChanged();
    ASSERT_TRUE(klc::SaveSettings(s));
    EXPECT_EQ(klc::LoadSettings(), s);

    // Texts as String values, numbers as DWord values, in their sections.
    auto& reg = plat::registry();
    const std::string general = std::string(klc::kSettingsKey) + "\\General";
    const std::string connection = std::string(klc::kSettingsKey) + "\\Connection";
    EXPECT_EQ(reg.get_string(plat::Hive::CurrentUser, general, "TempFolder", ""), "/tmp/work");
    EXPECT_EQ(reg.get_dword(plat::Hive::CurrentUser, general, "RequestTimeout", 0), 30000u);
    EXPECT_EQ(reg.get_dword(plat::Hive::CurrentUser, connection, "HTTP ProxyPort", 0), 3128u);
    EXPECT_EQ(reg.get_string(plat::Hive::CurrentUser, connection, "FTP ProxyPassword", ""), "fp ä");
}

TEST(ClientSettings, SavingStopsAtTheFirstFailure) {
    std::vector<std::string> written;
    klc::ProfileWriter writer{
        [&](std::string_view, std::string_view key, std::string_view) {
            written.emplace_back(key);
            return plat::SysError::Success;
        },
        [&](std::string_view, std::string_view key, int32_t) {
            written.emplace_back(key);
            return key == "RequestTimeout" ? plat::SysError::AccessDenied : plat::SysError::Success;
        },
    };
    EXPECT_FALSE(klc::SaveSettings(AllChanged(), writer));
    EXPECT_EQ(written, (std::vector<std::string>{"TempFolder", "LogFile", "LogState", "FTP Passive",
                                                 "RequestTimeout"}));
}

TEST(ClientSettings, SwitchesOfOneRunAreNotStored) {
    ASSERT_TRUE(klc::SaveSettings(AllChanged()));
    ClientSettings stored = klc::LoadSettings();
    klc::CClientContext ctx;
    klc::ApplySettings(stored, ctx);
    klc::ConnectionSettings run = stored.connection;
    klc::ParseCommandLine({"LOG=1", "TIMEOUT=5000", "LOGFILE=/x.log", "BACKUP=0"}, ctx, run);
    EXPECT_EQ(ctx.log_level, 1);
    EXPECT_EQ(run.request_timeout, 5000);
    ASSERT_TRUE(klc::SaveSettings(stored));
    EXPECT_EQ(klc::LoadSettings(), AllChanged());
}

TEST(ClientSettings, NoStallLimitStoredStillEndsAStalledTransfer) {
    klc::ConnectionSettings c;
    EXPECT_EQ(klc::TransferSettingsOf(c).timeout, klc::kDefaultStallLimitMs);
    c.request_timeout = 2000;
    c.proxy_mode = 2;
    c.http_proxy_port = 70000; // out of range: no port rather than a wrapped one
    EXPECT_EQ(klc::TransferSettingsOf(c).timeout, 2000);
    EXPECT_EQ(klc::TransferSettingsOf(c).http_proxy_port, 0);
    c.ftp_passive = 1;
    EXPECT_EQ(klc::RequestTemplateOf(c).passive, 1);
}

class ServerList : public testing::Test {
  protected:
    void Write(const std::string& text) {
        kltest::write_file(m_dir / "KLClient.INI", text);
        m_ctx.server_list_file = (m_dir / "KLClient.INI").string();
    }
    kltest::TempDir m_dir;
    klc::CClientContext m_ctx;
};

TEST_F(ServerList, ServersAndTheirAddresses) {
    Write("[Server1]\r\nName=Main\r\nPath=http://h/updates\r\nINFFile=Products.INF\r\n"
          "[Server2]\r\nName=Mirror\r\nINFFile=ftp://m/Products.INF\r\n"
          "[Server3]\r\nPath=http://x\r\nINFFile=P.INF\r\n"
          "[Server4]\r\nName=After the end\r\nINFFile=P.INF\r\n");
    klc::CIniFile ini(m_ctx);
    klc::CServerEntry e;
    e.user_name = "stale";
    ASSERT_TRUE(ini.ReadServer(0, e));
    EXPECT_EQ(e.name, "Main");
    EXPECT_EQ(e.url, "http://h/updates/Products.INF");
    EXPECT_EQ(e.user_name, "");
    ASSERT_TRUE(ini.ReadServer(1, e));
    EXPECT_EQ(e.url, "ftp://m/Products.INF");
    EXPECT_FALSE(ini.ReadServer(2, e)) << "a server without a name ends the list";
    klc::CServerEntry none;
    EXPECT_FALSE(ini.ReadServer(4, none)) << "no catalogue file named";
    EXPECT_EQ(none.url, "");
}

TEST_F(ServerList, WelcomeTextKeepsEmptyLinesAndDropsComments) {
    Write("[Information]\r\nFirst line\r\n\r\n; a comment\r\nx\r\n  Last line  \r\n\r\n\r\n[Server1]\r\n"
          "Name=A\r\n");
    EXPECT_EQ(klc::CIniFile(m_ctx).ReadSection(), "First line\r\n\r\n\r\nLast line\r\n");
    EXPECT_EQ(klc::CIniFile(m_ctx).ReadSection("Missing"), "");
}

TEST_F(ServerList, MissingFileGivesNothing) {
    m_ctx.server_list_file = (m_dir / "none.ini").string();
    klc::CServerEntry e;
    EXPECT_FALSE(klc::CIniFile(m_ctx).ReadServer(0, e));
    EXPECT_EQ(klc::CIniFile(m_ctx).ReadSection(), "");
}

} // namespace

namespace {

TEST(ClientEstimate, TimeLeftAndSpeed) {
    struct Row {
        int64_t received, total, elapsed_ms;
        const char* left;
        const char* speed;
    } rows[] = {
        {0, 1000, 5000, "", ""},               // nothing yet
        {1024, 4096, 0, "", ""},               // no time has passed: no division by it
        {1024, 4096, 2999, "", ""},            // too early for a rate
        {3072, 12288, 3000, "0:00:09", "1.00"}, // 9 more seconds at 1 KB/s
        {6144, 6144, 6000, "0:00:00", "1.00"}, // done
        {8192, 4096, 4000, "0:00:00", "2.00"}, // more than announced: never negative
        {10240, 10240 * 400, 10000, "1:06:30", "1.00"},
    };
    for (const Row& r : rows) {
        klc::Estimate e = klc::ComputeEstimate(r.received, r.total, r.elapsed_ms);
        EXPECT_EQ(e.TimeLeftText(), r.left) << r.received << "/" << r.total << " after " << r.elapsed_ms;
        EXPECT_EQ(e.SpeedText(), r.speed) << r.received << "/" << r.total << " after " << r.elapsed_ms;
    }
}

} // namespace
