#include "platform/com/data_object.h"

#include <map>
#include <mutex>

#include "platform/base/strings.h"

namespace plat {

uint32_t register_clipboard_format(std::string_view name) {
    if (name.empty()) return 0;
    static std::mutex lock;
    static std::map<std::string, uint32_t> formats;
    std::string key;
    for (char c : name)
        key += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    std::lock_guard<std::mutex> guard(lock);
    auto it = formats.find(key);
    if (it != formats.end()) return it->second;
    const uint32_t next = 0xC000 + static_cast<uint32_t>(formats.size());
    if (next > 0xFFFF) return 0;
    formats.emplace(std::move(key), next);
    return next;
}

} // namespace plat
