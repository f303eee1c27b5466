// The recovery journal: copies of unsaved documents kept on disk while the
// program runs, so that a crash, a kill or a power cut loses nothing the
// user typed more than a few seconds before; and the folder of texts the
// user chose to drop, kept for a while in case the answer was a mistake.
#pragma once

#include "encoding.h"
#include "fingerprint.h"

#include <QDateTime>
#include <QList>
#include <QLockFile>
#include <QString>
#include <memory>

namespace journal {

// What is needed to put a document back.
struct Entry {
    QString id;    // unique within one run's folder
    QString path;  // the document's file, empty for a new document
    QString title; // its tab's title
    QDateTime written;
    QString text;
    QString file;        // where the entry lies on disk (set when read back)
    textfile::Form form; // the encoding and line ends its file is written in
    Fingerprint disk;    // its file as the text last matched it
    // Each new copy of a document takes the next generation; the edits
    // made since, logged in "<id>.<generation>.log", bring it up to date.
    int generation = 0;
};

// One edit of a document, as its log keeps it: `removed` characters at `at`
// replaced by `added`, leaving a text of `length` characters.
struct Edit {
    int at = 0;
    int removed = 0;
    QString added;
    int length = 0;
};
QByteArray encode(const Edit &edit);
// Applies the log's edits to the text in order. Stops before a damaged or
// cut-off record, or one that does not fit the text (the log then ends
// there); returns how many were applied.
int replay(const QByteArray &log, QString *text);

// One file per entry: a header line of JSON, then the text in UTF-8, so a
// copy of a big document costs one write and no escaping.
QByteArray encode(const Entry &entry);
// False for a damaged, truncated or foreign file; *newer is set for an
// entry written by a later version, which is left alone.
bool decode(const QByteArray &bytes, Entry *entry, bool *newer = nullptr);

// Folders under the user's data folder (XDG_DATA_HOME).
QString journal_root();
QString discarded_root();

// The journal of this run. Each run owns a folder of its own, held by a
// lock file for as long as it runs: another Feuillon running at the same
// time never offers, changes or deletes these entries.
class Run
{
public:
    // Also makes the program's folders the user's alone, as older versions
    // did not.
    Run();
    ~Run();
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    bool usable() const { return lock != nullptr; }
    // Writes the entry whole (a power cut leaves the old one or the new
    // one) and returns whether it is on disk; the logs of its older
    // generations go.
    bool write(const Entry &entry);
    // Appends records to the log of this generation and syncs them.
    bool append(const QString &id, int generation, const QByteArray &records);
    // The entry and its logs.
    void remove(const QString &id);
    bool empty() const;
    // A normal end: the folder and its lock go. Entries left for the next
    // start keep the folder, which the next run then finds unlocked.
    void finish();

private:
    QString folder;
    std::unique_ptr<QLockFile> lock;
};

// An entry file with the edits of its log applied. False for a damaged,
// truncated or foreign file; *newer is set for one of a later version.
bool read_back(const QString &file, Entry *entry, bool *newer = nullptr);

// Entries of runs that are no longer running, each folder locked by the
// caller while it is offered so that two new runs never offer the same one.
struct Orphans {
    QList<Entry> entries; // their logs replayed
    QStringList damaged;  // files that could not be read back, left in place
    QList<std::shared_ptr<QLockFile>> locks;
    QStringList folders;
};
Orphans find_orphans();
// The orphans' entries are no longer needed (restored, or discarded).
void drop_orphans(Orphans &orphans);

// Writes these bytes into the discarded folder, readable by the user alone,
// as "2026-12-07 10.15.03 note.txt" for the name "note.txt". Returns its
// path, or empty on failure.
QString discard(const QString &name, const QByteArray &bytes);
// Older than seven days, or beyond 200 MB (oldest first): removed.
void clean_discarded(qint64 cap = 200ll * 1024 * 1024, int days = 7);

} // namespace journal
