// TPropSaver: copies a list of published properties ("component.Property.SubProperty") of a
// window into a TPropStorage and back.
#pragma once

#include "desktop/prop_storage.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeph::desk {

enum class TPropKind { Integer, Enumeration, Set, String, Float, Int64 };

// A property's value: ordinal for integers and enumerations, bit i for names[i] of a set.
struct TPropValue {
    int64_t ordinal = 0;
    double number = 0;
    std::string text;
};

struct TProperty {
    TPropKind kind = TPropKind::Integer;
    std::vector<std::string> names;  // enumeration values or set members, in declaration order
    std::function<TPropValue()> get;
    std::function<void(const TPropValue&)> set;
};

// Resolves a path of the property list from the window; nullopt when there is no such property.
using TPropertyResolver = std::function<std::optional<TProperty>(const std::string& path)>;

enum TWhenLoad { wlManual, wlOnCreate };
enum TWhenSave { wsManual, wsOnDestroy };

class TPropSaver {
public:
    TPropStorage* Storage = nullptr;
    std::string RootSection;
    std::vector<std::string> Properties;
    TWhenLoad WhenLoad = wlManual;
    TWhenSave WhenSave = wsManual;
    TPropertyResolver Resolve;

    void SaveProperties();
    // Sets every property that has a key; a missing key keeps the design value. Keys that do
    // not convert are skipped and reported together as one TStorageError at the end.
    void LoadProperties();

    // A property's stored text form: "[fsBold,fsItalic]", "fpFixed", "12", ...
    static std::string textForm(const TProperty& p, const TPropValue& v);
};

}  // namespace zeph::desk
