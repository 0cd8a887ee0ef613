// The value types of the update control file: integers, flags, presence, messages, versions,
// dates and times, and paths with directory macros.
#pragma once

#include "platform/datetime.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zeph::nu {

// A signed 32-bit integer: decimal with leading blanks and a sign, or hexadecimal after "0x",
// "0X", "$", "x" or "X" (up to 8 digits, the 32-bit pattern). Anything else gives def.
int32_t ReadControlInteger(const std::string& value, int32_t def);
// On only when the integer equals 1.
bool ReadControlFlag(const std::string& value);
// On when the value is not empty, whatever it says.
inline bool ReadControlPresence(const std::string& value) { return !value.empty(); }

// Every "\n" (backslash, n) becomes a carriage return.
std::string UnescapeLineBreaks(const std::string& text);

// A version as a file version resource holds it: high = major<<16 | minor, low = release<<16 | build;
// -1 for a word that is not valid.
struct ParsedVersion {
    int32_t high = -1;
    int32_t low = -1;
    bool operator==(const ParsedVersion&) const = default;
};
ParsedVersion ParseVersion(const std::string& text);
// "a.b.c.d" from the two words (an invalid word shows as 65535.65535).
std::string VersionText(const ParsedVersion& v);

// Directory of a macro name (upper case) on this platform, or "" when unknown:
// WIN /etc, SYS /usr/bin, APP the current directory, TMP the temporary folder, DOC the
// documents folder, PF the HKLM value ProgramFilesDir (the macro stays when the key is missing).
std::string ConvertPrefix(const std::string& name);
// Expands "{NAME}" macros; onConvertPrefix (the host's event) may rewrite the text first.
// Inserted text is scanned again, at most 32 replacements in all.
std::string ExpandPrefixes(const std::string& text, const std::function<void(std::string&)>& onConvertPrefix = {},
                           const std::function<std::string(const std::string&)>& convert = ConvertPrefix);
// A directory made ready for "\name" to follow: no trailing separator, the root as "/." and
// an empty text as ".".
std::string NormaliseMacroDirectory(const std::string& dir);

// date by DateFormat ("dd/mm/yyyy": the order of d, m, y decides) and DateSeparator, time by
// TimeSeparator ("hh:nn[:ss]"); 1 January 1980 when the date does not convert; an unreadable
// time adds nothing.
dt::DateTime ParseControlDateTime(const std::string& date, const std::string& time, const std::string& dateFormat,
                                  char dateSeparator, const std::string& timeFormat, char timeSeparator);

}  // namespace zeph::nu
