// The clipboard in use and the memory clipboard.
#include "vinca/model/clipboard.h"

#include <atomic>

namespace vinca {

bool CMemoryClipboard::Open() {
    std::lock_guard lock(m_mutex);
    if (m_open || m_refuseOpen) return false;
    m_open = true;
    return true;
}

void CMemoryClipboard::Close() {
    std::lock_guard lock(m_mutex);
    m_open = false;
}

bool CMemoryClipboard::Empty() {
    std::lock_guard lock(m_mutex);
    m_formats.clear();
    return true;
}

bool CMemoryClipboard::SetData(std::string_view format, GlobalBlock data) {
    std::lock_guard lock(m_mutex);
    m_formats[std::string(format)] = std::move(data);
    return true;
}

std::optional<GlobalBlock> CMemoryClipboard::GetData(std::string_view format) {
    std::lock_guard lock(m_mutex);
    auto it = m_formats.find(format);
    if (it == m_formats.end()) return std::nullopt;
    return it->second;
}

bool CMemoryClipboard::IsFormatAvailable(std::string_view format) {
    std::lock_guard lock(m_mutex);
    return m_formats.count(format) != 0;
}

namespace {
std::atomic<IClipboard*> g_clipboard{nullptr};
}

void SetClipboard(IClipboard* clipboard) {
    g_clipboard = clipboard;
}

IClipboard& Clipboard() {
    static CMemoryClipboard memory;
    IClipboard* c = g_clipboard;
    return c ? *c : memory;
}

} // namespace vinca
