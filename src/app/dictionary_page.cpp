#include "app/dictionary_page.h"

#include "app/tray_menu.h"
#include "catalogue/launch.h"
#include "platform/folders.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zeph::app {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

void stripes(QPainter& p, const QRect& r, std::initializer_list<QColor> colors, bool vertical)
{
    int n = int(colors.size()), i = 0;
    for (const QColor& c : colors) {
        QRect part = vertical ? QRect(r.x() + r.width() * i / n, r.y(), r.width() * (i + 1) / n - r.width() * i / n, r.height())
                              : QRect(r.x(), r.y() + r.height() * i / n, r.width(), r.height() * (i + 1) / n - r.height() * i / n);
        p.fillRect(part, c);
        ++i;
    }
}

void czechFlag(QPainter& p, const QRect& r)
{
    stripes(p, r, {Qt::white, QColor(215, 20, 26)}, false);
    QPolygon wedge;
    wedge << r.topLeft() << QPoint(r.x() + r.width() / 2, r.y() + r.height() / 2) << r.bottomLeft() + QPoint(0, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(17, 69, 126));
    p.drawPolygon(wedge);
    p.setPen(QColor(80, 80, 80));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

}  // namespace

QIcon languageIcon(int lang)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    QRect flag(0, 4, 32, 22);
    switch (lang) {
    case 0: {  // the United Kingdom
        p.fillRect(flag, QColor(1, 33, 105));
        p.setPen(QPen(Qt::white, 5));
        p.drawLine(flag.topLeft(), flag.bottomRight());
        p.drawLine(flag.bottomLeft(), flag.topRight());
        p.setPen(QPen(QColor(200, 16, 46), 2));
        p.drawLine(flag.topLeft(), flag.bottomRight());
        p.drawLine(flag.bottomLeft(), flag.topRight());
        p.fillRect(QRect(13, 4, 6, 22), Qt::white);
        p.fillRect(QRect(0, 12, 32, 6), Qt::white);
        p.fillRect(QRect(14, 4, 4, 22), QColor(200, 16, 46));
        p.fillRect(QRect(0, 13, 32, 4), QColor(200, 16, 46));
        break;
    }
    case 1: stripes(p, flag, {Qt::black, QColor(221, 0, 0), QColor(255, 206, 0)}, false); break;
    case 2: stripes(p, flag, {QColor(0, 85, 164), Qt::white, QColor(239, 65, 53)}, true); break;
    case 3: stripes(p, flag, {Qt::white, QColor(0, 57, 166), QColor(213, 43, 30)}, false); break;
    case 4: stripes(p, flag, {QColor(170, 21, 27), QColor(241, 191, 0), QColor(241, 191, 0), QColor(170, 21, 27)}, false); break;
    case 5: stripes(p, flag, {Qt::white, QColor(220, 20, 60)}, false); break;
    default: p.fillRect(flag, QColor(200, 200, 200));
    }
    p.setPen(QColor(80, 80, 80));
    p.drawRect(flag.adjusted(0, 0, -1, -1));
    czechFlag(p, QRect(17, 19, 15, 10));
    return QIcon(pm);
}

DictionaryPage::DictionaryPage(Prompter& prompter, QMenu* trayMenu, std::function<std::string()> databaseFolder, QWidget* parent)
    : QWidget(parent), prompter_(prompter), trayMenu_(trayMenu)
{
    list_ = std::make_unique<cat::DictionaryList>(prompter, [] { QApplication::processEvents(); });
    list_->databaseFolder = std::move(databaseFolder);
    list_->onBusy = [](bool busy) {
        if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
    };
    list_->onChanged = [this] {
        if (editing_) QTimer::singleShot(0, this, &DictionaryPage::rebuild);
        else rebuild();
    };

    DictListView = new QListWidget;
    DictListView->setObjectName("DictListView");
    DictListView->setViewMode(QListView::IconMode);
    DictListView->setIconSize(QSize(32, 32));
    DictListView->setFlow(QListView::TopToBottom);
    DictListView->setWrapping(true);
    DictListView->setResizeMode(QListView::Adjust);
    DictListView->setMovement(QListView::Static);
    DictListView->setGridSize(QSize(120, 64));
    DictListView->setWordWrap(true);
    DictListView->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    DictListView->setContextMenuPolicy(Qt::CustomContextMenu);
    DictListView->installEventFilter(this);
    lblDBName = new QLabel;
    lblDBName->setObjectName("lblDBName");

    auto makeAction = [this](const char* name, const char* caption, const char* hint, bool enabled) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(name);
        if (*hint) a->setToolTip(QString::fromUtf8(hint));
        a->setEnabled(enabled);
        return a;
    };
    AddProfile = makeAction("AddProfile", "Přidat", "", true);
    DeleteProfile = makeAction("DeleteProfile", "Odebrat", "", false);
    Default = makeAction("Default", "Obnovit", "Obnovit výchozí seznam slovníkových databází", true);
    Properties = makeAction("Properties", "Vlastnosti...", "", false);
    CreateShortCut = makeAction("CreateShortCut", "Zástupce na plochu", "", false);
    RunZephlon = makeAction("RunZephlon", "Spustit!", "", false);

    connect(AddProfile, &QAction::triggered, this, [this] { list_->AddProfileExecute(programFolder_); });
    connect(DeleteProfile, &QAction::triggered, this, [this] {
        if (int i = selectedIndex(); i >= 0) list_->DeleteProfile(size_t(i));
    });
    connect(Default, &QAction::triggered, this, [this] { list_->RestoreDictionaryList(false); });
    connect(Properties, &QAction::triggered, this, [this] {
        if (int i = selectedIndex(); i >= 0) list_->ShowProperties(size_t(i));
    });
    connect(CreateShortCut, &QAction::triggered, this, &DictionaryPage::CreateShortCutExecute);
    connect(RunZephlon, &QAction::triggered, this, &DictionaryPage::RunZephlonExecute);

    auto* menu = new QMenu(this);
    menu->setObjectName("ListViewMenu");
    menu->addAction(RunZephlon);
    menu->addSeparator();
    menu->addAction(AddProfile);
    menu->addAction(DeleteProfile);
    menu->addSeparator();
    menu->addAction(Properties);
    menu->addAction(CreateShortCut);
    connect(DictListView, &QWidget::customContextMenuRequested, this,
            [this, menu](const QPoint& pos) { menu->popup(DictListView->viewport()->mapToGlobal(pos)); });
    connect(DictListView, &QListWidget::itemSelectionChanged, this, &DictionaryPage::updateActions);
    connect(DictListView, &QListWidget::itemDoubleClicked, this, [this] { RunZephlonExecute(); });
    connect(DictListView, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (rebuilding_) return;
        int index = item->data(Qt::UserRole + 1).toInt();
        editing_ = true;
        list_->Rename(size_t(index), item->text().toStdString());
        editing_ = false;
    });

    auto* buttons = new QVBoxLayout;
    auto button = [&](const char* name, QAction* action) {
        auto* b = new QPushButton(action->text());
        b->setObjectName(name);
        b->setToolTip(action->toolTip());
        b->setEnabled(action->isEnabled());
        connect(b, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, b, [b, action] { b->setEnabled(action->isEnabled()); });
        buttons->addWidget(b);
    };
    button("Button2", Default);
    button("RunButton", RunZephlon);
    button("AddProfileButton", AddProfile);
    button("DeleteButton", DeleteProfile);
    button("Button3", Properties);
    button("ctShortcutButton", CreateShortCut);
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(DictListView, 1);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QString::fromUtf8("Databáze:"));
    label->setObjectName("Label11");
    row->addWidget(label);
    row->addWidget(lblDBName, 1);
    left->addLayout(row);
    auto* lay = new QHBoxLayout(this);
    lay->addLayout(left, 1);
    lay->addLayout(buttons);

    list_->LoadFromStore();
}

bool DictionaryPage::eventFilter(QObject* watched, QEvent* event)
{
    // While a caption is edited, keys go to the editor, not here.
    if (watched == DictListView && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            RunZephlonExecute();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

int DictionaryPage::selectedIndex() const
{
    auto sel = DictListView->selectedItems();
    if (sel.isEmpty()) return -1;
    return sel.first()->data(Qt::UserRole + 1).toInt();
}

void DictionaryPage::rebuild()
{
    rebuilding_ = true;
    DictListView->clear();
    const auto& items = list_->items();
    for (size_t i = 0; i < items.size(); ++i) {
        auto* it = new QListWidgetItem(languageIcon(items[i].image), q(items[i].caption));
        it->setData(Qt::UserRole, q(items[i].path));
        it->setData(Qt::UserRole + 1, int(i));
        it->setToolTip(q(items[i].path));
        it->setFlags(it->flags() | Qt::ItemIsEditable);
        DictListView->addItem(it);
    }
    DictListView->sortItems();  // by caption
    rebuilding_ = false;
    std::vector<TrayItem> tray;
    for (int row = 0; row < DictListView->count(); ++row) {
        auto* it = DictListView->item(row);
        tray.push_back({it->icon(), it->text(), it->data(Qt::UserRole).toString()});
    }
    RebuildTrayMenu(trayMenu_, tray, [this](const std::string& path, const std::string& name) {
        cat::RunDictionary(path, name, programFolder_);
    });
    updateActions();
}

void DictionaryPage::updateActions()
{
    int i = selectedIndex();
    for (QAction* a : {DeleteProfile, Properties, CreateShortCut, RunZephlon}) a->setEnabled(i >= 0);
    lblDBName->setText(i >= 0 ? q(list_->items()[size_t(i)].path) : QString());
}

void DictionaryPage::RunZephlonExecute()
{
    if (int i = selectedIndex(); i >= 0)
        cat::RunDictionary(list_->items()[size_t(i)].path, list_->items()[size_t(i)].caption, programFolder_);
}

void DictionaryPage::CreateShortCutExecute()
{
    if (int i = selectedIndex(); i >= 0)
        cat::CreateDesktopShortcut(list_->items()[size_t(i)].path, list_->items()[size_t(i)].caption, programFolder_);
}

void DictionaryPage::focusList()
{
    DictListView->setFocus();
    if (DictListView->count() > 0) DictListView->setCurrentItem(DictListView->item(0), QItemSelectionModel::NoUpdate);
}

}  // namespace zeph::app
