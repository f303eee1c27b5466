#include "recoveryjournal.h"
#include "textfile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThreadPool>

#include <utility>

// What the journal knows of one document: its copy on disk, the edits not
// written yet, and a copy being read in slices. A child of the editor, so it
// goes with its tab.
class DocumentCopy : public QObject
{
public:
    DocumentCopy(RecoveryJournal *journal, QTextEdit *editor, const QString &id)
        : QObject(editor), editor(editor), id(id), journal(journal)
    {
        QTextDocument *document = editor->document();
        length = document->characterCount() - 1;
        connect(document, &QTextDocument::contentsChange, this, &DocumentCopy::changed);
        // Saved (the copy goes), or marked modified without an edit.
        connect(document, &QTextDocument::modificationChanged, this,
                [this] { this->journal->soon(0); });
    }

    bool copying() const { return next_block >= 0; }
    bool needs_copy(const JournalTimings &times) const
    {
        return generation == 0 || !log_follows || logged > times.log_limit;
    }
    void reset()
    {
        generation = 0;
        edits.clear();
        logged = 0;
        log_follows = false;
        copied.clear();
        next_block = -1;
    }

    QTextEdit *const editor;
    const QString id;
    int generation = 0;       // of the copy on disk; 0: none
    QByteArray edits;         // records not written yet
    qint64 logged = 0;        // bytes in the log of this generation
    bool log_follows = false; // the edits since the copy on disk are all logged
    int length = 0;           // of the text after the last edit seen
    // A copy read in slices: the text so far and the next block (-1: none).
    QString copied;
    int next_block = -1;

private:
    void changed(int at, int removed, int added);
    void follow_in_copy(int at, int removed, int added);
    RecoveryJournal *journal;
};

namespace {
// The text of a range as the document's text file holds it.
QString text_at(QTextDocument *document, int at, int count)
{
    QTextCursor range(document);
    range.setPosition(at);
    range.setPosition(qMin(at + count, document->characterCount() - 1), QTextCursor::KeepAnchor);
    QString text = range.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}
} // namespace

// Qt counts the document's last paragraph break in an edit that reaches
// the end: the log keeps what the text file holds, and an edit that does
// not add up breaks the log until the next copy, never the text.
void DocumentCopy::changed(int at, int removed, int added)
{
    if (copying())
        follow_in_copy(at, removed, added);
    QTextDocument *document = editor->document();
    const int now = document->characterCount() - 1;
    // A change bigger than the log may hold (an undone "Suprimer Tout", a
    // paste of a whole file) is not read here: the next copy holds it.
    if (log_follows && at <= length && added <= journal->timings().log_limit) {
        const QString text = text_at(document, at, added);
        if (length - qMin(removed, length - at) + text.size() == now)
            edits += journal::encode(journal::Edit{at, removed, text, now});
        else
            log_follows = false;
    } else {
        log_follows = false;
    }
    if (!log_follows)
        edits.clear();
    length = now;
    journal->soon(generation == 0 ? 0 : journal->timings().edits_ms);
}

// Typing while a big document is copied: the part already copied takes the
// change, so the copy goes on and holds the text as it is now. Dropping it
// instead would mean that steady typing never lets any copy end.
void DocumentCopy::follow_in_copy(int at, int removed, int added)
{
    QTextDocument *document = editor->document();
    // The copy ends with the last copied block; the separator after it is
    // at position copied, and the next block starts one further.
    const int done = next_block == 0 ? -1 : int(copied.size());
    if (at + removed <= done) {
        copied.replace(at, removed, text_at(document, at, added));
        next_block = document->findBlock(int(copied.size()) + 1).blockNumber();
    } else if (at <= done) {
        // Across the end of the copy: copied again from the changed block.
        const QTextBlock from = document->findBlock(at);
        copied.truncate(from.blockNumber() == 0 ? 0 : from.position() - 1);
        next_block = from.blockNumber();
    }
    // Further on, the blocks are read as they are when their turn comes.
}

RecoveryJournal::RecoveryJournal(QObject *parent, Describe describe, JournalTimings timings)
    : QObject(parent), describe(std::move(describe)), times(timings),
      run(std::make_unique<journal::Run>()), writer(std::make_unique<QThreadPool>())
{
    // One thread, so the copies and logs of a document reach the disk in order.
    writer->setMaxThreadCount(1);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, [this] { pass(false); });
    slices.setSingleShot(true);
    slices.setInterval(0);
    connect(&slices, &QTimer::timeout, this, &RecoveryJournal::copy_slices);
    if (!run->usable())
        QMetaObject::invokeMethod(this, &RecoveryJournal::tell_trouble, Qt::QueuedConnection);
    journal::clean_discarded();
}

// The writer's jobs hold the run: they end first.
RecoveryJournal::~RecoveryJournal()
{
    writer.reset();
}

bool RecoveryJournal::usable() const
{
    return run->usable();
}

void RecoveryJournal::track(QTextEdit *editor)
{
    documents << new DocumentCopy(this, editor, QString::number(++serial));
    if (editor->document()->isModified())
        soon(0);
}

void RecoveryJournal::forget(QTextEdit *editor)
{
    documents.removeAll(nullptr);
    for (const QPointer<DocumentCopy> &found : std::as_const(documents)) {
        if (found->editor != editor)
            continue;
        DocumentCopy *document = found.data();
        documents.removeAll(document);
        if (document->generation > 0) {
            const QString id = document->id;
            run_on_writer([id](journal::Run &run) { return run.remove(id), true; }, false);
        }
        delete document;
        return;
    }
}

void RecoveryJournal::flush()
{
    pass(true);
}

void RecoveryJournal::finish()
{
    pass(true);
    run->finish();
}

namespace {
// A dropped text as its file would have held it: the document's own encoding
// and line ends, or UTF-8 when the encoding cannot hold every character.
QByteArray kept_bytes(const QString &text, textfile::Form form)
{
    qsizetype unencodable = -1;
    QByteArray bytes = textfile::encode(text, form, &unencodable);
    if (unencodable < 0)
        return bytes;
    form.charset = textfile::Charset::Utf8;
    form.mark = false;
    return textfile::encode(text, form, &unencodable);
}
} // namespace

bool RecoveryJournal::keep(const journal::Entry &text)
{
    // The file's own name; a text without a file is named by its tab.
    const QString name =
        text.path.isEmpty() ? text.title + QStringLiteral(".txt") : QFileInfo(text.path).fileName();
    return keep(name, kept_bytes(text.text, text.form));
}

bool RecoveryJournal::keep(QTextEdit *editor)
{
    journal::Entry text = describe(editor);
    text.text = textfile::documentText(*editor->document());
    return keep(text);
}

bool RecoveryJournal::keep_file(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return true; // nothing there to keep
    return keep(QFileInfo(path).fileName(), file.readAll());
}

bool RecoveryJournal::keep(const QString &name, const QByteArray &bytes)
{
    if (!journal::discard(name, bytes).isEmpty())
        return true;
    tell_trouble();
    return false;
}

// A pass already due at least this soon stays as it is: steady typing never
// puts the next write off.
void RecoveryJournal::soon(int ms)
{
    if (!timer.isActive() || timer.remainingTime() > ms)
        timer.start(ms);
}

// Copies the documents that need a new copy, logs the edits of the others
// and takes away the copies of documents that are saved again. With `now`
// everything is written before it returns.
void RecoveryJournal::pass(bool now)
{
    timer.stop();
    documents.removeAll(nullptr);
    for (DocumentCopy *document : std::as_const(documents)) {
        if (!document->editor->document()->isModified()) {
            if (document->generation > 0) {
                const QString id = document->id;
                run_on_writer([id](journal::Run &run) { return run.remove(id), true; }, now);
            }
            document->reset();
            continue;
        }
        if ((document->needs_copy(times) && !document->copying()) || (now && document->copying()))
            copy(document, now);
        if (document->edits.isEmpty() || !document->log_follows || document->generation == 0)
            continue;
        const QByteArray edits = std::exchange(document->edits, QByteArray());
        document->logged += edits.size();
        const QString id = document->id;
        const int generation = document->generation;
        run_on_writer([id, generation,
                       edits](journal::Run &run) { return run.append(id, generation, edits); },
                      now);
    }
    if (now)
        writer->waitForDone();
}

// A small document is read at once; a big one in slices between which the
// window goes on answering. One chain of slices at a time.
void RecoveryJournal::copy(DocumentCopy *document, bool now)
{
    QTextDocument *text = document->editor->document();
    if (now || text->characterCount() < times.slice_chars) {
        document->next_block = -1;
        document->copied.clear();
        write_copy(document, textfile::documentText(*text), now);
        return;
    }
    document->next_block = 0;
    document->copied.clear();
    document->copied.reserve(text->characterCount());
    if (!slices.isActive())
        slices.start();
}

void RecoveryJournal::copy_slices()
{
    QElapsedTimer took;
    took.start();
    bool more = false;
    for (DocumentCopy *document : std::as_const(documents)) {
        if (!document || !document->copying())
            continue;
        QTextBlock block = document->editor->document()->findBlockByNumber(document->next_block);
        for (; block.isValid() && took.elapsed() < times.slice_ms; block = block.next()) {
            if (block.blockNumber() > 0)
                document->copied += QLatin1Char('\n');
            document->copied += block.text();
        }
        if (block.isValid()) {
            document->next_block = block.blockNumber();
            more = true;
            continue;
        }
        document->next_block = -1;
        write_copy(document, std::exchange(document->copied, QString()), false);
    }
    if (more)
        slices.start();
}

// The copy becomes the next generation: edits from now on follow it.
void RecoveryJournal::write_copy(DocumentCopy *document, const QString &text, bool now)
{
    journal::Entry entry = describe(document->editor);
    entry.id = document->id;
    entry.written = QDateTime::currentDateTime();
    entry.text = text;
    entry.generation = ++document->generation;
    document->edits.clear();
    document->logged = 0;
    document->length = int(text.size());
    document->log_follows = document->length == document->editor->document()->characterCount() - 1;
    run_on_writer([entry](journal::Run &run) { return run.write(entry); }, now);
}

void RecoveryJournal::run_on_writer(std::function<bool(journal::Run &)> job, bool now)
{
    journal::Run *target = run.get();
    if (now) {
        writer->waitForDone();
        if (!job(*target))
            tell_trouble();
        return;
    }
    writer->start([this, target, job] {
        if (!job(*target))
            QMetaObject::invokeMethod(this, &RecoveryJournal::tell_trouble, Qt::QueuedConnection);
    });
}

void RecoveryJournal::tell_trouble()
{
    if (trouble_told)
        return;
    trouble_told = true;
    emit trouble();
}
