// The environment texts written at the start of every run. They describe this system:
//   966 "OS version"     the kernel and the distribution, "Linux 6.1.0 (Debian GNU/Linux 12)"
//   967 "IE version"     the web browser: $BROWSER, else the http handler of mimeapps.list,
//                        "(not found)" when none is configured
//   969 "Compiler"       the compiler that built the program
//   970 "Installed IDEs" development tools found on PATH, blank-separated; empty when none
#pragma once

#include <string>

namespace zeph::nu {

std::string OperatingSystemText();
std::string BrowserText();
std::string CompilerText();
std::string DevelopmentToolsText(const std::string& path);  // path: a PATH value

}  // namespace zeph::nu
