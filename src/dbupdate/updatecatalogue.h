// The update catalogue (section UDates of the text inside updatedb.dzp), the table it fills,
// the selection of out-of-date databases and the download job file upddb.inf for didi.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zeph::dbu {

struct TDateArrayRec {
    double Date = 0;       // days since 30 December 1899; 0 when the catalogue gives none
    std::string FileName;  // package name on the server
    int64_t Size = 0;      // bytes, from a signed 32-bit value
};
// Rows: Lang1ID 1..5 (A N F R S); columns: edition (B S T P).
using DateArray = std::array<std::array<TDateArrayRec, 4>, 5>;

constexpr char kRowLetters[5] = {'A', 'N', 'F', 'R', 'S'};
constexpr char kColumnLetters[4] = {'B', 'S', 'T', 'P'};

void ResetDateArray(DateArray& table);

// Fills the table from the catalogue text (UTF-8 or code page 1250; CR LF, LF or CR).
// Without a section UDates the table stays as it is (all zero after a reset).
void ReadUpdateDates(const std::string& catalogueText, DateArray& table);

// A signed 32-bit whole number, decimal or hexadecimal ("0x…" / "$…"); 0 when it is not one.
int32_t CatalogueNumber(const std::string& value);

// The edition column of a database name: "BAS" 0, "STA" 1, "PRO" 3, anything else non-empty 2;
// -1 for an empty name. Compared exactly, letter case included.
int EditionColumn(const std::string& name);

struct PendingEntry {
    std::string name;  // package name, no extension
    int64_t size = 0;
};
using PendingList = std::vector<PendingEntry>;

// Writes upddb.inf: sections Up_0, Up_1, … with Capt, Dest (the download folder with a trailing
// separator) and Size (low 32 bits, signed). An existing file is deleted first. Nothing is done
// for an empty list.
void WriteDownloadJob(const PendingList& pending, const std::string& downloadFolder, const std::string& jobFile);

// The installed databases: "*.di8" directly in the folder, then the profiles' databases that lie
// in exactly that folder and exist, without duplicates (compared without letter case).
std::vector<std::string> ListLocalDatabases(const std::string& databaseFolder);

// Builds the installed list (when `installed` is still empty) and appends the package of every
// out-of-date database to the pending list. Databases whose Name holds "2004", whose Name is
// empty (unreadable) or whose Lang1ID lies outside 1..5 are skipped.
void SelectPendingUpdates(const std::string& databaseFolder, const DateArray& table, PendingList* pending,
                          std::vector<std::string>& installed);

}  // namespace zeph::dbu
