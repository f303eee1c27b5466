// A file changed by another program, followed by a document without
// unsaved changes (or whose user said to): appended lines at the cost of
// what was appended, anything else by reading the whole file again.
#include "follow.h"
#include "bigfile.h"
#include "docinfo.h"
#include "fp.h"
#include "loading.h"
#include "textfile.h"
#include "watch.h"

#include <QFileInfo>
#include <QPromise>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThreadPool>
#include <QTimer>

#include <limits>

namespace {
// The start of a big file is hashed again a second apart at most: a log
// written ten times a second costs one check a second, not ten, and each
// new line still shows within about a second.
constexpr int big_check_ms = 1000;
} // namespace

GrowthRead::GrowthRead(QTextEdit *editor) : QObject(docinfo::of(editor))
{
    docinfo *doc = docinfo::of(editor);
    doc->growth = this;
    connect(&reading, &QFutureWatcherBase::finished, this, [this, doc] {
        doc->growth = nullptr;
        doc->growth_read.start();
        const QFuture<growth::Growth> future = reading.future();
        emit ended(future.resultCount() > 0 ? future.result() : growth::Growth());
        deleteLater();
    });
    const bool big = doc->disk.size >= bigfile::slice_from && doc->growth_read.isValid();
    const qint64 wait = big ? qMax<qint64>(0, big_check_ms - doc->growth_read.elapsed()) : 0;
    QTimer::singleShot(int(wait), this, [this, doc] {
        auto promise = std::make_shared<QPromise<growth::Growth>>();
        reading.setFuture(promise->future());
        QThreadPool::globalInstance()->start([promise, was = doc->disk, form = doc->form] {
            promise->start();
            promise->addResult(growth::read_appended(was, form));
            promise->finish();
        });
    });
}

bool may_append(QTextEdit *editor)
{
    const docinfo *doc = docinfo::of(editor);
    return !doc->unsaved() && !doc->undecodable && !doc->loading() && doc->disk.exists &&
           doc->disk.size > 0;
}

namespace {
// The cursor at the end and the view at the bottom, as tail -f shows a file.
void show_end(QTextEdit *editor)
{
    editor->moveCursor(QTextCursor::End);
    editor->verticalScrollBar()->setValue(editor->verticalScrollBar()->maximum());
}

// The undo step the file's last text made, as the document counts them.
std::pair<int, int> last_step(QTextDocument *document)
{
    return {document->revision(), document->availableUndoSteps()};
}
} // namespace

void append_from_disk(QTextEdit *editor, const QString &text)
{
    if (text.isEmpty())
        return;
    QTextDocument *document = editor->document();
    docinfo *doc = docinfo::of(editor);
    const QTextCursor mine = editor->textCursor();
    const bool follows = mine.atEnd() && !mine.hasSelection();
    const int scrolled = editor->verticalScrollBar()->value();
    // Nothing happened since the file's text last went in: the same step,
    // so that "Annuler" takes back a whole run of appends at once.
    const bool join = doc->followed == last_step(document);
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    join ? end.joinPreviousEditBlock() : end.beginEditBlock();
    end.insertText(text);
    end.endEditBlock();
    document->setModified(false);
    doc->followed = last_step(document);
    if (follows)
        show_end(editor);
    else
        editor->verticalScrollBar()->setValue(scrolled);
}

void keep_one_version(QTextEdit *editor)
{
    QTextDocument *document = editor->document();
    if (document->availableUndoSteps() + document->availableRedoSteps() == 0)
        return;
    // Turning undo off lets the text the history held go, not only the steps.
    document->setUndoRedoEnabled(false);
    document->setUndoRedoEnabled(true);
}

// The cursor of a view that follows the end of its file, as tail -f does.
constexpr int at_end = std::numeric_limits<int>::max();

// The whole text of the file went in: its facts are the document's now, and
// the cursor and the view are where they were, as far as the text goes.
static void took_whole(QTextEdit *editor, const textfile::ReadResult &read, int position,
                       int scrolled)
{
    docinfo *doc = docinfo::of(editor);
    editor->document()->setModified(false);
    doc->undecodable = read.undecodable;
    // The file may come back in another encoding or with other line ends.
    doc->form = read.form;
    doc->followed = last_step(editor->document());
    QTextCursor back(editor->document());
    back.setPosition(qMin(position, editor->document()->characterCount() - 1));
    editor->setTextCursor(back);
    if (position == at_end)
        show_end(editor);
    else
        editor->verticalScrollBar()->setValue(scrolled);
}

// Follows the file: by what it gained when it only grew (unless `whole`),
// else by its whole text, as one edit that "Annuler" takes back. A big file
// is read again slice by slice, read-only until in, like an open. False when
// the file cannot be read now (looked at again later).
bool fp::reload_from_disk(QTextEdit *editor, bool whole)
{
    const QString path = docinfo::of(editor)->disk.path;
    if (!whole && may_append(editor)) {
        const quint64 was = docinfo::of(editor)->disk.hash;
        auto *read = new GrowthRead(editor);
        connect(read, &GrowthRead::ended, this, [=](const growth::Growth &grown) {
            docinfo *doc = docinfo::of(editor);
            // Typed into or saved meanwhile: looked at again, as it is now.
            if (!may_append(editor) || doc->disk.hash != was || doc->disk.path != path) {
                disk_watch->soon(path);
                return;
            }
            if (grown.found == growth::Found::Same || grown.found == growth::Found::Appended) {
                append_from_disk(editor, grown.text);
                took_file(editor, grown.fingerprint);
            } else if (grown.found != growth::Found::Rewritten || !reload_from_disk(editor, true)) {
                return;
            }
            if (!grown.text.isEmpty() || grown.found == growth::Found::Rewritten)
                if (disk_watch->first_of_burst(path))
                    tell_disk_changes(statusBar(), {path}, {});
        });
        return true;
    }
    const QTextCursor mine = editor->textCursor();
    const int position = mine.atEnd() && !mine.hasSelection() ? at_end : mine.position();
    const int scrolled = editor->verticalScrollBar()->value();
    if (QFileInfo(path).size() >= bigfile::slice_from) {
        keep_one_version(editor);
        return begin_load(editor, path, [=](const textfile::ReadResult &read) {
            took_whole(editor, read, position, scrolled);
        });
    }
    const textfile::ReadResult read = textfile::read(path);
    if (read.status != textfile::ReadStatus::Read)
        return false;
    keep_one_version(editor);
    QTextCursor all(editor->document());
    all.beginEditBlock();
    all.select(QTextCursor::Document);
    all.insertText(read.text);
    all.endEditBlock();
    took_whole(editor, read, position, scrolled);
    if (editor == cur_editor())
        show_form();
    took_file(editor, read.fingerprint);
    return true;
}
