#pragma once
// The person's settings: read at start-up, edited on the settings pages and
// written back when the wizard closes. What is stored is kept apart from
// what the run uses, so switches of one scripted run never reach the stored
// values.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "client/engine/context.h"
#include "client/engine/transfer_settings.h"
#include "platform/base/types.h"

namespace klc {

// Where the settings are kept, below HKEY_CURRENT_USER.
inline constexpr const char* kSettingsKey = "Software\\Marovia\\Kestrelite\\KLClient";

// The connection side of the settings; the context has no fields for it.
struct ConnectionSettings {
    int32_t request_timeout = 0; // milliseconds; 0 stored means "no limit asked"
    int32_t ftp_passive = 0;
    int32_t proxy_mode = PROXY_SYSTEM;
    std::string ftp_proxy_server;
    std::string http_proxy_server;
    int32_t ftp_proxy_port = 0;
    int32_t http_proxy_port = 0;
    std::string ftp_proxy_user;
    std::string http_proxy_user;
    std::string ftp_proxy_password; // plain text, as stored
    std::string http_proxy_password;

    bool operator==(const ConnectionSettings&) const = default;
};

struct ClientSettings {
    std::string temp_folder{"%TEMP%"};
    std::string log_file;
    int32_t log_level = 2;
    int32_t backup_mode = 0;
    ConnectionSettings connection;

    bool operator==(const ClientSettings&) const = default;
};

// Writes one stored value; tests put a failing one in its place.
struct ProfileWriter {
    std::function<plat::SysError(std::string_view section, std::string_view key, std::string_view value)>
        write_string;
    std::function<plat::SysError(std::string_view section, std::string_view key, int32_t value)> write_int;
};
ProfileWriter RegistryProfileWriter();

// Missing values take their defaults.
ClientSettings LoadSettings();
// Writes every value in the stored order; stops at the first failure.
bool SaveSettings(const ClientSettings& settings, const ProfileWriter& writer = RegistryProfileWriter());

// The stored values as the run starts with them.
void ApplySettings(const ClientSettings& settings, CClientContext& ctx);

// A transfer without a stall limit would wait for a silent server for ever,
// and an unattended run would keep its lock: no limit stored becomes this.
inline constexpr int32_t kDefaultStallLimitMs = 60000;
CTransferSettings TransferSettingsOf(const ConnectionSettings& connection);
CRequestInfo RequestTemplateOf(const ConnectionSettings& connection);

} // namespace klc
