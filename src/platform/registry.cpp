#include "platform/registry.h"

#include "platform/folders.h"
#include "platform/textcodec.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace zeph::reg {

namespace {

constexpr int kBusyTimeoutMs = 5000;

const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
    " name TEXT NOT NULL, fold TEXT NOT NULL, UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals(id INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL,"
    " name TEXT NOT NULL, fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB, UNIQUE(key, fold));";

// One open hive file. Reopened when the file at the path is replaced or appears.
struct Hive {
    sqlite3* db = nullptr;
    std::string path;
    bool readOnly = false;
    dev_t dev = 0;
    ino_t ino = 0;
    pid_t pid = 0;  // a connection is never shared across fork
    // Prepared statements kept for the connection's life: preparing costs more than the lookup.
    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    std::map<std::string, Cached, std::less<>> statements;
    ~Hive()
    {
        for (auto& entry : statements) sqlite3_finalize(entry.second.stmt);
        if (db) sqlite3_close_v2(db);
    }
};

[[noreturn]] void fail(const Hive& h, const std::string& what, int rc)
{
    std::string msg;
    if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
        msg = "Soubor registru " + h.path + " není platná databáze registru.";
    else if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        msg = "Soubor registru " + h.path + " je zamčen jiným procesem.";
    else if (rc == SQLITE_READONLY)
        msg = "Do registru " + h.path + " nelze zapisovat.";
    else
        msg = "Chyba registru " + h.path + " (" + what + "): " + (h.db ? sqlite3_errmsg(h.db) : sqlite3_errstr(rc));
    throw Error(msg);
}

class Stmt {
public:
    Stmt(Hive& h, const char* sql) : h_(h)
    {
        auto it = h.statements.find(std::string_view(sql));
        if (it != h.statements.end() && !it->second.inUse) {
            cached_ = &it->second;
        } else {
            int rc = sqlite3_prepare_v3(h.db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st_, nullptr);
            if (rc != SQLITE_OK) fail(h, "prepare", rc);
            if (it == h.statements.end()) cached_ = &h.statements.emplace(sql, Hive::Cached{st_, false}).first->second;
        }
        if (cached_) {
            st_ = cached_->stmt;
            cached_->inUse = true;
        }
    }
    ~Stmt()
    {
        if (!cached_) {
            sqlite3_finalize(st_);  // a second use of a statement already running
            return;
        }
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        cached_->inUse = false;
    }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    Stmt& bind(int i, int64_t v) { sqlite3_bind_int64(st_, i, v); return *this; }
    Stmt& bind(int i, const std::string& v) { sqlite3_bind_text(st_, i, v.data(), (int)v.size(), SQLITE_TRANSIENT); return *this; }
    Stmt& bindBlob(int i, const std::vector<uint8_t>& v)
    {
        sqlite3_bind_blob(st_, i, v.empty() ? "" : (const void*)v.data(), (int)v.size(), SQLITE_TRANSIENT);
        return *this;
    }
    bool step()
    {
        int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        fail(h_, "step", rc);
    }
    int64_t i64(int c) { return sqlite3_column_int64(st_, c); }
    std::string str(int c)
    {
        auto p = (const char*)sqlite3_column_text(st_, c);
        return p ? std::string(p, sqlite3_column_bytes(st_, c)) : std::string();
    }
    std::vector<uint8_t> blob(int c)
    {
        auto p = (const uint8_t*)sqlite3_column_blob(st_, c);
        int n = sqlite3_column_bytes(st_, c);
        return p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
    }

private:
    Hive& h_;
    sqlite3_stmt* st_ = nullptr;
    Hive::Cached* cached_ = nullptr;
};

void exec(Hive& h, const char* sql)
{
    int rc = sqlite3_exec(h.db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(h, sql, rc);
}

std::mutex g_mutex;
std::map<std::string, std::unique_ptr<Hive>> g_hives;

// The hive for a root, or nullptr when there is none yet and write is false.
Hive* hive(Root root, bool write)
{
    std::string path = hivePath(root);
    struct stat st {};
    bool present = ::stat(path.c_str(), &st) == 0;
    auto it = g_hives.find(path);
    if (it != g_hives.end()) {
        Hive& h = *it->second;
        if (present && h.dev == st.st_dev && h.ino == st.st_ino && h.pid == getpid() && (!write || !h.readOnly))
            return &h;
        // A connection inherited across fork belongs to the parent: leave it alone, never close it here.
        if (h.pid != getpid()) it->second.release();
        g_hives.erase(it);
    }
    if (!present && !write) return nullptr;

    auto h = std::make_unique<Hive>();
    h->path = path;
    h->pid = getpid();
    std::error_code ec;
    if (!present) std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    bool writable = present ? access(path.c_str(), W_OK) == 0
                            : access(std::filesystem::path(path).parent_path().c_str(), W_OK) == 0;
    if (write && !writable) fail(*h, "open", SQLITE_READONLY);
    h->readOnly = !writable;
    int flags = writable ? (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) : SQLITE_OPEN_READONLY;
    int rc = sqlite3_open_v2(path.c_str(), &h->db, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) fail(*h, "open", rc);
    sqlite3_busy_timeout(h->db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(h->db, 0);
    if (writable) {
        // WAL keeps readers and a writer apart; a killed writer leaves only committed changes.
        sqlite3_exec(h->db, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr);
        exec(*h, "PRAGMA synchronous=NORMAL;");
        exec(*h, kSchema);
    } else {
        // Touch the schema so a file that is no database fails here, clearly.
        Stmt s(*h, "SELECT count(*) FROM sqlite_master");
        s.step();
    }
    if (::stat(path.c_str(), &st) == 0) {
        h->dev = st.st_dev;
        h->ino = st.st_ino;
    }
    Hive* raw = h.get();
    g_hives[path] = std::move(h);
    return raw;
}

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

std::string joinPath(const std::vector<std::string>& parts)
{
    std::string out;
    for (auto& p : parts) out += (out.empty() ? "" : "\\") + p;
    return out;
}

// The key's id, walking from the root; -1 when missing. With create, makes missing keys.
int64_t resolve(Hive& h, const std::string& path, bool create)
{
    int64_t id = 0;
    for (auto& part : splitPath(path)) {
        std::string fold = foldName(part);
        Stmt q(h, "SELECT id FROM keys WHERE parent=? AND fold=?");
        q.bind(1, id).bind(2, fold);
        if (q.step()) {
            id = q.i64(0);
            continue;
        }
        if (!create) return -1;
        Stmt ins(h, "INSERT INTO keys(parent, name, fold) VALUES(?,?,?)");
        ins.bind(1, id).bind(2, part).bind(3, fold);
        ins.step();
        id = sqlite3_last_insert_rowid(h.db);
    }
    return id;
}

// Runs fn inside one write transaction of the root's hive.
template <typename Fn>
auto writeTxn(Root root, Fn fn)
{
    std::lock_guard lock(g_mutex);
    Hive& h = *hive(root, true);
    exec(h, "BEGIN IMMEDIATE");
    try {
        auto r = fn(h);
        exec(h, "COMMIT");
        return r;
    } catch (...) {
        sqlite3_exec(h.db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace

Value Value::text(std::string name, const std::string& s, Type t)
{
    return {std::move(name), t, std::vector<uint8_t>(s.begin(), s.end())};
}

Value Value::dword(std::string name, uint32_t v)
{
    return {std::move(name), Type::DWord,
            {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
}

Value Value::binary(std::string name, std::vector<uint8_t> bytes) { return {std::move(name), Type::Binary, std::move(bytes)}; }

std::string Value::asText() const { return std::string(data.begin(), data.end()); }

uint32_t Value::asDWord() const
{
    if (data.size() < 4) return 0;
    return uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
}

std::string hivePath(Root root)
{
    if (root == Root::CurrentUser) return folders::configHome() + "zephlon8/hkcu.db";
    const char* p = std::getenv("ZEPH_HKLM_HIVE");
    return p && *p ? std::string(p) : std::string("/etc/zephlon8/hklm.db");
}

std::string rootName(Root root) { return root == Root::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE"; }

std::optional<std::pair<Root, std::string>> parseRootedPath(const std::string& path)
{
    auto parts = splitPath(path);
    if (parts.empty()) return std::nullopt;
    std::string first = text::toUpper(parts[0]);
    Root root;
    if (first == "HKCU" || first == "HKEY_CURRENT_USER") root = Root::CurrentUser;
    else if (first == "HKLM" || first == "HKEY_LOCAL_MACHINE") root = Root::LocalMachine;
    else return std::nullopt;
    parts.erase(parts.begin());
    return std::make_pair(root, joinPath(parts));
}

std::string foldName(const std::string& name) { return text::toUpper(name); }

std::optional<Key> Key::open(Root root, const std::string& path, bool create)
{
    std::string norm = joinPath(splitPath(path));
    if (create) {
        int64_t id = writeTxn(root, [&](Hive& h) { return resolve(h, norm, true); });
        return Key(root, norm, id);
    }
    std::lock_guard lock(g_mutex);
    Hive* h = hive(root, false);
    if (!h) return norm.empty() ? std::optional<Key>(Key(root, norm, 0)) : std::nullopt;
    int64_t id = resolve(*h, norm, false);
    if (id < 0) return std::nullopt;
    return Key(root, norm, id);
}

bool Key::exists(Root root, const std::string& path) { return open(root, path).has_value(); }

bool Key::remove(Root root, const std::string& path)
{
    std::string norm = joinPath(splitPath(path));
    if (norm.empty()) return false;  // a root stays
    {
        std::lock_guard lock(g_mutex);
        if (!hive(root, false)) return false;
    }
    return writeTxn(root, [&](Hive& h) {
        int64_t id = resolve(h, norm, false);
        if (id < 0) return false;
        const char* sub = "WITH RECURSIVE sub(id) AS (SELECT ? UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent=sub.id) ";
        Stmt dv(h, (std::string(sub) + "DELETE FROM vals WHERE key IN sub").c_str());
        dv.bind(1, id).step();
        Stmt dk(h, (std::string(sub) + "DELETE FROM keys WHERE id IN sub").c_str());
        dk.bind(1, id).step();
        return true;
    });
}

std::optional<Value> Key::get(const std::string& name) const
{
    std::lock_guard lock(g_mutex);
    Hive* h = hive(root_, false);
    if (!h) return std::nullopt;
    int64_t id = resolve(*h, path_, false);
    if (id < 0) return std::nullopt;
    Stmt q(*h, "SELECT name, type, data FROM vals WHERE key=? AND fold=?");
    q.bind(1, id).bind(2, foldName(name));
    if (!q.step()) return std::nullopt;
    return Value{q.str(0), Type(q.i64(1)), q.blob(2)};
}

std::optional<std::string> Key::getText(const std::string& name) const
{
    auto v = get(name);
    if (!v || !v->isText()) return std::nullopt;
    return v->asText();
}

void Key::set(const Value& value) const
{
    writeTxn(root_, [&](Hive& h) {
        int64_t id = resolve(h, path_, true);
        // An existing value keeps its place in the creation order.
        Stmt up(h, "UPDATE vals SET name=?, type=?, data=? WHERE key=? AND fold=?");
        up.bind(1, value.name).bind(2, int64_t(value.type)).bindBlob(3, value.data).bind(4, id).bind(5, foldName(value.name));
        up.step();
        if (sqlite3_changes(h.db) == 0) {
            Stmt ins(h, "INSERT INTO vals(key, name, fold, type, data) VALUES(?,?,?,?,?)");
            ins.bind(1, id).bind(2, value.name).bind(3, foldName(value.name)).bind(4, int64_t(value.type)).bindBlob(5, value.data);
            ins.step();
        }
        return 0;
    });
}

void Key::setText(const std::string& name, const std::string& text, Type t) const { set(Value::text(name, text, t)); }
void Key::setDWord(const std::string& name, uint32_t v) const { set(Value::dword(name, v)); }

bool Key::removeValue(const std::string& name) const
{
    {
        std::lock_guard lock(g_mutex);
        if (!hive(root_, false)) return false;
    }
    return writeTxn(root_, [&](Hive& h) {
        int64_t id = resolve(h, path_, false);
        if (id < 0) return false;
        Stmt d(h, "DELETE FROM vals WHERE key=? AND fold=?");
        d.bind(1, id).bind(2, foldName(name)).step();
        return sqlite3_changes(h.db) > 0;
    });
}

bool Key::hasValue(const std::string& name) const { return get(name).has_value(); }

std::vector<std::string> Key::subkeys() const
{
    std::lock_guard lock(g_mutex);
    std::vector<std::string> out;
    Hive* h = hive(root_, false);
    if (!h) return out;
    int64_t id = resolve(*h, path_, false);
    if (id < 0) return out;
    Stmt q(*h, "SELECT name FROM keys WHERE parent=? ORDER BY fold");
    q.bind(1, id);
    while (q.step()) out.push_back(q.str(0));
    return out;
}

std::vector<Value> Key::values() const
{
    std::lock_guard lock(g_mutex);
    std::vector<Value> out;
    Hive* h = hive(root_, false);
    if (!h) return out;
    int64_t id = resolve(*h, path_, false);
    if (id < 0) return out;
    Stmt q(*h, "SELECT name, type, data FROM vals WHERE key=? ORDER BY id");
    q.bind(1, id);
    while (q.step()) out.push_back(Value{q.str(0), Type(q.i64(1)), q.blob(2)});
    return out;
}

std::optional<Key> Key::subkey(const std::string& name, bool create) const
{
    return open(root_, path_.empty() ? name : path_ + "\\" + name, create);
}

}  // namespace zeph::reg
