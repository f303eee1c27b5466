#pragma once

class QCoreApplication;

// Qt's own dialogs and buttons (Yes/No, the file, colour and font dialogs)
// speak French whatever the user's locale: they stand next to the program's
// own texts, which are French. Returns whether the translation was installed
// (Debian's qt6-translations-l10n ships it).
bool install_qt_translation(QCoreApplication &app);
