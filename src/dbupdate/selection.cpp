// Which installed databases the catalogue makes out of date.
#include "dbupdate/updatecatalogue.h"

#include "catalogue/database.h"
#include "catalogue/profiles.h"
#include "platform/files.h"
#include "platform/textcodec.h"

namespace zeph::dbu {

std::vector<std::string> ListLocalDatabases(const std::string& databaseFolder)
{
    std::vector<std::string> installed = cat::FindDatabaseFiles(databaseFolder, "*.di8", false);
    std::string folder = fs::withoutTrailingSlash(fs::toNative(databaseFolder));
    for (auto& profile : cat::LoadProfiles()) {
        const std::string& path = profile.DataSource;
        bool listed = false;
        for (auto& p : installed) listed = listed || text::equalsNoCase(p, path);
        if (listed) continue;
        if (fs::withoutTrailingSlash(fs::folderOf(path)) != folder || !fs::isFile(path)) continue;
        installed.push_back(path);
    }
    return installed;
}

void SelectPendingUpdates(const std::string& databaseFolder, const DateArray& table, PendingList* pending,
                          std::vector<std::string>& installed)
{
    if (!pending || !installed.empty()) return;
    installed = ListLocalDatabases(databaseFolder);
    for (auto& path : installed) {
        if (!fs::isFile(path)) continue;
        cat::TDatabaseProperties p = cat::ReadDatabaseProperties(path, true, nullptr);
        if (p.Name.find("2004") != std::string::npos) continue;
        int column = EditionColumn(p.Name.substr(0, 3));
        if (column < 0) continue;
        // Only languages 1 to 5 have a row; any other never reads outside the table.
        if (p.Lang1ID < 1 || p.Lang1ID > 5) continue;
        const TDateArrayRec& cell = table[size_t(p.Lang1ID - 1)][size_t(column)];
        if (p.Date < cell.Date) pending->push_back({cell.FileName, cell.Size});
    }
}

}  // namespace zeph::dbu
