// The tray icon's menu TrayPopupMenu: one item per dictionary of the list, in list order.
#pragma once

#include <QIcon>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace zeph::app {

struct TrayItem {
    QIcon icon;       // the dictionary's flag
    QString caption;  // the list item's caption
    QString path;     // the database, shown as the item's hint
};

// TrayItemClick: the clicked item's hint (the database path) and caption.
using StartDictionary = std::function<void(const std::string& path, const std::string& name)>;

// RebuildTrayMenu: removes every item, then adds one per list item; nothing else.
void RebuildTrayMenu(QMenu* menu, const std::vector<TrayItem>& items, const StartDictionary& start);

}  // namespace zeph::app
