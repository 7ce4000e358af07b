#pragma once
// The control data file: all persisted properties of a control, the tree
// among them as "TreeData", in a file of their own. The file starts with the
// control's class id; the properties follow in the stream form of the
// component layer's property exchange. Files of the earlier control class
// (and its earlier tree object) load like current ones.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/com/guid.h"
#include "vinca/model/persist.h"

namespace vinca {

inline constexpr plat::CLSID CLSID_VincaControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");
inline constexpr plat::CLSID CLSID_OldVincaControl = plat::make_guid("9D998140-B884-11CE-8D47-444553540000");
inline constexpr plat::CLSID CLSID_OldTreeObject = plat::make_guid("BFC59ED7-6FA9-11D0-8F72-00403332E47E");

// A private copy-on-write mapping of a whole regular file: changes never
// reach the file, and only the pages written to are copied. Files of 2 GB
// and more, and anything that is not a regular file, are not opened.
class CMappedFile {
  public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return m_open; }
    uint32_t Size() const { return m_size; }
    uint32_t Position() const { return m_pos; }
    // At most the bytes left; the count moved.
    uint32_t Read(void* buffer, uint32_t count);
    uint32_t Write(const void* buffer, uint32_t count);
    // Origin 0: 0..size-1; 1: position + offset below the size; 2: only
    // steps back from the end. False (nothing moved) otherwise.
    bool Seek(int32_t offset, int origin);
    // Writes `replacement` over every occurrence of `pattern` (both `length`
    // bytes), including one that ends at the very end; the position stays.
    void Replace(const void* pattern, const void* replacement, uint32_t length);
    std::span<const uint8_t> Data() const { return {m_data, m_size}; }

  private:
    uint8_t* m_data{nullptr};
    uint32_t m_size{0};
    uint32_t m_pos{0};
    bool m_open{false};
};

// 0 on success, 1 on any failure. The file is written beside its final name
// and renamed into place, so a failed save leaves an existing file intact.
int SaveDataFile(const std::filesystem::path& path, IPersistTarget& target);
// 0 on success, 1 when the file or its properties cannot be read, 2 when the
// load ended in an exception, 4 when the file does not start with the
// control's class id. The class id is checked on the first 16 bytes before
// anything else is read, so a file of any other kind (or a device that
// never ends) is refused at once. The file is never changed.
int LoadDataFile(const std::filesystem::path& path, IPersistTarget& target);

} // namespace vinca
