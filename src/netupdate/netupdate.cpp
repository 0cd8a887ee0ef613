#include "netupdate/netupdate.h"

#include "netupdate/status.h"
#include "platform/files.h"
#include "platform/registry.h"

#include <cctype>
#include <cstdio>

namespace zeph::nu {

namespace {

constexpr uint32_t kComponentVersion = 0x02000500;

reg::Root rootOf(TLastURLReg r) { return r == lurLOCALMACHINE ? reg::Root::LocalMachine : reg::Root::CurrentUser; }

// The key Key is created for reading as for writing; the subkey Section only for writing.
std::optional<reg::Key> lastUrlKey(const TLastURLEntry& e, bool forWriting)
{
    auto key = reg::Key::open(rootOf(e.RegRoot), e.Key, true);
    if (!key) return std::nullopt;
    return key->subkey(e.Section, forWriting);
}

std::string readLastValue(const TLastURLEntry& e, const std::string& name)
{
    try {
        auto key = lastUrlKey(e, false);
        return key ? key->getText(name).value_or("") : "";
    } catch (const reg::Error&) {
        return "";  // an unreadable hive reads like a missing value
    }
}

std::string two(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

// Hours, minutes and optional seconds with the locale's time separator.
std::optional<dt::DateTime> parseLocalTime(const std::string& text)
{
    int parts[3] = {0, 0, 0}, count = 0;
    std::string cur;
    char sep = dt::timeSeparator();
    for (char c : text + sep) {
        if (c == sep) {
            if (cur.empty() || cur.size() > 2 || count == 3) return std::nullopt;
            parts[count++] = std::stoi(cur);
            cur.clear();
        } else if (std::isdigit((unsigned char)c)) {
            cur += c;
        } else if (c != ' ') {
            return std::nullopt;
        }
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
    return dt::DateTime{0, 0, 0, parts[0], parts[1], parts[2], 0};
}

}  // namespace

// The shared log name is left alone: only setting LogFileName changes it.
TNetUpdate::TNetUpdate() = default;

TNetUpdate::~TNetUpdate() = default;

void TNetUpdate::SetLogFileName(const std::string& name)
{
    logFileName_ = name;
    nu::SetLogFileName(name);
}

std::string TNetUpdate::Version() const
{
    return std::to_string(kComponentVersion >> 24) + "." + std::to_string((kComponentVersion >> 16) & 0xFF) + "." +
           std::to_string((kComponentVersion >> 8) & 0xFF) + "." + std::to_string(kComponentVersion & 0xFF);
}

std::string TNetUpdate::ReadLastURL()
{
    const auto& e = LastURLEntry;
    if (e.Key.empty() || e.Section.empty() || !e.Save) return "";
    return readLastValue(e, "LastURL");
}

void TNetUpdate::WriteLastURL(const std::string& url)
{
    const auto& e = LastURLEntry;
    if (e.Key.empty() || e.Section.empty() || !e.Save) return;
    try {
        if (auto key = lastUrlKey(e, true)) key->setText("LastURL", url);
    } catch (const reg::Error&) {
        // The next run then uses URL again.
    }
}

void TNetUpdate::SaveLastDate(const dt::DateTime& when)
{
    const auto& e = LastURLEntry;
    if (e.Key.empty() || e.Section.empty() || !e.Save || !localDateRead_) return;
    try {
        auto key = lastUrlKey(e, true);
        if (!key) return;
        key->setText("LastDate", dt::formatShortDate(when.date()));
        if (when.hour || when.minute || when.second) {
            char ts = dt::timeSeparator();
            key->setText("LastTime", two(when.hour) + ts + two(when.minute) + ts + two(when.second));
        } else {
            // A time left from an earlier date would move this midnight date forward.
            key->removeValue("LastTime");
        }
    } catch (const reg::Error&) {
    }
}

dt::DateTime TNetUpdate::GetLocalDate(const std::string& file)
{
    dt::DateTime result{1980, 1, 1, 0, 0, 0, 0};
    const auto& e = LastURLEntry;
    if (!e.Key.empty() && !e.Section.empty()) {
        std::string date = readLastValue(e, "LastDate");
        std::string time = readLastValue(e, "LastTime");
        localDateRead_ = true;
        LocalDateFromRegistry = true;
        if (date.empty()) return result;
        auto d = dt::parseShortDate(date);
        if (!d) return result;
        result = {d->year, d->month, d->day, 0, 0, 0, 0};
        if (time.empty()) return result;
        if (auto t = parseLocalTime(time)) {
            result.hour = t->hour;
            result.minute = t->minute;
            result.second = t->second;
        }
        return result;
    }
    if (!file.empty()) {
        if (auto m = fs::modificationTime(fs::toNative(file))) result = dt::fromTimeT(*m);
    }
    return result;
}

std::string TNetUpdate::ExpandPrefixes(const std::string& text)
{
    std::function<void(std::string&)> before;
    if (OnConvertPrefix) before = [this](std::string& t) { OnConvertPrefix(*this, t); };
    return nu::ExpandPrefixes(text, before, [this](const std::string& name) {
        std::string dir;
        ConvertPrefix(name, dir);
        return dir;
    });
}

dt::DateTime TNetUpdate::ParseControlDateTime(const std::string& date, const std::string& time) const
{
    return nu::ParseControlDateTime(date, time, DateFormat, DateSeparator, TimeFormat, TimeSeparator);
}

void TNetUpdate::ConvertPrefix(const std::string& name, std::string& dir) { dir = nu::ConvertPrefix(name); }

void TNetUpdate::FileDownloaded(const std::string& fileName)
{
    if (OnFileDownloaded) OnFileDownloaded(*this, fileName);
}

void ApplyControlPanelSettings(TNetUpdate& nu)
{
    nu.UpdateUpdate = nuuSilent;
    nu.VersionCheck = vcAlways;
    nu.UseCRC32 = true;
    nu.Signature = "NetUpdate";
    nu.ExtractCAB = true;
    nu.ApplyPatch = true;
    nu.KeepIntermediateFiles = true;
    nu.TempDirectory = ".";
    nu.DateFormat = "dd/mm/yyyy";
    nu.DateSeparator = '/';
    nu.TimeFormat = "hh:nn";
    nu.TimeSeparator = ':';
    nu.SetLogFileName("NUPDATE.LOG");
    nu.Agent = "TNetUpdate";
    nu.FTPPassive = true;
    nu.LastURLEntry.Key = "test";
    nu.PostUpdateInfo.Enabled = false;
    nu.Utility = nullptr;
}

}  // namespace zeph::nu
