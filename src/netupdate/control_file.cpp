#include "netupdate/control_file.h"

namespace zeph::nu {

ControlFile ControlFile::load(const std::string& path)
{
    ControlFile cf;
    cf.doc_ = ini::Document::load(path);
    return cf;
}

ControlFile ControlFile::parse(const std::string& bytes)
{
    ControlFile cf;
    cf.doc_ = ini::Document::parse(bytes);
    return cf;
}

std::string ControlFile::text(const ControlKey& k, const std::string& suffix) const
{
    return doc_.get(std::string(k.section) + suffix, k.key).value_or(k.def);
}

int32_t ControlFile::integer(const ControlKey& k, const std::string& suffix) const
{
    int32_t def = ReadControlInteger(k.def, 0);
    auto v = doc_.get(std::string(k.section) + suffix, k.key);
    return v ? ReadControlInteger(*v, def) : def;
}

bool ControlFile::flag(const ControlKey& k, const std::string& suffix) const { return ReadControlFlag(text(k, suffix)); }

bool ControlFile::presence(const ControlKey& k, const std::string& suffix) const
{
    return ReadControlPresence(text(k, suffix));
}

std::string ControlFile::message(const ControlKey& k, const std::string& suffix) const
{
    return UnescapeLineBreaks(text(k, suffix));
}

bool ControlFile::appUpdate() const { return flag(ck::AppUpdate) && !text(ck::AppName).empty(); }

TFileDescription ReadFileDescription(const ControlFile& cf, int n,
                                     const std::function<std::string(const std::string&)>& expand)
{
    std::string s = std::to_string(n);
    TFileDescription e;
    e.URL = expand(cf.text(ck::FileUrl, s));
    e.NewVersion = cf.text(ck::FileNewVersion, s);
    e.NewSize = cf.integer(ck::FileNewSize, s);
    e.NewCheckSum = cf.integer(ck::FileNewChecksum, s);
    e.NewCustomVer = cf.text(ck::FileCustomVersion, s);
    e.NewDate = cf.text(ck::FileDate, s);
    e.NewTime = cf.text(ck::FileTime, s);
    e.LocalVersion = expand(cf.text(ck::FileLocalVersion, s));
    e.Description = cf.text(ck::FileDescr, s);
    e.TargetDir = expand(cf.text(ck::FileTargetDir, s));
    // Either separator ends a directory here; a backslash is what the control file's author wrote.
    if (!e.TargetDir.empty() && e.TargetDir.back() != '\\' && e.TargetDir.back() != '/') e.TargetDir += '\\';
    e.Compressed = cf.flag(ck::FileCompressed, s);
    e.FileSize = cf.integer(ck::FileFileSize, s);
    e.Mandatory = cf.flag(ck::FileMandatory, s);
    e.Hidden = cf.flag(ck::FileHidden, s);
    return e;
}

}  // namespace zeph::nu
