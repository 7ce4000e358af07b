#include "client/engine/transfer_settings.h"

#include "platform/base/strings.h"

namespace klc {

namespace {

std::string ProxyEntry(const char* scheme, const std::string& server, uint16_t port) {
    if (server.empty()) return {};
    if (port == 0) return plat::strprintf("%s=%s://%s", scheme, scheme, server.c_str());
    return plat::strprintf("%s=%s://%s:%d", scheme, scheme, server.c_str(), static_cast<int>(port));
}

} // namespace

std::string CTransferSettings::ProxyList() const {
    return ProxyEntry("ftp", ftp_proxy_server, ftp_proxy_port) + " " +
           ProxyEntry("http", http_proxy_server, http_proxy_port);
}

} // namespace klc
