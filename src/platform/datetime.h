// Dates as the product keeps them: TDateTime day counts from 30 December 1899 (the fraction is
// the time of day), and the system short date format of the user's locale.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace zeph::dt {

struct Date {
    int year = 0, month = 0, day = 0;
    bool operator==(const Date&) const = default;
};
struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    bool operator==(const DateTime&) const = default;
    Date date() const { return {year, month, day}; }
};

bool isValidDate(int year, int month, int day);
// Day count since 30 December 1899 (TDateTime), with the time of day as the fraction.
double toSerial(const DateTime& t);
double toSerial(const Date& d);
std::optional<DateTime> fromSerial(double serial);
// Whole days between two dates (b - a).
int daysBetween(const Date& a, const Date& b);

Date today();
DateTime now();
DateTime fromTimeT(std::time_t t);  // local time
std::time_t toTimeT(const DateTime& t);

// The short date format of the user's locale (LC_ALL, LC_TIME, LANG) in the Windows pattern
// form: "d.M.yyyy" for Czech, "M/d/yyyy" for US English, "dd/MM/yyyy" for British English.
std::string shortDateFormat();
char dateSeparator();  // of the short date format
char timeSeparator();  // of the locale's time format
std::string formatDate(const Date& d, const std::string& pattern);
std::string formatShortDate(const Date& d);  // with shortDateFormat()
// Reads a date in the pattern's order of d, M and y; nullopt when it is not a valid date.
std::optional<Date> parseDate(const std::string& text, const std::string& pattern);
std::optional<Date> parseShortDate(const std::string& text);

}  // namespace zeph::dt
