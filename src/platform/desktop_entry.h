// freedesktop desktop entries (launchers, autostart files), in place of shell links and the
// start-up lists.
#pragma once

#include <string>
#include <vector>

namespace zeph::desktop_entry {

// One argument of an Exec key: quoted, escaped for the quoting and again for the string value.
std::string execArgument(const std::string& arg);

struct Entry {
    std::string name, comment;
    std::vector<std::string> exec;  // program and arguments
    std::string path;               // working folder, may be empty
};
// Writes the entry (replacing a file of that name) with the executable bit set.
bool write(const std::string& file, const Entry& e);

}  // namespace zeph::desktop_entry
