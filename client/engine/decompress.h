#pragma once
// Unpacking the archives the designer makes. An archive may arrive in several
// pieces (_0001.ZIP, _0001.Z02, ...), which are joined before unpacking; an
// encrypted archive opens with the password derived from its base name.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace klc {

class CDecompressor {
  public:
    // Reports bytes unpacked of the total; false stops the run (-14).
    using Progress = std::function<bool(uint64_t done, uint64_t total)>;

    // Unpacks the archive (the first piece; further pieces with the same base
    // name lying beside it are joined to it) into the folder. Returns 0, or:
    // -22 the archive is missing, -14 stopped, -12 a file could not be
    // written, -24 the archive is damaged, not an archive, wrongly protected or
    // names an entry outside the folder. Nothing is written outside the folder.
    int32_t Decompress(const std::string& archive, const std::string& folder);
    // The same with the pieces named by the caller, in order.
    int32_t Decompress(const std::vector<std::string>& pieces, const std::string& folder);

    void SetProgress(Progress progress) { m_progress = std::move(progress); }
    // Takes out only the entry of this file name (-22 when the archive has
    // none), and fails it (-24) when it would grow beyond `max_size` bytes
    // (0: only its header's size bounds it). Nothing of it is left then.
    void SetEntry(std::string file_name, uint64_t max_size) {
        m_entry = std::move(file_name);
        m_max_size = max_size;
    }
    // The archive layer's own result of the last run, for messages and logs.
    int32_t LastError() const { return m_last_error; }
    // The archive layer's own description of it.
    std::string LastErrorText() const;

  private:
    Progress m_progress;
    std::string m_entry;
    uint64_t m_max_size = 0;
    int32_t m_last_error = 0;
};

} // namespace klc
