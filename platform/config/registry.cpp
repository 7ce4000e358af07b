#include "platform/config/registry.h"

#include "platform/base/strings.h"

#include <map>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

// ---- hives and paths -----------------------------------------------------

namespace {

struct HiveName {
    Hive hive;
    std::string_view long_name;
    std::string_view short_name;
};

constexpr HiveName kHives[] = {
    {Hive::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},     {Hive::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {Hive::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},   {Hive::Users, "HKEY_USERS", "HKU"},
    {Hive::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
};

// The components of a key path; separators '\' and '/', empty parts dropped.
std::vector<std::string_view> split_key(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

} // namespace

std::optional<Hive> parse_hive(std::string_view name) {
    for (const auto& h : kHives)
        if (iequals(name, h.long_name) || iequals(name, h.short_name)) return h.hive;
    return std::nullopt;
}

std::string_view hive_name(Hive hive) {
    for (const auto& h : kHives)
        if (h.hive == hive) return h.long_name;
    return {};
}

SysError split_registry_key(std::string_view full_path, Hive& hive, std::string& key) {
    size_t sep = full_path.find_first_of("\\/");
    auto h = parse_hive(full_path.substr(0, sep));
    if (!h) return SysError::InvalidParameter;
    hive = *h;
    key = sep == std::string_view::npos ? std::string() : std::string(full_path.substr(sep + 1));
    return SysError::Success;
}

// ---- values --------------------------------------------------------------

RegValue RegValue::string(std::string_view text, RegType type) {
    return {type, std::vector<uint8_t>(text.begin(), text.end())};
}

RegValue RegValue::dword(uint32_t n) {
    return {RegType::DWord,
            {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
             static_cast<uint8_t>(n >> 24)}};
}

RegValue RegValue::binary(std::vector<uint8_t> bytes) {
    return {RegType::Binary, std::move(bytes)};
}

RegValue RegValue::multi_string(const std::vector<std::string>& texts) {
    RegValue v{RegType::MultiString, {}};
    for (const auto& t : texts) {
        v.data.insert(v.data.end(), t.begin(), t.end());
        v.data.push_back(0);
    }
    v.data.push_back(0);
    return v;
}

std::string RegValue::as_string() const {
    if (is_number()) return std::to_string(as_dword());
    size_t n = data.size();
    while (n > 0 && data[n - 1] == 0)
        --n;
    return std::string(data.begin(), data.begin() + static_cast<ptrdiff_t>(n));
}

uint32_t RegValue::as_dword() const {
    if (data.size() < 4) return 0;
    if (type == RegType::DWordBigEndian)
        return uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
    return uint32_t(data[3]) << 24 | uint32_t(data[2]) << 16 | uint32_t(data[1]) << 8 | data[0];
}

std::vector<std::string> RegValue::as_multi_string() const {
    std::vector<std::string> out;
    std::string cur;
    for (uint8_t b : data) {
        if (b != 0) {
            cur.push_back(static_cast<char>(b));
        } else if (cur.empty()) {
            break; // the empty text that ends the list
        } else {
            out.push_back(std::move(cur));
            cur.clear();
        }
    }
    if (!cur.empty()) out.push_back(std::move(cur)); // a list whose final NULs were lost
    return out;
}

// ---- the store -----------------------------------------------------------

namespace {

SysError sqlite_to_syserror(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return SysError::Success;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return SysError::Timeout;
    case SQLITE_NOMEM:
        return SysError::NotEnoughMemory;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return SysError::AccessDenied;
    case SQLITE_FULL:
        return SysError::DiskFull;
    case SQLITE_CANTOPEN:
        return SysError::PathNotFound;
    case SQLITE_IOERR:
        return SysError::WriteFault;
    default:
        return SysError::BadDatabase; // NOTADB, CORRUPT, foreign schema...
    }
}

// Keys are stored once per tree position; `fold` is the case-folded name the
// lookups compare, `name` the case it was created with. Values keep the order
// of their first storing through their row id.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    UNIQUE(parent, fold));
CREATE TABLE IF NOT EXISTS reg_values(
    id INTEGER PRIMARY KEY,
    key_id INTEGER NOT NULL,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key_id, fold));
INSERT OR IGNORE INTO reg_keys(id, parent, name, fold) VALUES
    (2, 0, 'HKEY_CURRENT_USER', 'hkey_current_user'),
    (3, 0, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine'),
    (4, 0, 'HKEY_USERS', 'hkey_users'),
    (5, 0, 'HKEY_CURRENT_CONFIG', 'hkey_current_config'),
    (6, 3, 'SOFTWARE', 'software'),
    (7, 6, 'Classes', 'classes');
PRAGMA user_version = 1;
)sql";

// The fixed rows above: the hive roots, and the machine's SOFTWARE\Classes,
// which is the classes root. None of them can be deleted.
constexpr int64_t kClassesRootId = 7;
constexpr int64_t kLastFixedId = 7;
constexpr const char* kCheckFixedRows =
    "SELECT count(*) FROM reg_keys WHERE (id BETWEEN 2 AND 5 AND parent = 0) OR (id = 6 AND parent = 3) "
    "OR (id = 7 AND parent = 6)";

int64_t hive_root_id(Hive hive) {
    return hive == Hive::ClassesRoot ? kClassesRootId : static_cast<int64_t>(hive);
}

class Stmt {
  public:
    Stmt(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    int prepared() const { return m_rc; }
    Stmt& bind(int i, int64_t v) {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Stmt& bind(int i, std::string_view v) {
        sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind_blob(int i, const std::vector<uint8_t>& v) {
        // A zero-length blob must still be a blob, not NULL.
        if (v.empty())
            sqlite3_bind_zeroblob(m_stmt, i, 0);
        else
            sqlite3_bind_blob(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return m_rc == SQLITE_OK ? sqlite3_step(m_stmt) : m_rc; }
    int64_t int_at(int col) const { return sqlite3_column_int64(m_stmt, col); }
    std::string text_at(int col) const {
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(m_stmt, col))) : std::string();
    }
    std::vector<uint8_t> blob_at(int col) const {
        auto p = static_cast<const uint8_t*>(sqlite3_column_blob(m_stmt, col));
        int n = sqlite3_column_bytes(m_stmt, col);
        return p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
    }

  private:
    sqlite3_stmt* m_stmt{nullptr};
    int m_rc{SQLITE_OK};
};

} // namespace

struct Registry::Impl {
    std::mutex mutex;
    sqlite3* db{nullptr};
    SysError status{SysError::PathNotFound};
    dev_t dev{};
    ino_t ino{};
    pid_t pid{};

    ~Impl() { close(); }

    void close() {
        if (db) sqlite3_close_v2(db);
        db = nullptr;
    }

    int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

    // Opens the file (again) when there is no usable connection, when the
    // file on disk is no longer the one the connection has open (deleted or
    // replaced: a missing store is then created afresh) or when this is a
    // child process that inherited the connection.
    SysError ensure_open(const std::filesystem::path& file) {
        if (db && pid != ::getpid())
            db = nullptr; // the parent's connection, inherited through fork: never use or close it
        struct stat st {};
        bool exists = ::stat(file.c_str(), &st) == 0;
        if (db && status == SysError::Success && exists && st.st_dev == dev && st.st_ino == ino)
            return SysError::Success;
        close();
        pid = ::getpid();
        status = open(file);
        if (status != SysError::Success) close();
        return status;
    }

    SysError open(const std::filesystem::path& file) {
        int rc = sqlite3_open_v2(file.c_str(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) return sqlite_to_syserror(rc);
        sqlite3_extended_result_codes(db, 0);
        // Other processes hold the write lock only for one short transaction.
        sqlite3_busy_timeout(db, 60000);
        // Several attempts: a fresh file switched to WAL by two processes at
        // once may report "busy" before the busy handler applies.
        for (int attempt = 0;; ++attempt) {
            rc = exec("PRAGMA journal_mode=WAL");
            if (rc != SQLITE_BUSY || attempt == 50) break;
            ::usleep(20000);
        }
        if (rc != SQLITE_OK) return sqlite_to_syserror(rc);
        exec("PRAGMA synchronous=NORMAL");
        rc = exec("BEGIN IMMEDIATE");
        if (rc == SQLITE_OK) {
            rc = exec(kSchema);
            if (rc == SQLITE_OK)
                rc = exec("COMMIT");
            else
                exec("ROLLBACK");
        }
        if (rc != SQLITE_OK) return sqlite_to_syserror(rc);
        // The tables must be ours: a foreign database fails here.
        Stmt check(db, "SELECT id, parent, name, fold FROM reg_keys WHERE 0 UNION ALL "
                       "SELECT key_id, type, name, data FROM reg_values WHERE 0");
        if (check.prepared() != SQLITE_OK) return SysError::BadDatabase;
        Stmt roots(db, kCheckFixedRows);
        if (int rc2 = roots.step(); rc2 != SQLITE_ROW) return sqlite_to_syserror(rc2);
        if (roots.int_at(0) != kLastFixedId - 1) return SysError::BadDatabase;
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0) return SysError::PathNotFound;
        dev = st.st_dev;
        ino = st.st_ino;
        return SysError::Success;
    }

    // A transaction that rolls back unless committed. Writers take the write
    // lock at the start so that they wait for each other instead of failing.
    class Txn {
      public:
        Txn(Impl& impl, bool write) : m_impl(impl) { m_rc = impl.exec(write ? "BEGIN IMMEDIATE" : "BEGIN"); }
        ~Txn() {
            if (m_rc == SQLITE_OK && !m_done) m_impl.exec("ROLLBACK");
        }
        int began() const { return m_rc; }
        SysError commit() {
            m_done = true;
            int rc = m_impl.exec("COMMIT");
            if (rc != SQLITE_OK) {
                m_impl.exec("ROLLBACK");
                return sqlite_to_syserror(rc);
            }
            return SysError::Success;
        }

      private:
        Impl& m_impl;
        int m_rc;
        bool m_done{false};
    };

    // Runs one operation in a transaction on an open store, one operation of
    // this process's threads at a time.
    template <class Op> SysError run(const std::filesystem::path& file, bool write, Op op) {
        std::lock_guard lock(mutex);
        if (SysError e = ensure_open(file); e != SysError::Success) return e;
        Txn txn(*this, write);
        if (txn.began() != SQLITE_OK) return sqlite_to_syserror(txn.began());
        return op(txn);
    }

    // Stores a value with the given insert statement, creating the key.
    SysError put(const std::filesystem::path& file, Hive hive, std::string_view key, std::string_view name,
                 const RegValue& value, const char* insert_sql) {
        return run(file, true, [&](Txn& txn) {
            int64_t id = 0;
            if (SysError e = resolve(hive, key, true, id); e != SysError::Success) return e;
            Stmt put(db, insert_sql);
            put.bind(1, id).bind(2, name).bind(3, to_lower(name)).bind(4, static_cast<int64_t>(value.type));
            put.bind_blob(5, value.data);
            if (int rc = put.step(); rc != SQLITE_DONE) return sqlite_to_syserror(rc);
            return txn.commit();
        });
    }

    // Finds (or with create, makes) the key; id 0 when missing.
    SysError resolve(Hive hive, std::string_view path, bool create, int64_t& id) {
        id = hive_root_id(hive);
        for (auto part : split_key(path)) {
            std::string fold = to_lower(part);
            Stmt find(db, "SELECT id FROM reg_keys WHERE parent = ?1 AND fold = ?2");
            find.bind(1, id).bind(2, fold);
            int rc = find.step();
            if (rc == SQLITE_ROW) {
                id = find.int_at(0);
                continue;
            }
            if (rc != SQLITE_DONE) return sqlite_to_syserror(rc);
            if (!create) {
                id = 0;
                return SysError::FileNotFound;
            }
            Stmt add(db, "INSERT INTO reg_keys(parent, name, fold) VALUES (?1, ?2, ?3)");
            add.bind(1, id).bind(2, part).bind(3, fold);
            rc = add.step();
            if (rc != SQLITE_DONE) return sqlite_to_syserror(rc);
            id = sqlite3_last_insert_rowid(db);
        }
        return SysError::Success;
    }
};

Registry::Registry(std::filesystem::path file) : m_file(std::move(file)), m_impl(std::make_unique<Impl>()) {}

Registry::~Registry() = default;

namespace {

// One connection per store file and process. A child after fork must not
// use (or close) its parent's connections, so they are left behind untouched.
struct RegistryCache {
    pid_t pid{0};
    std::map<std::string, std::shared_ptr<Registry>> stores;
};

std::mutex g_cache_mutex;
RegistryCache* g_cache = new RegistryCache; // never destroyed: see above

} // namespace

std::shared_ptr<Registry> Registry::open(const std::filesystem::path& store_file) {
    std::error_code ec;
    auto abs = std::filesystem::absolute(store_file, ec);
    std::string key = (ec ? store_file : abs).lexically_normal().string();
    std::lock_guard lock(g_cache_mutex);
    if (g_cache->pid != ::getpid()) {
        if (g_cache->pid != 0) g_cache = new RegistryCache; // the parent's connections are not ours to touch
        g_cache->pid = ::getpid();
    }
    auto& slot = g_cache->stores[key];
    if (!slot) slot.reset(new Registry(key));
    return slot;
}

SysError Registry::status() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->ensure_open(m_file);
}

SysError Registry::create_key(Hive hive, std::string_view key) {
    return m_impl->run(m_file, true, [&](Impl::Txn& txn) {
        int64_t id = 0;
        if (SysError e = m_impl->resolve(hive, key, true, id); e != SysError::Success) return e;
        return txn.commit();
    });
}

SysError Registry::open_key(Hive hive, std::string_view key) {
    return m_impl->run(m_file, false, [&](Impl::Txn& txn) {
        int64_t id = 0;
        return m_impl->resolve(hive, key, false, id);
    });
}

SysError Registry::delete_key(Hive hive, std::string_view key) {
    if (split_key(key).empty()) return SysError::AccessDenied; // a hive stays
    return m_impl->run(m_file, true, [&](Impl::Txn& txn) {
        int64_t id = 0;
        if (SysError e = m_impl->resolve(hive, key, false, id); e != SysError::Success) return e;
        if (id <= kLastFixedId) return SysError::AccessDenied; // HKLM\SOFTWARE and the classes root stay
        static constexpr const char* kTree = "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT k.id "
                                             "FROM reg_keys k JOIN tree ON k.parent = tree.id) ";
        std::string values_sql = std::string(kTree) + "DELETE FROM reg_values WHERE key_id IN tree";
        std::string keys_sql = std::string(kTree) + "DELETE FROM reg_keys WHERE id IN tree";
        for (const auto& sql : {values_sql, keys_sql}) {
            Stmt del(m_impl->db, sql.c_str());
            del.bind(1, id);
            if (int rc = del.step(); rc != SQLITE_DONE) return sqlite_to_syserror(rc);
        }
        return txn.commit();
    });
}

SysError Registry::set_value(Hive hive, std::string_view key, std::string_view name, const RegValue& value) {
    // A value set again keeps its first spelling and its place in the order.
    return m_impl->put(m_file, hive, key, name, value,
                       "INSERT INTO reg_values(key_id, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                       "ON CONFLICT(key_id, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
}

SysError Registry::set_value_if_missing(Hive hive, std::string_view key, std::string_view name,
                                        const RegValue& value) {
    return m_impl->put(
        m_file, hive, key, name, value,
        "INSERT OR IGNORE INTO reg_values(key_id, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5)");
}

SysError Registry::get_value(Hive hive, std::string_view key, std::string_view name, RegValue& out) {
    return m_impl->run(m_file, false, [&](Impl::Txn& txn) {
        int64_t id = 0;
        if (SysError e = m_impl->resolve(hive, key, false, id); e != SysError::Success) return e;
        Stmt get(m_impl->db, "SELECT type, data FROM reg_values WHERE key_id = ?1 AND fold = ?2");
        get.bind(1, id).bind(2, to_lower(name));
        int rc = get.step();
        if (rc == SQLITE_DONE) return SysError::FileNotFound;
        if (rc != SQLITE_ROW) return sqlite_to_syserror(rc);
        out.type = static_cast<RegType>(get.int_at(0));
        out.data = get.blob_at(1);
        return SysError::Success;
    });
}

SysError Registry::delete_value(Hive hive, std::string_view key, std::string_view name) {
    return m_impl->run(m_file, true, [&](Impl::Txn& txn) {
        int64_t id = 0;
        if (SysError e = m_impl->resolve(hive, key, false, id); e != SysError::Success) return e;
        Stmt del(m_impl->db, "DELETE FROM reg_values WHERE key_id = ?1 AND fold = ?2");
        del.bind(1, id).bind(2, to_lower(name));
        if (int rc = del.step(); rc != SQLITE_DONE) return sqlite_to_syserror(rc);
        if (sqlite3_changes(m_impl->db) == 0) return SysError::FileNotFound;
        return txn.commit();
    });
}

SysError Registry::enum_keys(Hive hive, std::string_view key, std::vector<std::string>& out) {
    out.clear();
    return m_impl->run(m_file, false, [&](Impl::Txn& txn) {
        int64_t id = 0;
        if (SysError e = m_impl->resolve(hive, key, false, id); e != SysError::Success) return e;
        Stmt list(m_impl->db, "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY fold");
        list.bind(1, id);
        int rc;
        while ((rc = list.step()) == SQLITE_ROW)
            out.push_back(list.text_at(0));
        return rc == SQLITE_DONE ? SysError::Success : sqlite_to_syserror(rc);
    });
}

SysError Registry::enum_values(Hive hive, std::string_view key, std::vector<RegValueEntry>& out) {
    out.clear();
    return m_impl->run(m_file, false, [&](Impl::Txn& txn) {
        int64_t id = 0;
        if (SysError e = m_impl->resolve(hive, key, false, id); e != SysError::Success) return e;
        Stmt list(m_impl->db, "SELECT name, type, data FROM reg_values WHERE key_id = ?1 ORDER BY id");
        list.bind(1, id);
        int rc;
        while ((rc = list.step()) == SQLITE_ROW)
            out.push_back({list.text_at(0), {static_cast<RegType>(list.int_at(1)), list.blob_at(2)}});
        return rc == SQLITE_DONE ? SysError::Success : sqlite_to_syserror(rc);
    });
}

std::string Registry::get_string(Hive hive, std::string_view key, std::string_view name,
                                 std::string_view def) {
    RegValue v;
    return get_value(hive, key, name, v) == SysError::Success ? v.as_string() : std::string(def);
}

uint32_t Registry::get_dword(Hive hive, std::string_view key, std::string_view name, uint32_t def) {
    RegValue v;
    if (get_value(hive, key, name, v) != SysError::Success) return def;
    if (v.is_number()) return v.as_dword();
    bool ok = false;
    int32_t n = parse_leading_int(v.as_string(), &ok);
    return ok ? static_cast<uint32_t>(n) : def;
}

} // namespace plat
