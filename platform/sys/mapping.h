#pragma once
// A file mapped read-only into memory for as long as the object lives.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/types.h"

namespace plat {

class ReadOnlyMapping {
public:
    ReadOnlyMapping() = default;
    ~ReadOnlyMapping();
    ReadOnlyMapping(ReadOnlyMapping&& other) noexcept;
    ReadOnlyMapping& operator=(ReadOnlyMapping&& other) noexcept;
    ReadOnlyMapping(const ReadOnlyMapping&) = delete;
    ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;

    // Maps the whole file. An empty file maps to size 0 and a null data
    // pointer but is a success.
    SysError open(const std::string& path);
    void close();

    bool is_open() const { return m_open; }
    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    std::string_view view() const {
        return { reinterpret_cast<const char*>(m_data), m_size };
    }

private:
    const uint8_t* m_data { nullptr };
    size_t m_size { 0 };
    bool m_open { false };
};

} // namespace plat
