#include "app/font_binding.h"

#include <QFontDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zeph::app {

QFont toQFont(const FontSpec& stored)
{
    QFont f(QString::fromStdString(stored.name));
    f.setPointSize(stored.sizePt > 0 ? stored.sizePt : 8);
    f.setBold(stored.bold);
    f.setItalic(stored.italic);
    f.setUnderline(stored.underline);
    f.setStrikeOut(stored.strikeOut);
    if (stored.pitch == 2) f.setFixedPitch(true);
    f.setStyleHint(stored.pitch == 2 ? QFont::TypeWriter : QFont::SansSerif);
    return f;
}

FontSpec fromQFont(const QFont& font, const FontSpec& before)
{
    FontSpec s = before;
    s.name = font.family().toStdString();
    int pt = font.pointSize();
    if (pt <= 0 && font.pixelSize() > 0) pt = desk::fontSizeOf(font.pixelSize());
    if (pt > 0) s.sizePt = pt;
    s.bold = font.bold();
    s.italic = font.italic();
    s.underline = font.underline();
    s.strikeOut = font.strikeOut();
    return s;
}

QColor fontColor(const FontSpec& stored, const QWidget* w)
{
    if (stored.color & 0x80000000u) return w ? w->palette().color(QPalette::WindowText) : QColor(Qt::black);
    return QColor(int(stored.color & 0xFF), int((stored.color >> 8) & 0xFF), int((stored.color >> 16) & 0xFF));
}

FontBinding::FontBinding(QWidget* window, Prompter* errors) : window_(window), errors_(errors)
{
    dialog = [](const FontSpec& current, QWidget* parent) -> std::optional<FontSpec> {
        bool ok = false;
        QFont chosen = QFontDialog::getFont(&ok, toQFont(current), parent, QString::fromUtf8("Písmo"));
        if (!ok) return std::nullopt;
        return fromQFont(chosen, current);
    };
}

void FontBinding::LoadProperties()
{
    try {
        settings_.Load();
    } catch (const std::exception& e) {
        if (errors_) errors_->showError(e.what());
    }
    apply();
}

void FontBinding::apply()
{
    auto* caption = window_->findChild<QPushButton*>("ctSampleCaptionFont");
    auto* data = window_->findChild<QPushButton*>("ctSampleDataFont");
    auto* popis = window_->findChild<QLabel*>("lblPopis");
    auto* edData = window_->findChild<QLineEdit*>("edData");
    QFont cf = toQFont(settings_.captionFont), df = toQFont(settings_.dataFont);
    window_->setFont(cf);
    if (caption) caption->setFont(cf);
    if (popis) {
        popis->setFont(cf);
        QPalette p = popis->palette();
        p.setColor(QPalette::WindowText, fontColor(settings_.captionFont, window_));
        popis->setPalette(p);
    }
    if (data) data->setFont(df);
    if (edData) {
        edData->setFont(df);
        // The preview's colour is the data font's colour; its background follows the list.
        edData->setStyleSheet(QStringLiteral("color: %1;").arg(fontColor(settings_.dataFont, window_).name()));
    }
}

void FontBinding::chooseFont(QWidget* button, bool captionFont)
{
    FontSpec& font = captionFont ? settings_.captionFont : settings_.dataFont;
    auto chosen = dialog ? dialog(font, button ? button->window() : window_) : std::nullopt;
    if (!chosen) return;
    font = *chosen;
    apply();
    try {
        settings_.Save();
    } catch (const std::exception& e) {
        if (errors_) errors_->showError(e.what());
    }
}

}  // namespace zeph::app
