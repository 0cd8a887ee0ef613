// The web update component: published properties with their constructor defaults, host events,
// the settings objects it owns, the registry values of the last update, and the operations of
// the run and the transport.
//
// Where each operation lives:
//   netupdate.cpp   constructor, properties, registry values, ExpandPrefixes, date conversion,
//                   FileDownloaded
//   update_log.cpp  ReportStatus and the environment texts
//   update_run.cpp  the run (RunUpdate, StartThreadedUpdate and the steps it calls)
//   transport.cpp   OpenConnection, ConnectFtp, CloseConnection, DownloadFile and the rest of
//                   the transport
#pragma once

#include "netupdate/control_file.h"
#include "platform/datetime.h"
#include "platform/prompter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zeph::nu {

enum TNetUpdateType { ftpUpdate, httpUpdate, fileUpdate };
enum TNetUpdateConnect { nucNoConnect, nucConnectPrompt, nucConnectSilent, nucConnectPromptHangup, nucConnectSilentHangup, nucNone };
enum TNetUpdateUpdate { nuuPromptOnce, nuuPromptAll, nuuSilent };
enum TNetUpdateVersionCheck { vcUpdateOnly, vcAlways };
enum TNetUpdateAuthentication { waAlways, waAuto, waNever };
enum TLastURLReg { lurLOCALUSER, lurLOCALMACHINE };

// Result of EvaluateUpdateConditions.
enum TConditionOutcome : int32_t {
    coDateNewer = 6,
    coNoUpdate = 7,
    coUnconditional = 8,
    coSizeBased = 9,
    coChecksumBased = 10,
    coVersionBased = 11,
    coCustomAllowed = 12,
};

// Where the address and the date of the last update are kept.
struct TLastURLEntry {
    bool Save = false;
    std::string Key;
    std::string Section;
    TLastURLReg RegRoot = lurLOCALUSER;
};

struct TPostUpdateInfo {
    std::string Server;
    std::string Action;
    std::string Data;
    bool Enabled = false;
    std::string PostResult;  // reply of the last post
};

// Window settings of the patch step; the host may link one through TNetUpdate::Utility.
struct TNetUpdateUtility {
    bool ShowWindow = false;
    bool ShowAnimation = false;
    std::string StatusMessage;
    std::string StatusCaption;
};

// The transport's connection handles; defined by the transport.
struct InternetHandle;
using HInternet = std::shared_ptr<InternetHandle>;

class TNetUpdate;

// The updater hand-off (helper program, patch tool, restart, waiting for a program) plugs in
// here. Without one the run fetches and installs files but writes no tools and never restarts.
class UpdaterHandOff {
public:
    virtual ~UpdaterHandOff() = default;
    virtual void WriteUpdaterHelper(TNetUpdate& nu) = 0;
    virtual void WritePatchTool(TNetUpdate& nu) = 0;
    virtual void RestartForUpdate(TNetUpdate& nu) = 0;
    virtual void ExecuteAndWait(TNetUpdate& nu, const std::string& commandLine, bool showWindow,
                                const std::string& statusMessage, const std::string& statusCaption, bool showAnimation) = 0;
};

class TNetUpdate {
public:
    TNetUpdate();
    virtual ~TNetUpdate();
    TNetUpdate(const TNetUpdate&) = delete;
    TNetUpdate& operator=(const TNetUpdate&) = delete;

    // ---- Published properties (constructor defaults) ----
    std::string URL;
    TNetUpdateType UpdateType = httpUpdate;
    TNetUpdateConnect UpdateConnect = nucNoConnect;
    TNetUpdateUpdate UpdateUpdate = nuuPromptOnce;
    TNetUpdateVersionCheck VersionCheck = vcUpdateOnly;
    bool UseCRC32 = false;
    bool SignatureCheck = false;
    std::string Signature = "NetUpdate";
    bool ExtractCAB = false;
    bool ApplyPatch = false;
    bool KeepIntermediateFiles = false;
    bool UseWinTempDir = true;
    std::string TempDirectory = ".";
    std::string DateFormat = "dd/mm/yyyy";
    char DateSeparator = '/';
    std::string TimeFormat = "hh:nn";
    char TimeSeparator = ':';
    std::string LanguageID;
    bool Logging = false;
    std::string Agent = "TNetUpdate";
    std::string Proxy, ProxyUserID, ProxyPassword;
    std::string Host;
    int32_t Port = 21;
    std::string UserID, Password;
    TNetUpdateAuthentication Authenticate = waNever;
    std::string FTPDirectory;
    bool FTPPassive = false;
    bool HTTPKeepAliveAuthentication = false;
    bool ExistingConnection = false;
    int32_t TimeOut = 0;
    TLastURLEntry LastURLEntry;
    TPostUpdateInfo PostUpdateInfo;
    TNetUpdateUtility* Utility = nullptr;  // not owned; the host clears it when it frees the utility

    // The log name is one value for the whole process: setting it here sets it for every instance.
    const std::string& LogFileName() const { return logFileName_; }
    void SetLogFileName(const std::string& name);
    // "2.0.5.0"; writing it changes nothing.
    std::string Version() const;
    void SetVersion(const std::string&) {}

    // ---- Host services ----
    Prompter* prompter = nullptr;  // message boxes, login, HTML and text dialogs
    Pump pump;                     // lets pending window messages be processed during transfers
    // Runs a call on the host's main thread and returns when it has run; unset: runs it in place.
    std::function<void(const std::function<void()>&)> runOnMainThread;

    // ---- Events: raised only when assigned; variable arguments are references ----
    std::function<void(TNetUpdate& sender, const std::string& statusStr, int32_t statusCode, int32_t errCode)> OnStatus;
    std::function<void(TNetUpdate& sender, const std::string& fileName, int64_t pos, int64_t size)> OnFileProgress;
    std::function<void(TNetUpdate& sender, const std::string& fileName)> OnFileDownloaded;
    std::function<void(TNetUpdate& sender, bool& cancel)> OnProgressCancel;
    std::function<void(TNetUpdate& sender, int32_t fileIdx, const std::string& fileDescription, std::string& url)> OnBeforeFileDownload;
    std::function<void(TNetUpdate& sender, std::string& path)> OnConvertPrefix;
    std::function<void(TNetUpdate& sender, const std::string& url, std::string& fName)> OnFileNameFromURL;
    std::function<void(TNetUpdate& sender, std::string& appParams)> OnSetAppParams;
    std::function<void(TNetUpdate& sender, const std::string& msg, const std::string& param, bool& allow)> OnCustomValidate;
    std::function<void(TNetUpdate& sender, const std::string& msg, const std::string& param)> OnCustomProcess;
    std::function<void(TNetUpdate& sender, const std::vector<std::string>& text, int32_t& res)> OnDownloadedWhatsNew;
    std::function<void(TNetUpdate& sender, const std::vector<std::string>& text, int32_t& res)> OnDownloadedEULA;
    std::function<void(TNetUpdate& sender, const std::string& newVersion, const std::string& localVersion, bool& isNew)> OnFileVersionCheck;
    std::function<void(TNetUpdate& sender, std::vector<std::string>& list)> OnGetFileList;
    std::function<void(TNetUpdate& sender, bool& allowPost)> OnBeforePost;
    std::function<void(TNetUpdate& sender, bool& allowPostResult)> OnProcessPostResult;
    std::function<void(TNetUpdate& sender)> OnSuccess;
    std::function<void(TNetUpdate& sender)> OnThreadUpdateDone;
    std::function<void(TNetUpdate& sender, bool& allow)> OnAppRestart;
    std::function<void(TNetUpdate& sender)> OnAppDoClose;

    // ---- Settings and registry values (netupdate.cpp) ----
    // LastURL under RegRoot\Key\Section: only with Key, Section and Save set.
    std::string ReadLastURL();
    void WriteLastURL(const std::string& url);
    // LastDate in the short date format, LastTime (long time format) only when not midnight.
    // Acts only with Key, Section and Save set, and once GetLocalDate has read the registry.
    void SaveLastDate(const dt::DateTime& when);
    // The date of the installed version: LastDate/LastTime when Key and Section are set
    // (whatever Save says; 1 January 1980 when missing), else the last-write time of file.
    dt::DateTime GetLocalDate(const std::string& file);

    // Directory macros with OnConvertPrefix and ConvertPrefix.
    std::string ExpandPrefixes(const std::string& text);
    // date and time of the control file with DateFormat/DateSeparator and TimeFormat/TimeSeparator.
    dt::DateTime ParseControlDateTime(const std::string& date, const std::string& time) const;

    // ---- Statuses and log (update_log.cpp) ----
    virtual void ReportStatus(int32_t resId, const std::string& param, int32_t statusCode, int32_t errCode);
    virtual void GetOSVersionText(std::string& text);
    virtual void GetCompilerText(std::string& text);
    virtual void GetIEVersionText(std::string& text);
    virtual void GetInstalledIDEsText(std::string& text);
    // The six start-of-run reports in order: 968, 966, 967, 969, 970, 963.
    void ReportRunStart();

    // ---- Macros (netupdate.cpp) ----
    virtual void ConvertPrefix(const std::string& name, std::string& dir);
    virtual void FileDownloaded(const std::string& fileName);

    // ---- The run (update_run.cpp) ----
    void StartThreadedUpdate();
    void RunUpdate(bool setDir);
    virtual int32_t ShowWhatsNewDialog(const std::vector<std::string>& lines);
    virtual int32_t ShowLicenseDialog(const std::vector<std::string>& lines);
    virtual bool IsNewVersion(std::string& newVersion, std::string& localFile, int32_t newCheckSum, int32_t newSize);
    virtual void GetControlFileURL(std::string& url);
    virtual int32_t FetchControlFile();
    virtual int32_t EvaluateUpdateConditions();
    virtual int32_t ProcessInstructions();
    // nullopt: no text.
    virtual std::optional<std::vector<std::string>> FetchWhatsNewText();
    virtual std::optional<std::vector<std::string>> FetchLicenseText();
    virtual int32_t ReadFileList();
    virtual int32_t SelectFilesToUpdate();
    virtual int32_t ProcessFiles();
    int32_t FinishUpdate();
    // Completion of a threaded run on the main thread: OnThreadUpdateDone, Threaded cleared,
    // 960, and with RestartNeeded 961 and RestartForUpdate.
    void ThreadUpdateDone();
    // Creates a directory with its missing parents; failures are not reported.
    static void ForceDirectories(const std::string& dir);
    bool RestartNeeded() const { return AppUpdate && !Cancelled && AppComponentUpdated; }

    // ---- The transport (transport.cpp) ----
    virtual int32_t OpenConnection();
    virtual int32_t CloseConnection();
    virtual int32_t ConnectFtp();
    virtual void CheckCancel(bool& cancel);
    bool IsInternetConnected();
    void ReportInternetError();
    bool DownloadFile(const HInternet& connection, const std::string& url, const std::string& target);
    bool CopyLocalFile(const std::string& source, const std::string& target);
    void SendUpdateInfo();
    void ShowHtmlDialog(const std::string& url);
    std::string FileNameFromURL(const std::string& url);
    static std::string HostFromURL(const std::string& url);
    static std::string AddUrlCredentials(const std::string& url, const std::string& user, const std::string& password);
    bool ShowLoginDialog(const std::string& caption, std::string& user, std::string& password);

    // ---- The hand-off (forwarded to handOff when one is plugged in) ----
    std::shared_ptr<UpdaterHandOff> handOff;
    void WriteUpdaterHelper() { if (handOff) handOff->WriteUpdaterHelper(*this); }
    void WritePatchTool() { if (handOff) handOff->WritePatchTool(*this); }
    void RestartForUpdate() { if (handOff) handOff->RestartForUpdate(*this); }
    void ExecuteAndWait(const std::string& commandLine, bool showWindow, const std::string& statusMessage,
                        const std::string& statusCaption, bool showAnimation)
    {
        if (handOff) handOff->ExecuteAndWait(*this, commandLine, showWindow, statusMessage, statusCaption, showAnimation);
    }

    // ---- Run state (kept between runs; cleared where the run says) ----
    bool Threaded = false;
    std::string ControlFilePath;
    ControlFile Control;  // the control file read by FetchControlFile
    bool AppUpdate = false;
    std::string AppName;
    std::string AppParams;
    std::string AppComps;
    bool SilentRestart = false;
    bool AppComponentUpdated = false;
    bool Cancelled = false;
    dt::DateTime NewDate{};
    dt::DateTime LocalDate{};
    bool LocalDateFromRegistry = false;
    std::string UpdateDescr;  // [update] descr of the current run
    TFileList FileList;
    // Transport state.
    HInternet SessionHandle;
    HInternet ConnectionHandle;
    bool Dialled = false;
    bool FtpDirectorySet = false;

private:
    std::string logFileName_ = "NUPDATE.LOG";
    bool localDateRead_ = false;  // GetLocalDate has read the registry at least once
};

// Sets the values that the control panel's main window stores for its NetUpdate.
void ApplyControlPanelSettings(TNetUpdate& nu);

}  // namespace zeph::nu
