#include "client/engine/registry_image.h"

#include <vector>

#include "platform/base/strings.h"

namespace klc {
namespace {

constexpr plat::Hive kHives[] = {plat::Hive::LocalMachine, plat::Hive::CurrentUser, plat::Hive::Users,
                                 plat::Hive::CurrentConfig};

std::string key_id(plat::Hive hive, const std::string& path) {
    return std::to_string(static_cast<int>(hive)) + "\\" + plat::to_lower(path);
}

std::string child_path(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "\\" + name;
}

} // namespace

RegistryImage RegistryImage::Take() {
    RegistryImage image;
    plat::Registry& reg = plat::registry();
    for (plat::Hive hive : kHives) {
        std::vector<std::string> top;
        if (reg.enum_keys(hive, "", top) != plat::SysError::Success) continue;
        for (const std::string& name : top)
            image.Read(reg, hive, name);
    }
    return image;
}

void RegistryImage::Read(plat::Registry& reg, plat::Hive hive, const std::string& path) {
    Key& key = m_keys[key_id(hive, path)];
    key.name = {hive, path};
    std::vector<plat::RegValueEntry> values;
    if (reg.enum_values(hive, path, values) == plat::SysError::Success)
        for (plat::RegValueEntry& v : values)
            key.values[plat::to_lower(v.name)] = std::move(v);
    std::vector<std::string> children;
    if (reg.enum_keys(hive, path, children) != plat::SysError::Success) return;
    for (const std::string& child : children)
        Read(reg, hive, child_path(path, child));
}

void RegistryChanges::Add(const RegistryImage& a, const RegistryImage& b) {
    // Every key and value of one image that the other lacks or holds
    // differently, looked at from both sides.
    auto one_way = [&](const RegistryImage& from, const RegistryImage& other) {
        for (const auto& [id, key] : from.m_keys) {
            auto there = other.m_keys.find(id);
            if (there == other.m_keys.end()) m_keys.emplace(id, key.name);
            for (const auto& [name, entry] : key.values) {
                bool same = false;
                if (there != other.m_keys.end()) {
                    auto v = there->second.values.find(name);
                    same = v != there->second.values.end() && v->second.value == entry.value;
                }
                if (!same) m_values.emplace(std::make_pair(id, name), std::make_pair(key.name, entry.name));
            }
        }
    };
    one_way(a, b);
    one_way(b, a);
}

void RegistryChanges::Restore(const RegistryImage& before) const {
    plat::Registry& reg = plat::registry();
    // Keys the earlier image did not hold go with everything below them.
    for (const auto& [id, name] : m_keys)
        if (!before.m_keys.count(id)) reg.delete_key(name.hive, name.path);
    for (const auto& [id, name] : m_keys) {
        auto it = before.m_keys.find(id);
        if (it != before.m_keys.end()) reg.create_key(it->second.name.hive, it->second.name.path);
    }
    for (const auto& [id, where] : m_values) {
        auto key = before.m_keys.find(id.first);
        if (key == before.m_keys.end()) continue; // its key was new and is deleted above
        const RegistryKeyName& name = key->second.name;
        auto value = key->second.values.find(id.second);
        if (value != key->second.values.end())
            reg.set_value(name.hive, name.path, value->second.name, value->second.value);
        else
            reg.delete_value(name.hive, name.path, where.second);
    }
}

} // namespace klc
