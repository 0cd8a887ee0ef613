#include "app/tray_menu.h"

#include <QAction>
#include <QMenu>

namespace zeph::app {

void RebuildTrayMenu(QMenu* menu, const std::vector<TrayItem>& items, const StartDictionary& start)
{
    if (!menu) return;
    menu->clear();
    menu->setToolTipsVisible(true);
    for (const TrayItem& item : items) {
        // "&" in a name is shown as written, not taken for an accelerator.
        QString shown = item.caption;
        shown.replace("&", "&&");
        QAction* a = menu->addAction(item.icon, shown);
        a->setToolTip(item.path);
        a->setStatusTip(item.path);
        a->setData(item.caption);
        QObject::connect(a, &QAction::triggered, menu, [a, start] {
            if (start) start(a->toolTip().toStdString(), a->data().toString().toStdString());
        });
    }
}

}  // namespace zeph::app
