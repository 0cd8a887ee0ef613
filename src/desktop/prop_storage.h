// TPropStorage: a tree of sections and typed keys held in memory; TRegData loads the whole
// tree from a registry key and writes it back.
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeph::desk {

enum class TKeyType { String, Integer, Boolean, Float, Currency, Date, Int64, Bytes };

struct TStorageKey {
    std::string name;
    TKeyType type = TKeyType::String;
    std::string text;            // String
    int64_t integer = 0;         // Integer, Boolean, Int64, Currency (scaled by 10000)
    double number = 0;           // Float, Date
    std::vector<uint8_t> bytes;  // Bytes

    static TStorageKey ofString(std::string name, std::string v);
    static TStorageKey ofInteger(std::string name, int32_t v);
    static TStorageKey ofBoolean(std::string name, bool v);
    static TStorageKey ofFloat(std::string name, double v);
    static TStorageKey ofInt64(std::string name, int64_t v);
};

class TStorageSection {
public:
    explicit TStorageSection(std::string name = "") : name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    const std::vector<TStorageKey>& keys() const { return keys_; }
    const std::vector<std::unique_ptr<TStorageSection>>& sections() const { return sections_; }

    // Names compare without regard to case, as the registry compares them.
    const TStorageKey* findKey(const std::string& name) const;
    TStorageSection* findSection(const std::string& name) const;
    void putKey(TStorageKey key);       // replaces a key of that name in its place, else appends
    void putKeyFirst(TStorageKey key);  // for loading, which reads from the last to the first
    bool deleteKey(const std::string& name);
    TStorageSection& section(const std::string& name);  // creates it when missing (appended)
    TStorageSection& sectionFirst(const std::string& name);
    void clear();

private:
    std::string name_;
    std::vector<TStorageKey> keys_;
    std::vector<std::unique_ptr<TStorageSection>> sections_;
};

// A failure of the back end while saving; the text is what the user's error report shows.
class TStorageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TRegData {
public:
    reg::Root RootKey = reg::Root::CurrentUser;
    std::string RootPath;

    // Empties the tree and reads the key into it; a missing or unreadable key leaves it empty.
    void Load(TStorageSection& tree) const;
    // Makes the key hold exactly the tree. Throws TStorageError ("Open/Create key. Code n",
    // "Create key. Code n").
    void Save(const TStorageSection& tree) const;
};

class TPropStorage {
public:
    TRegData* StorageData = nullptr;

    bool active() const { return active_; }
    void setActive(bool on);  // becoming active loads the storage

    const std::string& rootSectionName() const { return rootSection_; }
    // Makes the named section (a "\" or "/" separated path from the top) the root section,
    // creating it when missing.
    void setRootSection(const std::string& path);

    void LoadStorage();
    void SaveStorage() const;

    // Keys by path relative to the root section; the last part is the key name, which may
    // itself contain dots.
    const TStorageKey* readKey(const std::string& path) const;
    void writeKey(const std::string& path, TStorageKey key);
    bool deleteKey(const std::string& path);

    TStorageSection& tree() { return tree_; }
    const TStorageSection& tree() const { return tree_; }

private:
    TStorageSection* rootOf(const std::string& path, std::string& keyName, bool create);
    TStorageSection tree_;
    std::string rootSection_;
    bool active_ = false;
};

}  // namespace zeph::desk
