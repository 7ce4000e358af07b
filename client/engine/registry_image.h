#pragma once
// A copy of the registry store's keys and values, taken around a module's
// registration: what differs between two copies is what the registration
// wrote, and the copy taken before it is what a rollback puts back.
#include <map>
#include <string>
#include <utility>

#include "platform/config/registry.h"

namespace klc {

struct RegistryKeyName {
    plat::Hive hive = plat::Hive::LocalMachine;
    std::string path; // as written
};

class RegistryImage {
  public:
    // Every key and value of the machine's store (the classes root is a
    // part of HKLM and is read there).
    static RegistryImage Take();

  private:
    friend class RegistryChanges;
    struct Key {
        RegistryKeyName name;
        std::map<std::string, plat::RegValueEntry> values; // by folded value name
    };
    void Read(plat::Registry& reg, plat::Hive hive, const std::string& path);

    std::map<std::string, Key> m_keys; // by hive and folded path
};

// The keys and values in which images differ.
class RegistryChanges {
  public:
    void Add(const RegistryImage& a, const RegistryImage& b);
    bool Empty() const { return m_keys.empty() && m_values.empty(); }
    // Puts every changed key and value back as `before` holds it: keys and
    // values it did not hold are deleted, the others written again.
    void Restore(const RegistryImage& before) const;

  private:
    std::map<std::string, RegistryKeyName> m_keys;
    std::map<std::pair<std::string, std::string>, std::pair<RegistryKeyName, std::string>> m_values;
};

} // namespace klc
