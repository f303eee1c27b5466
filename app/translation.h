#pragma once

#include <QLocale>

class QCoreApplication;

// Qt's own dialogs and buttons (Yes/No, the file, colour and font dialogs)
// speak the user's language where Qt ships a translation for it. The
// program's own texts are French already and are not translated.
// Returns whether a translation was installed.
bool install_qt_translation(QCoreApplication &app, const QLocale &locale = QLocale());
