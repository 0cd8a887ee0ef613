#include "netupdate/control_file.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace zeph;
using namespace zeph::nu;

namespace {

const char* kControl = R"([Update]
NewChecksum=0xFFFFFFFF
newsize=0x1A2B
unconditional=0
newversion="2,1,5,7"
descr='quoted'

[update]
newversion=9.9.9.9

[files]
count=abc

[application]
appupdate=1
appname=
silentrestart=2

[action]
msg=Line one\nLine two
query=  Install now?\nOK?

[whatsnew]
okbtn=Jo

[whatsnewDE]
file=http://127.0.0.1/neu.txt

[eula]
caption=Licence
)";

}  // namespace

TEST(ControlFile, KeysWithTheirTypesAndDefaults)
{
    auto cf = ControlFile::parse(kControl);
    // Numbers, flags and presence, with the first section of a name winning.
    EXPECT_EQ(cf.integer(ck::UpdateNewChecksum), -1);
    EXPECT_EQ(cf.integer(ck::UpdateNewSize), 6699);
    EXPECT_TRUE(cf.presence(ck::UpdateUnconditional));
    EXPECT_EQ(cf.text(ck::UpdateNewVersion), "2,1,5,7");
    EXPECT_EQ(cf.text(ck::UpdateDescr), "quoted");
    EXPECT_EQ(cf.integer(ck::FilesCount), 0);
    EXPECT_FALSE(cf.appUpdate());
    EXPECT_FALSE(cf.flag(ck::AppSilentRestart));
    EXPECT_EQ(cf.message(ck::ActionMsg), "Line one\rLine two");
    EXPECT_EQ(cf.message(ck::ActionQuery), "Install now?\rOK?");

    // Missing keys give their defaults.
    struct Case { const ControlKey& key; std::string expected; };
    const Case texts[] = {
        {ck::WhatsNewOkBtn, "Jo"},          {ck::WhatsNewCancelBtn, "Cancel"}, {ck::EulaOkBtn, "Ok"},
        {ck::EulaAccept, "I accept"},       {ck::EulaNotAccept, "I do not accept"},
        {ck::EulaCaption, "Licence"},       {ck::UpdateSignature, ""},       {ck::ActionUpdateURL, ""},
    };
    for (auto& c : texts) EXPECT_EQ(cf.text(c.key), c.expected) << c.key.section << "/" << c.key.key;
    EXPECT_EQ(cf.integer(ck::FileNewChecksum, "1"), -1);
    EXPECT_EQ(cf.integer(ck::FileNewSize, "1"), 0);

    // The language goes after the section name.
    EXPECT_EQ(cf.text(ck::WhatsNewFile), "");
    EXPECT_EQ(cf.text(ck::WhatsNewFile, "DE"), "http://127.0.0.1/neu.txt");

    // appupdate needs an application name; a value is cut to 2047 characters.
    auto app = ControlFile::parse("[application]\nappupdate=1\nappname={APP}\\app.exe\nappparam=" + std::string(3000, 'p'));
    EXPECT_TRUE(app.appUpdate());
    EXPECT_EQ(app.text(ck::AppParam).size(), 2047u);
    EXPECT_FALSE(ControlFile::parse("[application]\nappupdate=0x2\nappname=a").appUpdate());

    // A control file that is missing reads as empty: every key at its default.
    test::TempDir dir;
    auto none = ControlFile::load(dir / "missing.inf");
    EXPECT_EQ(none.integer(ck::UpdateNewChecksum), -1);
    EXPECT_EQ(none.text(ck::EulaAccept), "I accept");
}

TEST(ControlFile, FileEntries)
{
    auto cf = ControlFile::parse(R"([files]
count=2
[file1]
url={APP}\data.dll
localversion={APP}\data.dll
newversion=1.2
newsize=100
newchecksum=$FF
customversion=build 7
date=24/03/2008
time=14:30
descr=Data library
targetdir={app}
compressed=1
filesize=2048
mandatory=1
hidden=7
[file2]
url=http://127.0.0.1/b.cab
targetdir=/opt/zeph/
)");
    EXPECT_EQ(cf.integer(ck::FilesCount), 2);
    char buf[4096];
    std::string cwd = getcwd(buf, sizeof buf);
    std::vector<std::string> expanded;
    auto expand = [&](const std::string& t) {
        expanded.push_back(t);
        return ExpandPrefixes(t);
    };
    TFileDescription e = ReadFileDescription(cf, 1, expand);
    EXPECT_EQ(e.URL, cwd + "\\data.dll");
    EXPECT_EQ(e.LocalVersion, cwd + "\\data.dll");
    EXPECT_EQ(e.NewVersion, "1.2");
    EXPECT_EQ(e.NewSize, 100);
    EXPECT_EQ(e.NewCheckSum, 255);
    EXPECT_EQ(e.NewCustomVer, "build 7");
    EXPECT_EQ(e.NewDate, "24/03/2008");
    EXPECT_EQ(e.NewTime, "14:30");
    EXPECT_EQ(e.Description, "Data library");
    EXPECT_EQ(e.TargetDir, cwd + "\\");  // a backslash follows the directory
    EXPECT_TRUE(e.Compressed);
    EXPECT_EQ(e.FileSize, 2048);
    EXPECT_TRUE(e.Mandatory);
    EXPECT_FALSE(e.Hidden);
    EXPECT_FALSE(e.Selected);
    // Only the url, the local version and the target directory are expanded, in that order.
    EXPECT_EQ(expanded, (std::vector<std::string>{"{APP}\\data.dll", "{APP}\\data.dll", "{app}"}));

    TFileDescription b = ReadFileDescription(cf, 2, expand);
    EXPECT_EQ(b.URL, "http://127.0.0.1/b.cab");
    EXPECT_EQ(b.TargetDir, "/opt/zeph/");
    EXPECT_EQ(b.NewCheckSum, -1);
    EXPECT_EQ(b.NewSize, 0);
    EXPECT_FALSE(b.Compressed);
    EXPECT_EQ(b.LocalVersion, "");
}
