// The recovery journal of one run, as the window uses it: each editor given
// to it has its unsaved text kept on disk, so that a crash, a kill or a
// power cut loses at most the last second or so of typing.
//
// A document is copied whole once, then each edit is appended to a log
// that follows the copy; the log is synced every `edits_ms`. A new copy is
// made when the log has grown large, and the log starts again. Reading the
// text happens on the window's thread (a big document in slices); encoding
// and writing on a writer thread of its own.
#pragma once

#include "journal.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class DocumentCopy;
class QTextEdit;
class QThreadPool;

struct JournalTimings {
    int edits_ms = 1000;             // an edit is on disk this long after it is made, at most
    qsizetype slice_chars = 1 << 20; // bigger documents are read in slices
    qint64 slice_ms = 8;             // each slice keeps the window this long at most
    qint64 log_limit = 1 << 20;      // past this much log, a new copy is made
};

class RecoveryJournal : public QObject
{
    Q_OBJECT

public:
    // What an entry says of a document besides its text and id: its path,
    // title, form and file, asked each time a copy is made.
    using Describe = std::function<journal::Entry(QTextEdit *)>;
    RecoveryJournal(QObject *parent, Describe describe, JournalTimings timings = {});
    ~RecoveryJournal() override;

    // Keeps the editor's unsaved text from now on, until it is saved or
    // forgotten; the journal follows the document's signals itself.
    void track(QTextEdit *editor);
    // The editor's tab is closed: its copy goes.
    void forget(QTextEdit *editor);
    // Everything on disk now (a signal, a log-out, before old entries go).
    void flush();
    // A normal end: what still has unsaved changes stays for the next
    // start; the rest goes with the run's folder.
    void finish();
    // Into the folder of discarded texts, so that a mistaken answer can be
    // taken back with any file manager; false after telling the trouble.
    // A text the user dropped, in its document's own encoding and line
    // ends, under its file's name (or its title).
    bool keep(const journal::Entry &text);
    bool keep(QTextEdit *editor);
    // A file's bytes, exactly, before they are written over.
    bool keep_file(const QString &path);

    bool usable() const;
    const JournalTimings &timings() const { return times; }

signals:
    // Something could not be written; said once per run.
    void trouble();

private:
    friend class DocumentCopy;
    void soon(int ms);
    void pass(bool now);
    void copy(DocumentCopy *document, bool now);
    void copy_slices();
    void write_copy(DocumentCopy *document, const QString &text, bool now);
    void run_on_writer(std::function<bool(journal::Run &)> job, bool now);
    void tell_trouble();
    bool keep(const QString &name, const QByteArray &bytes);

    Describe describe;
    const JournalTimings times;
    std::unique_ptr<journal::Run> run;
    std::unique_ptr<QThreadPool> writer;
    QTimer timer;
    QTimer slices;
    QList<QPointer<DocumentCopy>> documents;
    int serial = 0;
    bool trouble_told = false;
};
