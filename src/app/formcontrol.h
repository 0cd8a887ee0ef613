// TFormControl: the control panel's main window with its three pages, tray icon and timers.
#pragma once

#include "app/qt_prompter.h"
#include "config/settings.h"

#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;

namespace zeph::app {

// Where the subsystems of the other modules plug into the window. Each hook is optional: an
// empty one leaves that part out (the window works without it).
struct WindowHooks {
    // The dictionary page: builds its content into the page widget (Slovníky).
    std::function<void(class TFormControl& form, QWidget* page)> buildDictionaryPage;
    std::function<int()> dictionaryCount;
    std::function<void(bool silent)> restoreDictionaryList;
    std::function<void()> focusDictionaryList;
    // The database update with the memo's line sink and the database folder of the start-up.
    std::function<void(const std::function<void(const std::string&)>& memo, const std::string& folder)> runDatabaseUpdate;
    // Starts the threaded application update run with the control file URL; it reports back
    // through the window's NetUpdate* handlers.
    std::function<void(const std::string& url)> startApplicationUpdate;
    std::function<void(bool on, const std::string& fileName)> setAutorun;
    std::function<void(int context)> showHelp;
    std::function<void()> showAbout;
    std::function<void(QWidget* button, bool captionFont)> chooseFont;
};

// Whether a tray can take the icon; replaceable in tests.
extern std::function<bool()> trayAvailable;

class TFormControl : public QWidget {
    Q_OBJECT
public:
    TFormControl(QStringList args, WindowHooks hooks = {}, QWidget* parent = nullptr);
    ~TFormControl() override;

    // FormCreate's last steps: the start-up decision; shows the window unless it starts hidden.
    void start();

    // Every message box of the window and of the parts it hosts; tests put a scripted one in.
    Prompter& prompter() { return ask(); }
    void setPrompter(Prompter* p) { prompterOverride_ = p; }

    // The engine's events (host side).
    void NetUpdateStatus(const std::string& text, int statusCode, int errCode);
    void NetUpdateFileProgress(const std::string& fileName, int64_t pos, int64_t size);
    void NetUpdateThreadUpdateDone();
    void NetUpdateAppRestart(bool& allow);
    void NetUpdateAppDoClose();

    void UpdateButtonClick();
    void InitTimerTimer();
    void ConnectionTimerTimer();
    void toggleFromTray();
    // Shows the window (also from the tray), restores it when minimised and raises it.
    void comeToFront();

    // State for tests and the other modules.
    bool trayAdded() const { return trayAdded_; }
    bool updateRunning() const { return updateRunning_; }
    ControlSettings collectSettings() const;
    QPlainTextEdit* resultMemo() const { return ResultMemo; }
    QLabel* connectionLabel() const { return LabelConnectionInfo; }
    QLabel* lastCheckedLabel() const { return ctLastChecked; }
    QTabWidget* pages() const { return PageControl; }
    QWidget* dictPage() const { return DictPage; }
    QWidget* updatePage() const { return UpdatePage; }
    QWidget* settingsPage() const { return SettingsPage; }
    QProgressBar* progressBar() const { return DownloadProgressBar; }
    QMenu* trayMenu() const { return TrayPopupMenu; }
    QTimer* initTimer() const { return InitTimer; }
    WindowHooks& hooks() { return hooks_; }
    std::string databaseFolderText() const;
    const QStringList& arguments() const { return args_; }
    static std::string webSite();

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void buildUi();
    QWidget* buildUpdatePage();
    QWidget* buildSettingsPage();
    void FormCreate();
    void RestoreSettingsIntoControls();
    void addTrayIcon();
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    void appendMemo(const std::string& line);
    void terminateDictionaryPrograms();
    bool firstArgIs(const char* sw) const;
    void ctChangeFolderButtonClick();
    void OtevritUmOnClick();
    void ctRunOnStartupClick();

    QStringList args_;
    WindowHooks hooks_;
    std::unique_ptr<QtPrompter> prompter_;
    Prompter* prompterOverride_ = nullptr;
    Prompter& ask() { return prompterOverride_ ? *prompterOverride_ : *prompter_; }

    QTabWidget* PageControl = nullptr;
    QWidget* DictPage = nullptr;
    QWidget* UpdatePage = nullptr;
    QWidget* SettingsPage = nullptr;
    QLabel* LabelConnectionInfo = nullptr;
    QPlainTextEdit* ResultMemo = nullptr;
    QPushButton* UpdateButton = nullptr;
    QProgressBar* DownloadProgressBar = nullptr;
    QCheckBox* ctMinimize = nullptr;
    QCheckBox* ctRunOnStartup = nullptr;
    QCheckBox* ctCheckForUpdates = nullptr;
    QSpinBox* ctCheckPeriodNumber = nullptr;
    QLabel* ctLastChecked = nullptr;
    QPushButton* ctSampleCaptionFont = nullptr;
    QPushButton* ctSampleDataFont = nullptr;
    QLabel* lblPopis = nullptr;
    QLineEdit* edData = nullptr;
    QLineEdit* ctDatabaseFolder = nullptr;
    QTimer* InitTimer = nullptr;
    QTimer* ConnectionTimer = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* TrayPopupMenu = nullptr;
    bool trayAdded_ = false;
    bool updateRunning_ = false;   // a second press waits for the end of the run
    bool lookupInFlight_ = false;
    bool closing_ = false;
    std::string startupDatabaseFolder_;
};

}  // namespace zeph::app
