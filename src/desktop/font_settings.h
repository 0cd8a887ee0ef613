// The two fonts of the settings page as the property saver stores them: the font properties of
// ctSampleCaptionFont and ctSampleDataFont, and the three components configured as the main
// window configures them.
#pragma once

#include "desktop/prop_saver.h"
#include "platform/prompter.h"

#include <map>
#include <string>
#include <vector>

namespace zeph::desk {

constexpr uint32_t clWindowText = 0xFF000008;  // the system's window text colour
constexpr uint32_t clRed = 0x000000FF;
constexpr int kDefaultCharset = 1, kEastEuropeCharset = 238;
constexpr int kScreenDpi = 96;  // the logical resolution heights are computed at

FontSpec designCaptionFont();  // Tahoma 8 pt, Central European, window text colour, regular
FontSpec designDataFont();     // Tahoma 8 pt, default character set, red, bold

// "<component>.Font.<Color|Height|Charset|Name|Pitch|Size|Style>" for both buttons, in order.
std::vector<std::string> fontPropertyList();

int fontHeight(int sizePt);     // negative pixels at kScreenDpi
int fontSizeOf(int height);     // points of a height (either sign)

// Resolves "<component>.Font.<sub>" against the named fonts.
TPropertyResolver fontResolver(std::map<std::string, FontSpec*> components);

class TFontSettings {
public:
    TFontSettings();

    FontSpec captionFont = designCaptionFont();
    FontSpec dataFont = designDataFont();

    // The storage becomes active (loads "general") and the saver sets both fonts; a missing
    // key keeps the design value. Throws TStorageError for a key that does not convert.
    void Load();
    // What a confirmed font dialog does: SaveProperties, then SaveStorage. Throws TStorageError.
    void Save();

    TRegData RegData2;
    TPropStorage PropStorage2;
    TPropSaver PropSaver2;
};

}  // namespace zeph::desk
