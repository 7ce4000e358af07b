#pragma once
// The clipboard as the control uses it: formats by name, whole blocks of
// bytes. The application installs its backend (a window system's clipboard);
// without one a process-wide memory clipboard serves, which is also what
// tests use.
//
// Formats: "Vinca4 Tree" carries a tree stream (a window-system backend
// offers it as the MIME type application/x-vinca4-tree); "text/plain" the
// items as TAB-indented lines.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "vinca/model/stream.h"

namespace vinca {

inline constexpr std::string_view kTreeClipboardFormat = "Vinca4 Tree";
inline constexpr std::string_view kTreeClipboardMime = "application/x-vinca4-tree";
inline constexpr std::string_view kTextClipboardFormat = "text/plain";

class IClipboard {
  public:
    virtual ~IClipboard() = default;
    // Open and Close bracket every use; Open fails while another user has it.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool Empty() = 0;
    virtual bool SetData(std::string_view format, GlobalBlock data) = 0;
    virtual std::optional<GlobalBlock> GetData(std::string_view format) = 0;
    virtual bool IsFormatAvailable(std::string_view format) = 0;
};

// Formats kept in memory.
class CMemoryClipboard : public IClipboard {
  public:
    bool Open() override;
    void Close() override;
    bool Empty() override;
    bool SetData(std::string_view format, GlobalBlock data) override;
    std::optional<GlobalBlock> GetData(std::string_view format) override;
    bool IsFormatAvailable(std::string_view format) override;
    // For tests: makes Open fail.
    void SetRefuseOpen(bool refuse) { m_refuseOpen = refuse; }

  private:
    std::mutex m_mutex;
    std::map<std::string, GlobalBlock, std::less<>> m_formats;
    bool m_open{false};
    bool m_refuseOpen{false};
};

// The clipboard in use; null restores the memory clipboard.
void SetClipboard(IClipboard* clipboard);
IClipboard& Clipboard();

} // namespace vinca
