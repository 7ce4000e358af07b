// Per-user settings: window placement, the action list's view style, the
// description open at exit and the four recent files.
#include <cmath>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/vb.h"
#include "platform/base/strings.h"
#include "platform/config/registry.h"

namespace kld {

namespace {

constexpr const char* kSettingsApp = "Marovia Kestrelite Pro";

// Numbers as the settings store keeps them: whole numbers without a point.
std::string NumberText(double v) {
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        return std::to_string(static_cast<int64_t>(v));
    return plat::strprintf("%.7g", v);
}

std::string RecentCaption(int32_t i, const std::string& path) {
    return "&" + std::to_string(i) + " " + path;
}

} // namespace

std::string Designer::GetSettingValue(const std::string& key, const std::string& def) {
    return plat::get_setting(kSettingsApp, AppTitle, key, def);
}

void Designer::SaveSettingValue(const std::string& key, const std::string& value) {
    // A store that cannot be written loses only these texts; exit goes on.
    (void)plat::save_setting(kSettingsApp, AppTitle, key, value);
}

void Designer::LoadSettings() {
    const FormPlacement now = m_host.GetPlacement(Form::Main);
    int32_t state = vb::CLng(vb::Val(GetSettingValue("WindowState", std::to_string(now.state))));
    if (state < 0 || state > 2) state = now.state;
    m_host.SetWindowState(Form::Main, static_cast<int16_t>(state));
    if (state == 1) {
        state = 0;
        m_host.SetWindowState(Form::Main, 0);
    }
    if (state == 0) {
        const double sw = m_host.ScreenWidth(), sh = m_host.ScreenHeight();
        double top = vb::Val(GetSettingValue("WindowTop", "0"));
        if (top < 0 || top > sh) top = 0;
        double left = vb::Val(GetSettingValue("WindowLeft", "0"));
        if (left < 0 || left > sw) left = 0;
        double height = vb::Val(GetSettingValue("WindowHeight", NumberText(sh)));
        if (height < 280) height = 280;
        if (height > sh) height = sh;
        double width = vb::Val(GetSettingValue("WindowWidth", NumberText(sw)));
        if (width < 620) width = 620;
        if (width > sw) width = sw;
        m_host.MoveForm(Form::Main, left, top, width, height);
    }
    ActionListViewStyle = vb::Val(vb::Trim(GetSettingValue("ActionListViewStyle", ""))) <= 0 ? 0 : 1;
    StartupFileName = vb::Trim(GetSettingValue("LastKLD", ""));
    for (int32_t i = 1; i <= 4; ++i) {
        const std::string path = vb::Trim(GetSettingValue("RecentKLD" + std::to_string(i), ""));
        if (path.empty()) continue;
        m_host.SetRecentSeparatorVisible(true);
        m_host.SetRecentMenuCaption(i, RecentCaption(i, path));
        m_host.SetRecentMenuVisible(i, true);
    }
}

void Designer::SaveSettings() {
    const FormPlacement p = m_host.GetPlacement(Form::Main);
    SaveSettingValue("WindowState", std::to_string(p.state == 1 ? 0 : p.state));
    SaveSettingValue("WindowTop", NumberText(p.top));
    SaveSettingValue("WindowLeft", NumberText(p.left));
    SaveSettingValue("WindowHeight", NumberText(p.height));
    SaveSettingValue("WindowWidth", NumberText(p.width));
    SaveSettingValue("LastKLD", CurrentFileName);
    SaveSettingValue("ActionListViewStyle", std::to_string(ActionListViewStyle));
    for (int32_t i = 1; i <= 4; ++i) {
        const std::string caption = m_host.RecentMenuCaption(i);
        const bool shown = m_host.RecentMenuVisible(i);
        SaveSettingValue("RecentKLD" + std::to_string(i),
                         shown && caption.size() > 3 ? caption.substr(3) : "");
    }
}

void Designer::AddRecentFile(const std::string& path) {
    auto pathOf = [&](int32_t i) {
        const std::string c = m_host.RecentMenuCaption(i);
        return c.size() > 3 ? c.substr(3) : std::string();
    };
    int32_t found = 0;
    for (int32_t i = 1; i <= 4 && !found; ++i)
        if (plat::iequals(pathOf(i), path)) found = i;
    if (found) {
        for (int32_t j = found; j >= 2; --j)
            m_host.SetRecentMenuCaption(j, RecentCaption(j, pathOf(j - 1)));
    } else {
        for (int32_t j = 3; j >= 1; --j)
            m_host.SetRecentMenuCaption(j + 1, RecentCaption(j + 1, pathOf(j)));
    }
    m_host.SetRecentMenuCaption(1, RecentCaption(1, path));
    m_host.SetRecentSeparatorVisible(true);
    for (int32_t i = 1; i <= 4; ++i)
        if (!pathOf(i).empty()) m_host.SetRecentMenuVisible(i, true);
}

} // namespace kld
