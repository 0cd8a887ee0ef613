#include "app/netupdate_hook.h"

#include "app/formcontrol.h"
#include "dbupdate/dbupdate.h"
#include "dbupdate/stream.h"
#include "platform/files.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <thread>

namespace zeph::app {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// An information page is a few kilobytes; a larger reply is not held in memory.
constexpr int64_t kMaxPageBytes = 8 << 20;

void centreOnScreen(QWidget* w)
{
    if (QScreen* s = QGuiApplication::primaryScreen()) w->move(s->availableGeometry().center() - w->rect().center());
}

// Engine texts break lines with a carriage return; Qt's plain text wants line feeds.
std::string forDisplay(std::string text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

constexpr int kButtonWidth = 75, kButtonHeight = 25;

}  // namespace

Answer NetUpdateDialogs::message(const std::string& caption, const std::string& text, Icon icon, Buttons buttons)
{
    return base_.message(caption, forDisplay(text), icon, buttons);
}

// TLoginForm: 328 by 223, banner, user name and password, OK and Cancel.
bool NetUpdateDialogs::login(LoginRequest& r)
{
    QDialog d(owner_, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    d.setWindowTitle(q(r.caption));
    d.resize(328, 223);
    auto* banner = new QFrame(&d);
    banner->setGeometry(0, 0, 320, 60);
    banner->setFrameShape(QFrame::NoFrame);
    banner->setStyleSheet("background: palette(highlight);");
    auto* userLabel = new QLabel("&User name: ", &d);
    userLabel->move(16, 80);
    auto* edit1 = new QLineEdit(&d);
    edit1->setObjectName("Edit1");
    edit1->setGeometry(104, 80, 193, 21);
    userLabel->setBuddy(edit1);
    auto* passLabel = new QLabel("&Password:", &d);
    passLabel->move(16, 112);
    auto* edit2 = new QLineEdit(&d);
    edit2->setObjectName("Edit2");
    edit2->setGeometry(104, 112, 193, 21);
    edit2->setEchoMode(QLineEdit::Password);
    passLabel->setBuddy(edit2);
    auto* ok = new QPushButton("OK", &d);
    ok->setObjectName("Button1");
    ok->setGeometry(144, 152, kButtonWidth, kButtonHeight);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", &d);
    cancel->setObjectName("Button2");
    cancel->setGeometry(224, 152, kButtonWidth, kButtonHeight);
    QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &d, &QDialog::reject);
    centreOnScreen(&d);
    edit1->setFocus();
    if (d.exec() != QDialog::Accepted) return false;
    r.user = edit1->text().toStdString();
    r.password = edit2->text().toStdString();
    return true;
}

// The page in a modal window; false when it cannot be fetched.
bool NetUpdateDialogs::showHtml(const std::string& url, const std::string&)
{
    QString html;
    if (url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0) {
        // Fetched beside the event loop, so that a slow server leaves the window responsive.
        zeph::dbu::MemoryStream page;
        std::string error;
        QEventLoop loop;
        std::thread fetch([&] {
            zeph::dbu::FetchUrl(url, page, error, kMaxPageBytes);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        fetch.join();
        bool ok = error.empty();
        html = QString::fromUtf8(page.bytes());
        if (!ok) return false;
    } else {
        std::string content;
        if (!fs::readFile(fs::toNative(url.rfind("file://", 0) == 0 ? url.substr(7) : url), content)) return false;
        html = QString::fromUtf8(content);
    }
    QDialog d(owner_);
    d.setWindowTitle(q(url));
    d.resize(640, 480);
    auto* view = new QTextBrowser(&d);
    view->setHtml(html);
    auto* lay = new QVBoxLayout(&d);
    lay->addWidget(view);
    centreOnScreen(&d);
    d.exec();
    return true;
}

// What's new and licence: 400 by 400, a read-only memo, and below it OK/Cancel or OK with the
// two choices.
bool NetUpdateDialogs::showText(const TextDialogRequest& r)
{
    QDialog d(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    d.setWindowTitle(q(r.caption));
    d.setFixedSize(400, 400);
    auto* memo = new QPlainTextEdit(&d);
    memo->setGeometry(10, 10, d.width() - 20, d.height() - 60);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setPlainText(q(forDisplay(r.text)));
    const int top = memo->geometry().bottom() + 1 + 10;
    const int right = memo->geometry().right() + 1;
    auto* ok = new QPushButton(q(r.okButton), &d);
    QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
    if (!r.licence) {
        ok->setGeometry(right - 2 * kButtonWidth - 10, top, kButtonWidth, kButtonHeight);
        auto* cancel = new QPushButton(q(r.cancelButton), &d);
        cancel->setGeometry(right - kButtonWidth, top, kButtonWidth, kButtonHeight);
        QObject::connect(cancel, &QPushButton::clicked, &d, &QDialog::reject);
        QWidget::setTabOrder(ok, cancel);
        ok->setDefault(true);
        centreOnScreen(&d);
        return d.exec() == QDialog::Accepted;
    }
    ok->setGeometry(right - kButtonWidth, top, kButtonWidth, kButtonHeight);
    auto* accept = new QRadioButton(q(r.acceptText), &d);
    accept->adjustSize();
    accept->move(10, top);
    auto* notAccept = new QRadioButton(q(r.notAcceptText), &d);
    notAccept->adjustSize();
    notAccept->move(accept->width() + 20, top);
    notAccept->setChecked(true);
    QWidget::setTabOrder(ok, accept);
    QWidget::setTabOrder(accept, notAccept);
    centreOnScreen(&d);
    d.exec();  // however it was closed, the choice decides
    return accept->isChecked();
}

NetUpdatePart::NetUpdatePart(TFormControl& form)
    : dialogs_(std::make_unique<NetUpdateDialogs>(form.prompter(), &form)), nu_(std::make_unique<nu::TNetUpdate>())
{
    nu::TNetUpdate& nu = *nu_;
    nu::ApplyControlPanelSettings(nu);
    nu.prompter = dialogs_.get();
    nu.pump = [] { QCoreApplication::processEvents(); };
    // The worker of a threaded run hands each call to the window's thread and waits for it.
    // Calls still queued when the application ends are dropped, which also releases the worker.
    nu.runOnMainThread = [](const std::function<void()>& call) {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, call, Qt::BlockingQueuedConnection);
    };
    nu.OnStatus = [&form](nu::TNetUpdate&, const std::string& text, int32_t code, int32_t err) { form.NetUpdateStatus(text, code, err); };
    nu.OnFileProgress = [&form](nu::TNetUpdate&, const std::string& f, int64_t pos, int64_t size) { form.NetUpdateFileProgress(f, pos, size); };
    nu.OnThreadUpdateDone = [&form](nu::TNetUpdate&) { form.NetUpdateThreadUpdateDone(); };
    nu.OnAppRestart = [&form](nu::TNetUpdate&, bool& allow) { form.NetUpdateAppRestart(allow); };
    nu.OnAppDoClose = [&form](nu::TNetUpdate&) { form.NetUpdateAppDoClose(); };
    form.hooks().startApplicationUpdate = [this](const std::string& url) {
        nu_->URL = url;
        nu_->StartThreadedUpdate();
    };
}

NetUpdatePart::~NetUpdatePart() = default;

}  // namespace zeph::app
