#pragma once
// The runtime's global objects: Screen, App, DoEvents, MsgBox and the common
// dialog. Every question to the person goes through the one prompt interface.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ui/prompt.h"

namespace plat::forms {

// Screen: the twips scale and the mouse pointer.
namespace Screen {
inline constexpr int32_t TwipsPerPixelX = 15;
inline constexpr int32_t TwipsPerPixelY = 15;
// 0 default, 11 hourglass.
inline constexpr int32_t kDefaultPointer = 0;
inline constexpr int32_t kHourglass = 11;
int32_t MousePointer();
void SetMousePointer(int32_t pointer);
// The primary screen's size in twips.
int32_t Width();
int32_t Height();
} // namespace Screen

namespace App {
// The program's folder, without a trailing slash.
std::string Path();
std::string EXEName();
} // namespace App

// Runs the events waiting in the queue, then returns.
void DoEvents();

// MsgBox's style number: buttons + icon + default button (0, 256, 512).
plat::ui::MsgAnswer MsgBox(plat::ui::IPrompt& prompt, const std::string& text, int32_t style = 0,
                           const std::string& title = {});

// The common dialog's open and save choosers.
class CommonDialog {
  public:
    std::string DialogTitle;
    std::string Filter;
    int32_t FilterIndex{1};
    std::string InitDir;
    std::string FileName;
    // The chosen file's name without its folder.
    std::string FileTitle;
    // With CancelError a cancelled chooser throws Cancelled; without it,
    // FileName is left as it was.
    bool CancelError{false};
    struct Cancelled {};

    explicit CommonDialog(plat::ui::IPrompt& prompt) : m_prompt(prompt) {}
    // Answer whether a file was chosen.
    bool ShowOpen();
    bool ShowSave();

  private:
    bool finish(const std::optional<std::string>& chosen);
    plat::ui::IPrompt& m_prompt;
};

// Folder browser through the prompt; empty when cancelled.
std::string BrowseForFolder(plat::ui::IPrompt& prompt, const std::string& title,
                            const std::string& initial_folder = {});

} // namespace plat::forms
