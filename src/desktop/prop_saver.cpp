#include "desktop/prop_saver.h"

#include "platform/registry.h"

#include <charconv>
#include <cstdio>

namespace zeph::desk {

namespace {

int indexOfName(const std::vector<std::string>& names, const std::string& name)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (reg::foldName(names[i]) == reg::foldName(name)) return int(i);
    return -1;
}

std::optional<int64_t> parseInteger(const std::string& s)
{
    int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

std::optional<int64_t> keyInteger(const TStorageKey& k)
{
    switch (k.type) {
    case TKeyType::Integer:
    case TKeyType::Boolean:
    case TKeyType::Int64: return k.integer;
    case TKeyType::String: return parseInteger(k.text);
    default: return std::nullopt;
    }
}

// "[a,b]" -> the set's bits; nullopt when a member is unknown or the brackets are missing.
std::optional<int64_t> parseSet(const std::vector<std::string>& names, const std::string& text)
{
    if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::nullopt;
    int64_t bits = 0;
    std::string inner = text.substr(1, text.size() - 2);
    size_t start = 0;
    while (start <= inner.size()) {
        size_t comma = inner.find(',', start);
        std::string item = inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        while (!item.empty() && item.front() == ' ') item.erase(0, 1);
        while (!item.empty() && item.back() == ' ') item.pop_back();
        if (!item.empty()) {
            int i = indexOfName(names, item);
            if (i < 0) return std::nullopt;
            bits |= int64_t(1) << i;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return bits;
}

// The key's content as a value of the property's kind.
std::optional<TPropValue> convert(const TProperty& p, const TStorageKey& k)
{
    TPropValue v;
    switch (p.kind) {
    case TPropKind::Integer:
    case TPropKind::Int64: {
        auto i = keyInteger(k);
        if (!i) return std::nullopt;
        v.ordinal = *i;
        return v;
    }
    case TPropKind::Enumeration: {
        if (k.type != TKeyType::String) return std::nullopt;
        int i = indexOfName(p.names, k.text);
        if (i < 0) return std::nullopt;
        v.ordinal = i;
        return v;
    }
    case TPropKind::Set: {
        if (k.type != TKeyType::String) return std::nullopt;
        auto bits = parseSet(p.names, k.text);
        if (!bits) return std::nullopt;
        v.ordinal = *bits;
        return v;
    }
    case TPropKind::String:
        if (k.type == TKeyType::String) v.text = k.text;
        else if (auto i = keyInteger(k)) v.text = std::to_string(*i);
        else return std::nullopt;
        return v;
    case TPropKind::Float:
        if (k.type == TKeyType::Float || k.type == TKeyType::Date) v.number = k.number;
        else if (auto i = keyInteger(k)) v.number = double(*i);
        else return std::nullopt;
        return v;
    }
    return std::nullopt;
}

std::string keyText(const TStorageKey& k)
{
    switch (k.type) {
    case TKeyType::String: return k.text;
    case TKeyType::Float:
    case TKeyType::Date: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", k.number);
        return buf;
    }
    case TKeyType::Bytes: return "(" + std::to_string(k.bytes.size()) + " B)";
    default: return std::to_string(k.integer);
    }
}

}  // namespace

std::string TPropSaver::textForm(const TProperty& p, const TPropValue& v)
{
    switch (p.kind) {
    case TPropKind::Integer:
    case TPropKind::Int64: return std::to_string(v.ordinal);
    case TPropKind::Enumeration:
        return v.ordinal >= 0 && size_t(v.ordinal) < p.names.size() ? p.names[size_t(v.ordinal)] : std::to_string(v.ordinal);
    case TPropKind::Set: {
        std::string s = "[";
        for (size_t i = 0; i < p.names.size(); ++i)
            if (v.ordinal & (int64_t(1) << i)) s += (s.size() > 1 ? "," : "") + p.names[i];
        return s + "]";
    }
    case TPropKind::String: return v.text;
    case TPropKind::Float: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.17g", v.number);
        return buf;
    }
    }
    return "";
}

void TPropSaver::SaveProperties()
{
    if (!Storage || !Resolve) return;
    Storage->setRootSection(RootSection);
    for (const auto& path : Properties) {
        auto p = Resolve(path);
        if (!p || !p->get) continue;
        TPropValue v = p->get();
        std::string text = textForm(*p, v);
        if (text.empty()) {
            Storage->deleteKey(path);
            continue;
        }
        switch (p->kind) {
        case TPropKind::Integer: Storage->writeKey(path, TStorageKey::ofInteger(path, int32_t(v.ordinal))); break;
        case TPropKind::Int64: Storage->writeKey(path, TStorageKey::ofInt64(path, v.ordinal)); break;
        case TPropKind::Float: Storage->writeKey(path, TStorageKey::ofFloat(path, v.number)); break;
        default: Storage->writeKey(path, TStorageKey::ofString(path, text));
        }
    }
}

void TPropSaver::LoadProperties()
{
    if (!Storage || !Resolve) return;
    Storage->setRootSection(RootSection);
    std::string firstError;
    for (const auto& path : Properties) {
        const TStorageKey* k = Storage->readKey(path);
        if (!k) continue;
        auto p = Resolve(path);
        if (!p || !p->set) continue;
        if (auto v = convert(*p, *k)) p->set(*v);
        else if (firstError.empty()) firstError = "Neplatná hodnota vlastnosti " + path + ": \"" + keyText(*k) + "\"";
    }
    if (!firstError.empty()) throw TStorageError(firstError);
}

}  // namespace zeph::desk
