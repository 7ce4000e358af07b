#include "client/ui/settings.h"

#include "platform/config/registry.h"

namespace klc {

ProfileWriter RegistryProfileWriter() {
    return {
        [](std::string_view section, std::string_view key, std::string_view value) {
            return plat::profile_write_string(kSettingsKey, section, key, value);
        },
        [](std::string_view section, std::string_view key, int32_t value) {
            return plat::profile_write_int(kSettingsKey, section, key, value);
        },
    };
}

namespace {

// One row per stored value, in the order they are written.
struct Field {
    const char* section;
    const char* key;
    std::string ClientSettings::*text;
    int32_t ClientSettings::*number;
    std::string ConnectionSettings::*conn_text;
    int32_t ConnectionSettings::*conn_number;
};

constexpr Field kFields[] = {
    {"General", "TempFolder", &ClientSettings::temp_folder, nullptr, nullptr, nullptr},
    {"General", "LogFile", &ClientSettings::log_file, nullptr, nullptr, nullptr},
    {"General", "LogState", nullptr, &ClientSettings::log_level, nullptr, nullptr},
    {"General", "FTP Passive", nullptr, nullptr, nullptr, &ConnectionSettings::ftp_passive},
    {"General", "RequestTimeout", nullptr, nullptr, nullptr, &ConnectionSettings::request_timeout},
    {"General", "BackupMode", nullptr, &ClientSettings::backup_mode, nullptr, nullptr},
    {"Connection", "ProxyMode", nullptr, nullptr, nullptr, &ConnectionSettings::proxy_mode},
    {"Connection", "FTP ProxyServer", nullptr, nullptr, &ConnectionSettings::ftp_proxy_server, nullptr},
    {"Connection", "HTTP ProxyServer", nullptr, nullptr, &ConnectionSettings::http_proxy_server, nullptr},
    {"Connection", "FTP ProxyPort", nullptr, nullptr, nullptr, &ConnectionSettings::ftp_proxy_port},
    {"Connection", "HTTP ProxyPort", nullptr, nullptr, nullptr, &ConnectionSettings::http_proxy_port},
    {"Connection", "FTP ProxyUserName", nullptr, nullptr, &ConnectionSettings::ftp_proxy_user, nullptr},
    {"Connection", "HTTP ProxyUserName", nullptr, nullptr, &ConnectionSettings::http_proxy_user, nullptr},
    {"Connection", "FTP ProxyPassword", nullptr, nullptr, &ConnectionSettings::ftp_proxy_password, nullptr},
    {"Connection", "HTTP ProxyPassword", nullptr, nullptr, &ConnectionSettings::http_proxy_password, nullptr},
};

std::string* TextOf(const Field& f, ClientSettings& s) {
    if (f.text) return &(s.*f.text);
    if (f.conn_text) return &(s.connection.*f.conn_text);
    return nullptr;
}

int32_t* NumberOf(const Field& f, ClientSettings& s) {
    if (f.number) return &(s.*f.number);
    if (f.conn_number) return &(s.connection.*f.conn_number);
    return nullptr;
}

} // namespace

ClientSettings LoadSettings() {
    ClientSettings s;
    for (const Field& f : kFields) {
        if (std::string* text = TextOf(f, s))
            *text = plat::profile_get_string(kSettingsKey, f.section, f.key, *text);
        else if (int32_t* number = NumberOf(f, s))
            *number = plat::profile_get_int(kSettingsKey, f.section, f.key, *number);
    }
    return s;
}

bool SaveSettings(const ClientSettings& settings, const ProfileWriter& writer) {
    ClientSettings s = settings;
    for (const Field& f : kFields) {
        plat::SysError e = plat::SysError::Success;
        if (std::string* text = TextOf(f, s))
            e = writer.write_string(f.section, f.key, *text);
        else if (int32_t* number = NumberOf(f, s))
            e = writer.write_int(f.section, f.key, *number);
        if (e != plat::SysError::Success) return false;
    }
    return true;
}

void ApplySettings(const ClientSettings& settings, CClientContext& ctx) {
    ctx.temporary_folder = settings.temp_folder;
    ctx.log_file = settings.log_file;
    ctx.log_level = settings.log_level;
    ctx.backup_mode = settings.backup_mode;
}

CTransferSettings TransferSettingsOf(const ConnectionSettings& c) {
    CTransferSettings t;
    t.timeout = c.request_timeout > 0 ? c.request_timeout : kDefaultStallLimitMs;
    t.proxy_mode = c.proxy_mode;
    // A port outside the range names no port, rather than a wrapped one.
    auto port = [](int32_t p) { return static_cast<uint16_t>(p >= 0 && p <= 65535 ? p : 0); };
    t.ftp_proxy_server = c.ftp_proxy_server;
    t.http_proxy_server = c.http_proxy_server;
    t.ftp_proxy_port = port(c.ftp_proxy_port);
    t.http_proxy_port = port(c.http_proxy_port);
    t.ftp_proxy_user = c.ftp_proxy_user;
    t.ftp_proxy_password = c.ftp_proxy_password;
    t.http_proxy_user = c.http_proxy_user;
    t.http_proxy_password = c.http_proxy_password;
    return t;
}

CRequestInfo RequestTemplateOf(const ConnectionSettings& c) {
    CRequestInfo r;
    r.passive = c.ftp_passive;
    return r;
}

} // namespace klc
