// The profile store (HKCU "Software\Varnholt\Zephlon8\Profiles", one subkey a dictionary) and
// the dictionary list built from it, as a plain model that the window shows.
#pragma once

#include "catalogue/database.h"
#include "platform/prompter.h"
#include "platform/regini.h"

#include <functional>
#include <string>
#include <vector>

namespace zeph::cat {

constexpr const char* kProfilesKey = "Software\\Varnholt\\Zephlon8\\Profiles";

// The profile's subkey name: the database path with every "\" and "/" replaced by "#".
std::string ProfileKey(const std::string& path);

struct TDatabaseInfoClass {
    std::string Name;        // NewName, else OriginalDatabaseName, else "<nezadáno>"
    std::string DataSource;  // "<nezadáno>" when missing
    int32_t LangCombination = 0;
};

RegIniFile profileStore();
// Every profile but "Default", in the order the registry lists the subkeys; from the profile
// store, or from the view given.
std::vector<TDatabaseInfoClass> LoadProfiles();
std::vector<TDatabaseInfoClass> LoadProfiles(const RegIniFile& view);

// Full paths of the files matching the mask; with recursive, the files of the subfolders come
// before the folder's own files.
std::vector<std::string> FindDatabaseFiles(const std::string& folder, const std::string& mask, bool recursive);

// The text of "Vlastnosti..." for a descriptor read from path.
std::string PropertiesText(const std::string& path, const TDatabaseProperties& p);

struct DictItem {
    std::string caption;
    int32_t image = 0;  // LanguageCombination
    std::string path;
};

class DictionaryList {
public:
    DictionaryList(Prompter& prompter, Pump pump = {}) : prompter_(prompter), pump_(std::move(pump)) {}

    // Called after every change of the list (the tray menu follows it).
    std::function<void()> onChanged;
    // The folder of a restore: the text of ctDatabaseFolder.
    std::function<std::string()> databaseFolder;
    // The hourglass cursor: true while a read or a restore works.
    std::function<void(bool busy)> onBusy;

    const std::vector<DictItem>& items() const { return items_; }
    void LoadFromStore();  // at start-up
    void AddDictionaryItem(const std::string& path, const std::string& name, int32_t langCombination);
    bool RegisterDatabase(const std::string& path);
    // "Přidat": the file dialog in the program folder, then AddProfiles with the chosen files.
    void AddProfileExecute(const std::string& programFolder);
    // The chosen files of "Přidat": only names ending exactly in ".di8" are registered.
    void AddProfiles(const std::vector<std::string>& files);
    void DeleteProfile(size_t index);  // asks first
    // Stores a rename; an empty caption becomes the original name. Returns the caption shown.
    std::string Rename(size_t index, const std::string& caption);
    void RestoreDictionaryList(bool silent);
    void ShowProperties(size_t index);

private:
    void changed()
    {
        if (onChanged) onChanged();
    }
    struct Busy;
    Prompter& prompter_;
    Pump pump_;
    std::vector<DictItem> items_;
};

}  // namespace zeph::cat
