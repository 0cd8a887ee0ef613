// The update run: the control file, its conditions and instructions, the selection of files,
// their download and installation, and the closing steps.
#include "netupdate/netupdate.h"

#include "netupdate/cabinet.h"
#include "netupdate/checksum.h"
#include "netupdate/file_version.h"
#include "netupdate/lz_expand.h"
#include "netupdate/status.h"
#include "netupdate/transport.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/textcodec.h"

#include <thread>
#include <unistd.h>

namespace zeph::nu {

namespace {

std::string userTempFolder() { return fs::withTrailingSlash(folders::temp()); }

// A text file as lines, read as Windows text (UTF-8 when valid, else code page 1250).
std::vector<std::string> loadTextLines(const std::string& path)
{
    std::string bytes;
    fs::readFile(path, bytes);
    std::string text = text::fromAnsi(bytes);
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
    return out;
}

// WinExec: started, not awaited, its outcome not looked at.
void startCommand(const std::string& commandLine)
{
    proc::StartOptions o;
    o.detach = true;
    proc::start(commandLine, o);
}

bool isLaterOrEqual(const dt::DateTime& a, const dt::DateTime& b) { return dt::toSerial(a) >= dt::toSerial(b); }

// A command line argument as the patcher's Windows-style command line wants it.
std::string argument(const std::string& s) { return proc::quoteArgument(s); }

}  // namespace

void TNetUpdate::StartThreadedUpdate()
{
    Threaded = true;
    if (!runOnMainThread) {
        // A host without an event loop: the run happens here and now.
        RunUpdate(false);
        ThreadUpdateDone();
        return;
    }
    // The worker only asks the main thread to do the run and waits for it, then for the
    // completion handler; the work itself never runs on this thread.
    auto post = runOnMainThread;
    std::thread([this, post] {
        post([this] { RunUpdate(false); });
        post([this] { ThreadUpdateDone(); });
    }).detach();
}

void TNetUpdate::ThreadUpdateDone()
{
    if (OnThreadUpdateDone) OnThreadUpdateDone(*this);
    Threaded = false;
    ReportStatus(960, "", 0, 0);
    if (RestartNeeded()) {
        ReportStatus(961, "", 0, 0);
        RestartForUpdate();
    }
}

void TNetUpdate::RunUpdate(bool setDir)
{
    try {
        if (setDir) {
            std::string dir = folders::programFolder();
            if (::chdir(dir.c_str()) != 0) {
                // The run then works in the current directory.
            }
        }
        AppComponentUpdated = false;
        FtpDirectorySet = false;
        ControlFilePath.clear();
        ReportRunStart();

        if (OpenConnection() != 0) return;
        if (UpdateType == ftpUpdate && ConnectFtp() == -1) ReportInternetError();
        auto closing = [this] { CloseConnection(); };
        if (!ConnectionHandle && UpdateType != fileUpdate) return closing();
        if (FetchControlFile() != 0) return closing();
        if (EvaluateUpdateConditions() == coNoUpdate) {
            AppUpdate = false;
            return closing();
        }
        if (ProcessInstructions() != 0) return closing();
        int32_t declined = 0;
        if (auto text = FetchWhatsNewText()) declined = ShowWhatsNewDialog(*text);
        if (auto text = FetchLicenseText(); text && declined == 0) declined = ShowLicenseDialog(*text);
        if (declined != 0) {
            AppUpdate = false;
            return closing();
        }
        if (ReadFileList() <= 0) {
            AppUpdate = false;
            return closing();
        }
        int32_t selected = SelectFilesToUpdate();
        if (selected == 0) {
            ProcessFiles();
            FinishUpdate();
        }
        CloseConnection();
        if (selected == 0 && !Cancelled && OnSuccess) OnSuccess(*this);
        if (RestartNeeded() && !Threaded) RestartForUpdate();
    } catch (const std::exception& e) {
        // An unwritable log or a page that cannot be shown ends the run; what it opened is
        // closed, and the error goes to the application's error report.
        std::string message = e.what();
        SessionHandle.reset();
        ConnectionHandle.reset();
        if (!ControlFilePath.empty()) fs::removeFile(ControlFilePath);
        if (prompter) prompter->showError(message);
    }
}

void TNetUpdate::GetControlFileURL(std::string& url)
{
    url = ReadLastURL();
    if (url.empty()) url = URL;
    url = ExpandPrefixes(url);
}

int32_t TNetUpdate::FetchControlFile()
{
    std::string address;
    GetControlFileURL(address);
    const std::string temp = userTempFolder();
    if (!DownloadFile(ConnectionHandle, address, temp)) {
        ReportStatus(925, "", 2, 0);
        return 4;
    }
    ReportStatus(926, "", 3, 0);
    ControlFilePath = temp + FileNameFromURL(address);
    Control = ControlFile::load(ControlFilePath);
    int32_t result = 0;
    if (SignatureCheck && Control.text(ck::UpdateSignature) != Signature) {
        ReportStatus(927, "", 11, 4);
        result = 5;
    }
    AppUpdate = Control.flag(ck::AppUpdate);
    AppName = ExpandPrefixes(Control.text(ck::AppName));
    AppParams = Control.text(ck::AppParam);
    if (AppName.empty()) AppUpdate = false;
    if (OnSetAppParams) OnSetAppParams(*this, AppParams);
    if (AppParams.empty()) AppParams = " ";
    AppComps = ExpandPrefixes(Control.text(ck::AppComps));
    SilentRestart = Control.flag(ck::AppSilentRestart);
    return result;
}

int32_t TNetUpdate::EvaluateUpdateConditions()
{
    int32_t outcome = coNoUpdate;
    UpdateDescr = Control.text(ck::UpdateDescr);
    const std::string date = Control.text(ck::UpdateDate);
    if (!date.empty()) {
        ReportStatus(928, "", 3, 0);
        NewDate = ParseControlDateTime(date, Control.text(ck::UpdateTime));
        LocalDate = GetLocalDate(ExpandPrefixes(Control.text(ck::UpdateLocalVersion)));
        if (isLaterOrEqual(LocalDate, NewDate)) {
            ReportStatus(930, "", 4, 0);
            outcome = coNoUpdate;
        } else {
            ReportStatus(929, dt::formatShortDate(NewDate.date()), 5, 0);
            outcome = coDateNewer;
        }
    }
    if (Control.presence(ck::UpdateUnconditional) && outcome == coNoUpdate) outcome = coUnconditional;
    if (outcome == coNoUpdate) {
        std::string nv = Control.text(ck::UpdateNewVersion);
        int32_t ns = Control.integer(ck::UpdateNewSize);
        std::string lf = ExpandPrefixes(Control.text(ck::UpdateLocalVersion));
        int32_t nc = Control.integer(ck::UpdateNewChecksum);
        if ((!nv.empty() || ns > 0 || nc != -1) && !lf.empty()) {
            if (nc != -1) {
                outcome = coChecksumBased;
                ReportStatus(931, "", 3, 0);
            } else if (ns <= 0) {
                outcome = coVersionBased;
                ReportStatus(933, "", 3, 0);
            } else {
                outcome = coSizeBased;
                ReportStatus(932, "", 3, 0);
            }
            if (IsNewVersion(nv, lf, nc, ns)) {
                ReportStatus(929, nv, 5, 0);
            } else {
                ReportStatus(930, "", 4, 0);
                outcome = coNoUpdate;
            }
        }
    }
    if (OnCustomValidate) {
        bool allow = outcome != coNoUpdate;
        OnCustomValidate(*this, Control.text(ck::CustomValidateMsg), Control.text(ck::CustomValidateParam), allow);
        outcome = allow ? coCustomAllowed : coNoUpdate;
    }
    return outcome;
}

bool TNetUpdate::IsNewVersion(std::string& newVersion, std::string& localFile, int32_t newCheckSum, int32_t newSize)
{
    if (newVersion.empty() && newSize == 0 && newCheckSum == -1) return true;
    if (localFile.empty() && VersionCheck == vcUpdateOnly) return true;
    if (!fs::exists(localFile) && VersionCheck == vcAlways) return true;
    if (newCheckSum != -1) {
        int32_t sum = UseCRC32 ? FileCRC32(localFile) : ByteSumChecksum(localFile);
        ReportStatus(944, "Checksum compare of " + localFile + ":" + std::to_string(sum) + ":" + std::to_string(newCheckSum), 3, 0);
        return sum != newCheckSum;
    }
    if (newSize > 0) {
        auto size = fs::isFile(localFile) ? fs::fileSize(localFile) : std::nullopt;
        int64_t s = size ? int64_t(*size) : -1;
        return s != newSize && (s > 0 || VersionCheck == vcAlways);
    }
    FileVersion fv = GetFileVersion(localFile);
    ParsedVersion local{fv.ms, fv.ls};
    ParsedVersion fresh = ParseVersion(newVersion);
    ReportStatus(944, "Version compare of " + localFile + ":" + VersionText(local) + " with " + newVersion + ":" + VersionText(fresh), 3, 0);
    if (fresh.high == -1 || fresh.low == -1) return false;
    if ((local.high == -1 || local.low == -1) && VersionCheck == vcUpdateOnly) return false;
    localFile = VersionText(local);
    newVersion = VersionText(fresh);
    return fresh.high > local.high || (fresh.high == local.high && fresh.low > local.low);
}

int32_t TNetUpdate::ProcessInstructions()
{
    if (std::string msg = Control.message(ck::ActionMsg); !msg.empty()) {
        ReportStatus(934, "", 3, 0);
        if (prompter) prompter->message("", msg, Icon::Information, Buttons::Ok);
    }
    if (std::string html = ExpandPrefixes(Control.text(ck::ActionHtmlDlg)); !html.empty()) {
        ReportStatus(935, "", 7, 0);
        ShowHtmlDialog(html);
    }
    if (std::string before = ExpandPrefixes(Control.text(ck::ActionRunBefore)); !before.empty()) startCommand(before);
    if (OnCustomProcess) OnCustomProcess(*this, Control.text(ck::CustomProcessMsg), Control.text(ck::CustomProcessParam));
    if (std::string show = ExpandPrefixes(Control.text(ck::ActionShowURL)); !show.empty()) {
        ReportStatus(942, "", 3, 0);
        proc::StartOptions o;
        o.detach = true;
        o.quiet = true;
        proc::startArgs({"xdg-open", AddUrlCredentials(show, ProxyUserID, ProxyPassword)}, o);
    }
    if (std::string query = Control.message(ck::ActionQuery); !query.empty()) {
        ReportStatus(936, "", 3, 0);
        Answer a = prompter ? prompter->message("", query, Icon::Information, Buttons::YesNo) : Answer::Yes;
        if (a != Answer::Yes) {
            AppUpdate = false;
            return -1;
        }
    }
    return 0;
}

std::optional<std::vector<std::string>> TNetUpdate::FetchWhatsNewText()
{
    std::string f = Control.text(ck::WhatsNewFile, LanguageID);
    if (f.empty()) return std::nullopt;
    if (OnBeforeFileDownload) {
        const std::string description = f;
        OnBeforeFileDownload(*this, 0, description, f);
    }
    ReportStatus(937, "", 12, 0);
    const std::string temp = userTempFolder();
    if (!DownloadFile(ConnectionHandle, f, temp)) return std::nullopt;
    const std::string path = temp + FileNameFromURL(f);
    auto lines = loadTextLines(path);
    fs::removeFile(path);
    return lines;
}

std::optional<std::vector<std::string>> TNetUpdate::FetchLicenseText()
{
    std::string f = Control.text(ck::EulaFile, LanguageID);
    if (f.empty()) return std::nullopt;
    ReportStatus(939, "", 13, 0);
    const std::string temp = userTempFolder();
    if (!DownloadFile(ConnectionHandle, f, temp)) return std::nullopt;
    const std::string path = temp + FileNameFromURL(f);
    auto lines = loadTextLines(path);
    fs::removeFile(path);
    return lines;
}

int32_t TNetUpdate::ShowWhatsNewDialog(const std::vector<std::string>& lines)
{
    if (OnDownloadedWhatsNew) {
        int32_t res = 1;
        OnDownloadedWhatsNew(*this, lines, res);
        return res == 1 ? 0 : -1;
    }
    TextDialogRequest r;
    r.caption = Control.text(ck::WhatsNewCaption);
    r.text = joinLines(lines);
    r.okButton = Control.text(ck::WhatsNewOkBtn);
    r.cancelButton = Control.text(ck::WhatsNewCancelBtn);
    if (prompter && !prompter->showText(r)) {
        ReportStatus(938, "", 14, 0);
        return -1;
    }
    return 0;
}

int32_t TNetUpdate::ShowLicenseDialog(const std::vector<std::string>& lines)
{
    if (OnDownloadedEULA) {
        int32_t res = 1;
        OnDownloadedEULA(*this, lines, res);
        return res == 1 ? 0 : -1;
    }
    TextDialogRequest r;
    r.caption = Control.text(ck::EulaCaption);
    r.text = joinLines(lines);
    r.licence = true;
    r.okButton = Control.text(ck::EulaOkBtn);
    r.acceptText = Control.text(ck::EulaAccept);
    r.notAcceptText = Control.text(ck::EulaNotAccept);
    // Without anyone to accept it, a licence is not accepted.
    return prompter && prompter->showText(r) ? 0 : -1;
}

int32_t TNetUpdate::ReadFileList()
{
    FileList.clear();
    int32_t count = Control.integer(ck::FilesCount);
    if (count > 0) {
        ReportStatus(943, "", 3, 0);
        // Sections that are not there add nothing but empty entries: a count far beyond the
        // file's sections is not followed.
        int32_t limit = std::min<int32_t>(count, int32_t(Control.document().all().size()) + 1);
        auto expand = [this](const std::string& s) { return ExpandPrefixes(s); };
        for (int32_t n = 1; n <= limit; ++n) FileList.push_back(ReadFileDescription(Control, n, expand));
    }
    return count;
}

int32_t TNetUpdate::SelectFilesToUpdate()
{
    for (size_t i = 0; i < FileList.size();) {
        TFileDescription& e = FileList[i];
        ReportStatus(971, e.URL + "[" + e.LocalVersion + ",nv=" + e.NewVersion + ",nd=" + e.NewDate + ",ns=" + std::to_string(e.NewSize) +
                              ",nc=" + std::to_string(e.NewCheckSum) + "]",
                     0, 0);
        bool keep = true;
        if (!e.LocalVersion.empty() && !e.NewDate.empty()) {
            dt::DateTime d = ParseControlDateTime(e.NewDate, e.NewTime);
            if (fs::exists(e.LocalVersion)) {
                if (auto m = fs::modificationTime(e.LocalVersion); m && isLaterOrEqual(dt::fromTimeT(*m), d)) keep = false;
            }
        } else {
            std::string nv = e.NewVersion, lv = e.LocalVersion;
            if (!IsNewVersion(nv, lv, e.NewCheckSum, e.NewSize)) {
                ReportStatus(930, "", 0, 0);
                keep = false;
            } else {
                bool isNew = true;
                if (OnFileVersionCheck && !e.NewCustomVer.empty()) OnFileVersionCheck(*this, e.NewCustomVer, e.LocalVersion, isNew);
                keep = isNew;
            }
        }
        if (keep) ++i;
        else FileList.erase(FileList.begin() + std::ptrdiff_t(i));
    }
    if (OnGetFileList && !FileList.empty()) {
        std::vector<std::string> list;
        for (auto& e : FileList) list.push_back(e.Description);
        OnGetFileList(*this, list);
        // Only emptied lines drop their file; a handler that broke the rules drops no more.
        size_t line = 0;
        for (size_t i = 0; i < FileList.size() && line < list.size(); ++line) {
            if (list[line].empty()) FileList.erase(FileList.begin() + std::ptrdiff_t(i));
            else ++i;
        }
    }
    return FileList.empty() ? -1 : 0;
}

int32_t TNetUpdate::ProcessFiles()
{
    TNetUpdateUpdate mode = UpdateUpdate;
    int32_t result = 0;
    for (size_t n = 1; n <= FileList.size(); ++n) {
        const TFileDescription e = FileList[n - 1];
        bool skip = false;
        if (mode == nuuPromptAll) {
            if (prompter && prompter->message("", StatusFormat(909) + FileNameFromURL(e.URL), Icon::Question, Buttons::YesNo) != Answer::Yes)
                skip = true;
        } else if (mode == nuuPromptOnce) {
            if (prompter && prompter->message("", StatusFormat(910), Icon::Question, Buttons::YesNo) != Answer::Yes) return result;
        }
        if (!skip) {
            std::string address = e.URL;
            if (OnBeforeFileDownload) OnBeforeFileDownload(*this, int32_t(n), e.Description, address);
            // Taken after the event, so that a changed address is handled under its own name.
            const std::string name = FileNameFromURL(address);
            if (!e.TargetDir.empty() && !fs::isDirectory(e.TargetDir)) ForceDirectories(e.TargetDir);
            const std::string dir = UseWinTempDir ? userTempFolder() : e.TargetDir;
            if (!DownloadFile(ConnectionHandle, address, dir)) {
                result = -1;
                ReportStatus(946, address, 2, 0);
                AppUpdate = false;
            } else {
                const std::string fetched = fs::toNative(dir + name);
                const bool component = !name.empty() && text::toUpper(AppComps).find(text::toUpper(name)) != std::string::npos;
                if (component) {
                    AppComponentUpdated = true;
                    ReportStatus(962, name, 0, 0);
                }
                const std::string ext = text::toUpper(fs::extension(name));
                std::string placed = fetched;  // where the file lies after the install step
                if (ext != ".CAB" && ext != ".PAT" && !e.TargetDir.empty() && !component) {
                    const std::string target = fs::toNative(e.TargetDir + name);
                    if (fs::toNative(dir) != fs::toNative(e.TargetDir)) {
                        fs::removeFile(target);
                        fs::moveFile(fetched, target, true);
                    }
                    placed = target;
                }
                if (ext != ".CAB" && ExtractCAB && e.Compressed && !component) {
                    // Expanded where it was installed; without a target folder in the current one.
                    if (e.TargetDir.empty()) {
                        placed = name;
                        if (fs::toNative(fetched) != name) fs::moveFile(fetched, name, true);
                    }
                    ExpandLzFile(placed);
                }
                if (ext == ".CAB" && ExtractCAB && e.Compressed && !component) {
                    const std::string cab = fs::withTrailingSlash(dir) + name;
                    if (ExtractCabinet(cab, e.TargetDir) == -1) ReportStatus(947, cab, 8, 0);
                    else if (!KeepIntermediateFiles) fs::removeFile(cab);
                }
                if (ext == ".PAT" && ApplyPatch && !e.LocalVersion.empty() && !component) {
                    if (Utility && !fs::exists("patcher")) WritePatchTool();
                    bool showWindow = true, showAnimation = false;
                    std::string caption, message;
                    if (Utility) {
                        showWindow = Utility->ShowWindow;
                        showAnimation = Utility->ShowAnimation;
                        caption = Utility->StatusCaption;
                        message = Utility->StatusMessage;
                    }
                    // The patch by its full path: it lies where it was fetched.
                    std::string command = Logging ? "patcher -v " + argument(fetched) + " " + argument(e.LocalVersion) + ">> NUPDATE.LOG"
                                                  : "patcher " + argument(fetched) + " " + argument(e.LocalVersion);
                    ExecuteAndWait(command, showWindow, message, caption, showAnimation);
                    if (!KeepIntermediateFiles) fs::removeFile(fetched);
                }
            }
        }
        if (mode == nuuPromptOnce) mode = nuuSilent;
    }
    return result;
}

int32_t TNetUpdate::FinishUpdate()
{
    if (Cancelled) return -1;
    if (PostUpdateInfo.Enabled) {
        bool allow = true;
        if (OnBeforePost) OnBeforePost(*this, allow);
        if (allow) {
            SendUpdateInfo();
            bool allowResult = true;
            if (OnProcessPostResult) OnProcessPostResult(*this, allowResult);
            if (!allowResult) return -1;
        }
    }
    if (LocalDateFromRegistry) SaveLastDate(NewDate);
    if (std::string next = Control.text(ck::ActionUpdateURL); !next.empty()) {
        ReportStatus(941, "", 3, 0);
        WriteLastURL(next);
    }
    if (Utility && ApplyPatch) WritePatchTool();
    if (std::string after = ExpandPrefixes(Control.text(ck::ActionRunAfter)); !after.empty()) startCommand(after);
    ReportStatus(948, "", 3, 0);
    return 0;
}

void TNetUpdate::ForceDirectories(const std::string& dir)
{
    fs::createDirectories(fs::withoutTrailingSlash(fs::toNative(dir)));
}

}  // namespace zeph::nu
