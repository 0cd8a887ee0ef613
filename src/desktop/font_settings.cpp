#include "desktop/font_settings.h"

#include <cmath>

namespace zeph::desk {

namespace {

const char* const kPitchNames[] = {"fpDefault", "fpVariable", "fpFixed"};
const char* const kStyleNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
const char* const kFontParts[] = {"Color", "Height", "Charset", "Name", "Pitch", "Size", "Style"};

TProperty integerProperty(std::function<int64_t()> get, std::function<void(int64_t)> set)
{
    TProperty p;
    p.kind = TPropKind::Integer;
    p.get = [get] {
        TPropValue v;
        v.ordinal = get();
        return v;
    };
    p.set = [set](const TPropValue& v) { set(v.ordinal); };
    return p;
}

std::optional<TProperty> fontProperty(FontSpec* f, const std::string& part)
{
    if (part == "Color")
        return integerProperty([f] { return int64_t(int32_t(f->color)); }, [f](int64_t v) { f->color = uint32_t(v); });
    if (part == "Height")
        return integerProperty([f] { return int64_t(fontHeight(f->sizePt)); },
                               [f](int64_t v) {
                                   if (v != 0) f->sizePt = fontSizeOf(int(v));
                               });
    if (part == "Charset")
        return integerProperty([f] { return int64_t(f->charset); }, [f](int64_t v) { f->charset = int(v & 0xFF); });
    if (part == "Size")
        return integerProperty([f] { return int64_t(f->sizePt); },
                               [f](int64_t v) {
                                   if (v > 0) f->sizePt = int(v);
                               });
    TProperty p;
    if (part == "Name") {
        p.kind = TPropKind::String;
        p.get = [f] {
            TPropValue v;
            v.text = f->name;
            return v;
        };
        p.set = [f](const TPropValue& v) { f->name = v.text; };
        return p;
    }
    if (part == "Pitch") {
        p.kind = TPropKind::Enumeration;
        p.names.assign(std::begin(kPitchNames), std::end(kPitchNames));
        p.get = [f] {
            TPropValue v;
            v.ordinal = f->pitch;
            return v;
        };
        p.set = [f](const TPropValue& v) { f->pitch = int(v.ordinal); };
        return p;
    }
    if (part == "Style") {
        p.kind = TPropKind::Set;
        p.names.assign(std::begin(kStyleNames), std::end(kStyleNames));
        p.get = [f] {
            TPropValue v;
            v.ordinal = (f->bold ? 1 : 0) | (f->italic ? 2 : 0) | (f->underline ? 4 : 0) | (f->strikeOut ? 8 : 0);
            return v;
        };
        p.set = [f](const TPropValue& v) {
            f->bold = v.ordinal & 1;
            f->italic = v.ordinal & 2;
            f->underline = v.ordinal & 4;
            f->strikeOut = v.ordinal & 8;
        };
        return p;
    }
    return std::nullopt;
}

}  // namespace

FontSpec designCaptionFont()
{
    FontSpec f;
    f.name = "Tahoma";
    f.sizePt = 8;
    f.charset = kEastEuropeCharset;
    f.color = clWindowText;
    return f;
}

FontSpec designDataFont()
{
    FontSpec f;
    f.name = "Tahoma";
    f.sizePt = 8;
    f.charset = kDefaultCharset;
    f.color = clRed;
    f.bold = true;
    return f;
}

std::vector<std::string> fontPropertyList()
{
    std::vector<std::string> list;
    for (const char* component : {"ctSampleCaptionFont", "ctSampleDataFont"})
        for (const char* part : kFontParts) list.push_back(std::string(component) + ".Font." + part);
    return list;
}

// As MulDiv rounds: half away from zero.
int fontHeight(int sizePt) { return -int(std::lround(sizePt * double(kScreenDpi) / 72.0)); }
int fontSizeOf(int height) { return int(std::lround(std::abs(height) * 72.0 / kScreenDpi)); }

TPropertyResolver fontResolver(std::map<std::string, FontSpec*> components)
{
    return [components](const std::string& path) -> std::optional<TProperty> {
        size_t dot = path.find('.');
        if (dot == std::string::npos || path.compare(dot, 6, ".Font.") != 0) return std::nullopt;
        auto it = components.find(path.substr(0, dot));
        if (it == components.end()) return std::nullopt;
        return fontProperty(it->second, path.substr(dot + 6));
    };
}

TFontSettings::TFontSettings()
{
    RegData2.RootKey = reg::Root::CurrentUser;
    RegData2.RootPath = "Software\\Varnholt\\Zephlon8\\general";
    PropStorage2.StorageData = &RegData2;
    PropSaver2.Storage = &PropStorage2;
    PropSaver2.RootSection = "fonts";
    PropSaver2.Properties = fontPropertyList();
    PropSaver2.WhenLoad = wlOnCreate;
    PropSaver2.WhenSave = wsManual;
    PropSaver2.Resolve = fontResolver({{"ctSampleCaptionFont", &captionFont}, {"ctSampleDataFont", &dataFont}});
}

void TFontSettings::Load()
{
    if (PropStorage2.active()) PropStorage2.LoadStorage();
    else PropStorage2.setActive(true);
    PropSaver2.LoadProperties();
}

void TFontSettings::Save()
{
    PropSaver2.SaveProperties();
    PropStorage2.SaveStorage();
}

}  // namespace zeph::desk
