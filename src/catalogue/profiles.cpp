#include "catalogue/profiles.h"

#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/registry.h"

#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace zeph::cat {

namespace {
constexpr const char* kUnset = "<nezadáno>";
constexpr const char* kRestoreCaption = "Inicializace slovníkových databází";
}  // namespace

std::string ProfileKey(const std::string& path)
{
    std::string key = path;
    for (char& c : key)
        if (c == '\\' || c == '/') c = '#';
    return key;
}

RegIniFile profileStore() { return RegIniFile(kProfilesKey); }

std::vector<TDatabaseInfoClass> LoadProfiles() { return LoadProfiles(profileStore()); }

std::vector<TDatabaseInfoClass> LoadProfiles(const RegIniFile& store)
{
    std::vector<TDatabaseInfoClass> out;
    for (auto& key : store.readSections()) {
        if (key == "Default") continue;
        TDatabaseInfoClass info;
        info.DataSource = store.readString(key, "DataSource", kUnset);
        info.Name = store.readString(key, "NewName", store.readString(key, "OriginalDatabaseName", kUnset));
        info.LangCombination = store.readInteger(key, "LangCombination", 0);
        out.push_back(info);
    }
    return out;
}

namespace {

// Subfolders first, then the folder's own files. A folder reached again (through a link that
// points back up the tree) is searched once only, so a link loop cannot make the search endless.
void findFiles(const std::string& folder, const std::string& mask, bool recursive, std::set<std::pair<dev_t, ino_t>>& seen,
               std::vector<std::string>& out)
{
    std::string base = fs::withTrailingSlash(folder);
    struct stat st;
    if (::stat(fs::toNative(base).c_str(), &st) == 0 && !seen.insert({st.st_dev, st.st_ino}).second) return;
    if (recursive)
        for (auto& e : fs::list(base, "*"))
            if (e.directory) findFiles(base + e.name, mask, true, seen, out);
    for (auto& e : fs::list(base, mask))
        if (!e.directory) out.push_back(base + e.name);
}

}  // namespace

std::vector<std::string> FindDatabaseFiles(const std::string& folder, const std::string& mask, bool recursive)
{
    std::vector<std::string> out;
    std::set<std::pair<dev_t, ino_t>> seen;
    findFiles(folder, mask, recursive, seen, out);
    return out;
}

std::string PropertiesText(const std::string& path, const TDatabaseProperties& p)
{
    auto& names = FillNameTables();
    auto date = dt::fromSerial(p.Date).value_or(dt::DateTime{1899, 12, 30});
    std::vector<std::string> lines = {"Soubor: " + path, "Verze: " + p.Version,
                                      "Datum: " + dt::formatShortDate(date.date()),
                                      "Kombinace: " + CombinationText(p.Lang1ID, p.Lang2ID), "Obory:"};
    bool l12 = p.Lang1ID == 1 || p.Lang1ID == 2, l4 = p.Lang1ID == 4;
    bool professionalShown = false;
    for (int field = 0; field <= 15; ++field) {
        auto heading = [&](const char* h) { lines.push_back(h); };
        if (field == 1) heading("basic");
        if (field == 2) heading("standard");
        if (field == 4) {
            if (l12) heading("technology");
            else if (l4) { heading("professional"); professionalShown = true; }
            else heading("business");
        }
        if (field == 8 && l12 && !professionalShown) { heading("professional"); professionalShown = true; }
        if (field == 9 && !l12 && !l4 && !professionalShown) { heading("professional"); professionalShown = true; }
        lines.push_back("    \t" + names.subjects[field]);
    }
    lines.push_back("");
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
    return text;
}

// The hourglass for the life of the object, also when the work fails.
struct DictionaryList::Busy {
    explicit Busy(DictionaryList& list) : list_(list)
    {
        if (list_.onBusy) list_.onBusy(true);
    }
    ~Busy()
    {
        if (list_.onBusy) list_.onBusy(false);
    }
    DictionaryList& list_;
};

void DictionaryList::LoadFromStore()
{
    for (auto& info : LoadProfiles()) AddDictionaryItem(info.DataSource, info.Name, info.LangCombination);
}

void DictionaryList::AddDictionaryItem(const std::string& path, const std::string& name, int32_t langCombination)
{
    items_.push_back({name, langCombination, path});
    changed();
}

bool DictionaryList::RegisterDatabase(const std::string& path)
{
    TDatabaseProperties p;
    {
        Busy busy(*this);
        p = ReadDatabaseProperties(path, false, &prompter_);
    }
    if (p.Name.empty() || p.Version != "8.0") return false;
    std::string key = std::string(kProfilesKey) + "\\" + ProfileKey(path);
    try {
        if (reg::Key::exists(reg::Root::CurrentUser, key)) {
            prompter_.message("Přidat", "Tato databáze již je zaevidována!", Icon::Error, Buttons::Ok);
            return false;
        }
        auto profile = reg::Key::open(reg::Root::CurrentUser, key, true);
        profile->setText("DataSource", path);
        profile->setText("LangCombination", std::to_string(p.LangCombination));
        profile->setText("OriginalDatabaseName", p.Name);
        if (p.LangCombination == 1 || p.LangCombination == 2) profile->setText("ShowArticles", "1");
    } catch (const std::exception& e) {
        // A registry that cannot be written goes to the general error report, as a raised error.
        prompter_.showError(e.what());
        return false;
    }
    AddDictionaryItem(path, p.Name, p.LangCombination);
    return true;
}

void DictionaryList::AddProfileExecute(const std::string& programFolder)
{
    FileDialogRequest r;
    r.folder = programFolder;
    r.filter = "Soubory slovníků (*.di8)|*.di8";
    r.multiSelect = true;
    AddProfiles(prompter_.openFiles(r));
}

void DictionaryList::AddProfiles(const std::vector<std::string>& files)
{
    for (auto& f : files) {
        if (pump_) pump_();
        if (fs::extension(f) == ".di8") RegisterDatabase(f);
    }
}

void DictionaryList::DeleteProfile(size_t index)
{
    if (index >= items_.size()) return;
    if (prompter_.message("Odebrat", "Opravdu chcete odebrat vybraného zástupce?", Icon::Question, Buttons::YesNo) !=
        Answer::Yes)
        return;
    try {
        profileStore().eraseSection(ProfileKey(items_[index].path));
    } catch (const std::exception&) {
        // Not reported, as a failed removal in the store never was.
    }
    items_.erase(items_.begin() + long(index));
    changed();
}

std::string DictionaryList::Rename(size_t index, const std::string& caption)
{
    if (index >= items_.size()) return caption;
    RegIniFile store = profileStore();
    std::string key = ProfileKey(items_[index].path);
    std::string shown = caption.empty() ? store.readString(key, "OriginalDatabaseName", "<změňte název>") : caption;
    try {
        store.writeString(key, "NewName", shown);
    } catch (const std::exception&) {
    }
    items_[index].caption = shown;
    changed();
    return shown;
}

void DictionaryList::RestoreDictionaryList(bool silent)
{
    std::string folder = databaseFolder ? databaseFolder() : std::string();
    if (!silent &&
        prompter_.message("Obnovení seznamu nainstalovaných slovníkových databází",
                          "Původní seznam slovníků bude vymazán a nastaveny základní hodnoty všech parametrů!\n\r"
                          "Budou automaticky prohledány následující složky (včetně podsložek): \n\n\r" +
                              folder + "\n\n\r" + "Pokračovat?",
                          Icon::Question, Buttons::YesNo) != Answer::Yes)
        return;
    RegIniFile store = profileStore();
    try {
        for (auto& key : store.readSections()) store.eraseSection(key);
    } catch (const std::exception&) {
        // What could not be erased is registered again below or reported as a duplicate.
    }
    items_.clear();
    changed();
    bool found = false;
    {
        Busy busy(*this);
        if (!fs::isDirectory(folder)) {
            prompter_.message(kRestoreCaption, "Složka " + folder + " neexistuje!", Icon::Error, Buttons::Ok);
        } else if (!folder.empty()) {
            if (pump_) pump_();
            if (chdir(fs::toNative(folder).c_str()) != 0) {
                // The search below works on full paths all the same.
            }
            auto files = FindDatabaseFiles(folder, "*.di8", true);
            found = !files.empty();
            for (auto& f : files) RegisterDatabase(f);
        }
    }
    if (!found)
        prompter_.message(kRestoreCaption,
                          "Nebyla nalezena žádná slovníková databáze!\n\rJe potřeba znovu spustit instalaci nebo v "
                          "Nastavení zvolit správnou složku, kde jsou tyto databáze umístěny.\n\r",
                          Icon::Error, Buttons::Ok);
    else if (items_.empty())
        prompter_.message(kRestoreCaption,
                          "Nebylo možné otevřít slovníkové databáze! Pravděpodobou příčinou je chybějící doplňěk MDAC "
                          "a MSJet v systému Windows.\n\rKontaktujte technickou podporu.",
                          Icon::Error, Buttons::Ok);
}

void DictionaryList::ShowProperties(size_t index)
{
    if (index >= items_.size()) return;
    const std::string path = items_[index].path;
    TDatabaseProperties p;
    {
        Busy busy(*this);
        p = ReadDatabaseProperties(path, false, &prompter_);
    }
    if (p.Name.empty()) return;
    prompter_.message("Vlastnosti databáze", PropertiesText(path, p), Icon::Information, Buttons::Ok);
}

}  // namespace zeph::cat
