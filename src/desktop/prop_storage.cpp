#include "desktop/prop_storage.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zeph::desk {

namespace {

bool sameName(const std::string& a, const std::string& b) { return reg::foldName(a) == reg::foldName(b); }

// Type codes of the 10-byte binary form.
constexpr uint16_t kCodeFloat = 4, kCodeCurrency = 5, kCodeDate = 6, kCodeInt64 = 9;

reg::Value toValue(const TStorageKey& k)
{
    auto typed = [&](uint16_t code, const void* v8) {
        std::vector<uint8_t> b(10);
        b[0] = uint8_t(code);
        b[1] = uint8_t(code >> 8);
        std::memcpy(b.data() + 2, v8, 8);  // little-endian host, as the stored form
        return reg::Value::binary(k.name, std::move(b));
    };
    switch (k.type) {
    case TKeyType::String: return reg::Value::text(k.name, k.text);
    case TKeyType::Integer:
    case TKeyType::Boolean: return reg::Value::dword(k.name, uint32_t(int32_t(k.integer)));
    case TKeyType::Float: return typed(kCodeFloat, &k.number);
    case TKeyType::Date: return typed(kCodeDate, &k.number);
    case TKeyType::Currency: return typed(kCodeCurrency, &k.integer);
    case TKeyType::Int64: return typed(kCodeInt64, &k.integer);
    case TKeyType::Bytes: return reg::Value::binary(k.name, k.bytes);
    }
    return reg::Value::text(k.name, "");
}

// A registry value as a key; false for the types the storage does not read.
bool fromValue(const reg::Value& v, TStorageKey& k)
{
    k = TStorageKey{};
    k.name = v.name;
    if (v.isText()) {
        k.type = TKeyType::String;
        k.text = v.asText();
        return true;
    }
    if (v.type == reg::Type::DWord) {
        k.type = TKeyType::Integer;
        k.integer = int32_t(v.asDWord());
        return true;
    }
    if (v.type != reg::Type::Binary) return false;
    uint16_t code = v.data.size() == 10 ? uint16_t(v.data[0] | v.data[1] << 8) : 0;
    const uint8_t* p = v.data.data() + 2;
    switch (code) {
    case kCodeFloat: k.type = TKeyType::Float; std::memcpy(&k.number, p, 8); break;
    case kCodeDate: k.type = TKeyType::Date; std::memcpy(&k.number, p, 8); break;
    case kCodeCurrency: k.type = TKeyType::Currency; std::memcpy(&k.integer, p, 8); break;
    case kCodeInt64: k.type = TKeyType::Int64; std::memcpy(&k.integer, p, 8); break;
    default: k.type = TKeyType::Bytes; k.bytes = v.data;
    }
    return true;
}

void loadKey(const reg::Key& key, TStorageSection& into)
{
    auto values = key.values();
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        TStorageKey k;
        if (fromValue(*it, k)) into.putKeyFirst(std::move(k));
    }
    auto subs = key.subkeys();
    for (auto it = subs.rbegin(); it != subs.rend(); ++it)
        if (auto sub = key.subkey(*it)) loadKey(*sub, into.sectionFirst(*it));
}

// The platform's error number for a hive that refused a change: why its file cannot be written.
int hiveErrorCode(reg::Root root)
{
    std::string hive = reg::hivePath(root);
    if (::access(hive.c_str(), W_OK) != 0 && errno != ENOENT) return errno;
    if (::access(fs::folderOf(hive).c_str(), W_OK) != 0) return errno;
    return EIO;
}

// Makes key hold exactly section. Values are replaced in place and only the surplus removed
// afterwards, so a save cut short never leaves the key empty.
void saveKey(const reg::Key& key, const TStorageSection& section)
{
    for (const auto& k : section.keys()) key.set(toValue(k));
    for (const auto& v : key.values())
        if (!section.findKey(v.name)) key.removeValue(v.name);
    for (const auto& s : section.sections()) {
        std::optional<reg::Key> sub;
        try {
            sub = key.subkey(s->name(), true);
        } catch (const reg::Error&) {
        }
        if (!sub) throw TStorageError("Create key. Code " + std::to_string(hiveErrorCode(key.root())));
        saveKey(*sub, *s);
    }
    for (const auto& name : key.subkeys())
        if (!section.findSection(name)) reg::Key::remove(key.root(), key.path() + "\\" + name);
}

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

}  // namespace

TStorageKey TStorageKey::ofString(std::string name, std::string v)
{
    TStorageKey k;
    k.name = std::move(name);
    k.text = std::move(v);
    return k;
}

TStorageKey TStorageKey::ofInteger(std::string name, int32_t v)
{
    TStorageKey k;
    k.name = std::move(name);
    k.type = TKeyType::Integer;
    k.integer = v;
    return k;
}

TStorageKey TStorageKey::ofBoolean(std::string name, bool v)
{
    TStorageKey k = ofInteger(std::move(name), v ? 1 : 0);
    k.type = TKeyType::Boolean;
    return k;
}

TStorageKey TStorageKey::ofFloat(std::string name, double v)
{
    TStorageKey k;
    k.name = std::move(name);
    k.type = TKeyType::Float;
    k.number = v;
    return k;
}

TStorageKey TStorageKey::ofInt64(std::string name, int64_t v)
{
    TStorageKey k;
    k.name = std::move(name);
    k.type = TKeyType::Int64;
    k.integer = v;
    return k;
}

const TStorageKey* TStorageSection::findKey(const std::string& name) const
{
    for (const auto& k : keys_)
        if (sameName(k.name, name)) return &k;
    return nullptr;
}

TStorageSection* TStorageSection::findSection(const std::string& name) const
{
    for (const auto& s : sections_)
        if (sameName(s->name(), name)) return s.get();
    return nullptr;
}

void TStorageSection::putKey(TStorageKey key)
{
    for (auto& k : keys_)
        if (sameName(k.name, key.name)) {
            k = std::move(key);
            return;
        }
    keys_.push_back(std::move(key));
}

void TStorageSection::putKeyFirst(TStorageKey key)
{
    deleteKey(key.name);
    keys_.insert(keys_.begin(), std::move(key));
}

bool TStorageSection::deleteKey(const std::string& name)
{
    auto it = std::find_if(keys_.begin(), keys_.end(), [&](const TStorageKey& k) { return sameName(k.name, name); });
    if (it == keys_.end()) return false;
    keys_.erase(it);
    return true;
}

TStorageSection& TStorageSection::section(const std::string& name)
{
    if (auto* s = findSection(name)) return *s;
    sections_.push_back(std::make_unique<TStorageSection>(name));
    return *sections_.back();
}

TStorageSection& TStorageSection::sectionFirst(const std::string& name)
{
    if (auto* s = findSection(name)) return *s;
    sections_.insert(sections_.begin(), std::make_unique<TStorageSection>(name));
    return *sections_.front();
}

void TStorageSection::clear()
{
    keys_.clear();
    sections_.clear();
}

void TRegData::Load(TStorageSection& tree) const
{
    tree.clear();
    try {
        if (auto key = reg::Key::open(RootKey, RootPath)) loadKey(*key, tree);
    } catch (const reg::Error&) {
        tree.clear();  // an unreadable key: the design values stay in force
    }
}

void TRegData::Save(const TStorageSection& tree) const
{
    std::optional<reg::Key> key;
    try {
        key = reg::Key::open(RootKey, RootPath, true);
    } catch (const reg::Error&) {
    }
    if (!key) throw TStorageError("Open/Create key. Code " + std::to_string(hiveErrorCode(RootKey)));
    try {
        saveKey(*key, tree);
    } catch (const reg::Error&) {
        throw TStorageError("Create key. Code " + std::to_string(hiveErrorCode(RootKey)));
    }
}

void TPropStorage::setActive(bool on)
{
    if (on == active_) return;
    active_ = on;
    if (on) LoadStorage();
}

void TPropStorage::setRootSection(const std::string& path)
{
    rootSection_ = path;
    std::string ignored;
    rootOf("", ignored, true);
}

void TPropStorage::LoadStorage()
{
    tree_.clear();
    if (StorageData) StorageData->Load(tree_);
}

void TPropStorage::SaveStorage() const
{
    if (StorageData) StorageData->Save(tree_);
}

TStorageSection* TPropStorage::rootOf(const std::string& path, std::string& keyName, bool create)
{
    TStorageSection* s = &tree_;
    std::vector<std::string> parts = splitPath(rootSection_);
    std::vector<std::string> rel = splitPath(path);
    keyName = rel.empty() ? "" : rel.back();
    if (!rel.empty()) rel.pop_back();
    parts.insert(parts.end(), rel.begin(), rel.end());
    for (const auto& p : parts) {
        TStorageSection* next = s->findSection(p);
        if (!next && !create) return nullptr;
        s = next ? next : &s->section(p);
    }
    return s;
}

const TStorageKey* TPropStorage::readKey(const std::string& path) const
{
    std::string name;
    const TStorageSection* s = const_cast<TPropStorage*>(this)->rootOf(path, name, false);
    return s ? s->findKey(name) : nullptr;
}

void TPropStorage::writeKey(const std::string& path, TStorageKey key)
{
    std::string name;
    TStorageSection* s = rootOf(path, name, true);
    key.name = name;
    s->putKey(std::move(key));
}

bool TPropStorage::deleteKey(const std::string& path)
{
    std::string name;
    TStorageSection* s = rootOf(path, name, false);
    return s && s->deleteKey(name);
}

}  // namespace zeph::desk
