#pragma once
// The window system's clipboard for trees, through Qt. A tree travels under
// our MIME type, its text form as plain text, so that other programs can
// paste the lines.
//
// Qt's clipboard belongs to the GUI thread of a QGuiApplication: on any other
// thread of such a process the clipboard cannot be opened and holds nothing.
// A process without a QGuiApplication (a host with no window system, or one
// that has not made it yet) keeps the formats in memory, as the memory
// clipboard does.
#include <memory>
#include <mutex>

#include "vinca/model/clipboard.h"

class QClipboard;
class QMimeData;

namespace vinca {

class CQtClipboard final : public IClipboard {
  public:
    CQtClipboard();
    ~CQtClipboard() override;

    bool Open() override;
    // Hands the formats set since Open to the window system in one piece.
    void Close() override;
    bool Empty() override;
    bool SetData(std::string_view format, GlobalBlock data) override;
    std::optional<GlobalBlock> GetData(std::string_view format) override;
    bool IsFormatAvailable(std::string_view format) override;

  private:
    enum class Target { None, Window, Memory };
    // The application's clipboard, or null when this thread may not use one;
    // `inApp` tells whether the process has a QGuiApplication at all.
    static QClipboard* system_clipboard(bool* inApp);
    // The formats to hand over on Close, starting from what the clipboard
    // holds now unless it was emptied.
    QMimeData& pending(bool keepCurrent);
    // What a reader sees: the formats set since Open, else what the window
    // system holds; null when this thread may not look.
    const QMimeData* readable(bool* inApp);

    std::mutex m_mutex;
    Target m_open{Target::None};
    std::unique_ptr<QMimeData> m_pending;
    CMemoryClipboard m_memory;
};

// Makes the window system's clipboard the one every tree copy and paste of
// this process uses; the library does this when it is loaded.
void InstallQtClipboard();
// Returns to the memory clipboard.
void RemoveQtClipboard();

} // namespace vinca
