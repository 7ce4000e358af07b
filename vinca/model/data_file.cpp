// The control data file.
#include "vinca/model/data_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/com/prop_exchange.h"
#include "platform/com/stream.h"

namespace vinca {

using namespace plat;

bool CMappedFile::Open(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || data.size() > 0x7FFFFFFF) return false;
    m_data = std::move(data);
    m_pos = 0;
    m_open = true;
    return true;
}

uint32_t CMappedFile::Read(void* buffer, uint32_t count) {
    uint32_t n = std::min(count, Size() - std::min(m_pos, Size()));
    if (n) std::memcpy(buffer, m_data.data() + m_pos, n);
    m_pos += n;
    return n;
}

uint32_t CMappedFile::Write(const void* buffer, uint32_t count) {
    uint32_t n = std::min(count, Size() - std::min(m_pos, Size()));
    if (n) std::memcpy(m_data.data() + m_pos, buffer, n);
    m_pos += n;
    return n;
}

bool CMappedFile::Seek(int32_t offset, int origin) {
    int64_t target = origin == 0 ? offset : origin == 1 ? int64_t(m_pos) + offset : int64_t(Size()) + offset;
    bool ok = origin == 0   ? (offset >= 0 && target < Size())
              : origin == 1 ? (target >= 0 && target < Size())
              : origin == 2 ? (offset <= 0 && target >= 0)
                            : false;
    if (ok) m_pos = static_cast<uint32_t>(target);
    return ok;
}

void CMappedFile::Replace(const void* pattern, const void* replacement, uint32_t length) {
    if (length == 0 || Size() < length) return;
    for (uint32_t at = 0; at + length <= Size(); ++at)
        if (std::memcmp(m_data.data() + at, pattern, length) == 0)
            std::memcpy(m_data.data() + at, replacement, length);
}

int SaveDataFile(const std::filesystem::path& path, IPersistTarget& target) {
    std::filesystem::path temp = path;
    temp += ".saving";
    try {
        ComPtr<IStream> stream;
        if (FAILED(open_file_stream(temp, FileStreamMode::Create, stream))) return 1;
        bool ok = SUCCEEDED(write_class_id(stream.get(), CLSID_VincaControl));
        if (ok) {
            StreamExchange px(stream.get(), false);
            ExchangeProperties(px, target);
            ok = SUCCEEDED(px.finish());
        }
        stream.reset();
        std::error_code ec;
        if (ok) std::filesystem::rename(temp, path, ec);
        if (!ok || ec) {
            std::filesystem::remove(temp, ec);
            return 1;
        }
        return 0;
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return 1;
    }
}

int LoadDataFile(const std::filesystem::path& path, IPersistTarget& target) {
    try {
        CMappedFile file;
        if (!file.Open(path)) return 1;
        file.Replace(&CLSID_OldVincaControl, &CLSID_VincaControl, sizeof(CLSID));
        file.Replace(&CLSID_OldTreeObject, &CLSID_TreeSerializeObject, sizeof(CLSID));
        CLSID head;
        if (file.Read(&head, sizeof head) != sizeof head || !(head == CLSID_VincaControl)) return 4;
        std::vector<uint8_t> rest(file.Data().begin() + sizeof(CLSID), file.Data().end());
        ComPtr<IStream> stream = create_memory_stream(std::move(rest));
        StreamExchange px(stream.get(), true);
        if (FAILED(px.status())) return 1;
        ExchangeProperties(px, target);
        return FAILED(px.status()) ? 1 : 0;
    } catch (...) {
        return 2;
    }
}

} // namespace vinca
