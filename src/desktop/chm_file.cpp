#include "desktop/chm_file.h"

#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <chm_lib.h>
#include <cstring>

namespace zeph::desk {

namespace {

constexpr uint64_t kMaxObject = 32u << 20;  // a topic larger than this is not a help topic

uint32_t le32(const std::string& s, size_t at)
{
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}

std::string lower(std::string s)
{
    for (char& c : s) c = char(std::tolower((unsigned char)c));
    return s;
}

std::string absoluteTopic(const std::string& t) { return t.empty() || t[0] == '/' ? t : "/" + t; }

std::string titleOf(const std::string& html)
{
    std::string l = lower(html.substr(0, 8192));
    size_t a = l.find("<title>");
    size_t b = a == std::string::npos ? a : l.find("</title>", a);
    return b == std::string::npos ? "" : html.substr(a + 7, b - a - 7);
}

int collect(chmFile*, chmUnitInfo* ui, void* context)
{
    static_cast<std::vector<std::string>*>(context)->push_back(ui->path);
    return CHM_ENUMERATOR_CONTINUE;
}

}  // namespace

std::unique_ptr<TChmFile> TChmFile::open(const std::string& path)
{
    if (!fs::isFile(path)) return nullptr;
    chmFile* h = chm_open(path.c_str());
    if (!h) return nullptr;
    return std::unique_ptr<TChmFile>(new TChmFile(h));
}

TChmFile::~TChmFile() { chm_close(h_); }

std::optional<std::string> TChmFile::read(const std::string& objectPath) const
{
    chmUnitInfo ui{};
    if (objectPath.size() >= CHM_MAX_PATHLEN) return std::nullopt;
    if (chm_resolve_object(h_, objectPath.c_str(), &ui) != CHM_RESOLVE_SUCCESS) return std::nullopt;
    if (ui.length > kMaxObject) return std::nullopt;
    std::string data(size_t(ui.length), '\0');
    if (ui.length == 0) return data;
    LONGINT64 got = chm_retrieve_object(h_, &ui, reinterpret_cast<unsigned char*>(data.data()), 0, LONGINT64(ui.length));
    if (got <= 0) return std::nullopt;
    data.resize(size_t(got));
    return data;
}

std::vector<std::string> TChmFile::objects() const
{
    std::vector<std::string> list;
    chm_enumerate(h_, CHM_ENUMERATE_ALL, collect, &list);
    return list;
}

std::optional<std::string> TChmFile::systemEntry(uint16_t code) const
{
    // /#SYSTEM: a version DWORD, then entries of code, length and data.
    auto sys = read("/#SYSTEM");
    if (!sys || sys->size() < 4) return std::nullopt;
    size_t at = 4;
    while (at + 4 <= sys->size()) {
        uint16_t c = uint16_t(uint8_t((*sys)[at]) | uint8_t((*sys)[at + 1]) << 8);
        size_t len = size_t(uint8_t((*sys)[at + 2]) | uint8_t((*sys)[at + 3]) << 8);
        at += 4;
        if (at + len > sys->size()) break;
        if (c == code) {
            std::string v = sys->substr(at, len);
            return v.substr(0, v.find('\0'));
        }
        at += len;
    }
    return std::nullopt;
}

std::string TChmFile::defaultTopic() const { return absoluteTopic(systemEntry(2).value_or("")); }
std::string TChmFile::title() const { return systemEntry(3).value_or(""); }

std::string TChmFile::topicOfContext(uint32_t context) const
{
    // /#IVB: the byte length of the list, then pairs of context number and offset of the
    // alias (a topic file name) in /#STRINGS.
    auto ivb = read("/#IVB");
    auto strings = read("/#STRINGS");
    if (!ivb || !strings || ivb->size() < 4) return "";
    size_t end = std::min<size_t>(ivb->size(), 4 + size_t(le32(*ivb, 0)));
    for (size_t at = 4; at + 8 <= end; at += 8) {
        if (le32(*ivb, at) != context) continue;
        size_t off = le32(*ivb, at + 4);
        if (off >= strings->size()) return "";
        std::string alias = strings->c_str() + off;
        return absoluteTopic(alias);
    }
    return "";
}

std::optional<std::string> TChmFile::popupText(const std::string& topicsObject, uint32_t context) const
{
    auto text = read(absoluteTopic(topicsObject));
    if (!text) return std::nullopt;
    std::string want = std::to_string(context);
    std::string out;
    bool inTopic = false;
    size_t at = 0;
    while (at <= text->size()) {
        size_t nl = text->find('\n', at);
        std::string line = text->substr(at, nl == std::string::npos ? std::string::npos : nl - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(".topic", 0) == 0) {
            if (inTopic) break;
            std::string id = line.substr(6);
            id.erase(0, id.find_first_not_of(" \t"));
            id.erase(id.find_last_not_of(" \t") + 1);
            inTopic = id == want;
        } else if (inTopic) {
            out += (out.empty() ? "" : "\n") + line;
        }
        if (nl == std::string::npos) break;
        at = nl + 1;
    }
    if (!inTopic) return std::nullopt;
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string TChmFile::topicOfKeyword(const std::string& keyword) const
{
    std::string k = lower(keyword);
    for (const auto& path : objects()) {
        std::string l = lower(path);
        if (l.size() < 4 || (l.compare(l.size() - 4, 4, ".htm") != 0 && (l.size() < 5 || l.compare(l.size() - 5, 5, ".html") != 0)))
            continue;
        if (auto html = read(path); html && lower(titleOf(*html)).find(k) != std::string::npos) return path;
    }
    return "";
}

HelpPage resolveHelpPage(const std::string& file, unsigned command, const HelpData& data, const HHPopup* popup)
{
    HelpPage page;
    if (command == HH_CLOSE_ALL) {
        page.closeAll = true;
        return page;
    }
    std::string path = file, inner;
    if (size_t sep = file.find("::/"); sep != std::string::npos) {
        path = file.substr(0, sep);
        inner = file.substr(sep + 2);
    }
    path = fs::toNative(path);
    page.chmPath = path;
    auto chm = TChmFile::open(path);
    if (!chm) {
        page.error = fs::isFile(path) ? "Soubor nápovědy " + path + " nelze otevřít."
                                      : "Soubor nápovědy " + path + " nebyl nalezen.";
        return page;
    }
    switch (command) {
    case HH_HELP_CONTEXT: page.topic = chm->topicOfContext(uint32_t(data.number)); break;
    case HH_DISPLAY_INDEX:
        if (!data.keyword.empty()) page.topic = chm->topicOfKeyword(data.keyword);
        break;
    case HH_DISPLAY_TEXT_POPUP: {
        uint32_t id = popup ? popup->idString : uint32_t(data.number);
        if (popup) page.popupAt = popup->pt;
        if (auto text = chm->popupText(inner.empty() ? "/CSHelp.txt" : inner, id)) {
            page.popupText = *text;
            return page;
        }
        page.topic = chm->topicOfContext(id);
        break;
    }
    default: break;
    }
    // A context or keyword the file does not know opens its start page.
    if (page.topic.empty() || !chm->read(page.topic)) page.topic = chm->defaultTopic();
    if (page.topic.empty() || !chm->read(page.topic)) {
        page.topic.clear();
        page.error = "Soubor nápovědy " + path + " neobsahuje požadované téma.";
    }
    return page;
}

}  // namespace zeph::desk
