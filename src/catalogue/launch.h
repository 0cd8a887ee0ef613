// Starting the dictionary program for a dictionary, and desktop launchers in place of shortcuts.
#pragma once

#include <string>

namespace zeph::cat {

// "<folder>/zeph8" "<path>" "<name>": the program folder without its trailing separator, and the
// two arguments unescaped, as the dictionary program has always received them.
std::string StartCommand(const std::string& programFolder, const std::string& path, const std::string& name);
// Starts it (not waited for, not checked). programFolder empty: the running program's folder.
void RunDictionary(const std::string& path, const std::string& name, const std::string& programFolder = "");

// The value "Desktop" of HKCU "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
// when present, else the XDG desktop folder; with a trailing separator.
std::string DesktopFolder();
// Writes <desktop>/<name>.desktop (replacing one of that name) that starts the dictionary.
// A name that cannot be a file name makes nothing. Returns the launcher's path, or "".
std::string CreateDesktopShortcut(const std::string& path, const std::string& name, const std::string& programFolder = "");

}  // namespace zeph::cat
