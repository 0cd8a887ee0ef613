// Cabinet (.CAB) extraction for packed update files.
#pragma once

#include <string>

namespace zeph::nu {

// Extracts every file of the cabinet below targetDir ("" means the current directory), creating
// the stored sub-folders, replacing existing files and giving each file the stored date and time.
// 0 when every file was extracted; -1 for a missing, damaged or hostile cabinet (a stored name
// that is absolute or climbs out with "..": then nothing at all is written). Files extracted
// before a failure stay.
int ExtractCabinet(const std::string& cabinetPath, const std::string& targetDir);

// A stored name made relative and safe to put below a folder: "\" becomes "/", and "" is
// returned for an absolute name, a drive name, a ".." part or an empty file name.
std::string SafeStoredName(const std::string& stored);

}  // namespace zeph::nu
