// The files of the open tabs, watched for changes made by other programs.
#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>

#include "fingerprint.h"

// What to do with a tab whose file was looked at: a pure rule, so that it is
// checked without a window.
enum class DiskAction {
    Nothing, // as it was, or already said
    Settle,  // the same bytes: take the file's new facts (it may be back)
    Reload,  // changed, and the text has no unsaved changes: follow the file
    Ask,     // changed under unsaved changes: the user decides
    MarkGone // deleted: the text exists nowhere else now
};
DiskAction disk_action(fingerprint::Verdict verdict, bool unsaved, bool marked_gone);

class QStatusBar;

// One message in the status bar for what was reloaded and what was deleted.
void tell_disk_changes(QStatusBar *bar, const QStringList &reloaded, const QStringList &gone);

class DiskWatch : public QObject
{
public:
    // `look` runs once requests made close together have settled.
    DiskWatch(QObject *parent, std::function<void()> look);

    // A look at this path, or at every open file, soon.
    void soon(const QString &path);
    void soon_all();
    // The requests gathered since the last look; clears them.
    QSet<QString> take(bool *all);
    // Asks again later: nothing may be asked or reloaded just now.
    void later();
    // Whether this change of the file is the first of a burst of changes,
    // the only one the user is told of.
    bool first_of_burst(const QString &path);

    // Watches this path (again: a file replaced by rename is a new file,
    // and the system stops watching it).
    void follow(const QString &path);
    // Watches exactly these paths; those that cannot be watched (missing,
    // or the system's limit reached) are looked at by a timer instead.
    void follow_only(const QSet<QString> &paths, const QSet<QString> &renew);

    QFileSystemWatcher watcher;

private:
    QTimer settle;
    QTimer poll;
    QSet<QString> requested;
    QHash<QString, QElapsedTimer> changed;
    bool requested_all = false;
};
