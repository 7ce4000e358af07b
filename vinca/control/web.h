#pragma once
// Web links of items and cells. A link is handed to the desktop's URL opener
// (the process prompt), which starts the person's own browser; the control
// keeps the URLs it handed over, so going back and forward hands over the
// previous or next one again. Only http, https, ftp, mailto and file URLs
// leave the control, and never a file that would run something.
#include <cstdint>
#include <string>
#include <vector>

namespace plat::ui {
class IPrompt;
}

namespace vinca {

class CVincaCtrl;

// 1: no browser could be reached (no desktop to open a URL, or the opener
// took none); 2: the control refused the link.
enum WebStatus : int16_t { kWebOk = 0, kWebUnavailable = 1, kWebFailed = 2 };

// Joins a link with the control's base as automatic navigation does: a link
// holding "://" or ":\" stands as it is; an empty base leaves the link; one
// separator at the seam; "/" between two parts that have none.
std::string JoinWebLink(const std::string& base, const std::string& link);

// The URL handed to the opener: "X:\..." and "/..." paths become file: URLs.
// Empty when the link is refused (no scheme, a scheme other than the five,
// a file: URL naming a program or a desktop launcher).
std::string WebUrlFor(const std::string& link);

class CWebNavigator {
  public:
    // The opener is asked to open `link` (made a URL by WebUrlFor). A
    // navigation after going back drops the URLs ahead.
    int16_t Navigate(const std::string& link);
    int16_t GoBack() { return Step(-1); }
    int16_t GoForward() { return Step(+1); }

    const std::vector<std::string>& History() const { return m_history; }

  private:
    int16_t Step(int delta);
    static bool Available();
    static int16_t Open(const std::string& url);

    std::vector<std::string> m_history;
    size_t m_current{0}; // one past the shown URL; 0 before the first
};

// Follows a clicked link when WebAutoNavigate is on: `link` is the cell's
// URL attribute or the item's ItemURL; empty does nothing.
void AutoNavigate(CVincaCtrl& control, const std::string& link);

} // namespace vinca
