#include "app/help_viewer.h"

#include "platform/process.h"
#include "platform/textcodec.h"

#include <QLabel>
#include <QTextBrowser>
#include <QUrl>

namespace zeph::app {

namespace {

// "/a/b.htm" + "../img/x.gif" -> "/img/x.gif"
std::string resolveInside(const std::string& base, const std::string& rel)
{
    if (!rel.empty() && rel[0] == '/') return rel;
    std::string folder = base.substr(0, base.find_last_of('/') + 1);
    std::vector<std::string> parts;
    std::string joined = folder + rel, cur;
    for (char c : joined + "/") {
        if (c != '/') {
            cur += c;
            continue;
        }
        if (cur == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!cur.empty() && cur != ".") {
            parts.push_back(cur);
        }
        cur.clear();
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

// A browser whose pictures and style sheets come from the help file.
class ChmBrowser : public QTextBrowser {
public:
    std::function<std::optional<std::string>(const std::string&)> fetch;
    std::string topic;
    QVariant loadResource(int type, const QUrl& name) override
    {
        if (fetch && name.scheme().isEmpty()) {
            std::string path = resolveInside(topic, name.path().toStdString());
            if (auto data = fetch(path)) return QByteArray(data->data(), qsizetype(data->size()));
        }
        return QTextBrowser::loadResource(type, name);
    }
};

}  // namespace

ChmHelpViewer::~ChmHelpViewer()
{
    delete browser_;
    delete popup_;
}

QWidget* ChmHelpViewer::window() const { return browser_; }
QWidget* ChmHelpViewer::popup() const { return popup_; }

bool ChmHelpViewer::htmlHelp(const std::string& file, unsigned command, const desk::HelpData& data,
                             const desk::HHPopup* popup)
{
    desk::HelpPage page = desk::resolveHelpPage(file, command, data, popup);
    if (page.closeAll) {
        if (browser_) browser_->close();
        if (popup_) popup_->close();
        return false;
    }
    if (!page.error.empty()) {
        if (errors_) errors_->message("Nápověda", page.error, Icon::Error, Buttons::Ok);
        return false;
    }
    if (page.chmPath != chmPath_ || !chm_) {
        chm_ = desk::TChmFile::open(page.chmPath);
        chmPath_ = page.chmPath;
        if (!chm_) return false;
    }
    if (!page.popupText.empty()) {
        if (!popup_) {
            popup_ = new QLabel;
            popup_->setWindowFlags(Qt::ToolTip);
            popup_->setWordWrap(true);
            popup_->setMargin(6);
            popup_->setObjectName("helpPopup");
        }
        popup_->setText(QString::fromStdString(page.popupText));
        popup_->adjustSize();
        popup_->move(page.popupAt.x, page.popupAt.y);
        popup_->show();
        return true;
    }
    showTopic(page.topic);
    return true;
}

bool ChmHelpViewer::winHelp(const std::string& file, unsigned command, const desk::HelpData&)
{
    if (command == desk::HELP_QUIT) return false;
    if (errors_)
        errors_->message("Nápověda", "Nápovědu ve formátu " + file + " nelze na tomto systému zobrazit.", Icon::Error,
                         Buttons::Ok);
    return false;
}

void ChmHelpViewer::showTopic(const std::string& topic)
{
    if (!browser_) {
        auto* b = new ChmBrowser;
        b->setObjectName("helpWindow");
        b->setOpenLinks(false);
        b->resize(760, 560);
        b->fetch = [this](const std::string& path) { return chm_ ? chm_->read(path) : std::nullopt; };
        QObject::connect(b, &QTextBrowser::anchorClicked, b, [this](const QUrl& url) { linkClicked(url); });
        browser_ = b;
    }
    topic_ = topic;
    auto html = chm_->read(topic);
    static_cast<ChmBrowser*>(browser_.data())->topic = topic;
    browser_->setHtml(QString::fromStdString(text::fromAnsi(html.value_or(""))));
    std::string title = chm_->title();
    browser_->setWindowTitle(QString::fromStdString(title.empty() ? "Nápověda" : text::fromAnsi(title)));
    browser_->show();
    browser_->raise();
    browser_->activateWindow();
}

void ChmHelpViewer::linkClicked(const QUrl& url)
{
    if (!url.scheme().isEmpty() && url.scheme() != "ms-its" && url.scheme() != "mk") {
        proc::startArgs({"xdg-open", url.toString().toStdString()}, {"", true, true});
        return;
    }
    std::string path = url.path().toStdString();
    if (size_t sep = path.find("::"); sep != std::string::npos) path = path.substr(sep + 2);
    std::string target = resolveInside(topic_, path);
    if (chm_ && chm_->read(target)) showTopic(target);
    if (url.hasFragment()) browser_->scrollToAnchor(url.fragment());
}

}  // namespace zeph::app
