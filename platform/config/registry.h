#pragma once
// The registry store of the emulated machine: a tree of keys under a few
// hives, each key holding named, typed values, kept in one SQLite file.
//
//  - Key and value names compare without regard to case; a key keeps the case
//    it was first created with. Key paths take '\' or '/' as separators;
//    repeated, leading and trailing separators are ignored. An empty path is
//    the hive itself.
//  - HKEY_CLASSES_ROOT is the same tree as HKEY_LOCAL_MACHINE\SOFTWARE\Classes,
//    as on the machines the system was written for.
//  - The empty value name is the key's default (unnamed) value.
//  - Several processes and threads may use one store at once; every write is
//    one transaction and waits for the others, so no write is lost.
//  - A damaged store file is reported as SysError::BadDatabase by every call
//    and is never overwritten; a missing one is created empty.
#include "platform/base/types.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace plat {

enum class Hive : uint8_t {
    ClassesRoot = 1,
    CurrentUser = 2,
    LocalMachine = 3,
    Users = 4,
    CurrentConfig = 5,
};

// "HKEY_LOCAL_MACHINE" or "HKLM" (any case) and so on; nullopt for any other
// text: an unknown hive is an error, never silently another hive.
std::optional<Hive> parse_hive(std::string_view name);
std::string_view hive_name(Hive hive); // the long form

// Splits "HKLM\SOFTWARE\Vendor" (or with '/') into its hive and key path.
// InvalidParameter when the hive is unknown.
SysError split_registry_key(std::string_view full_path, Hive& hive, std::string& key);

enum class RegType : uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    DWord = 4,
    DWordBigEndian = 5,
    MultiString = 7,
};

// One value as stored: its type and its bytes. Texts are UTF-8 without a
// terminating NUL; a multi-string is its texts each followed by a NUL, then
// one more NUL; a 32-bit number is 4 bytes, little-endian (big-endian for
// DWordBigEndian).
struct RegValue {
    RegType type{RegType::None};
    std::vector<uint8_t> data;

    static RegValue string(std::string_view text, RegType type = RegType::String);
    static RegValue dword(uint32_t number);
    static RegValue binary(std::vector<uint8_t> bytes);
    static RegValue multi_string(const std::vector<std::string>& texts);

    bool is_text() const { return type == RegType::String || type == RegType::ExpandString; }
    bool is_number() const { return type == RegType::DWord || type == RegType::DWordBigEndian; }
    // The data as text: a number in decimal, any other type its bytes with
    // trailing NULs dropped.
    std::string as_string() const;
    // The number of a DWord value (either byte order); the data's first bytes
    // read little-endian for other types, 0 when shorter than 4 bytes.
    uint32_t as_dword() const;
    std::vector<std::string> as_multi_string() const;

    bool operator==(const RegValue&) const = default;
};

struct RegValueEntry {
    std::string name; // as written; empty for the default value
    RegValue value;
};

class Registry {
  public:
    // The store in a file, shared per file (and per process: a child after
    // fork gets its own connection). Never null; a store that cannot be
    // opened reports its error from every call.
    static std::shared_ptr<Registry> open(const std::filesystem::path& store_file);

    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    const std::filesystem::path& file() const { return m_file; }
    // Success, or why the store cannot be used (BadDatabase, AccessDenied...).
    SysError status() const;

    // Creates the key and any missing parents; Success also when it existed.
    SysError create_key(Hive hive, std::string_view key);
    // Success when the key exists, FileNotFound when not.
    SysError open_key(Hive hive, std::string_view key);
    bool key_exists(Hive hive, std::string_view key) { return open_key(hive, key) == SysError::Success; }
    // Deletes the key with all its sub-keys and values. FileNotFound when it
    // is missing; a hive, HKLM\SOFTWARE and the classes root cannot be
    // deleted (AccessDenied).
    SysError delete_key(Hive hive, std::string_view key);

    // Stores a value, creating the key (and parents) when missing.
    SysError set_value(Hive hive, std::string_view key, std::string_view name, const RegValue& value);
    // FileNotFound when the key or the value is missing.
    SysError get_value(Hive hive, std::string_view key, std::string_view name, RegValue& out);
    SysError delete_value(Hive hive, std::string_view key, std::string_view name);

    // Sub-key names (as written), ordered without regard to case.
    SysError enum_keys(Hive hive, std::string_view key, std::vector<std::string>& out);
    // Values in the order they were first stored.
    SysError enum_values(Hive hive, std::string_view key, std::vector<RegValueEntry>& out);

    // Shorthands: the text or number of a value, or the default when it is
    // missing or unreadable.
    std::string get_string(Hive hive, std::string_view key, std::string_view name, std::string_view def = {});
    uint32_t get_dword(Hive hive, std::string_view key, std::string_view name, uint32_t def);
    SysError set_string(Hive hive, std::string_view key, std::string_view name, std::string_view text) {
        return set_value(hive, key, name, RegValue::string(text));
    }
    SysError set_dword(Hive hive, std::string_view key, std::string_view name, uint32_t number) {
        return set_value(hive, key, name, RegValue::dword(number));
    }

    // Sets the value only when it is missing (one transaction); used to seed
    // a fresh machine without overwriting what is already there.
    SysError set_value_if_missing(Hive hive, std::string_view key, std::string_view name,
                                  const RegValue& value);

  private:
    explicit Registry(std::filesystem::path file);
    struct Impl;
    std::filesystem::path m_file;
    std::unique_ptr<Impl> m_impl;
};

// The store of the current emulated machine (see machine.h); the root is
// read from the environment on every call.
Registry& registry();

// Per-user application settings by application name, section and key, kept
// as texts under HKEY_CURRENT_USER\Software\VB and VBA Program Settings.
std::string get_setting(std::string_view app, std::string_view section, std::string_view key,
                        std::string_view def = {});
SysError save_setting(std::string_view app, std::string_view section, std::string_view key,
                      std::string_view value);
// An empty key deletes the whole section, an empty section the whole
// application's settings.
SysError delete_setting(std::string_view app, std::string_view section = {}, std::string_view key = {});
std::vector<RegValueEntry> get_all_settings(std::string_view app, std::string_view section);

// Application profile under a registry key of HKEY_CURRENT_USER (for example
// "Software\\Marovia\\Kestrelite\\KLClient"): one sub-key per section, texts
// as String values, numbers as DWord values. A number read from a String
// value takes its leading digits.
std::string profile_get_string(std::string_view base_key, std::string_view section, std::string_view entry,
                               std::string_view def = {});
int32_t profile_get_int(std::string_view base_key, std::string_view section, std::string_view entry,
                        int32_t def);
SysError profile_write_string(std::string_view base_key, std::string_view section, std::string_view entry,
                              std::string_view value);
SysError profile_write_int(std::string_view base_key, std::string_view section, std::string_view entry,
                           int32_t value);

} // namespace plat
