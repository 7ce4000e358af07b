// Per-user settings kept in the current user's part of the registry: the
// form runtime's application settings and the framework's application
// profile.
#include "platform/base/strings.h"
#include "platform/config/machine.h"
#include "platform/config/registry.h"

namespace plat {

Registry& registry() {
    return machine_registry();
}

namespace {

constexpr std::string_view kSettingsRoot = "Software\\VB and VBA Program Settings";

std::string join_key(std::string_view a, std::string_view b) {
    std::string out(a);
    if (!b.empty()) {
        out += '\\';
        out += b;
    }
    return out;
}

std::string settings_key(std::string_view app, std::string_view section) {
    return join_key(join_key(kSettingsRoot, app), section);
}

} // namespace

std::string get_setting(std::string_view app, std::string_view section, std::string_view key,
                        std::string_view def) {
    if (trim_view(app).empty() || trim_view(section).empty()) return std::string(def);
    return registry().get_string(Hive::CurrentUser, settings_key(app, section), key, def);
}

SysError save_setting(std::string_view app, std::string_view section, std::string_view key,
                      std::string_view value) {
    if (trim_view(app).empty() || trim_view(section).empty()) return SysError::InvalidParameter;
    return registry().set_string(Hive::CurrentUser, settings_key(app, section), key, value);
}

SysError delete_setting(std::string_view app, std::string_view section, std::string_view key) {
    if (trim_view(app).empty()) return SysError::InvalidParameter;
    if (section.empty()) return registry().delete_key(Hive::CurrentUser, settings_key(app, {}));
    if (key.empty()) return registry().delete_key(Hive::CurrentUser, settings_key(app, section));
    return registry().delete_value(Hive::CurrentUser, settings_key(app, section), key);
}

std::vector<RegValueEntry> get_all_settings(std::string_view app, std::string_view section) {
    std::vector<RegValueEntry> out;
    if (!trim_view(app).empty() && !trim_view(section).empty())
        registry().enum_values(Hive::CurrentUser, settings_key(app, section), out);
    return out;
}

std::string profile_get_string(std::string_view base_key, std::string_view section, std::string_view entry,
                               std::string_view def) {
    return registry().get_string(Hive::CurrentUser, join_key(base_key, section), entry, def);
}

int32_t profile_get_int(std::string_view base_key, std::string_view section, std::string_view entry,
                        int32_t def) {
    return static_cast<int32_t>(registry().get_dword(Hive::CurrentUser, join_key(base_key, section), entry,
                                                     static_cast<uint32_t>(def)));
}

SysError profile_write_string(std::string_view base_key, std::string_view section, std::string_view entry,
                              std::string_view value) {
    return registry().set_string(Hive::CurrentUser, join_key(base_key, section), entry, value);
}

SysError profile_write_int(std::string_view base_key, std::string_view section, std::string_view entry,
                           int32_t value) {
    return registry().set_dword(Hive::CurrentUser, join_key(base_key, section), entry,
                                static_cast<uint32_t>(value));
}

} // namespace plat
