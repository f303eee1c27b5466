// Following a file another program changed: what a growing file gained goes
// at the end of the text, read on a worker thread; any other change reads
// the whole file again.
#pragma once

#include "growth.h"

#include <QFutureWatcher>
#include <QObject>

class QTextEdit;

// What the file of an editor gained since its text last matched it, read on
// a worker thread: the start of a big file is hashed again without the
// window waiting. The editor's record's (docinfo::growth) until it ends.
class GrowthRead : public QObject
{
    Q_OBJECT

public:
    explicit GrowthRead(QTextEdit *editor);

signals:
    // Once, with what was found; the read is let go after.
    void ended(const growth::Growth &growth);

private:
    QFutureWatcher<growth::Growth> reading;
};

// Whether the text of this editor may follow its file by what the file
// gained: it has no unsaved changes, and a form its file's bytes showed.
bool may_append(QTextEdit *editor);

// Puts the text the file gained at the end, as a file that grows is read:
// the view follows when the cursor was at the end, and stays otherwise.
// Appends in a row make one undo step with the reload before them, if any.
void append_from_disk(QTextEdit *editor, const QString &text);

// Lets go of the undo history of the document before its file's text
// replaces it: only the text just before a reload stays one step away, so
// a file rewritten all day holds the memory of two texts, not of every one.
void keep_one_version(QTextEdit *editor);
