#include "netupdate/status.h"

#include "platform/files.h"
#include "platform/folders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace zeph::nu {

namespace {

const char* const kFormats[] = {
    "Download update file : ",                              // 909
    "Download update files ?",                              // 910
    "Shutdown application to update executable files ?",    // 911
    "Equal source and target files : %s",                   // 912
    "File not found : %s",                                  // 913
    "Zero length source file : %s",                         // 914
    "Download : %s",                                        // 915
    "Http status : %s",                                     // 916
    "File not found : %s",                                  // 917
    "Checking for Internet connection",                     // 918
    "Prompt to open new Internet connection",               // 919
    "Opening Internet connection",                          // 920
    "Found open Internet connection",                       // 921
    "Cannot open Internet connection",                      // 922
    "Connect to host : %s",                                 // 923
    "Cannot connect to FTP host : %s",                      // 924
    "Update control file not found",                        // 925
    "Update control file found",                            // 926
    "Invalid signature in update control file",             // 927
    "Date based update found",                              // 928
    "New version found : %s",                               // 929
    "No new version found",                                 // 930
    "Checksum based update found",                          // 931
    "File size based update found",                         // 932
    "Version based update found",                           // 933
    "Found message instruction",                            // 934
    "Found HTML dialog instruction",                        // 935
    "Found query instruction",                              // 936
    "Found whatsnew instruction",                           // 937
    "Whatsnew not accepted",                                // 938
    "Found license agreement instruction",                  // 939
    "License agreement not accepted",                       // 940
    "Found URL redirection instruction",                    // 941
    "Found URL show instruction",                           // 942
    "Found file update instruction",                        // 943
    "Version check : %s",                                   // 944
    "Download update : %s",                                 // 945
    "Cannot download update file : %s",                     // 946
    "Error decompressing CAB file : %s",                    // 947
    "Finished processing update control file",              // 948
    "Closed Internet connection",                           // 949
    "Failed to spawn updater process : %s",                 // 950
    "Cannot connect to server for post",                    // 951
    "Cannot access resource for post",                      // 952
    "Dialup failed",                                        // 953
    "Closed FTP connection",                                // 954
    "Disconnect dialup",                                    // 955
    "Authentication cancelled",                             // 956
    "Authentication failed",                                // 957
    "Spawn %s",                                             // 958
    "Restart app in directory : %s",                        // 959
    "Threaded update execution done",                       // 960
    "Restart after threaded update",                        // 961
    "Found application component : %s",                     // 962
    "Start NetUpdate process with version : %s",            // 963
    "NetUpdate process cancelled",                          // 964
    "Extract CAB file : %s",                                // 965
    "OS version : %s",                                      // 966
    "IE version : %s",                                      // 967
    "Start update : %s ---------------------------",        // 968
    "Compiler : %s",                                        // 969
    "Installed IDEs : %s",                                  // 970
    "Processing file : %s",                                 // 971
};
static_assert(sizeof kFormats / sizeof kFormats[0] == 971 - 909 + 1);

std::mutex g_logMutex;
std::string g_logName = "NUPDATE.LOG";

std::string two(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

}  // namespace

std::string StatusFormat(int resId)
{
    if (resId < 909 || resId > 971) return "";
    return kFormats[resId - 909];
}

std::string FormatStatus(int resId, const std::string& param)
{
    if (resId == 18) return param;
    std::string f = StatusFormat(resId);
    size_t at = f.find("%s");
    return at == std::string::npos ? f : f.replace(at, 2, param);
}

void SetLogFileName(const std::string& name)
{
    std::lock_guard lock(g_logMutex);
    g_logName = name;
}

std::string LogFileName()
{
    std::lock_guard lock(g_logMutex);
    return g_logName;
}

std::string ResolveLogPath(const std::string& name)
{
    if (name.find_first_of("\\/:") != std::string::npos) return fs::toNative(name);
    return folders::documents() + name;
}

std::string LogLine(const dt::DateTime& t, int resId, const std::string& text, int statusCode, int errCode)
{
    char ds = dt::dateSeparator(), ts = dt::timeSeparator();
    return two(t.day) + ds + two(t.month) + ds + std::to_string(t.year) + " " + two(t.hour) + ts + two(t.minute) + ts +
           two(t.second) + " : [" + std::to_string(resId) + "] " + text + " (Status:" + std::to_string(statusCode) +
           ") (Error:" + std::to_string(errCode) + ")";
}

void AppendLogLine(const std::string& line)
{
    std::string path = ResolveLogPath(LogFileName());
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) throw LogError("Nelze zapsat do protokolu aktualizace " + path + ": " + std::strerror(errno));
    std::string data = line + "\r\n";
    size_t done = 0;
    while (done < data.size()) {
        ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += size_t(w);
    }
    int err = errno;
    ::close(fd);
    if (done != data.size()) throw LogError("Nelze zapsat do protokolu aktualizace " + path + ": " + std::strerror(err));
}

}  // namespace zeph::nu
