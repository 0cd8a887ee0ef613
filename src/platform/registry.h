// Registry hives: one SQLite database per root, keys addressed by "\"-separated paths.
// Key and value names compare without regard to case (Czech letters included); subkeys
// enumerate sorted without regard to case, values in creation order. Every change is one
// transaction, so a killed process never leaves a torn hive.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeph::reg {

enum class Root { CurrentUser, LocalMachine };

enum class Type : uint32_t { None = 0, Sz = 1, ExpandSz = 2, Binary = 3, DWord = 4 };

// A storage failure: the hive is not a database, stays locked, or is read-only on a write.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Value {
    std::string name;
    Type type = Type::None;
    std::vector<uint8_t> data;  // REG_SZ / REG_EXPAND_SZ: the UTF-8 text, no terminator

    static Value text(std::string name, const std::string& s, Type t = Type::Sz);
    static Value dword(std::string name, uint32_t v);
    static Value binary(std::string name, std::vector<uint8_t> bytes);

    bool isText() const { return type == Type::Sz || type == Type::ExpandSz; }
    std::string asText() const;  // the data as text, whatever the type
    uint32_t asDWord() const;    // the first four bytes little-endian (0 when shorter)
};

// Where each root's hive lives: HKCU under $XDG_CONFIG_HOME/zephlon8/hkcu.db; HKLM at
// $ZEPH_HKLM_HIVE when set, else /etc/zephlon8/hklm.db. Resolved at every call, so a test
// that points HOME elsewhere gets a fresh hive.
std::string hivePath(Root root);

// Splits "HKCU\Software\X" / "HKEY_LOCAL_MACHINE\..." into root and the rest.
std::optional<std::pair<Root, std::string>> parseRootedPath(const std::string& path);
std::string rootName(Root root);  // "HKEY_CURRENT_USER" / "HKEY_LOCAL_MACHINE"

// An open key. Cheap to copy; every call touches the hive afresh, so two keys on the same
// path see each other's changes at once. Methods throw reg::Error on storage failures.
class Key {
public:
    // Opens an existing key; nullopt when missing. With create, makes it and its parents.
    static std::optional<Key> open(Root root, const std::string& path, bool create = false);
    static bool exists(Root root, const std::string& path);
    // Deletes the key with its whole subtree; false when there was none.
    static bool remove(Root root, const std::string& path);

    Root root() const { return root_; }
    const std::string& path() const { return path_; }

    std::optional<Value> get(const std::string& name) const;
    std::optional<std::string> getText(const std::string& name) const;  // REG_SZ/EXPAND_SZ only
    void set(const Value& value) const;  // replaces a value of that name in its place
    void setText(const std::string& name, const std::string& text, Type t = Type::Sz) const;
    void setDWord(const std::string& name, uint32_t v) const;
    bool removeValue(const std::string& name) const;
    bool hasValue(const std::string& name) const;

    std::vector<std::string> subkeys() const;  // names as stored, sorted without regard to case
    std::vector<Value> values() const;         // in creation order
    std::optional<Key> subkey(const std::string& name, bool create = false) const;

private:
    Key(Root root, std::string path, int64_t id) : root_(root), path_(std::move(path)), id_(id) {}
    Root root_;
    std::string path_;
    int64_t id_;
};

// Upper-cases UTF-8 text the way key and value names compare (Č and č are one name).
std::string foldName(const std::string& name);

}  // namespace zeph::reg
