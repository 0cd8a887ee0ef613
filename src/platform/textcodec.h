// Code page 1250 (Central European ANSI) and UTF-8.
#pragma once

#include <string>

namespace zeph::text {

bool isValidUtf8(const std::string& bytes);
std::string cp1250ToUtf8(const std::string& bytes);
// Characters without a code page 1250 form become "?".
std::string utf8ToCp1250(const std::string& utf8);
// Text from a Windows-format source: kept when valid UTF-8, else read as code page 1250.
std::string fromAnsi(const std::string& bytes);

// Upper case of UTF-8 text (Czech, Latin and Cyrillic letters included).
std::string toUpper(const std::string& utf8);
std::string toLower(const std::string& utf8);
bool equalsNoCase(const std::string& a, const std::string& b);
size_t lengthChars(const std::string& utf8);
std::string truncateChars(const std::string& utf8, size_t maxChars);
std::string trim(const std::string& s);  // blanks, tabs, CR and LF at both ends

}  // namespace zeph::text
