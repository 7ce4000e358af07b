#include "client/engine/page_transfer.h"

#include "client/engine/errors.h"
#include "platform/base/strings.h"

namespace klc {

void LogSourceUrl(CClientContext& ctx, const CUrl& url) {
    ctx.WriteLog(plat::strprintf("... from URL %s ...", url.Format(URL_ALL & ~URL_PASSWORD).c_str()), 3);
}

CPageTransfer::~CPageTransfer() = default;

void CPageTransfer::OnCancel() {
    m_ctx.cancel_event.set();
}

int32_t CPageTransfer::OnProgress(int32_t /*event*/, int64_t bytes, int64_t /*size*/, float fraction) {
    m_host.OnProgress(fraction);
    m_host.OnBytes(bytes, -1);
    return 0;
}

CPageConnection::CPageConnection(CClientContext& ctx, IClientHost& host, CTransferEngine* engine)
    : m_ctx(ctx), m_host(host), m_engine(engine) {
    if (!m_engine) {
        m_own = std::make_unique<CPageTransfer>(ctx, host);
        m_engine = m_own.get();
    }
}

CPageConnection::~CPageConnection() {
    Close();
}

bool CPageConnection::Open(const CTransferSettings& settings, const CRequestInfo& request_template) {
    m_template = request_template;
    if (!m_engine->OpenSession(&settings)) return false;
    m_engine->SetBlockSize(1024);
    return true;
}

int32_t CPageConnection::Connect(const CUrl& url) {
    if (m_connected && url.SameServer(m_server)) return 0;
    Disconnect();
    CRequestInfo request = m_template;
    url.FillRequest(request);
    m_host.Notify(NOTIFY_CONNECTING, url.host);
    int32_t r = m_engine->Connect(&request);
    if (r < 0) return r;
    m_server = url;
    m_connected = true;
    return 0;
}

int32_t CPageConnection::Download(const CUrl& url, const std::string& local, int32_t flags,
                                  int64_t max_size) {
    if (int32_t r = Connect(url); r < 0) return r;
    m_host.Notify(NOTIFY_DOWNLOADING, url.file_name);
    int64_t r = m_engine->Download(local, url.ObjectName(), std::nullopt, flags, max_size);
    return r > INT32_MAX ? INT32_MAX : static_cast<int32_t>(r);
}

void CPageConnection::Disconnect() {
    if (!m_connected) return;
    m_host.Notify(NOTIFY_DISCONNECTING, {});
    m_engine->Disconnect();
    m_connected = false;
}

void CPageConnection::Close() {
    Disconnect();
    m_engine->Close();
}

bool CPageConnection::Cancelled() const {
    return m_engine->IsCancelled() || m_ctx.cancel_event.is_set();
}

} // namespace klc
