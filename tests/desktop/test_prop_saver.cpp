#include "desktop/font_settings.h"
#include "platform/registry.h"
#include "support/test_env.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::desk;

namespace {

const char* kGeneral = "Software\\Varnholt\\Zephlon8\\general";

std::string exportGeneral()
{
    auto r = test::run({test::binDir() + "/zephtool", "reg", "export", std::string("HKCU\\") + kGeneral});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

reg::Key general() { return *reg::Key::open(reg::Root::CurrentUser, kGeneral, true); }

}  // namespace

TEST(PropSaver, ChosenFontsInTheRegistryAndBack)
{
    test::IsolatedHome home;
    TFontSettings first;
    first.Load();
    EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, kGeneral));  // nothing written before a choice

    first.captionFont.name = "DejaVu Sans";
    first.captionFont.sizePt = 12;
    first.captionFont.bold = first.captionFont.italic = true;
    first.Save();
    EXPECT_EQ(exportGeneral(),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software\\Varnholt\\Zephlon8\\general]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Varnholt\\Zephlon8\\general\\fonts]\n"
              "\"ctSampleCaptionFont.Font.Color\"=dword:ff000008\n"
              "\"ctSampleCaptionFont.Font.Height\"=dword:fffffff0\n"
              "\"ctSampleCaptionFont.Font.Charset\"=dword:000000ee\n"
              "\"ctSampleCaptionFont.Font.Name\"=\"DejaVu Sans\"\n"
              "\"ctSampleCaptionFont.Font.Pitch\"=\"fpDefault\"\n"
              "\"ctSampleCaptionFont.Font.Size\"=dword:0000000c\n"
              "\"ctSampleCaptionFont.Font.Style\"=\"[fsBold,fsItalic]\"\n"
              "\"ctSampleDataFont.Font.Color\"=dword:000000ff\n"
              "\"ctSampleDataFont.Font.Height\"=dword:fffffff5\n"
              "\"ctSampleDataFont.Font.Charset\"=dword:00000001\n"
              "\"ctSampleDataFont.Font.Name\"=\"Tahoma\"\n"
              "\"ctSampleDataFont.Font.Pitch\"=\"fpDefault\"\n"
              "\"ctSampleDataFont.Font.Size\"=dword:00000008\n"
              "\"ctSampleDataFont.Font.Style\"=\"[fsBold]\"\n\n");

    // A data font without style, fixed pitch, underlined and struck out in the caption.
    first.dataFont.bold = false;
    first.dataFont.pitch = 2;
    first.captionFont.bold = first.captionFont.italic = false;
    first.captionFont.underline = first.captionFont.strikeOut = true;
    first.Save();
    auto fonts = *reg::Key::open(reg::Root::CurrentUser, std::string(kGeneral) + "\\fonts");
    EXPECT_EQ(fonts.getText("ctSampleDataFont.Font.Style"), "[]");
    EXPECT_EQ(fonts.getText("ctSampleDataFont.Font.Pitch"), "fpFixed");
    EXPECT_EQ(fonts.getText("ctSampleCaptionFont.Font.Style"), "[fsUnderline,fsStrikeOut]");

    TFontSettings next;  // the next start
    next.Load();
    EXPECT_EQ(next.captionFont.name, "DejaVu Sans");
    EXPECT_EQ(next.captionFont.sizePt, 12);
    EXPECT_FALSE(next.captionFont.bold);
    EXPECT_TRUE(next.captionFont.underline && next.captionFont.strikeOut);
    EXPECT_EQ(next.captionFont.color, clWindowText);
    EXPECT_EQ(next.captionFont.charset, kEastEuropeCharset);
    EXPECT_FALSE(next.dataFont.bold);
    EXPECT_EQ(next.dataFont.pitch, 2);
    EXPECT_EQ(next.dataFont.color, clRed);
}

TEST(PropSaver, HandPlacedValuesSurviveASave)
{
    test::IsolatedHome home;
    reg::Key g = general();
    g.setText("Note", "ručně");
    g.setText("Path", "%HOME%\\x", reg::Type::ExpandSz);
    g.setDWord("Count", 7);
    std::vector<uint8_t> float10 = {4, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F};  // 1.5
    g.set(reg::Value::binary("Ratio", float10));
    g.set(reg::Value::binary("Blob", {1, 2, 3}));
    g.subkey("extra", true)->subkey("deep", true)->setText("Inner", "v");

    TFontSettings s;
    s.Load();
    s.captionFont.bold = true;
    s.Save();

    std::string out = exportGeneral();
    EXPECT_NE(out.find("\"Note\"=\"ručně\"\n"), std::string::npos);
    EXPECT_NE(out.find("\"Path\"=\"%HOME%\\\\x\"\n"), std::string::npos);  // REG_EXPAND_SZ comes back as REG_SZ
    EXPECT_NE(out.find("\"Count\"=dword:00000007\n"), std::string::npos);
    EXPECT_NE(out.find("\"Ratio\"=hex:04,00,00,00,00,00,00,00,f8,3f\n"), std::string::npos);
    EXPECT_NE(out.find("\"Blob\"=hex:01,02,03\n"), std::string::npos);
    EXPECT_NE(out.find("[HKEY_CURRENT_USER\\Software\\Varnholt\\Zephlon8\\general\\extra\\deep]\n\"Inner\"=\"v\""),
              std::string::npos);
    EXPECT_NE(out.find("\"ctSampleCaptionFont.Font.Style\"=\"[fsBold]\""), std::string::npos);
    // Order kept: the values come back in the order they were found.
    EXPECT_LT(out.find("\"Note\""), out.find("\"Path\""));
    EXPECT_LT(out.find("\"Path\""), out.find("\"Count\""));
}

TEST(PropSaver, TypedKeysAsTenByteBinaries)
{
    test::IsolatedHome home;
    TRegData data;
    data.RootPath = kGeneral;
    TPropStorage storage;
    storage.StorageData = &data;
    TStorageKey currency;
    currency.type = TKeyType::Currency;
    currency.integer = 123456;  // 12.3456
    TStorageKey date;
    date.type = TKeyType::Date;
    date.number = 45000.25;
    TStorageKey bytes;
    bytes.type = TKeyType::Bytes;
    bytes.bytes = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};  // ten bytes, but no type code: a byte block
    storage.writeKey("a\\b/f", TStorageKey::ofFloat("", -2.5));
    storage.writeKey("i64", TStorageKey::ofInt64("", -5000000000LL));
    storage.writeKey("cur", currency);
    storage.writeKey("date", date);
    storage.writeKey("bytes", bytes);
    storage.writeKey("flag", TStorageKey::ofBoolean("", true));
    storage.writeKey("empty", TStorageKey::ofString("", ""));
    storage.SaveStorage();

    auto i64 = general().get("i64");
    ASSERT_TRUE(i64);
    EXPECT_EQ(i64->type, reg::Type::Binary);
    ASSERT_EQ(i64->data.size(), 10u);
    EXPECT_EQ(i64->data[0], 9);
    int64_t back;
    std::memcpy(&back, i64->data.data() + 2, 8);
    EXPECT_EQ(back, -5000000000LL);
    EXPECT_EQ(general().get("empty")->type, reg::Type::Sz);

    TPropStorage loaded;
    loaded.StorageData = &data;
    loaded.setActive(true);
    EXPECT_EQ(loaded.readKey("a/b\\f")->number, -2.5);
    EXPECT_EQ(loaded.readKey("a/b/f")->type, TKeyType::Float);
    EXPECT_EQ(loaded.readKey("i64")->integer, -5000000000LL);
    EXPECT_EQ(loaded.readKey("cur")->type, TKeyType::Currency);
    EXPECT_EQ(loaded.readKey("cur")->integer, 123456);
    EXPECT_EQ(loaded.readKey("date")->number, 45000.25);
    EXPECT_EQ(loaded.readKey("bytes")->type, TKeyType::Bytes);
    EXPECT_EQ(loaded.readKey("bytes")->bytes, bytes.bytes);
    EXPECT_EQ(loaded.readKey("flag")->type, TKeyType::Integer);
    EXPECT_EQ(loaded.readKey("FLAG")->integer, 1);  // names without regard to case
    EXPECT_EQ(loaded.readKey("empty")->text, "");
}

TEST(PropSaver, DeletedFontsKeyRestoresTheDesignFonts)
{
    test::IsolatedHome home;
    TFontSettings s;
    s.Load();
    s.captionFont.name = "Courier";
    s.dataFont.sizePt = 14;
    s.Save();
    general().setText("Keep", "me");
    ASSERT_TRUE(reg::Key::remove(reg::Root::CurrentUser, std::string(kGeneral) + "\\fonts"));

    TFontSettings next;
    next.Load();
    EXPECT_EQ(next.captionFont.name, designCaptionFont().name);
    EXPECT_EQ(next.dataFont.sizePt, designDataFont().sizePt);
    EXPECT_TRUE(next.dataFont.bold);
    EXPECT_EQ(next.dataFont.charset, kDefaultCharset);
}

TEST(PropSaver, BadValuesAreSkippedAndReported)
{
    test::IsolatedHome home;
    auto fonts = *general().subkey("fonts", true);
    fonts.setText("ctSampleCaptionFont.Font.Pitch", "fpWobbly");
    fonts.setText("ctSampleCaptionFont.Font.Style", "[fsBold,fsBlink]");
    fonts.setText("ctSampleCaptionFont.Font.Name", "Liberation Sans");
    fonts.setText("ctSampleDataFont.Font.Size", "12");  // a number written as text still reads
    fonts.setText("ctSampleDataFont.Font.Style", "[ fsItalic ]");

    TFontSettings s;
    try {
        s.Load();
        ADD_FAILURE() << "no error for an unknown pitch";
    } catch (const TStorageError& e) {
        EXPECT_NE(std::string(e.what()).find("ctSampleCaptionFont.Font.Pitch"), std::string::npos);
    }
    EXPECT_EQ(s.captionFont.pitch, 0);
    EXPECT_FALSE(s.captionFont.bold);  // the whole bad set is skipped
    EXPECT_EQ(s.captionFont.name, "Liberation Sans");
    EXPECT_EQ(s.dataFont.sizePt, 12);
    EXPECT_TRUE(s.dataFont.italic && !s.dataFont.bold);
}

TEST(PropSaver, UnusableHive)
{
    test::IsolatedHome home;
    std::string hive = reg::hivePath(reg::Root::CurrentUser);
    test::writeFile(hive, std::string(4096, 'x'));  // not a database

    TFontSettings s;
    EXPECT_NO_THROW(s.Load());  // the design fonts stay in force
    EXPECT_EQ(s.captionFont.name, "Tahoma");
    s.captionFont.bold = true;
    try {
        s.Save();
        ADD_FAILURE() << "saving into a broken hive reported no error";
    } catch (const TStorageError& e) {
        std::string text = e.what();
        EXPECT_EQ(text.rfind("Open/Create key. Code ", 0), 0u) << text;
        EXPECT_GT(std::atoi(text.c_str() + 22), 0) << text;
    }
    EXPECT_EQ(test::readFile(hive), std::string(4096, 'x'));
}

TEST(PropSaver, FontHeights)
{
    struct Case {
        int size, height;
    } cases[] = {{8, -11}, {9, -12}, {10, -13}, {12, -16}, {72, -96}};
    for (auto c : cases) {
        EXPECT_EQ(fontHeight(c.size), c.height) << c.size;
        EXPECT_EQ(fontSizeOf(c.height), c.size) << c.height;
    }
}
