// The files last opened or saved: Feuillon's own list, kept with the other
// settings, and the desktop's list that file managers and other programs'
// file dialogs show.
#pragma once

#include <QMenu>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QTabWidget;

namespace recent {

// The list holds this many files, the last one opened or saved first.
constexpr int kept = 10;

// The files of the list that still exist, in its order.
QStringList files();
// Puts the file first; false when the settings store could not be written.
bool add(const QString &path);
bool clear();

// Adds the files to the freedesktop recently-used.xbel in the data home,
// leaving every other program's entry as it was. On failure *why says why.
bool add_to_desktop(const QStringList &paths, QString *why);
QString desktop_list_path();

// The desktop's list is read and written a moment after a file is added,
// with every file added meanwhile: opening many files in a row costs one
// read and one write of a list that may be long, not one per file.
class DesktopList : public QObject
{
public:
    using Tell = std::function<void(const QString &why)>;
    DesktopList(Tell tell, QObject *parent);
    // Writes what is still waiting; trouble then has nobody to be told to.
    ~DesktopList() override;
    void add(const QString &path);

private:
    void write();
    Tell tell;
    QStringList waiting;
    QTimer soon;
};

} // namespace recent

// "Fichiers récents": the files last opened or saved, read again each time
// it opens (another Feuillon may have added files meanwhile).
class RecentMenu : public QMenu
{
public:
    using Path = std::function<void(const QString &path)>;
    using Tell = std::function<void(const QString &text)>;
    // `open` opens a file chosen in the menu in a tab of its own (one open in
    // `tabs` already is brought to the front); `tell` says what went wrong
    // with the lists, once a run.
    RecentMenu(QWidget *window, QTabWidget *tabs, Path open, Tell tell);
    // A file opened or saved goes first in both lists.
    void remember(const QString &path);

private:
    void fill();
    void tell_once(const QString &text);
    void choose(const QString &path);
    Path open;
    Tell tell;
    QTabWidget *tabs;
    bool told = false;
    recent::DesktopList *desktop = nullptr;
};
