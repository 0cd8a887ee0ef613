// TFrmAbout2: the About box with the embossed title, the panel with its shadow and the
// e-mail and web links.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;

namespace zeph::app {

// The maker's details shown in the About box.
extern const char* const kMakerCopyright;
extern const char* const kMakerEmail;
extern const char* const kMakerWeb;

class TFrmAbout2 : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAbout2(QWidget* owner = nullptr);

    std::string versionText;
    std::string copyrightText;

    // The address a click opens; by default the desktop's opener (xdg-open). Tests replace it.
    std::function<void(const std::string& address)> openAddress;

    void Label7Click();  // the e-mail link
    void Label8Click();  // the web link
    std::string mailAddress() const;

    QLabel* Label9 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblCopyRight = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
};

// Button4Click: the About box with our version and the maker's copyright, modal.
void showAboutBox(QWidget* owner);

}  // namespace zeph::app
