// The files last opened or saved: Feuillon's own list, kept with the other
// settings, and the desktop's list that file managers and other programs'
// file dialogs show.
#pragma once

#include <QString>
#include <QStringList>

namespace recent {

// The list holds this many files, the last one opened or saved first.
constexpr int kept = 10;

// The files of the list that still exist, in its order.
QStringList files();
// Puts the file first; false when the settings store could not be written.
bool add(const QString &path);
bool clear();

// Adds the file to the freedesktop recently-used.xbel in the data home,
// leaving every other program's entry as it was. On failure *why says why.
bool add_to_desktop(const QString &path, QString *why);
QString desktop_list_path();

} // namespace recent
