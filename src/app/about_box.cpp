#include "app/about_box.h"

#include "netupdate/file_version.h"
#include "platform/process.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>


namespace zeph::app {

const char* const kMakerCopyright = "© 1998-2013 Varnholt s.r.o.";
const char* const kMakerEmail = "podpora@varnholt.cz";
const char* const kMakerWeb = "http://www.varnholt.cz";

namespace {

constexpr const char* kTitle = "Zephlon - Překladové slovníky";

QFont tahoma()
{
    QFont f("Tahoma");
    f.setPixelSize(11);
    return f;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, int w = -1, int h = -1)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFont(tahoma());
    if (w > 0) l->setGeometry(x, y, w, h);
    else {
        l->adjustSize();
        l->move(x, y);
    }
    return l;
}

QFrame* line(QWidget* parent, const char* name, int x, int y, int w)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(x, y, w, 2);
    return f;
}

QLabel* link(QWidget* parent, const char* name, const char* text, int x, int y)
{
    QLabel* l = label(parent, name, QString::fromUtf8(text), x, y);
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    l->setStyleSheet("color: blue;");
    l->setCursor(Qt::PointingHandCursor);
    l->adjustSize();
    return l;
}

}  // namespace

TFrmAbout2::TFrmAbout2(QWidget* owner) : QDialog(owner)
{
    // FormCreate: the program's icon; both strings empty until the creator sets them.
    setObjectName("FrmAbout2");
    setWindowTitle(QString::fromUtf8("O aplikaci"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(381, 198);
    setFont(tahoma());

    auto* image = new QLabel(this);
    image->setObjectName("Image1");
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    image->setPixmap(icon.pixmap(32, 32));
    image->setGeometry(8, 6, 32, 32);

    QFont titleFont("Arial");
    titleFont.setPixelSize(16);
    titleFont.setBold(true);
    // Label2 in white one pixel lower right under Label1: the title looks embossed.
    QLabel* l2 = label(this, "Label2", QString::fromUtf8(kTitle), 66, 10, 249, 19);
    l2->setFont(titleFont);
    l2->setStyleSheet("color: white; background: transparent;");
    QLabel* l1 = label(this, "Label1", QString::fromUtf8(kTitle), 65, 9, 249, 19);
    l1->setFont(titleFont);
    l1->setStyleSheet("background: transparent;");
    l1->raise();

    Label9 = label(this, "Label9", "Verze", 49, 32);
    lblVersion = label(this, "lblVersion", "", 105, 32, 260, 13);
    Label3 = label(this, "Label3", "Copyright", 49, 45);
    lblCopyRight = label(this, "lblCopyRight", "", 105, 45, 260, 13);
    line(this, "Bevel1", 45, 60, 322);

    auto* shadow = new QFrame(this);
    shadow->setObjectName("Shape2");
    shadow->setGeometry(49, 68, 305, 51);
    shadow->setStyleSheet("background: #808080; border: none;");
    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setGeometry(45, 64, 305, 51);
    panel->setStyleSheet("QFrame#Panel1 { background: #FFFBF0; border: none; }");
    auto* shape1 = new QFrame(panel);
    shape1->setObjectName("Shape1");
    shape1->setGeometry(0, 0, 305, 51);
    shape1->setStyleSheet("background: white; border: none;");
    QLabel* l4 = label(panel, "Label4",
                       QString::fromUtf8("Oboustranné odborné překladové slovníky (angličtina, němčina, francouzština, "
                                         "ruština, španělština). Největší databáze odborných výrazů!"),
                       13, 4, 265, 39);
    l4->setWordWrap(true);
    l4->setStyleSheet("background: transparent;");
    line(this, "Bevel2", 45, 121, 322);

    label(this, "Label5", "E-Mail: ", 49, 127);
    Label7 = link(this, "Label7", kMakerEmail, 89, 127);
    label(this, "Label6", "WWW: ", 49, 143);
    Label8 = link(this, "Label8", kMakerWeb, 89, 143);
    Label7->installEventFilter(this);
    Label8->installEventFilter(this);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Button1");
    ok->setGeometry(152, 164, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    openAddress = [](const std::string& address) { proc::startArgs({"xdg-open", address}, {"", true, true}); };
}

void TFrmAbout2::showEvent(QShowEvent* e)
{
    lblVersion->setText(QString::fromStdString(versionText));
    lblCopyRight->setText(QString::fromStdString(copyrightText));
    Label9->setVisible(!versionText.empty());
    Label3->setVisible(!copyrightText.empty());
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(e);
}

bool TFrmAbout2::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        if (watched == Label7) Label7Click();
        else if (watched == Label8) Label8Click();
    }
    return QDialog::eventFilter(watched, e);
}

std::string TFrmAbout2::mailAddress() const
{
    // The subject goes in unchanged, without escaping.
    std::string subject = kTitle;
    if (!versionText.empty()) subject += ", ver. " + versionText;
    return "mailto:" + Label7->text().toStdString() + "?subject=" + subject + "&body=";
}

void TFrmAbout2::Label7Click()
{
    if (openAddress) openAddress(mailAddress());
}

void TFrmAbout2::Label8Click()
{
    if (openAddress) openAddress(Label8->text().toStdString());
}

void showAboutBox(QWidget* owner)
{
    TFrmAbout2 box(owner);
    box.versionText = nu::ProgramVersionText();
    box.copyrightText = kMakerCopyright;
    box.exec();
}

}  // namespace zeph::app
