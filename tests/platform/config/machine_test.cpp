#include "platform/config/machine.h"
#include "platform/config/registry.h"

#include "support/temp_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace plat;
namespace fs = std::filesystem;

namespace {

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Sets an environment variable for one scope and puts the old value back.
class EnvOverride {
  public:
    EnvOverride(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvOverride() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

bool inside(const fs::path& p, const fs::path& root) {
    auto rel = p.lexically_relative(root);
    return !rel.empty() && *rel.begin() != "..";
}

} // namespace

TEST(Machine, FreshRootIsSeededWithFoldersAndRegistryValues) {
    fs::path root = kltest::machine_root();
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(machine_root(), fs::absolute(root).lexically_normal());
    for (const auto& folder : {windows_folder(), system_folder(), windows_temp_folder(),
                               program_files_folder(), common_files_folder()}) {
        EXPECT_TRUE(folder.is_absolute()) << folder;
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_TRUE(inside(folder, root)) << folder;
    }
    EXPECT_TRUE(fs::exists(registry_file()));
    EXPECT_EQ(registry().get_string(Hive::LocalMachine, kCurrentVersion, "ProgramFilesDir"),
              program_files_folder().string());
    EXPECT_EQ(registry().get_string(Hive::LocalMachine, "software/microsoft/windows/currentversion",
                                    "commonfilesdir"),
              common_files_folder().string());
    EXPECT_EQ(&registry(), &machine_registry());
}

TEST(Machine, SeedingNeverOverwritesAndSecondRootIsIndependent) {
    ASSERT_EQ(registry().set_string(Hive::LocalMachine, kCurrentVersion, "ProgramFilesDir", "/opt/custom"),
              SysError::Success);
    ASSERT_EQ(registry().set_string(Hive::CurrentUser, "Software\\Marovia", "Mark", "first"),
              SysError::Success);
    fs::remove_all(windows_temp_folder().parent_path() / "Temp"); // forces the seeding to run again
    EXPECT_TRUE(fs::is_directory(windows_temp_folder()));
    EXPECT_EQ(registry().get_string(Hive::LocalMachine, kCurrentVersion, "ProgramFilesDir"), "/opt/custom");

    fs::path first = machine_root();
    kltest::TempDir other;
    {
        EnvOverride env("KL_MACHINE_ROOT", other.str().c_str());
        EXPECT_EQ(machine_root(), other.path());
        EXPECT_TRUE(inside(windows_folder(), other.path()));
        EXPECT_EQ(registry().get_string(Hive::CurrentUser, "Software\\Marovia", "Mark", "none"), "none");
        EXPECT_EQ(registry().get_string(Hive::LocalMachine, kCurrentVersion, "ProgramFilesDir"),
                  program_files_folder().string());
    }
    EXPECT_EQ(machine_root(), first);
    EXPECT_EQ(registry().get_string(Hive::CurrentUser, "Software\\Marovia", "Mark"), "first");
}

TEST(Machine, DefaultRootFollowsTheUsersDataFolder) {
    kltest::TempDir data;
    EnvOverride root("KL_MACHINE_ROOT", nullptr);
    {
        EnvOverride xdg("XDG_DATA_HOME", data.str().c_str());
        EXPECT_EQ(machine_root(), data.path() / "kestrelite" / "machine");
        EXPECT_TRUE(fs::is_directory(data.path() / "kestrelite" / "machine" / "Windows"));
    }
    EnvOverride xdg("XDG_DATA_HOME", nullptr);
    EnvOverride home("HOME", data.str().c_str());
    EXPECT_EQ(machine_root(), data.path() / ".local" / "share" / "kestrelite" / "machine");
}

TEST(Settings, ApplicationSettingsByAppSectionAndKey) {
    const char* app = "Marovia Kestrelite Pro";
    const char* section = "Marovia Kestrelite Designer";
    EXPECT_EQ(get_setting(app, section, "WindowTop", "0"), "0");
    ASSERT_EQ(save_setting(app, section, "WindowTop", "1200"), SysError::Success);
    ASSERT_EQ(save_setting(app, section, "LastKLD", "::NO::"), SysError::Success);
    EXPECT_EQ(get_setting(app, section, "windowtop", "0"), "1200");
    EXPECT_EQ(registry().get_string(Hive::CurrentUser,
                                    "Software\\VB and VBA Program Settings\\Marovia Kestrelite Pro\\"
                                    "Marovia Kestrelite Designer",
                                    "LastKLD"),
              "::NO::");
    EXPECT_EQ(get_all_settings(app, section).size(), 2u);

    EXPECT_EQ(delete_setting(app, section, "WindowTop"), SysError::Success);
    EXPECT_EQ(get_setting(app, section, "WindowTop", "gone"), "gone");
    EXPECT_EQ(delete_setting(app, section), SysError::Success);
    EXPECT_EQ(get_setting(app, section, "LastKLD", "gone"), "gone");
    EXPECT_EQ(save_setting("", section, "k", "v"), SysError::InvalidParameter);
    EXPECT_EQ(save_setting(app, "", "k", "v"), SysError::InvalidParameter);
}

TEST(Settings, ProfileTextsAndNumbers) {
    const char* base = "Software\\Marovia\\Kestrelite\\KLClient";
    EXPECT_EQ(profile_get_int(base, "General", "LogState", 2), 2);
    EXPECT_EQ(profile_get_string(base, "General", "TempFolder", "%TEMP%"), "%TEMP%");
    ASSERT_EQ(profile_write_int(base, "General", "LogState", -1), SysError::Success);
    ASSERT_EQ(profile_write_string(base, "Connection", "HTTP ProxyServer", "127.0.0.1"), SysError::Success);
    ASSERT_EQ(profile_write_string(base, "Connection", "HTTP ProxyPort", "8080x"), SysError::Success);
    EXPECT_EQ(profile_get_int(base, "General", "LogState", 2), -1);
    EXPECT_EQ(profile_get_string(base, "Connection", "HTTP ProxyServer"), "127.0.0.1");
    EXPECT_EQ(profile_get_int(base, "Connection", "HTTP ProxyPort", 0), 8080);
    RegValue v;
    ASSERT_EQ(registry().get_value(Hive::CurrentUser, std::string(base) + "\\General", "LogState", v),
              SysError::Success);
    EXPECT_EQ(v.type, RegType::DWord);
}
