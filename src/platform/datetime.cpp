#include "platform/datetime.h"

#include <cmath>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>

namespace zeph::dt {

namespace {

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long daysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + long(doe) - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long yy = long(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yy + (m <= 2));
}

const long kEpochOffset = daysFromCivil(1899, 12, 30);

std::string localeName(const char* category)
{
    for (const char* v : {"LC_ALL", category, "LANG"}) {
        const char* s = std::getenv(v);
        if (s && *s) return s;
    }
    return "C";
}

std::string langinfo(nl_item item)
{
    locale_t loc = newlocale(LC_TIME_MASK, localeName("LC_TIME").c_str(), (locale_t)0);
    if (!loc) loc = newlocale(LC_TIME_MASK, "C", (locale_t)0);
    std::string r = nl_langinfo_l(item, loc);
    freelocale(loc);
    return r;
}

}  // namespace

bool isValidDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= len[month - 1] + (month == 2 && leap ? 1 : 0);
}

double toSerial(const Date& d) { return double(daysFromCivil(d.year, d.month, d.day) - kEpochOffset); }

double toSerial(const DateTime& t)
{
    double days = toSerial(t.date());
    double frac = (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.msec) / 86400000.0;
    // Before the epoch the fraction still counts forward from the day's start, as TDateTime does.
    return days >= 0 ? days + frac : days - frac;
}

std::optional<DateTime> fromSerial(double serial)
{
    if (!std::isfinite(serial) || serial < -693593.0 || serial > 2958466.0) return std::nullopt;
    double whole = std::trunc(serial);
    double frac = std::fabs(serial - whole);
    long long ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) ms = 86399999;
    DateTime t;
    civilFromDays(long(whole) + kEpochOffset, t.year, t.month, t.day);
    t.hour = int(ms / 3600000);
    t.minute = int(ms / 60000 % 60);
    t.second = int(ms / 1000 % 60);
    t.msec = int(ms % 1000);
    return t;
}

int daysBetween(const Date& a, const Date& b)
{
    return int(daysFromCivil(b.year, b.month, b.day) - daysFromCivil(a.year, a.month, a.day));
}

DateTime fromTimeT(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
}

std::time_t toTimeT(const DateTime& t)
{
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return mktime(&tm);
}

DateTime now() { return fromTimeT(std::time(nullptr)); }
Date today() { return now().date(); }

std::string shortDateFormat()
{
    std::string f = langinfo(D_FMT), out;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%' || i + 1 >= f.size()) {
            out += f[i];
            continue;
        }
        char c = f[++i];
        bool plain = false;
        if (c == '-' && i + 1 < f.size()) {
            plain = true;
            c = f[++i];
        }
        switch (c) {
        case 'd': out += plain ? "d" : "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += plain ? "M" : "MM"; break;
        case 'Y': out += "yyyy"; break;
        case 'y': out += "yy"; break;
        case 'D': out += "MM/dd/yy"; break;
        case 'F': out += "yyyy-MM-dd"; break;
        default: out += c;
        }
    }
    return out.empty() ? std::string("d.M.yyyy") : out;
}

char dateSeparator()
{
    for (char c : shortDateFormat())
        if (c != 'd' && c != 'M' && c != 'y') return c;
    return '.';
}

char timeSeparator()
{
    std::string f = langinfo(T_FMT);
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '%') {
            ++i;
            continue;
        }
        if (f[i] != ' ') return f[i];
    }
    return ':';
}

std::string formatDate(const Date& d, const std::string& pattern)
{
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        auto num = [&](int v, size_t width) {
            std::string s = std::to_string(v);
            while (s.size() < width) s = "0" + s;
            out += s;
        };
        if (c == 'd') num(d.day, run >= 2 ? 2 : 1);
        else if (c == 'M') num(d.month, run >= 2 ? 2 : 1);
        else if (c == 'y') {
            if (run <= 2) num(d.year % 100, 2);
            else num(d.year, 4);
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

std::string formatShortDate(const Date& d) { return formatDate(d, shortDateFormat()); }

std::optional<Date> parseDate(const std::string& text, const std::string& pattern)
{
    std::string order;
    for (char c : pattern)
        if ((c == 'd' || c == 'M' || c == 'y') && order.find(c) == std::string::npos) order += c;
    if (order.size() != 3) return std::nullopt;
    int nums[3];
    int count = 0;
    size_t i = 0;
    while (i < text.size() && count < 3) {
        if (!isdigit((unsigned char)text[i])) return std::nullopt;
        long v = 0;
        size_t digits = 0;
        while (i < text.size() && isdigit((unsigned char)text[i])) {
            if (++digits > 4) return std::nullopt;
            v = v * 10 + (text[i++] - '0');
        }
        nums[count++] = int(v);
        if (count < 3) {
            if (i >= text.size() || isdigit((unsigned char)text[i])) return std::nullopt;
            ++i;  // one separator
        }
    }
    if (count != 3 || i != text.size()) return std::nullopt;
    Date d;
    for (int k = 0; k < 3; ++k) {
        if (order[k] == 'd') d.day = nums[k];
        else if (order[k] == 'M') d.month = nums[k];
        else d.year = nums[k];
    }
    if (d.year < 100 && pattern.find("yyy") == std::string::npos) d.year += d.year < 50 ? 2000 : 1900;
    if (!isValidDate(d.year, d.month, d.day)) return std::nullopt;
    return d;
}

std::optional<Date> parseShortDate(const std::string& text) { return parseDate(text, shortDateFormat()); }

}  // namespace zeph::dt
