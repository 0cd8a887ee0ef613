// zephtool reg: reads and edits the registry hives, in place of a registry editor.
#include "verb.h"

#include "platform/registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace zeph;

namespace {

std::string hexBytes(const std::vector<uint8_t>& data)
{
    std::string out;
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        out += (i ? "," : "") + std::string(buf);
    }
    return out;
}

std::string escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string exportLine(const reg::Value& v)
{
    std::string name = v.name.empty() ? "@" : "\"" + escape(v.name) + "\"";
    char buf[16];
    switch (v.type) {
    case reg::Type::Sz: return name + "=\"" + escape(v.asText()) + "\"";
    case reg::Type::DWord:
        std::snprintf(buf, sizeof buf, "%08x", v.asDWord());
        return name + "=dword:" + buf;
    case reg::Type::ExpandSz: {
        // As a registry editor writes it: UTF-16LE with its terminator.
        std::vector<uint8_t> utf16;
        for (size_t i = 0; i < v.data.size();) {
            unsigned char c = v.data[i];
            uint32_t cp = c;
            int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
            if (len > 1) {
                cp = c & (0x3F >> (len - 1));
                for (int k = 1; k < len && i + k < v.data.size(); ++k) cp = (cp << 6) | (v.data[i + k] & 0x3F);
            }
            i += len;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                uint16_t hi = 0xD800 + (cp >> 10), lo = 0xDC00 + (cp & 0x3FF);
                utf16.insert(utf16.end(), {uint8_t(hi), uint8_t(hi >> 8), uint8_t(lo), uint8_t(lo >> 8)});
            } else {
                utf16.insert(utf16.end(), {uint8_t(cp), uint8_t(cp >> 8)});
            }
        }
        utf16.insert(utf16.end(), {0, 0});
        return name + "=hex(2):" + hexBytes(utf16);
    }
    case reg::Type::Binary: return name + "=hex:" + hexBytes(v.data);
    default:
        std::snprintf(buf, sizeof buf, "%x", unsigned(v.type));
        return name + "=hex(" + buf + "):" + hexBytes(v.data);
    }
}

std::optional<std::pair<reg::Root, std::string>> parseKey(const std::string& key)
{
    return reg::parseRootedPath(key);
}

std::string fullName(reg::Root root, const std::string& path)
{
    return reg::rootName(root) + (path.empty() ? "" : "\\" + path);
}

int cmdGet(const std::vector<std::string>& a)
{
    if (a.size() != 2) return zephtool::fail("usage: zephtool reg get KEY NAME");
    auto k = parseKey(a[0]);
    if (!k) return zephtool::fail("unknown root key: " + a[0]);
    auto key = reg::Key::open(k->first, k->second);
    if (!key) {
        std::fprintf(stderr, "zephtool: key not found: %s\n", a[0].c_str());
        return 1;
    }
    auto v = key->get(a[1]);
    if (!v) {
        std::fprintf(stderr, "zephtool: value not found: %s\n", a[1].c_str());
        return 1;
    }
    if (v->isText()) std::printf("%s\n", v->asText().c_str());
    else if (v->type == reg::Type::DWord) std::printf("%u\n", v->asDWord());
    else std::printf("%s\n", hexBytes(v->data).c_str());
    return 0;
}

std::optional<std::vector<uint8_t>> parseHex(const std::string& s)
{
    std::vector<uint8_t> out;
    std::string digits;
    for (char c : s) {
        if (c == ',' || c == ' ' || c == ':') continue;
        if (!isxdigit((unsigned char)c)) return std::nullopt;
        digits += c;
    }
    if (digits.size() % 2) return std::nullopt;
    for (size_t i = 0; i < digits.size(); i += 2) out.push_back(uint8_t(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

int cmdSet(const std::vector<std::string>& a)
{
    std::vector<std::string> pos;
    std::string type = "sz";
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--type" && i + 1 < a.size()) type = a[++i];
        else if (a[i].rfind("--type=", 0) == 0) type = a[i].substr(7);
        else pos.push_back(a[i]);
    }
    if (pos.size() != 3) return zephtool::fail("usage: zephtool reg set KEY NAME VALUE [--type sz|expand_sz|dword|binary]");
    auto k = parseKey(pos[0]);
    if (!k) return zephtool::fail("unknown root key: " + pos[0]);
    reg::Value v;
    if (type == "sz") v = reg::Value::text(pos[1], pos[2]);
    else if (type == "expand_sz") v = reg::Value::text(pos[1], pos[2], reg::Type::ExpandSz);
    else if (type == "dword") {
        char* end = nullptr;
        errno = 0;
        unsigned long long n = std::strtoull(pos[2].c_str(), &end, 0);
        if (pos[2].empty() || *end || errno || n > 0xFFFFFFFFull) return zephtool::fail("not a 32-bit number: " + pos[2]);
        v = reg::Value::dword(pos[1], uint32_t(n));
    } else if (type == "binary") {
        auto bytes = parseHex(pos[2]);
        if (!bytes) return zephtool::fail("not hex bytes: " + pos[2]);
        v = reg::Value::binary(pos[1], *bytes);
    } else {
        return zephtool::fail("unknown type: " + type);
    }
    reg::Key::open(k->first, k->second, true)->set(v);
    return 0;
}

int cmdDelete(const std::vector<std::string>& a)
{
    if (a.empty() || a.size() > 2) return zephtool::fail("usage: zephtool reg delete KEY [NAME]");
    auto k = parseKey(a[0]);
    if (!k) return zephtool::fail("unknown root key: " + a[0]);
    if (a.size() == 2) {
        auto key = reg::Key::open(k->first, k->second);
        return key && key->removeValue(a[1]) ? 0 : 1;
    }
    if (k->second.empty()) return zephtool::fail("a root key cannot be deleted");
    return reg::Key::remove(k->first, k->second) ? 0 : 1;
}

void exportKey(const reg::Key& key)
{
    std::printf("[%s]\n", fullName(key.root(), key.path()).c_str());
    for (auto& v : key.values()) std::printf("%s\n", exportLine(v).c_str());
    std::printf("\n");
    for (auto& name : key.subkeys())
        if (auto sub = key.subkey(name)) exportKey(*sub);
}

int cmdExport(const std::vector<std::string>& a)
{
    if (a.size() > 1) return zephtool::fail("usage: zephtool reg export [KEY]");
    std::printf("Windows Registry Editor Version 5.00\n\n");
    if (a.empty()) {
        for (auto root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
            auto key = reg::Key::open(root, "");
            for (auto& name : key->subkeys())
                if (auto sub = key->subkey(name)) exportKey(*sub);
        }
        return 0;
    }
    auto k = parseKey(a[0]);
    if (!k) return zephtool::fail("unknown root key: " + a[0]);
    auto key = reg::Key::open(k->first, k->second);
    if (!key) {
        std::fprintf(stderr, "zephtool: key not found: %s\n", a[0].c_str());
        return 1;
    }
    exportKey(*key);
    return 0;
}

int runReg(const std::vector<std::string>& args)
{
    if (args.empty()) return zephtool::fail("usage: zephtool reg get|set|delete|export ...");
    std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (args[0] == "get") return cmdGet(rest);
        if (args[0] == "set") return cmdSet(rest);
        if (args[0] == "delete") return cmdDelete(rest);
        if (args[0] == "export") return cmdExport(rest);
    } catch (const reg::Error& e) {
        return zephtool::fail(e.what());
    }
    return zephtool::fail("unknown reg command: " + args[0]);
}

zephtool::ZephtoolVerb verb("reg", "reg get KEY NAME | set KEY NAME VALUE [--type T] | delete KEY [NAME] | export [KEY]", runReg);

}  // namespace
