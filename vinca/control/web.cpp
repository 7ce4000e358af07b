#include "vinca/control/web.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

// The control's headers come before Qt's, whose keywords clash with names
// of the persistence code.
#include "platform/sys/paths.h"
#include "platform/ui/process_prompt.h"
#include "vinca/control/control.h"
#include "vinca/control/dispids.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QUrl>

#include "platform/ui/qt_prompt.h"

namespace vinca {

namespace {

bool EndsWithSeparator(const std::string& s) {
    return !s.empty() && plat::is_separator(s.back());
}
bool StartsWithSeparator(const std::string& s) {
    return !s.empty() && plat::is_separator(s.front());
}

bool HasDriveColon(const std::string& s) {
    return s.size() >= 3 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' &&
           plat::is_separator(s[2]);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A local file that would run something when "opened": a launcher, or a
// regular file with an execute bit.
bool RunsSomething(const std::string& path) {
    const std::string lower = Lower(path);
    if (lower.size() >= 8 && lower.compare(lower.size() - 8, 8, ".desktop") == 0) return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

} // namespace

std::string JoinWebLink(const std::string& base, const std::string& link) {
    if (link.find("://") != std::string::npos || link.find(":\\") != std::string::npos) return link;
    if (base.empty()) return link;
    if (EndsWithSeparator(base) && StartsWithSeparator(link)) return base + link.substr(1);
    if (EndsWithSeparator(base) || StartsWithSeparator(link)) return base + link;
    return base + "/" + link;
}

std::string WebUrlFor(const std::string& link) {
    if (link.empty()) return {};
    QUrl url;
    if (HasDriveColon(link) || link.front() == '/' || link.front() == '\\') {
        // A path of the original platform or of this one: by the path rules.
        url = QUrl::fromLocalFile(QString::fromStdString(plat::native_path(link)));
    } else {
        url = QUrl(QString::fromStdString(link), QUrl::TolerantMode);
    }
    if (!url.isValid()) return {};
    const QString scheme = url.scheme().toLower();
    if (scheme != "http" && scheme != "https" && scheme != "ftp" && scheme != "mailto" && scheme != "file")
        return {};
    if (scheme == "file") {
        const std::string path = url.toLocalFile().toStdString();
        if (path.empty() || RunsSomething(path)) return {};
    } else if (scheme != "mailto" && url.host().isEmpty()) {
        return {};
    }
    return url.toString(QUrl::FullyEncoded).toStdString();
}

bool CWebNavigator::Available() {
    // The desktop's own opener needs a GUI application; a container's
    // prompt decides for itself.
    return !dynamic_cast<plat::ui::QtPrompt*>(&plat::ui::ProcessPrompt()) ||
           qobject_cast<QGuiApplication*>(QCoreApplication::instance());
}

int16_t CWebNavigator::Open(const std::string& url) {
    // An opener that takes nothing has no browser to start: as when none
    // could be made at all.
    if (!Available() || !plat::ui::ProcessPrompt().open_url(url)) return kWebUnavailable;
    return kWebOk;
}

int16_t CWebNavigator::Navigate(const std::string& link) {
    const std::string url = WebUrlFor(link);
    if (url.empty()) return kWebFailed;
    const int16_t status = Open(url);
    if (status != kWebOk) return status;
    m_history.resize(m_current);
    m_history.push_back(url);
    m_current = m_history.size();
    return kWebOk;
}

int16_t CWebNavigator::Step(int delta) {
    if (!Available()) return kWebUnavailable;
    if (m_current == 0) return kWebOk;
    const size_t shown = m_current - 1;
    if ((delta < 0 && shown == 0) || (delta > 0 && shown + 1 >= m_history.size())) return kWebOk;
    const size_t target = delta < 0 ? shown - 1 : shown + 1;
    const int16_t status = Open(m_history[target]);
    if (status == kWebOk) m_current = target + 1;
    return status;
}

CWebNavigator& CVincaCtrl::Web() {
    if (!m_web) m_web = std::make_shared<CWebNavigator>();
    return *m_web;
}

void AutoNavigate(CVincaCtrl& control, const std::string& link) {
    if (link.empty()) return;
    if (control.Prop(dispid::kWebAutoNavigate).to_i4() != 1) return;
    const std::string base = control.Prop(dispid::kWebURLBase).to_utf8();
    control.Web().Navigate(JoinWebLink(base, link));
}

} // namespace vinca
