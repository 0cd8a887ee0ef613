// Expansion of single files compressed in the SZDD (LZ) format, such as "nusetup.ex_".
#pragma once

#include <string>

namespace zeph::nu {

// The name a compressed file expands to: its final "_" replaced by the stored missing
// character (in the case of the letter before it). The name itself when nothing is stored.
std::string LzExpandedName(const std::string& compressedName, char missingChar);

// Expands the file in place: afterwards the expanded file lies in the same folder under its
// expanded name and the compressed file is gone, also when the data was damaged (then no
// expanded file is left). A file that is not in the SZDD format is left untouched and nothing
// is created.
void ExpandLzFile(const std::string& path);

}  // namespace zeph::nu
