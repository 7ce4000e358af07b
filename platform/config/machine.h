#pragma once
// The emulated machine: the folders a Windows machine would have and the
// registry store, rooted in one folder.
//
// The root is $KL_MACHINE_ROOT when set, else $XDG_DATA_HOME/kestrelite/machine
// (default ~/.local/share/kestrelite/machine). It is read again on every call,
// so a change of the variable moves every later call to the other machine.
// On first use of a root its folders are created and the registry values that
// describe them are seeded (values already present are left alone).
//
// Layout under the root:
//   Windows/                         windows_folder()
//   Windows/System32/                system_folder()
//   Windows/Temp/                    windows_temp_folder()
//   Program Files/                   program_files_folder()
//   Program Files/Common Files/      common_files_folder()
//   registry.db                      registry_file()
// Seeded values (String type, Linux absolute paths):
//   HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion  ProgramFilesDir, CommonFilesDir
//   HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion  SystemRoot
#include <filesystem>

namespace plat {

class Registry;

// The root folder, created and seeded.
std::filesystem::path machine_root();

std::filesystem::path windows_folder();
std::filesystem::path system_folder();
// The machine's Windows\Temp; plat::temp_folder() (sys/files.h) is this
// process's own folder for temporary files.
std::filesystem::path windows_temp_folder();
std::filesystem::path program_files_folder();
std::filesystem::path common_files_folder();
std::filesystem::path registry_file();

// The registry store of the current machine (same as plat::registry()).
Registry& machine_registry();

} // namespace plat
