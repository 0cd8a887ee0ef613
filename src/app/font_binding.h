// The two fonts of the settings page between the window's Qt widgets and the property saver's
// stored form.
#pragma once

#include "desktop/font_settings.h"
#include "platform/prompter.h"

#include <QFont>
#include <functional>
#include <optional>

class QWidget;

namespace zeph::app {

QFont toQFont(const FontSpec& stored);
// The dialog's choice over the stored font: face, size and styles from the QFont; colour,
// character set and pitch, which the Qt dialog does not offer, stay as they were.
FontSpec fromQFont(const QFont& font, const FontSpec& before);
// The colour of a stored font; the system colours map to the palette's text colour.
QColor fontColor(const FontSpec& stored, const QWidget* w);

class FontBinding {
public:
    // window: the main window holding ctSampleCaptionFont, ctSampleDataFont, lblPopis, edData.
    FontBinding(QWidget* window, Prompter* errors);

    // Before FormCreate: load the stored fonts and give them to the buttons and previews.
    // A bad value reaches the error report; the rest still applies.
    void LoadProperties();
    // The font buttons: dialog, apply, SaveProperties and SaveStorage at once.
    void chooseFont(QWidget* button, bool captionFont);
    // Gives the fonts to the buttons, the previews and (caption font) the whole window.
    void apply();

    desk::TFontSettings& settings() { return settings_; }
    // The font dialog; replaceable in tests. nullopt when cancelled.
    std::function<std::optional<FontSpec>(const FontSpec& current, QWidget* parent)> dialog;

private:
    QWidget* window_;
    Prompter* errors_;
    desk::TFontSettings settings_;
};

}  // namespace zeph::app
