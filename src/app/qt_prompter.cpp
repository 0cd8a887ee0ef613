#include "app/qt_prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace zeph::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}

Answer QtPrompter::message(const std::string& caption, const std::string& text, Icon icon, Buttons buttons)
{
    QMessageBox box(owner_);
    box.setWindowTitle(q(caption.empty() ? QApplication::applicationName().toStdString() : caption));
    // Several product texts break lines with "\n\r" or "\r\n": show one line break either way.
    QString t = q(text);
    t.replace("\r\n", "\n").replace("\n\r", "\n").replace('\r', '\n');
    box.setText(t);
    switch (icon) {
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::None: break;
    }
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case Buttons::Ok: set = QMessageBox::Ok; break;
    case Buttons::OkCancel: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNo: set = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case Buttons::RetryCancel: set = QMessageBox::Retry | QMessageBox::Cancel; break;
    case Buttons::AbortRetryIgnore: set = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore; break;
    }
    box.setStandardButtons(set);
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Ignore: return Answer::Ignore;
    default: return Answer::Cancel;
    }
}

void QtPrompter::showError(const std::string& text)
{
    QMessageBox::critical(owner_, QApplication::applicationName(), q(text));
}

std::string qtFilter(const std::string& windowsFilter)
{
    // Pairs "description|pattern|description|pattern": Qt takes the descriptions, which carry the patterns.
    std::string out;
    size_t start = 0;
    bool description = true;
    while (start <= windowsFilter.size()) {
        size_t bar = windowsFilter.find('|', start);
        std::string part = windowsFilter.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (description && !part.empty()) out += (out.empty() ? "" : ";;") + part;
        description = !description;
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return out;
}

std::vector<std::string> QtPrompter::openFiles(const FileDialogRequest& r)
{
    std::vector<std::string> out;
    QString filter = q(qtFilter(r.filter));
    if (r.multiSelect) {
        for (auto& f : QFileDialog::getOpenFileNames(owner_, q(r.title), q(r.folder), filter)) out.push_back(f.toStdString());
    } else {
        QString f = QFileDialog::getOpenFileName(owner_, q(r.title), q(r.folder), filter);
        if (!f.isEmpty()) out.push_back(f.toStdString());
    }
    return out;
}

}  // namespace zeph::app
