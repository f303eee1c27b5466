// Drives the settings window and its shared, non-modal colour and font
// dialogs the way a user does: open the window from the menu, click a
// settings button, choose a value in the dialog and press its OK button.
#pragma once

#include "window.h"

#include <QAction>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QPushButton>
#include <QSettings>

namespace feuillon_test {

inline QStringList storedKeys()
{
    QSettings s(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
    QStringList keys = s.allKeys();
    keys.sort();
    return keys;
}

inline QString stored(const char *key)
{
    QSettings s(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
    return s.value(QLatin1String(key)).toString();
}

inline void storeValues(const QList<QPair<QString, QString>> &values)
{
    QSettings s(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
    for (const auto &kv : values)
        s.setValue(kv.first, kv.second);
    s.sync();
}

inline void clearStore()
{
    QSettings s(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
    s.clear();
    s.sync();
}

// Opens the settings window through "Outils" > "Option".
inline QWidget *openSettings(fp &window)
{
    action(window, "actionOption")->trigger();
    return topLevel("settings_window");
}

inline QPushButton *settingsButton(int number)
{
    QWidget *settings = topLevel("settings_window");
    return settings ? settings->findChild<QPushButton *>(QStringLiteral("set_bt%1").arg(number))
                    : nullptr;
}

inline QColorDialog *colorDialog()
{
    return qobject_cast<QColorDialog *>(topLevel("color_dialog"));
}
inline QFontDialog *fontDialog()
{
    return qobject_cast<QFontDialog *>(topLevel("font_dialog"));
}

inline void pressOk(QWidget *dialog)
{
    auto *box = dialog->findChild<QDialogButtonBox *>();
    if (box && box->button(QDialogButtonBox::Ok))
        box->button(QDialogButtonBox::Ok)->click();
}

inline void confirmColour(const QColor &colour)
{
    colorDialog()->setCurrentColor(colour);
    pressOk(colorDialog());
}

inline void confirmFont(const QFont &font)
{
    fontDialog()->setCurrentFont(font);
    pressOk(fontDialog());
}

// Settings button `number` of an open settings window, then a confirmed colour.
inline void pickColour(int number, const QColor &colour)
{
    settingsButton(number)->click();
    confirmColour(colour);
}

// The colour that settings button `number` stands for, as the window shows it.
inline QColor shownColour(fp &window, int number)
{
    const QPalette shown = number <= 2 ? currentEditor(window)->palette() : window.palette();
    const QPalette::ColorRole roles[] = {QPalette::Text, QPalette::Base, QPalette::NoRole,
                                         QPalette::WindowText, QPalette::Window};
    return shown.color(roles[number - 1]);
}

inline void pickFont(int number, const QFont &font)
{
    settingsButton(number)->click();
    confirmFont(font);
}

} // namespace feuillon_test
