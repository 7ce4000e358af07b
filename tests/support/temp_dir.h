#pragma once
#include <filesystem>
#include <string>

namespace kltest {

// A folder under the system temp folder, removed with everything in it when
// the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The emulated machine root the current test runs in (fresh for every test).
std::filesystem::path machine_root();

// Writes bytes to a file, creating its folders; reads a whole file back.
void write_file(const std::filesystem::path& p, const std::string& bytes);
std::string read_file(const std::filesystem::path& p);

} // namespace kltest
