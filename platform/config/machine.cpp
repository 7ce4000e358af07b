#include "platform/config/machine.h"

#include "platform/config/registry.h"

#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <set>
#include <unistd.h>

namespace plat {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kNtCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

fs::path home_folder() {
    if (auto home = env("HOME"); !home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return fs::temp_directory_path();
}

// Where the machine lives, read from the environment on every call.
fs::path root_path() {
    fs::path root;
    if (auto explicit_root = env("KL_MACHINE_ROOT"); !explicit_root.empty()) {
        root = explicit_root;
    } else {
        fs::path data = env("XDG_DATA_HOME");
        if (data.empty() || !data.is_absolute()) // relative values are to be ignored
            data = home_folder() / ".local" / "share";
        root = data / "kestrelite" / "machine";
    }
    std::error_code ec;
    fs::path abs = fs::absolute(root, ec);
    return (ec ? root : abs).lexically_normal();
}

struct Layout {
    fs::path windows, system, temp, program_files, common_files, registry;
    explicit Layout(const fs::path& root)
        : windows(root / "Windows"), system(windows / "System32"), temp(windows / "Temp"),
          program_files(root / "Program Files"), common_files(program_files / "Common Files"),
          registry(root / "registry.db") {}
};

std::mutex g_seed_mutex;

// Creates the folders and the registry values that describe them. Runs again
// when the folders have gone (a machine root removed and made anew); values
// already in the store are never overwritten.
void seed(const fs::path& root, const Layout& layout) {
    std::error_code ec;
    if (fs::is_directory(layout.temp, ec) && fs::is_directory(layout.system, ec) &&
        fs::is_directory(layout.common_files, ec))
        return;
    std::lock_guard lock(g_seed_mutex);
    for (const auto* folder : {&layout.system, &layout.temp, &layout.common_files})
        fs::create_directories(*folder, ec);
    Registry& reg = *Registry::open(layout.registry);
    reg.set_value_if_missing(Hive::LocalMachine, kCurrentVersion, "ProgramFilesDir",
                             RegValue::string(layout.program_files.string()));
    reg.set_value_if_missing(Hive::LocalMachine, kCurrentVersion, "CommonFilesDir",
                             RegValue::string(layout.common_files.string()));
    reg.set_value_if_missing(Hive::LocalMachine, kNtCurrentVersion, "SystemRoot",
                             RegValue::string(layout.windows.string()));
}

Layout machine() {
    fs::path root = root_path();
    Layout layout(root);
    seed(root, layout);
    return layout;
}

} // namespace

fs::path machine_root() {
    fs::path root = root_path();
    seed(root, Layout(root));
    return root;
}

fs::path windows_folder() {
    return machine().windows;
}
fs::path system_folder() {
    return machine().system;
}
fs::path windows_temp_folder() {
    return machine().temp;
}
fs::path program_files_folder() {
    return machine().program_files;
}
fs::path common_files_folder() {
    return machine().common_files;
}
fs::path registry_file() {
    return machine().registry;
}

Registry& machine_registry() {
    return *Registry::open(registry_file());
}

} // namespace plat
