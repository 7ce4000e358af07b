#pragma once
// A loading page's connection: one transfer engine, the server it is
// connected to, and the page's notifications. Both loading pages download
// through it, reconnecting only when a file lies on another server.
#include <cstdint>
#include <memory>
#include <string>

#include "client/engine/context.h"
#include "client/engine/host.h"
#include "client/engine/transfer.h"
#include "client/engine/url.h"

namespace klc {

// The engine of a page: progress goes to the page; a cancel also releases
// the programs the installation waits for.
class CPageTransfer : public CTransferEngine {
  public:
    CPageTransfer(CClientContext& ctx, IClientHost& host) : m_ctx(ctx), m_host(host) {}
    ~CPageTransfer() override;

  protected:
    void OnCancel() override;
    int32_t OnProgress(int32_t event, int64_t bytes, int64_t size, float fraction) override;

  private:
    CClientContext& m_ctx;
    IClientHost& m_host;
};

// Logs "... from URL %s ..." at level 3. The password never reaches the
// log file.
void LogSourceUrl(CClientContext& ctx, const CUrl& url);

class CPageConnection {
  public:
    // `engine` none: the connection makes a CPageTransfer of its own.
    CPageConnection(CClientContext& ctx, IClientHost& host, CTransferEngine* engine = nullptr);
    ~CPageConnection();

    bool Open(const CTransferSettings& settings, const CRequestInfo& request_template);
    // Connects to the URL's server unless already connected to it.
    int32_t Connect(const CUrl& url);
    // Downloads the URL into the local file: bytes or a client error code.
    // `max_size` ≥ 0: a larger object fails with -8 (see CTransferEngine).
    int32_t Download(const CUrl& url, const std::string& local, int32_t flags, int64_t max_size = -1);
    void Disconnect();
    void Close();
    bool Cancelled() const;

    CTransferEngine& Engine() { return *m_engine; }

  private:
    CClientContext& m_ctx;
    IClientHost& m_host;
    std::unique_ptr<CTransferEngine> m_own;
    CTransferEngine* m_engine;
    CRequestInfo m_template;
    CUrl m_server;
    bool m_connected = false;
};

} // namespace klc
