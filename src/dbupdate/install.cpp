// Unpacking downloaded packages and installing new databases over the old ones.
//
// An install never leaves an installed path torn or missing without a complete copy beside it:
//   1. the new database is copied (flushed) to X.di8.zeph-new beside the installed one;
//   2. the installed database is moved to its backup X.old…;
//   3. X.di8.zeph-new is renamed to X.di8 (failing if a file is there).
// A run killed between these steps leaves X.di8.zeph-new; RecoverInterruptedInstalls finishes
// step 3 when X.di8 is missing and otherwise drops the copy, so the old database stays.
#include "dbupdate/dbupdate.h"

#include "dbupdate/faultpoint.h"
#include "dbupdate/folderlist.h"
#include "dbupdate/package.h"
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace zeph::dbu {

namespace {

void pumpIfAny(const Pump& pump)
{
    if (pump) pump();
}

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Makes renames in the folder durable, so a power cut cannot bring an old state back.
void syncFolder(const std::string& folder)
{
    int fd = ::open(fs::toNative(folder.empty() ? "." : folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Rename that fails when the target exists, without a window in which it could be replaced.
bool renameNoReplace(const std::string& from, const std::string& to)
{
    std::string src = fs::toNative(from), dst = fs::toNative(to);
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link also refuses an existing target.
    if (::link(src.c_str(), dst.c_str()) != 0) return false;
    ::unlink(src.c_str());
    return true;
}

// Leftovers of the copy of step 1: ".X.di8.zeph-new.XXXXXX" temporary files.
bool isCopyLeftover(const std::string& name)
{
    return name.size() > 1 && name[0] == '.' && name.find(std::string(kNewSuffix) + ".") != std::string::npos;
}

void errorBox(Prompter& prompter, const std::string& text)
{
    prompter.message("Chyba", text, Icon::Error, Buttons::Ok);
}

// Moves a database that its package does not verify out of the install's way.
void withhold(const std::string& path)
{
    if (!path.empty() && fs::exists(path)) fs::moveFile(path, path + kWithheldSuffix, true);
}

// The file a package unpacks to in the folder, or "" when its trailer cannot tell.
std::string unpackTarget(const std::string& package, const std::string& folder)
{
    FileStream in(package, FileStream::Mode::Read);
    std::optional<PackageTrailer> t = ReadTrailer(in);
    if (!t || !IsPlainFileName(t->nameUtf8)) return "";
    return fs::withTrailingSlash(folder) + t->nameUtf8;
}

void unpackDownloaded(const std::string& package, const std::string& workFolder, Memo* memo, const Pump& pump)
{
    if (memo) {
        memo->append("Rozbalování souborů");
        pumpIfAny(pump);
    }
    std::string target = unpackTarget(package, workFolder);
    bool wasPresent = !target.empty() && fs::exists(target);
    std::string dest;
    bool ok = UnpackFile(package, workFolder, dest);
    if (!ok && wasPresent) {
        // A file left by an interrupted unpack or an older package: set it aside, unpack afresh.
        withhold(dest);
        dest.clear();
        ok = UnpackFile(package, workFolder, dest);
        if (ok) fs::removeFile(dest + kWithheldSuffix);  // it was only a leftover
    }
    if (ok) {
        faultPoint("unpacked");
        fs::removeFile(package);
    } else {
        withhold(dest);
    }
}

enum class InstallOutcome { Installed, BackupFailed, Failed };

InstallOutcome installOne(const std::string& newDb, const std::string& installedPath, Memo* memo,
                          Prompter& prompter, const Pump& pump)
{
    std::string backup = BackupPath(installedPath);
    std::string staged = installedPath + kNewSuffix;
    fs::removeFile(staged);
    pumpIfAny(pump);
    if (!fs::copyFile(newDb, staged, true)) {
        fs::removeFile(staged);
        errorBox(prompter, "Nepodařilo se přesunout aktualizovanou databázi!");
        return InstallOutcome::Failed;
    }
    faultPoint("staged");
    if (!fs::moveFile(installedPath, backup, false)) {
        fs::removeFile(staged);
        errorBox(prompter, std::string("Nepodařilo se zálohovat původní databázi: \n\r") + installedPath + "\n\r" +
                               "Aktualizační program nemá přístup k souboru." + "\r\n" +
                               "Ověřte, zda není spuštěný slovník.");
        return InstallOutcome::BackupFailed;
    }
    faultPoint("backed-up");
    if (renameNoReplace(staged, installedPath)) {
        syncFolder(fs::folderOf(installedPath));
        faultPoint("installed");
        if (memo) {
            memo->append("Provedena aktualizace databáze:");
            memo->append(installedPath);
            memo->append("Původní databáze je zálohována v souboru:");
            memo->append(backup);
        }
        return InstallOutcome::Installed;
    }
    fs::removeFile(staged);
    if (fs::moveFile(backup, installedPath, false))
        errorBox(prompter, "Nepodařilo se přesunout aktualizovanou databázi!");
    else
        errorBox(prompter, "Nepodařilo se přesunout aktualizovanou databázi!\r\nPůvodní databáze je zálohována v "
                           "souboru:\r\n" + backup);
    return InstallOutcome::Failed;
}

}  // namespace

std::string BackupPath(const std::string& installedPath)
{
    std::string name = fs::fileName(installedPath);
    size_t dot = name.rfind('.');
    std::string base = installedPath.substr(0, installedPath.size() - name.size()) +
                       (dot == std::string::npos ? name : name.substr(0, dot)) + ".old";
    if (!fs::exists(base)) return base;
    for (unsigned i = 0;; ++i) {
        std::string candidate = base + std::to_string(i);
        if (!fs::exists(candidate)) return candidate;
    }
}

void RecoverInterruptedInstalls(const std::string& folder)
{
    bool changed = false;
    for (const fs::DirEntry& e : fs::list(folder, "*")) {
        if (e.directory) continue;
        std::string path = fs::withTrailingSlash(folder) + e.name;
        if (isCopyLeftover(e.name)) {
            fs::removeFile(path);  // a copy cut short: the old database was never touched
        } else if (endsWith(e.name, kNewSuffix)) {
            std::string installed = path.substr(0, path.size() - std::string(kNewSuffix).size());
            if (fs::exists(installed)) fs::removeFile(path);  // killed before the old one moved
            else renameNoReplace(path, installed);            // killed after: finish
            changed = true;
        }
    }
    if (changed) syncFolder(folder);
}

void ApplyDatabaseUpdates(const std::string& downloadFolder, const std::vector<std::string>& installed, Memo* memo,
                          Prompter& prompter, const Pump& pump)
{
    std::string workFolder = fs::folderOf(fs::withoutTrailingSlash(downloadFolder));
    for (const std::string& package : FilesIn(downloadFolder, "*.dzp"))
        unpackDownloaded(package, workFolder, memo, pump);

    std::set<std::string> folders;
    for (const std::string& path : installed) folders.insert(fs::folderOf(path));
    for (const std::string& folder : folders) RecoverInterruptedInstalls(folder);

    int count = 0;
    for (const std::string& newDb : FilesIn(workFolder, "*.di8")) {
        bool done = false;
        std::string newName = UpperAscii(fs::fileName(newDb));
        for (const std::string& installedPath : installed) {
            if (UpperAscii(fs::fileName(installedPath)) != newName) continue;
            try {
                InstallOutcome outcome = installOne(newDb, installedPath, memo, prompter, pump);
                done = outcome == InstallOutcome::Installed;
                if (done) ++count;
            } catch (...) {
                // as with any failure of one database: the walk goes on
            }
        }
        if (done && fs::exists(newDb)) fs::removeFile(newDb);
    }
    if (count > 0)
        prompter.message("Informace", "Aktualizovaných databází: " + std::to_string(count), Icon::Information,
                         Buttons::Ok);
}

}  // namespace zeph::dbu
