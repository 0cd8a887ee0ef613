// Special folders, from the XDG variables, so that pointing HOME elsewhere isolates everything.
// Every result ends with "/".
#pragma once

#include <string>

namespace zeph::folders {

std::string home();
std::string configHome();       // $XDG_CONFIG_HOME or ~/.config
std::string dataHome();         // $XDG_DATA_HOME or ~/.local/share
std::string documents();        // XDG_DOCUMENTS_DIR (user-dirs.dirs) or ~/Documents
std::string desktop();          // XDG_DESKTOP_DIR (user-dirs.dirs) or ~/Desktop
std::string localAppData();     // $XDG_CACHE_HOME or ~/.cache
std::string temp();             // $TMPDIR or /tmp
std::string runtimeDir();       // $XDG_RUNTIME_DIR, else a private folder in temp
// REG_SZ CommonDocuments of HKLM "Software\Varnholt\Zephlon8" when present, else dataHome().
std::string commonDocuments();
// The folder of the running executable.
std::string programFolder();
std::string programPath();

}  // namespace zeph::folders
