#include "app/formcontrol.h"

#include "app/window_logic.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/hostlookup.h"
#include "platform/process.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <optional>
#include <QThreadPool>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace zeph::app {

std::function<bool()> trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

const char* const kIntroLines[] = {
    "Máte-li na tomto počítači možnost připojení k Internetu, můžete automaticky ",
    "aktualizovat aplikaci Zephlon nebo slovníkové databáze na nejnovější verzi,",
    "pokud je patřičná aktualizace (update) k dispozici. ",
    "",
    "Připojte se k Internetu a stiskněte tlačítko Aktualizovat...",
    "",
    "Pokud se aktualizace nezdaří nebo nemáte možnost připojení k Internetu z ",
    "tohoto místa, pak si můžete nejnovější update stáhnout odjinud z ",
};

constexpr const char* kAutorunName = "quelder8";
constexpr const char* kUpdateControlPath = "/updates/zeph/update.inf";

}  // namespace

std::string TFormControl::webSite() { return "www.varnholt.cz"; }

TFormControl::TFormControl(QStringList args, WindowHooks hooks, QWidget* parent)
    : QWidget(parent), args_(std::move(args)), hooks_(std::move(hooks)), prompter_(std::make_unique<QtPrompter>(this))
{
    buildUi();
    FormCreate();
}

TFormControl::~TFormControl()
{
    // FormDestroy: the tray icon goes with the window.
    if (tray_) tray_->hide();
}

bool TFormControl::firstArgIs(const char* sw) const { return args_.size() > 1 && args_[1] == QLatin1String(sw); }

void TFormControl::buildUi()
{
    setObjectName("FormControl");
    setWindowTitle(QString::fromUtf8("Zephlon 8 - Ovládací panel"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(592, 389);
    QFont font("Tahoma");
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    DictPage = new QWidget;
    DictPage->setObjectName("DictPage");
    UpdatePage = buildUpdatePage();
    SettingsPage = buildSettingsPage();
    PageControl->addTab(DictPage, QString::fromUtf8("Slovníky"));
    PageControl->addTab(UpdatePage, QString::fromUtf8("Aktualizace"));
    PageControl->addTab(SettingsPage, QString::fromUtf8("Nastavení"));
    root->addWidget(PageControl);

    auto* buttons = new QHBoxLayout;
    auto* help = new QPushButton(QString::fromUtf8("Nápověda"));
    help->setObjectName("Button6");
    auto* about = new QPushButton(QString::fromUtf8("O aplikaci..."));
    about->setObjectName("Button4");
    auto* close = new QPushButton(QString::fromUtf8("Zavřít"));
    close->setObjectName("Button7");
    close->setToolTip(QString::fromUtf8("Uložit nastavení a ukončit aplikaci"));
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(about);
    buttons->addWidget(close);
    root->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(help, &QPushButton::clicked, this, [this] {
        // The topic of the page showing.
        static const int contexts[] = {50, 80, 60};
        if (hooks_.showHelp) hooks_.showHelp(contexts[std::max(0, PageControl->currentIndex())]);
    });
    connect(about, &QPushButton::clicked, this, [this] {
        if (hooks_.showAbout) hooks_.showAbout();
    });

    TrayPopupMenu = new QMenu(this);
    TrayPopupMenu->setObjectName("TrayPopupMenu");

    InitTimer = new QTimer(this);
    InitTimer->setInterval(100);
    InitTimer->setSingleShot(true);
    connect(InitTimer, &QTimer::timeout, this, &TFormControl::InitTimerTimer);
    ConnectionTimer = new QTimer(this);
    ConnectionTimer->setInterval(4000);
    connect(ConnectionTimer, &QTimer::timeout, this, &TFormControl::ConnectionTimerTimer);
    ConnectionTimer->start();
}

QWidget* TFormControl::buildUpdatePage()
{
    auto* page = new QWidget;
    page->setObjectName("UpdatePage");
    auto* lay = new QVBoxLayout(page);
    LabelConnectionInfo = new QLabel(QString::fromUtf8("Kontrola připojení..."));
    LabelConnectionInfo->setObjectName("LabelConnectionInfo");
    ResultMemo = new QPlainTextEdit;
    ResultMemo->setObjectName("ResultMemo");
    ResultMemo->setReadOnly(true);
    ResultMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ResultMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    // One layout pass for the whole introduction, not one per line.
    QStringList intro;
    for (const char* line : kIntroLines) intro << QString::fromUtf8(line);
    intro << q(webSite() + ", sekce download a nainstalovat dodatečně.");
    ResultMemo->setPlainText(intro.join('\n'));
    UpdateButton = new QPushButton(QString::fromUtf8("Aktualizovat"));
    UpdateButton->setObjectName("UpdateButton");
    UpdateButton->setToolTip(QString::fromUtf8("Spustit aktualizaci na novější verzi"));
    connect(UpdateButton, &QPushButton::clicked, this, &TFormControl::UpdateButtonClick);
    DownloadProgressBar = new QProgressBar;
    DownloadProgressBar->setObjectName("DownloadProgressBar");
    DownloadProgressBar->hide();
    lay->addWidget(LabelConnectionInfo);
    lay->addWidget(ResultMemo, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(DownloadProgressBar, 1);
    row->addStretch();
    row->addWidget(UpdateButton);
    lay->addLayout(row);
    return page;
}

QWidget* TFormControl::buildSettingsPage()
{
    auto* page = new QWidget;
    page->setObjectName("SettingsPage");
    auto* lay = new QGridLayout(page);

    auto* panel = new QGroupBox(QString::fromUtf8("Ovládací panel"));
    auto* pl = new QVBoxLayout(panel);
    ctMinimize = new QCheckBox(QString::fromUtf8("Minimalizovat do systémové lišty"));
    ctMinimize->setObjectName("ctMinimize");
    ctRunOnStartup = new QCheckBox(QString::fromUtf8("Spouštět automaticky po startu Windows"));
    ctRunOnStartup->setObjectName("ctRunOnStartup");
    connect(ctRunOnStartup, &QCheckBox::clicked, this, &TFormControl::ctRunOnStartupClick);
    pl->addWidget(ctMinimize);
    pl->addWidget(ctRunOnStartup);

    auto* upd = new QGroupBox(QString::fromUtf8("Aktualizace"));
    auto* ul = new QGridLayout(upd);
    ctCheckForUpdates = new QCheckBox(QString::fromUtf8("Periodicky připomínat jednou za"));
    ctCheckForUpdates->setObjectName("ctCheckForUpdates");
    ctCheckPeriodNumber = new QSpinBox;
    ctCheckPeriodNumber->setObjectName("ctCheckPeriodNumber");
    ctCheckPeriodNumber->setRange(7, 360);
    ctCheckPeriodNumber->setValue(30);
    ctCheckPeriodNumber->setGroupSeparatorShown(false);
    auto* days = new QLabel(QString::fromUtf8("dní"));
    days->setObjectName("Label9");
    auto* lastLabel = new QLabel(QString::fromUtf8("Naposledy kontrolováno dne:"));
    lastLabel->setObjectName("Label8");
    ctLastChecked = new QLabel;
    ctLastChecked->setObjectName("ctLastChecked");
    auto* period = new QHBoxLayout;
    period->addSpacing(20);
    period->addWidget(ctCheckPeriodNumber);
    period->addWidget(days);
    period->addStretch();
    ul->addWidget(ctCheckForUpdates, 0, 0, 1, 2);
    ul->addLayout(period, 1, 0, 1, 2);
    ul->addWidget(lastLabel, 2, 0);
    ul->addWidget(ctLastChecked, 2, 1);

    auto* fonts = new QGroupBox(QString::fromUtf8("Písmo"));
    auto* fl = new QGridLayout(fonts);
    ctSampleCaptionFont = new QPushButton(QString::fromUtf8("Popisky"));
    ctSampleCaptionFont->setObjectName("ctSampleCaptionFont");
    ctSampleCaptionFont->setToolTip(QString::fromUtf8("Změnit písmo pro formuláře (doporučuje se ponechat základní nastavení)"));
    lblPopis = new QLabel(QString::fromUtf8("Náhled nastavení"));
    lblPopis->setObjectName("lblPopis");
    ctSampleDataFont = new QPushButton(QString::fromUtf8("Data"));
    ctSampleDataFont->setObjectName("ctSampleDataFont");
    ctSampleDataFont->setToolTip(QString::fromUtf8("Změnit písmo zobrazení výrazů v oknech slovníků"));
    QFont dataFont("Tahoma");
    dataFont.setPointSize(8);
    dataFont.setBold(true);
    ctSampleDataFont->setFont(dataFont);
    edData = new QLineEdit(QString::fromUtf8(" Náhled nastavení "));
    edData->setObjectName("edData");
    edData->setReadOnly(true);
    edData->setFrame(false);
    edData->setFont(dataFont);
    edData->setStyleSheet("color: red;");
    fl->addWidget(ctSampleCaptionFont, 0, 0);
    fl->addWidget(lblPopis, 0, 1);
    fl->addWidget(ctSampleDataFont, 1, 0);
    fl->addWidget(edData, 1, 1);
    connect(ctSampleCaptionFont, &QPushButton::clicked, this, [this] {
        if (hooks_.chooseFont) hooks_.chooseFont(ctSampleCaptionFont, true);
    });
    connect(ctSampleDataFont, &QPushButton::clicked, this, [this] {
        if (hooks_.chooseFont) hooks_.chooseFont(ctSampleDataFont, false);
    });

    auto* where = new QGroupBox(QString::fromUtf8("Umístění slovníkových databází"));
    auto* wl = new QGridLayout(where);
    ctDatabaseFolder = new QLineEdit;
    ctDatabaseFolder->setObjectName("ctDatabaseFolder");
    ctDatabaseFolder->setReadOnly(true);
    auto* change = new QPushButton(QString::fromUtf8("Změnit"));
    change->setObjectName("ctChangeFolderButton");
    change->setToolTip(QString::fromUtf8(
        "Změnit složku, ve které program hledá slovníkové databáze při spuštění funkce Obnovit"));
    auto* openLabel = new QLabel(QString::fromUtf8("Otevřít umístění slovníkových databází v průzkumníku:"));
    openLabel->setObjectName("Label10");
    openLabel->setWordWrap(true);
    auto* open = new QPushButton(QString::fromUtf8("Otevřít"));
    open->setObjectName("Button8");
    open->setToolTip(QString::fromUtf8("Otevřít umístění slovníkových databází v průzkumníku"));
    connect(change, &QPushButton::clicked, this, &TFormControl::ctChangeFolderButtonClick);
    connect(open, &QPushButton::clicked, this, &TFormControl::OtevritUmOnClick);
    wl->addWidget(ctDatabaseFolder, 0, 0);
    wl->addWidget(change, 0, 1);
    wl->addWidget(openLabel, 1, 0);
    wl->addWidget(open, 1, 1);

    lay->setColumnStretch(1, 1);
    lay->addWidget(panel, 0, 0);
    lay->addWidget(upd, 0, 1);
    lay->addWidget(fonts, 1, 0);
    lay->addWidget(where, 1, 1);
    return page;
}

void TFormControl::FormCreate()
{
    LoadSharedConfiguration();
    startupDatabaseFolder_ = sharedConfig().DatabaseFolder;
    RestoreSettingsIntoControls();
    setFont(ctSampleCaptionFont->font());
    QDir::setCurrent(q(folders::programFolder()));
    if (hooks_.buildDictionaryPage) hooks_.buildDictionaryPage(*this, DictPage);
    addTrayIcon();
}

void TFormControl::RestoreSettingsIntoControls()
{
    ControlSettings s = RestoreSettings();
    move(s.FormLeft, s.FormTop);
    ctMinimize->setChecked(s.MinimizeToTray);
    ctRunOnStartup->setChecked(s.RunOnStartup);
    ctCheckForUpdates->setChecked(s.CheckForUpdates);
    ctCheckPeriodNumber->setValue(s.CheckPeriod);  // clamped to 7..360 by the control
    ctLastChecked->setText(q(s.LastChecked));
    ctDatabaseFolder->setText(q(s.DatabaseFolder));
}

std::string TFormControl::databaseFolderText() const { return ctDatabaseFolder->text().toStdString(); }

ControlSettings TFormControl::collectSettings() const
{
    ControlSettings s;
    s.FormLeft = pos().x();
    s.FormTop = pos().y();
    s.MinimizeToTray = ctMinimize->isChecked();
    s.RunOnStartup = ctRunOnStartup->isChecked();
    s.CheckForUpdates = ctCheckForUpdates->isChecked();
    s.CheckPeriod = ctCheckPeriodNumber->value();
    s.LastChecked = ctLastChecked->text().toStdString();
    s.DatabaseFolder = ctDatabaseFolder->text().toStdString();
    return s;
}

void TFormControl::addTrayIcon()
{
    if (!trayAvailable()) return;
    tray_ = new QSystemTrayIcon(this);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    tray_->setIcon(icon);
    tray_->setToolTip(QString::fromUtf8("Zephlon 8 - ovládací panel"));
    tray_->setContextMenu(TrayPopupMenu);
    connect(tray_, &QSystemTrayIcon::activated, this, &TFormControl::trayActivated);
    tray_->show();
    trayAdded_ = true;
}

void TFormControl::start()
{
    StartupFacts f;
    f.listEmpty = hooks_.dictionaryCount ? hooks_.dictionaryCount() == 0 : false;
    f.reminderOn = ctCheckForUpdates->isChecked();
    f.checkPeriod = ctCheckPeriodNumber->value();
    f.lastChecked = ctLastChecked->text().toStdString();
    f.today = dt::today();
    f.runUpdateSwitch = firstArgIs(kRunUpdateSwitch);
    f.minimizeToTray = ctMinimize->isChecked();
    f.trayAdded = trayAdded_;
    StartMode mode = decideStart(f);
    if (mode == StartMode::ShowWithInitTimer) InitTimer->start();
    if (mode != StartMode::StartHidden) show();
    if (hooks_.setAutorun) hooks_.setAutorun(ctRunOnStartup->isChecked(), kAutorunName);
}

void TFormControl::InitTimerTimer()
{
    InitTimer->stop();
    for (int i = 0; i < 500 && !isVisible() && !isMinimized(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
    if (hooks_.dictionaryCount && hooks_.dictionaryCount() == 0) {
        ask().message("Inicializace slovníkových databází", "Seznam slovníků je prázdný. Je nutno jej obnovit!",
                      Icon::Information, Buttons::Ok);
        if (hooks_.restoreDictionaryList) hooks_.restoreDictionaryList(false);
    }
    bool runUpdate = firstArgIs(kRunUpdateSwitch);
    if (!ctCheckForUpdates->isChecked() && !runUpdate) return;
    StartupFacts f;
    f.checkPeriod = ctCheckPeriodNumber->value();
    f.lastChecked = ctLastChecked->text().toStdString();
    f.today = dt::today();
    if (!reminderDue(f) && !runUpdate) return;
    if (!runUpdate &&
        ask().message("Periodická kontrola update",
                      "Je možné, že je k dispozici aktualizace databází nebo programu Zephlon, přejete si spustit kontrolu?",
                      Icon::Question, Buttons::YesNo) != Answer::Yes)
        return;
    PageControl->setCurrentWidget(UpdatePage);
    UpdateButtonClick();
    ctLastChecked->setText(q(dt::formatShortDate(dt::today())));
}

void TFormControl::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (e->spontaneous()) return;
    if (firstArgIs(kReloadSwitch) && hooks_.restoreDictionaryList) hooks_.restoreDictionaryList(true);
    PageControl->setCurrentWidget(DictPage);
    if (hooks_.focusDictionaryList) hooks_.focusDictionaryList();
    lblPopis->setFont(ctSampleCaptionFont->font());
    edData->setFont(ctSampleDataFont->font());
}

void TFormControl::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    // With the tray icon, minimising hides the window whatever ctMinimize says.
    if (e->type() == QEvent::WindowStateChange && trayAdded_ && isMinimized()) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~Qt::WindowMinimized);
            hide();
        });
    }
}

void TFormControl::comeToFront()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TFormControl::toggleFromTray()
{
    if (isVisible()) hide();
    else comeToFront();
}

void TFormControl::trayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick) toggleFromTray();
}

void TFormControl::closeEvent(QCloseEvent* e)
{
    // FormClose: on every close path the settings are saved.
    ConnectionTimer->stop();
    try {
        SaveSettings(collectSettings());
    } catch (const std::exception& ex) {
        ask().showError(ex.what());
    }
    closing_ = true;
    e->accept();
    QApplication::quit();
}

void TFormControl::ConnectionTimerTimer()
{
    if (PageControl->currentWidget() != UpdatePage || lookupInFlight_) return;
    std::string host = net::updateServerHost();
    lookupInFlight_ = true;
    // A lookup can take seconds without a network: it runs on a pool thread and its result is
    // applied on the user-interface thread, or dropped when the window is gone by then.
    QPointer<TFormControl> self(this);
    QThreadPool::globalInstance()->start([self, host] {
        std::optional<bool> resolved;
        try {
            resolved = net::resolveIPv4(host).has_value();
        } catch (...) {
            // A failed lookup (not a name that does not resolve) leaves the label as it was.
        }
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, host, resolved] {
            if (!self) return;
            self->lookupInFlight_ = false;
            if (resolved)
                self->LabelConnectionInfo->setText(q("Připojení k " + host + (*resolved ? ": Aktivní" : ": Neaktivní")));
        }, Qt::QueuedConnection);
    });
}

void TFormControl::appendMemo(const std::string& line) { ResultMemo->appendPlainText(q(line)); }

void TFormControl::UpdateButtonClick()
{
    if (updateRunning_) return;  // no second run while one is in progress
    updateRunning_ = true;         // also while the database update pumps messages
    UpdateButton->setEnabled(false);
    struct EndUnlessStarted {
        bool& running;
        bool started = false;
        ~EndUnlessStarted() { if (!started) running = false; }
    } run{updateRunning_};
    struct Reenable {
        QPushButton* b;
        ~Reenable() { b->setEnabled(true); }
    } reenable{UpdateButton};
    if (ask().message("Automatický update", "Opravdu chcete zahájit aktualizaci?", Icon::Question, Buttons::YesNo) !=
        Answer::Yes)
        return;
    ResultMemo->clear();
    ResultMemo->repaint();
    try {
        if (hooks_.runDatabaseUpdate)
            hooks_.runDatabaseUpdate([this](const std::string& l) { appendMemo(l); }, startupDatabaseFolder_);
    } catch (const std::exception& ex) {
        ask().showError(ex.what());
        return;
    }
    if (hooks_.startApplicationUpdate) {
        hooks_.startApplicationUpdate("http://" + net::updateServer() + kUpdateControlPath);
        run.started = true;  // the engine ends the run with NetUpdateThreadUpdateDone
    }
    ctLastChecked->setText(q(dt::formatShortDate(dt::today())));
}

void TFormControl::NetUpdateStatus(const std::string& text, int statusCode, int)
{
    if (auto line = filterStatus(text, statusCode)) appendMemo(*line);
}

void TFormControl::NetUpdateFileProgress(const std::string&, int64_t pos, int64_t size)
{
    // A progress bar counts in int: scale large files down.
    int shift = 0;
    while ((size >> shift) > INT32_MAX) ++shift;
    DownloadProgressBar->setMaximum(int(size >> shift));
    DownloadProgressBar->setValue(int(pos >> shift));
    DownloadProgressBar->show();
}

void TFormControl::NetUpdateThreadUpdateDone()
{
    updateRunning_ = false;
    UpdateButton->setEnabled(true);
    DownloadProgressBar->hide();
}

void TFormControl::NetUpdateAppRestart(bool& allow)
{
    allow = ask().message("Potvrzení", "Některé aplikace je nutno před aktualizací uzavřít. Pokračovat?", Icon::Question,
                          Buttons::YesNo) == Answer::Yes;
    // Ending the user's dictionary programs after a "No" would lose their work for nothing:
    // the run does not restart then.
    if (allow) terminateDictionaryPrograms();
}

void TFormControl::NetUpdateAppDoClose()
{
    updateRunning_ = false;
    UpdateButton->setEnabled(true);
    DownloadProgressBar->hide();
    close();
}

void TFormControl::terminateDictionaryPrograms()
{
    for (auto& p : proc::list())
        if (isDictionaryProgram(p.exePath)) proc::terminate(p.pid);  // failures are ignored
}

void TFormControl::ctChangeFolderButtonClick()
{
    FileDialogRequest r;
    r.folder = ctDatabaseFolder->text().toStdString();
    r.filter = "Soubory slovníků (*.di8)|*.di8";
    auto files = ask().openFiles(r);
    if (!files.empty()) ctDatabaseFolder->setText(q(fs::folderOf(files.front())));
}

void TFormControl::OtevritUmOnClick()
{
    std::string folder = fs::withoutTrailingSlash(ctDatabaseFolder->text().toStdString());
    if (!fs::isDirectory(folder)) folder = folders::commonDocuments();
    proc::startArgs({"xdg-open", folder}, {"", true, true});
}

void TFormControl::ctRunOnStartupClick()
{
    if (hooks_.setAutorun) hooks_.setAutorun(ctRunOnStartup->isChecked(), folders::programPath());
}

}  // namespace zeph::app
