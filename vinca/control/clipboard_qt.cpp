// The window system's clipboard for trees, through Qt.
#include "vinca/control/clipboard_qt.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QThread>

namespace vinca {

namespace {

// The MIME type of a clipboard format name; empty for a name we have none
// for. Names that already are MIME types pass unchanged.
QString mime_type(std::string_view format) {
    if (format == kTreeClipboardFormat) format = kTreeClipboardMime;
    if (format.find('/') == std::string_view::npos) return {};
    return QString::fromUtf8(format.data(), static_cast<qsizetype>(format.size()));
}

bool is_text(std::string_view format) {
    return format == kTextClipboardFormat;
}

} // namespace

CQtClipboard::CQtClipboard() = default;
CQtClipboard::~CQtClipboard() = default;

QClipboard* CQtClipboard::system_clipboard(bool* inApp) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (inApp) *inApp = app != nullptr;
    if (!app || QThread::currentThread() != app->thread()) return nullptr;
    return QGuiApplication::clipboard();
}

bool CQtClipboard::Open() {
    std::lock_guard lock(m_mutex);
    if (m_open != Target::None) return false;
    bool inApp = false;
    if (system_clipboard(&inApp)) {
        m_open = Target::Window;
        return true;
    }
    if (inApp || !m_memory.Open()) return false;
    m_open = Target::Memory;
    return true;
}

void CQtClipboard::Close() {
    std::unique_ptr<QMimeData> handOver;
    {
        std::lock_guard lock(m_mutex);
        if (m_open == Target::Memory) m_memory.Close();
        if (m_open == Target::Window) handOver = std::move(m_pending);
        m_pending.reset();
        m_open = Target::None;
    }
    // Outside the lock: the clipboard tells its listeners at once, and they
    // may well ask us what it now holds.
    if (QClipboard* cb = handOver ? system_clipboard(nullptr) : nullptr) cb->setMimeData(handOver.release());
}

QMimeData& CQtClipboard::pending(bool keepCurrent) {
    if (!m_pending) {
        m_pending = std::make_unique<QMimeData>();
        QClipboard* cb = keepCurrent ? system_clipboard(nullptr) : nullptr;
        if (const QMimeData* now = cb ? cb->mimeData() : nullptr) {
            for (const QString& f : now->formats())
                m_pending->setData(f, now->data(f));
        }
    }
    return *m_pending;
}

bool CQtClipboard::Empty() {
    std::lock_guard lock(m_mutex);
    if (m_open == Target::Memory) return m_memory.Empty();
    if (m_open != Target::Window) return false;
    m_pending = std::make_unique<QMimeData>();
    return true;
}

bool CQtClipboard::SetData(std::string_view format, GlobalBlock data) {
    std::lock_guard lock(m_mutex);
    if (m_open == Target::Memory) return m_memory.SetData(format, std::move(data));
    if (m_open != Target::Window) return false;
    if (is_text(format)) {
        // The text block ends with its NUL; the window system counts bytes.
        while (!data.empty() && data.back() == 0)
            data.pop_back();
        pending(true).setText(QString::fromUtf8(reinterpret_cast<const char*>(data.data()),
                                                static_cast<qsizetype>(data.size())));
        return true;
    }
    QString mime = mime_type(format);
    if (mime.isEmpty()) return false;
    pending(true).setData(
        mime, QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())));
    return true;
}

const QMimeData* CQtClipboard::readable(bool* inApp) {
    QClipboard* cb = system_clipboard(inApp);
    // What this user set since Open is what the clipboard holds for it.
    if (m_open == Target::Window && m_pending) return m_pending.get();
    return cb ? cb->mimeData() : nullptr;
}

std::optional<GlobalBlock> CQtClipboard::GetData(std::string_view format) {
    std::lock_guard lock(m_mutex);
    bool inApp = false;
    const QMimeData* data = readable(&inApp);
    if (!inApp) return m_memory.GetData(format);
    if (!data) return std::nullopt;
    if (is_text(format)) {
        if (!data->hasText()) return std::nullopt;
        QByteArray text = data->text().toUtf8();
        GlobalBlock block(text.begin(), text.end());
        block.push_back(0);
        return block;
    }
    QString mime = mime_type(format);
    if (mime.isEmpty() || !data->hasFormat(mime)) return std::nullopt;
    QByteArray bytes = data->data(mime);
    return GlobalBlock(bytes.begin(), bytes.end());
}

bool CQtClipboard::IsFormatAvailable(std::string_view format) {
    std::lock_guard lock(m_mutex);
    bool inApp = false;
    const QMimeData* data = readable(&inApp);
    if (!inApp) return m_memory.IsFormatAvailable(format);
    if (!data) return false;
    if (is_text(format)) return data->hasText();
    QString mime = mime_type(format);
    return !mime.isEmpty() && data->hasFormat(mime);
}

namespace {
CQtClipboard& qt_clipboard() {
    static CQtClipboard clipboard;
    return clipboard;
}
} // namespace

void InstallQtClipboard() {
    SetClipboard(&qt_clipboard());
}

void RemoveQtClipboard() {
    SetClipboard(nullptr);
}

} // namespace vinca
