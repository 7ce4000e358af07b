#pragma once
// Bounded access to the bytes of a file: every read says whether all the bytes
// asked for were there, so a parser never reads past what the file holds.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plat {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Fills `out` from `offset`; false when the source holds fewer bytes.
    virtual bool read(uint64_t offset, std::span<uint8_t> out) const = 0;

    // `count` bytes from `offset`, or nothing when they are not all there.
    std::optional<std::vector<uint8_t>> bytes(uint64_t offset, size_t count) const;
};

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::span<const uint8_t> data) : m_data(data) {}
    uint64_t size() const override { return m_data.size(); }
    bool read(uint64_t offset, std::span<uint8_t> out) const override;

  private:
    std::span<const uint8_t> m_data;
};

// A regular file opened for reading; anything else (a folder, a pipe, a
// device) does not open.
class FileSource final : public ByteSource {
  public:
    static std::optional<FileSource> open(const std::string& path);
    FileSource(FileSource&& other) noexcept;
    FileSource& operator=(FileSource&&) = delete;
    FileSource(const FileSource&) = delete;
    ~FileSource() override;

    uint64_t size() const override { return m_size; }
    bool read(uint64_t offset, std::span<uint8_t> out) const override;

  private:
    FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    int m_fd{-1};
    uint64_t m_size{0};
};

// Little-endian fields; 0 when the field does not fit in `b` (callers check
// their bounds first, this only keeps a slip from becoming a stray read).
uint16_t read_u16(std::span<const uint8_t> b, size_t off);
uint32_t read_u32(std::span<const uint8_t> b, size_t off);
uint64_t read_u64(std::span<const uint8_t> b, size_t off);

} // namespace plat
