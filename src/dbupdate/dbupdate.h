// The database update: fetch the catalogue, find out-of-date databases, let didi download
// their packages, unpack them and install each new database with a backup of the old one.
//
// Update server layout (HTTP, host "host[:port]" from zeph::net::updateServer()):
//   /updates/zeph/updatedb.dzp        the catalogue package (text with section UDates)
//   /updates/zeph/db/<NAME>.dzp       a database package; NAME is the catalogue's file name
//                                     (upper case, as the job file's Capt holds it; didi falls
//                                     back to lower case when the server does not have it)
#pragma once

#include "dbupdate/stream.h"
#include "dbupdate/updatecatalogue.h"
#include "platform/prompter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zeph::dbu {

// The result memo: the lines the update reports to the user.
class Memo {
public:
    virtual ~Memo() = default;
    virtual void append(const std::string& line) = 0;
};

constexpr const char* kCataloguePath = "/updates/zeph/updatedb.dzp";
constexpr const char* kJobFileName = "upddb.inf";
constexpr const char* kClosingRule = "-----------------------------------";
// Suffixes of the crash-safe install, beside the installed database.
constexpr const char* kNewSuffix = ".zeph-new";
// A database whose package failed verification is moved aside under this suffix.
constexpr const char* kWithheldSuffix = ".unverified";

struct UpdateEnvironment {
    Prompter* prompter = nullptr;  // message boxes and the two questions (required)
    Pump pump;                     // may be empty
    std::string server;            // "host[:port]"; empty: zeph::net::updateServer()
    std::string downloader;        // path of didi; empty: the program folder's didi
    bool downloaderOnConsole = false;  // didi reports on the terminal instead of its window
    // Free space of a folder; empty: DiskFreeBytes.
    std::function<int64_t(const std::string&)> diskFree;
};

// memo may be null: no lines, the boxes all the same. Errors not handled here (a corrupt
// package body) are raised after the closing lines have been written.
void UpdateDatabases(Memo* memo, const std::string& databaseFolder, const UpdateEnvironment& env);

// The local application data folder + "Temp/Varnsoft/", and that + "upd/".
std::string WorkFolder();
std::string DownloadFolderOf(const std::string& workFolder);

// HEAD then GET of an http URL into the stream; on failure error = "Došlo k chybě při spojení.".
// maxBytes > 0 bounds the body (more is a failure).
void FetchUrl(const std::string& url, Stream& out, std::string& error, int64_t maxBytes = 0);
// FetchUrl, then the package in memory unpacked into `out` (positioned at its start);
// error = "Chyba načtení." when it does not verify.
void DownloadPackage(MemoryStream& out, const std::string& url, std::string& error);

// Deletes files of the download folder that belong to no pending package; upper-cases the names.
void PurgeDownloadFolder(const std::string& downloadFolder, PendingList& pending);
// Drops pending entries whose file (name with `extension`) is already in the folder.
void DropPresentFiles(const std::string& folder, const std::string& extension, PendingList& pending);

// Free bytes available to the user on the file system holding the folder; -1 when the folder
// does not exist or the query fails.
int64_t DiskFreeBytes(const std::string& folder);
// INT64_MAX when the pending sizes sum to 0 or less, else free + 100,000,000 - sum.
int64_t SpaceMargin(int64_t freeBytes, const PendingList& pending);
int64_t SpaceMargin(const std::string& downloadFolder, const PendingList& pending);
// What the memo calls the drive of a folder: the mount point of its file system.
std::string DriveLabel(const std::string& folder);

// Starts the command line and pumps until it ends (timeoutMs < 0: no limit).
void RunAndWait(const std::string& commandLine, int timeoutMs, const Pump& pump);

// The backup path of an installed database: X.old, else X.old0, X.old1, … the first free one.
std::string BackupPath(const std::string& installedPath);

// Finishes or rolls back installs that a killed run left in the folder.
void RecoverInterruptedInstalls(const std::string& folder);

// Unpacks the downloaded packages into the work folder and installs the new databases.
void ApplyDatabaseUpdates(const std::string& downloadFolder, const std::vector<std::string>& installed, Memo* memo,
                          Prompter& prompter, const Pump& pump);

}  // namespace zeph::dbu
