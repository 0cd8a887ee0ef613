// The page "Slovníky": the dictionary list with its flags, buttons, pop-up menu and the tray menu.
#pragma once

#include "catalogue/profiles.h"
#include "platform/folders.h"

#include <QIcon>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QAction;

namespace zeph::app {

// The six 32 by 32 flags, each with a small Czech flag in its lower right corner.
QIcon languageIcon(int langCombination);

class DictionaryPage : public QWidget {
    Q_OBJECT
public:
    DictionaryPage(Prompter& prompter, QMenu* trayMenu, std::function<std::string()> databaseFolder, QWidget* parent);

    cat::DictionaryList& list() { return *list_; }
    QListWidget* view() const { return DictListView; }
    void RestoreDictionaryList(bool silent) { list_->RestoreDictionaryList(silent); }
    void focusList();
    // The folder of zeph8 and of the file dialog: the control panel's own, unless set.
    void setProgramFolder(const std::string& folder) { programFolder_ = folder; }
    void RunZephlonExecute();
    void CreateShortCutExecute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();  // the view and the tray menu from the model
    void updateActions();
    int selectedIndex() const;

    std::unique_ptr<cat::DictionaryList> list_;
    Prompter& prompter_;
    QMenu* trayMenu_;
    std::string programFolder_ = folders::programFolder();
    QListWidget* DictListView = nullptr;
    QLabel* lblDBName = nullptr;
    QAction* AddProfile = nullptr;
    QAction* DeleteProfile = nullptr;
    QAction* Default = nullptr;
    QAction* Properties = nullptr;
    QAction* CreateShortCut = nullptr;
    QAction* RunZephlon = nullptr;
    bool rebuilding_ = false;
    bool editing_ = false;  // inside the view's own change signal: rebuild afterwards
};

}  // namespace zeph::app
