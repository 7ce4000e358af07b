#pragma once
// A whole file mapped into memory for as long as the object lives. Either
// read-only, or copy-on-write: the bytes can then be changed in memory, but
// the changes stay private to this mapping and never reach the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/types.h"

namespace plat {

class FileMapping {
  public:
    enum class Mode { ReadOnly, CopyOnWrite };

    FileMapping() = default;
    ~FileMapping();
    FileMapping(FileMapping&& other) noexcept;
    FileMapping& operator=(FileMapping&& other) noexcept;
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // Maps the whole file (closing a mapping held before). An empty file is
    // a success with size 0 and a null data pointer. A folder gives
    // AccessDenied, a missing file FileNotFound.
    SysError open(const std::string& path, Mode mode = Mode::ReadOnly);
    void close();

    bool is_open() const { return m_open; }
    const uint8_t* data() const { return m_data; }
    // The private copy; null for a read-only mapping.
    uint8_t* writable_data() const { return m_mode == Mode::CopyOnWrite ? m_data : nullptr; }
    size_t size() const { return m_size; }
    std::string_view view() const { return {reinterpret_cast<const char*>(m_data), m_size}; }

  private:
    uint8_t* m_data{nullptr};
    size_t m_size{0};
    Mode m_mode{Mode::ReadOnly};
    bool m_open{false};
};

} // namespace plat
