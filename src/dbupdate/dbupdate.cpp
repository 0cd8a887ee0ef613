// UpdateDatabases and the helpers around the download: folders, purge, space, the downloader.
#include "dbupdate/dbupdate.h"

#include "dbupdate/folderlist.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/hostlookup.h"
#include "platform/process.h"

#include <climits>
#include <set>

namespace zeph::dbu {

namespace {

const char* const kQuestion2 =
    "Chcete spustit stahování aktualizace databáze? \r\n\r\nTento proces může trvat dlouhou dobu v závislosti "
    "\r\nna velikosti stahovaného souboru a rychlosti připojení.\r\nStahování lze přerušit a později znovu "
    "obnovit.\r\n\r\nBěhem stahování doporučujeme nepoužívat počítač.";

std::string question1(const std::string& databaseFolder)
{
    return std::string("Byla nalezena aktualizace databáze.\r\nPokud používáte uživatelský slovník, zálohujte si "
                       "jej\r\npro pozdější import do aktualizované databáze.\r\nAktualizují se pouze databáze "
                       "umístěné v: \r\n") +
           databaseFolder + "\r\n" + "bez podadresářů." + "\r\n" + "\r\n" + "Chcete nyní přerušit aktualizaci?";
}

// Name without its last extension (".dzp" of "X.dzp").
std::string withoutExtension(const std::string& name)
{
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// ChangeFileExt of the last path component.
std::string withExtension(const std::string& name, const std::string& ext)
{
    return withoutExtension(fs::fileName(name)) + ext;
}

std::string downloaderCommand(const UpdateEnvironment& env, const std::string& jobFile)
{
    std::string program = env.downloader.empty() ? folders::programFolder() + "didi" : env.downloader;
    if (program.find(' ') != std::string::npos) program = "\"" + program + "\"";
    // A server named for this run reaches the downloader too; otherwise both take the configured one.
    if (!env.server.empty()) program += " --server " + proc::quoteArgument(env.server);
    if (env.downloaderOnConsole) program += " --console";
    return program + " \"" + jobFile + "\"";
}

void runUpdate(Memo* memo, const std::string& databaseFolder, const UpdateEnvironment& env)
{
    auto say = [&](const std::string& line) {
        if (memo) memo->append(line);
    };
    Prompter& prompter = *env.prompter;

    DateArray table;
    ResetDateArray(table);
    RecoverInterruptedInstalls(databaseFolder);

    std::string work = WorkFolder();
    if (!fs::createDirectories(work)) {
        say("Nepodařilo se uložit informace o aktualizacích.");
        return;
    }

    MemoryStream catalogue;
    std::string error;
    std::string server = env.server.empty() ? net::updateServer() : env.server;
    DownloadPackage(catalogue, "http://" + server + kCataloguePath, error);
    if (!error.empty()) {
        say(error);
        return;
    }
    ReadUpdateDates(catalogue.bytes(), table);

    PendingList pending;
    std::vector<std::string> installed;
    SelectPendingUpdates(databaseFolder, table, &pending, installed);
    if (pending.empty()) {
        say("Databáze jsou aktuální.");
        return;
    }

    std::string download = DownloadFolderOf(work);
    if (!fs::createDirectories(download)) {
        say("Nepodařilo se uložit aktualizace.");
        return;
    }
    PurgeDownloadFolder(download, pending);
    DropPresentFiles(download, ".dzp", pending);
    DropPresentFiles(work, ".di8", pending);

    if (!pending.empty() &&
        prompter.message("Potvrdit", question1(databaseFolder), Icon::Warning, Buttons::YesNo) == Answer::No) {
        std::string jobFile = work + kJobFileName;
        WriteDownloadJob(pending, download, jobFile);
        int64_t freeBytes = env.diskFree ? env.diskFree(download) : DiskFreeBytes(download);
        int64_t margin = SpaceMargin(freeBytes, pending);
        if (margin >= 0) {
            if (prompter.message("Potvrdit", kQuestion2, Icon::Warning, Buttons::YesNo) == Answer::Yes) {
                RunAndWait(downloaderCommand(env, jobFile), -1, env.pump);
                say("Stahování ukončeno.");
            }
        } else {
            say("Nedostatek místa na disku " + DriveLabel(download) + ":.");
            say("Je třeba uvolnit alespoň " + std::to_string(-(margin / 1048576)) + " MB.");
        }
    }

    ApplyDatabaseUpdates(download, installed, memo, prompter, env.pump);
}

}  // namespace

std::string WorkFolder() { return folders::localAppData() + "Temp/Varnsoft/"; }

std::string DownloadFolderOf(const std::string& workFolder) { return fs::withTrailingSlash(workFolder) + "upd/"; }

void UpdateDatabases(Memo* memo, const std::string& databaseFolder, const UpdateEnvironment& env)
{
    auto close = [&] {
        if (!memo) return;
        memo->append("Aktualizace databází ukončena.");
        memo->append(kClosingRule);
    };
    if (memo) {
        memo->append("Kontrola aktualizace databází...");
        if (env.pump) env.pump();
    }
    try {
        runUpdate(memo, databaseFolder, env);
    } catch (...) {
        close();
        throw;
    }
    close();
}

void PurgeDownloadFolder(const std::string& downloadFolder, PendingList& pending)
{
    std::vector<std::string> files = FilesIn(downloadFolder, "*.*");
    std::set<std::string> wanted;
    for (PendingEntry& e : pending) {
        e.name = UpperAscii(e.name);
        wanted.insert(e.name);
    }
    for (const std::string& path : files) {
        std::string name = UpperAscii(fs::fileName(path));
        // didi's partial download of a pending package stays, so the next run resumes it.
        if (name.size() > 9 && name.compare(name.size() - 9, 9, ".DZP.PART") == 0) name.resize(name.size() - 5);
        std::string stem = withoutExtension(name);
        if (!wanted.count(stem)) fs::removeFile(path);
    }
}

void DropPresentFiles(const std::string& folder, const std::string& extension, PendingList& pending)
{
    std::set<std::string> present;
    for (const std::string& path : FilesIn(folder, "*.*")) present.insert(UpperAscii(path));
    for (PendingEntry& e : pending) e.name = UpperAscii(e.name);
    std::string base = fs::withTrailingSlash(folder);
    for (size_t i = pending.size(); i-- > 0;) {
        if (present.count(UpperAscii(base + withExtension(pending[i].name, extension))))
            pending.erase(pending.begin() + std::ptrdiff_t(i));
    }
}

int64_t DiskFreeBytes(const std::string& folder)
{
    if (!fs::isDirectory(folder)) return -1;
    std::optional<uint64_t> bytes = fs::freeBytes(folder);
    if (!bytes || *bytes > uint64_t(INT64_MAX)) return -1;
    return int64_t(*bytes);
}

int64_t SpaceMargin(int64_t freeBytes, const PendingList& pending)
{
    int64_t sum = 0;
    for (const PendingEntry& e : pending) sum = int64_t(uint64_t(sum) + uint64_t(e.size));
    if (sum <= 0) return INT64_MAX;
    return freeBytes + 100000000 - sum;
}

int64_t SpaceMargin(const std::string& downloadFolder, const PendingList& pending)
{
    return SpaceMargin(DiskFreeBytes(downloadFolder), pending);
}

std::string DriveLabel(const std::string& folder)
{
    std::string mount = fs::mountPoint(folder);
    return mount == "/" ? mount : fs::withoutTrailingSlash(mount);
}

void RunAndWait(const std::string& commandLine, int timeoutMs, const Pump& pump)
{
    std::optional<pid_t> pid = proc::start(commandLine);
    if (!pid) return;
    proc::wait(*pid, timeoutMs, pump);
}

}  // namespace zeph::dbu
