// The update control file: an INI text read with the profile-file rules, its keys with their
// types and defaults, and the file entries of its [fileN] sections.
#pragma once

#include "netupdate/control_values.h"
#include "platform/ini.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zeph::nu {

// One key of the control file. Sections "whatsnew" and "eula" take the component's LanguageID
// as a suffix for their "file" key; "file" sections take their number.
enum class ValueType { Text, Integer, Flag, Presence, Date, Time, Version, Checksum, Size, Message, Path, Url };
struct ControlKey {
    const char* section;
    const char* key;
    ValueType type;
    const char* def;   // the default as text ("" for empty)
    bool expanded;     // directory macros are expanded when the run uses the value
};

// Every key the engine reads.
namespace ck {
inline constexpr ControlKey UpdateSignature{"update", "signature", ValueType::Text, "", false};
inline constexpr ControlKey UpdateDescr{"update", "descr", ValueType::Text, "", false};
inline constexpr ControlKey UpdateDate{"update", "date", ValueType::Date, "", false};
inline constexpr ControlKey UpdateTime{"update", "time", ValueType::Time, "", false};
inline constexpr ControlKey UpdateLocalVersion{"update", "localversion", ValueType::Path, "", true};
inline constexpr ControlKey UpdateUnconditional{"update", "unconditional", ValueType::Presence, "", false};
inline constexpr ControlKey UpdateNewVersion{"update", "newversion", ValueType::Version, "", false};
inline constexpr ControlKey UpdateNewSize{"update", "newsize", ValueType::Size, "0", false};
inline constexpr ControlKey UpdateNewChecksum{"update", "newchecksum", ValueType::Checksum, "-1", false};
inline constexpr ControlKey CustomValidateMsg{"custom", "validatemsg", ValueType::Text, "", false};
inline constexpr ControlKey CustomValidateParam{"custom", "validateparam", ValueType::Text, "", false};
inline constexpr ControlKey CustomProcessMsg{"custom", "processmsg", ValueType::Text, "", false};
inline constexpr ControlKey CustomProcessParam{"custom", "processparam", ValueType::Text, "", false};
inline constexpr ControlKey ActionMsg{"action", "msg", ValueType::Message, "", false};
inline constexpr ControlKey ActionHtmlDlg{"action", "htmldlg", ValueType::Path, "", true};
inline constexpr ControlKey ActionRunBefore{"action", "runbefore", ValueType::Path, "", true};
inline constexpr ControlKey ActionShowURL{"action", "showURL", ValueType::Url, "", true};
inline constexpr ControlKey ActionQuery{"action", "query", ValueType::Message, "", false};
inline constexpr ControlKey ActionUpdateURL{"action", "updateURL", ValueType::Url, "", false};
inline constexpr ControlKey ActionRunAfter{"action", "runafter", ValueType::Path, "", true};
inline constexpr ControlKey WhatsNewFile{"whatsnew", "file", ValueType::Url, "", false};  // + LanguageID
inline constexpr ControlKey WhatsNewCaption{"whatsnew", "caption", ValueType::Text, "", false};
inline constexpr ControlKey WhatsNewOkBtn{"whatsnew", "okbtn", ValueType::Text, "Ok", false};
inline constexpr ControlKey WhatsNewCancelBtn{"whatsnew", "cancelbtn", ValueType::Text, "Cancel", false};
inline constexpr ControlKey EulaFile{"eula", "file", ValueType::Url, "", false};  // + LanguageID
inline constexpr ControlKey EulaCaption{"eula", "caption", ValueType::Text, "", false};
inline constexpr ControlKey EulaOkBtn{"eula", "okbtn", ValueType::Text, "Ok", false};
inline constexpr ControlKey EulaAccept{"eula", "accept", ValueType::Text, "I accept", false};
inline constexpr ControlKey EulaNotAccept{"eula", "notaccept", ValueType::Text, "I do not accept", false};
inline constexpr ControlKey AppUpdate{"application", "appupdate", ValueType::Flag, "0", false};
inline constexpr ControlKey AppName{"application", "appname", ValueType::Path, "", true};
inline constexpr ControlKey AppParam{"application", "appparam", ValueType::Text, "", false};
inline constexpr ControlKey AppComps{"application", "appcomps", ValueType::Path, "", true};
inline constexpr ControlKey AppSilentRestart{"application", "silentrestart", ValueType::Flag, "0", false};
inline constexpr ControlKey FilesCount{"files", "count", ValueType::Integer, "0", false};
// Keys of the section "file" + N.
inline constexpr ControlKey FileUrl{"file", "url", ValueType::Url, "", true};
inline constexpr ControlKey FileLocalVersion{"file", "localversion", ValueType::Path, "", true};
inline constexpr ControlKey FileNewVersion{"file", "newversion", ValueType::Version, "", false};
inline constexpr ControlKey FileNewSize{"file", "newsize", ValueType::Size, "0", false};
inline constexpr ControlKey FileNewChecksum{"file", "newchecksum", ValueType::Checksum, "-1", false};
inline constexpr ControlKey FileCustomVersion{"file", "customversion", ValueType::Text, "", false};
inline constexpr ControlKey FileDate{"file", "date", ValueType::Date, "", false};
inline constexpr ControlKey FileTime{"file", "time", ValueType::Time, "", false};
inline constexpr ControlKey FileDescr{"file", "descr", ValueType::Text, "", false};
inline constexpr ControlKey FileTargetDir{"file", "targetdir", ValueType::Path, "", true};
inline constexpr ControlKey FileCompressed{"file", "compressed", ValueType::Flag, "0", false};
inline constexpr ControlKey FileFileSize{"file", "filesize", ValueType::Integer, "0", false};
inline constexpr ControlKey FileMandatory{"file", "mandatory", ValueType::Flag, "0", false};
inline constexpr ControlKey FileHidden{"file", "hidden", ValueType::Flag, "0", false};
}  // namespace ck

// A read control file. Reading a key never expands macros: the component does that with its
// OnConvertPrefix (TNetUpdate::ExpandPrefixes), so that the event runs only for keys in use.
class ControlFile {
public:
    ControlFile() = default;
    static ControlFile load(const std::string& path);  // a missing file reads as empty
    static ControlFile parse(const std::string& bytes);

    // suffix is appended to the key's section name (a file number, a LanguageID).
    std::string text(const ControlKey& k, const std::string& suffix = "") const;  // raw, or the default
    int32_t integer(const ControlKey& k, const std::string& suffix = "") const;   // Integer, Checksum, Size
    bool flag(const ControlKey& k, const std::string& suffix = "") const;
    bool presence(const ControlKey& k, const std::string& suffix = "") const;
    std::string message(const ControlKey& k, const std::string& suffix = "") const;  // line breaks unescaped

    // [application] appupdate is on only with a non-empty appname.
    bool appUpdate() const;
    const ini::Document& document() const { return doc_; }

private:
    ini::Document doc_;
};

// One [fileN] section.
struct TFileDescription {
    std::string URL;
    std::string NewVersion;
    int32_t NewSize = 0;
    int32_t NewCheckSum = -1;
    std::string NewCustomVer;
    std::string NewDate;  // kept as text, parsed when compared
    std::string NewTime;
    std::string LocalVersion;
    std::string Description;
    std::string TargetDir;  // with a trailing backslash when not empty
    bool Compressed = false;
    int32_t FileSize = 0;
    bool Mandatory = false;
    bool Hidden = false;
    bool Selected = false;
};
using TFileList = std::vector<TFileDescription>;

// Fills the entry of section "file"+n; expand is applied to url, localversion and targetdir.
TFileDescription ReadFileDescription(const ControlFile& cf, int n, const std::function<std::string(const std::string&)>& expand);

}  // namespace zeph::nu
