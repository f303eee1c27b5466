// Big files: the first lines show at once, the rest goes in slice by slice
// while the window goes on answering, and a file the machine cannot hold is
// not opened blindly.
#include "loading.h"
#include "docinfo.h"
#include "fp.h"
#include "questions.h"
#include "recoveryjournal.h"
#include "tabs.h"
#include "ui_fp.h"
#include "watch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPromise>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>
#include <QThreadPool>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// Enough for the first screenful on any screen.
constexpr qint64 head_bytes = 64 * 1024;
// The text waits in pieces of about this many characters (bytes, as
// decoded straight from the file).
constexpr qsizetype piece_chars = 1024 * 1024;
constexpr int message_ms = 5000;

// A piece is made on the reading thread, and the allocator keeps its memory
// for that thread once it is freed: the document, growing on this one, would
// take as much again. Handed back, the peak stays that of a one-call load.
void give_memory_back()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

bool edits_text(const QKeyEvent *key)
{
    static const QKeySequence::StandardKey edits[] = {QKeySequence::Paste,
                                                      QKeySequence::Cut,
                                                      QKeySequence::Undo,
                                                      QKeySequence::Redo,
                                                      QKeySequence::Delete,
                                                      QKeySequence::Backspace,
                                                      QKeySequence::InsertParagraphSeparator};
    for (const QKeySequence::StandardKey edit : edits)
        if (key->matches(edit))
            return true;
    return !key->text().isEmpty() && key->text().at(0).isPrint();
}

std::shared_ptr<LoadedFile> read_whole(const QString &path)
{
    auto file = std::make_shared<LoadedFile>();
    file->read = textfile::readInPieces(path, piece_chars, &file->pieces);
    if (!file->read.text.isEmpty())
        file->pieces = bigfile::pieces(std::exchange(file->read.text, QString()), piece_chars);
    for (const QString &piece : std::as_const(file->pieces))
        file->length += piece.size();
    return file;
}

// Putting the text into a document is most of an open's cost: done here, on
// the worker, the window's thread only takes the document once it is whole.
// It has no layout yet, and gets the heights the editor's layout would give.
void build_document(LoadedFile &file, const LazyLayout::Measure &measure, LoadProgress &progress,
                    QThread *window_thread)
{
    progress.total = file.length;
    auto *document = new QTextDocument;
    document->setUndoRedoEnabled(false);
    {
        QTextCursor at(document);
        for (QString &piece : file.pieces) {
            if (progress.stopped)
                break;
            at.insertText(piece);
            progress.built += piece.size();
            piece = QString();
        }
    }
    file.pieces.clear();
    if (progress.stopped) {
        delete document;
        return;
    }
    give_memory_back();
    LazyLayout::estimate_all(document, measure);
    document->setModified(false);
    document->moveToThread(window_thread);
    file.document.reset(document);
}
} // namespace

DocumentLoad::DocumentLoad(QTextEdit *editor, const QString &path, const QString &shown,
                           const textfile::Form &form)
    : QObject(docinfo::of(editor)), path(path), editor(editor), shown(shown)
{
    docinfo *doc = docinfo::of(editor);
    doc->load = this;
    doc->undecodable = false;
    doc->form = form;
    editor->setPlainText(shown);
    editor->document()->setUndoRedoEnabled(false);
    editor->document()->setModified(false);
    in = shown.size();
    start();
}

DocumentLoad::DocumentLoad(QTextEdit *editor, const QString &path)
    : QObject(docinfo::of(editor)), path(path), editor(editor), again(true)
{
    start();
}

void DocumentLoad::start()
{
    docinfo::of(editor)->load = this;
    // No typing, no undo step, no save until the whole text is in; moving
    // through what is in already works with the keys too.
    editor->setReadOnly(true);
    editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    editor->installEventFilter(this);

    // A timer, not a queued call: the other timers (the journal, the text
    // cursor, a watched file) come in turn between slices instead of waiting
    // for the end of the load.
    next.setSingleShot(true);
    next.setInterval(0);
    connect(&next, &QTimer::timeout, this, &DocumentLoad::next_slice);
    // The first lines are painted before the worker starts: reading 100 MB
    // beside that first paint made it take five times as long.
    read_soon.setSingleShot(true);
    connect(&read_soon, &QTimer::timeout, this, &DocumentLoad::read_file);
    if (again) {
        read_soon.start(0);
    } else {
        first_paint = editor->viewport();
        first_paint->installEventFilter(this);
        read_soon.start(first_paint_wait_ms);
    }
}

void DocumentLoad::read_file()
{
    if (first_paint)
        first_paint->removeEventFilter(this);
    auto promise = std::make_shared<QPromise<std::shared_ptr<LoadedFile>>>();
    reading.setFuture(promise->future());
    connect(&reading, &QFutureWatcherBase::finished, this, &DocumentLoad::arrived);
    // Read again, the text goes in as one undo step over the older one: in
    // slices, into the same document.
    if (!again)
        measure = LazyLayout::measure_of(editor);
    if (measure)
        next.start(progress_ms);
    QThreadPool::globalInstance()->start([promise, path = path, measure = measure,
                                          progress = worker, to = QThread::currentThread()] {
        promise->start();
        std::shared_ptr<LoadedFile> file = read_whole(path);
        if (measure && file->read.status == textfile::ReadStatus::Read)
            build_document(*file, *measure, *progress, to);
        promise->addResult(file);
        promise->finish();
    });
}

int DocumentLoad::percent() const
{
    if (!read)
        return worker->total > 0 ? int(worker->built * 100 / worker->total) : 0;
    return length > 0 ? int(in * 100 / length) : 0;
}

void DocumentLoad::hand_over(QTextDocument *document)
{
    const QPointer<QTextDocument> old = editor->document();
    // Where the user went in the first lines while the file was read; the
    // editor may delete the old document with its cursors.
    const int anchor = editor->textCursor().anchor(), position = editor->textCursor().position();
    const auto *shown_in = qobject_cast<LazyLayout *>(old->documentLayout());
    LazyLayout::TopOfView top = shown_in ? shown_in->top_of_view() : LazyLayout::TopOfView();
    top.at_bottom = false;
    // Zoomed while the file was read: the layout measures again.
    document->setDefaultFont(old->defaultFont());
    LazyLayout *layout = LazyLayout::install(editor, document, *measure);
    editor->setExtraSelections({});
    editor->setDocument(document);
    document->setParent(editor);
    const int end = document->characterCount() - 1;
    QTextCursor now(document);
    now.setPosition(qMin(anchor, end));
    now.setPosition(qMin(position, end), QTextCursor::KeepAnchor);
    editor->setTextCursor(now);
    layout->back_to(top);
    // The editor lets go only of the document it made itself.
    if (old && old->parent() == editor)
        old->deleteLater();
    emit replaced();
}

bool DocumentLoad::eventFilter(QObject *watched, QEvent *event)
{
    // The worker starts once the first paint is done. The viewport is
    // compared, not asked of the editor: events come while it is destroyed.
    if (event->type() == QEvent::Paint) {
        if (watched == first_paint && read_soon.isActive())
            read_soon.start(0);
        return false;
    }
    if (!told && event->type() == QEvent::KeyPress && edits_text(static_cast<QKeyEvent *>(event))) {
        told = true;
        emit refused_key();
    }
    return false;
}

void DocumentLoad::stop_in(QTextEdit *editor)
{
    if (DocumentLoad *load = docinfo::of(editor)->load)
        load->stop();
}

void DocumentLoad::stop()
{
    docinfo *doc = docinfo::of(editor);
    if (doc->load != this)
        return;
    // Later: this may run inside one of the load's own signals. What it
    // still has queued finds it stopped.
    doc->load = nullptr;
    next.stop();
    read_soon.stop();
    worker->stopped = true;
    pieces.clear();
    editor->removeEventFilter(this);
    if (first_paint)
        first_paint->removeEventFilter(this);
    editor->document()->setUndoRedoEnabled(true);
    editor->document()->setModified(false);
    editor->setReadOnly(false);
    emit stopped();
    deleteLater();
}

void DocumentLoad::arrived()
{
    // Once only, whatever the watcher says: the text is moved out below.
    const QFuture<std::shared_ptr<LoadedFile>> future = reading.future();
    if (read || docinfo::of(editor)->load != this ||
        (future.resultCount() == 0 && !future.isFinished()))
        return;
    read = true;
    // Moved, not copied: the future would hold the text until the end. A
    // worker that ended without a text counts as a failed read.
    LoadedFile file;
    file.read.failure = textfile::Failure::Other;
    if (future.resultCount() > 0)
        file = std::move(*future.result());
    facts = std::move(file.read);
    if (facts.status != textfile::ReadStatus::Read) {
        stop();
        emit ended(facts);
        return;
    }
    pieces = std::move(file.pieces);
    length = file.length;
    if (file.document) {
        hand_over(file.document.release());
        in = length;
        stop();
        emit ended(facts);
        return;
    }
    // The first lines were decoded on their own; the whole file may have
    // said otherwise (bytes further on that are not UTF-8).
    if (pieces.isEmpty() || !pieces.first().startsWith(shown))
        in = 0;
    offset = in;
    shown.clear();
    next_slice();
}

// The next slice of the first piece, or all that is left once slices have
// stopped paying off.
QString DocumentLoad::take_slice()
{
    const QString piece = pieces.first();
    if (pace.all_at_once) {
        const QString rest = piece.mid(offset) + pieces.mid(1).join(QString());
        pieces.clear();
        return rest;
    }
    const qsizetype end = bigfile::slice_end(piece, offset, pace.chars);
    const QString slice = end - offset == piece.size() ? piece : piece.mid(offset, end - offset);
    offset = end;
    if (end == piece.size()) {
        pieces.removeFirst();
        offset = 0;
    }
    return slice;
}

// The first slice replaces what the editor shows; the others go at the
// end. Read again, the text's old version stays one undo step away.
void DocumentLoad::put_in(const QString &slice)
{
    QTextCursor at(editor->document());
    if (in == 0 && !again) {
        // setPlainText keeps the editor's cursor at the start.
        editor->setPlainText(slice);
    } else if (in == 0) {
        at.beginEditBlock();
        at.select(QTextCursor::Document);
        at.insertText(slice);
        at.endEditBlock();
    } else {
        at.movePosition(QTextCursor::End);
        again ? at.joinPreviousEditBlock() : at.beginEditBlock();
        at.insertText(slice);
        at.endEditBlock();
    }
    editor->document()->setModified(false);
}

void DocumentLoad::next_slice()
{
    if (docinfo::of(editor)->load != this)
        return;
    // The worker builds the whole document: only how far it is.
    if (!read) {
        emit progress();
        next.start(progress_ms);
        return;
    }
    if (!pieces.isEmpty()) {
        QElapsedTimer took;
        took.start();
        const QString slice = take_slice();
        put_in(slice);
        in += slice.size();
        if (offset == 0)
            give_memory_back();
        pace.took(took.elapsed());
    } else if (in == 0) {
        put_in(QString());
    }
    if (!pieces.isEmpty()) {
        emit progress();
        next.start(0);
        return;
    }
    stop();
    emit ended(facts);
}

// Shows the first lines and reads the whole file on a worker thread. False,
// after telling the user, when the file cannot be read. With `again`, the
// file is read again into the older text the editor holds, and `again` runs
// once the whole new text is in.
bool fp::begin_load(QTextEdit *editor, const QString &path, const ReloadEnd &again)
{
    DocumentLoad *load = nullptr;
    if (again) {
        load = new DocumentLoad(editor, path);
    } else {
        const textfile::ReadResult head = textfile::read(path, head_bytes);
        if (head.status != textfile::ReadStatus::Read) {
            tell_file_error(this, tr("Impossible de lire le fichier !!!"), head.failure, path);
            return false;
        }
        load = new DocumentLoad(editor, path, bigfile::whole_lines(head.text), head.form);
        ui->onglet->setTabText(ui->onglet->indexOf(editor), QFileInfo(path).fileName());
    }
    // Also when stopped from outside: the progress goes with the load.
    for (auto signal : {&DocumentLoad::progress, &DocumentLoad::stopped})
        connect(load, signal, this, [this, editor] {
            if (editor == cur_editor())
                show_load_progress();
        });
    // The journal and the tab's mark follow the document built on the worker.
    connect(load, &DocumentLoad::replaced, this, [this, editor] {
        recovery->forget(editor);
        recovery->track(editor);
        follow_modified_document(ui->onglet, editor);
    });
    connect(load, &DocumentLoad::refused_key, this, [this, path] {
        statusBar()->showMessage(tr("Le fichier «\u00A0%1\u00A0» est en lecture seule jusqu'à la "
                                    "fin de son chargement.")
                                     .arg(QFileInfo(path).fileName()),
                                 message_ms);
    });
    connect(load, &DocumentLoad::ended, this,
            [this, editor, path, again](const textfile::ReadResult &read) {
                if (!again)
                    return load_ended(editor, path, read);
                // Not read: the older text stays, as it was.
                if (read.status == textfile::ReadStatus::Read)
                    again(read), took_file(editor, read.fingerprint);
                if (editor == cur_editor())
                    show_form(), show_load_progress();
                disk_watch->soon(path);
            });
    if (editor == cur_editor()) {
        show_form();
        show_load_progress();
    }
    return true;
}

// The document as a one-call load leaves it: unmodified, no undo history;
// or, when the file could not be read whole, an empty tab without a path:
// part of a file must never be taken for the file.
void fp::load_ended(QTextEdit *editor, const QString &path, const textfile::ReadResult &read)
{
    docinfo *doc = docinfo::of(editor);
    if (editor == cur_editor())
        show_load_progress();
    if (read.status != textfile::ReadStatus::Read) {
        editor->clear();
        editor->document()->setModified(false);
        doc->forget();
        if (editor == cur_editor())
            mirror_path();
        ui->onglet->setTabText(ui->onglet->indexOf(editor), QStringLiteral("Nouveau Fichier"));
        tell_file_error(this, tr("Impossible de lire le fichier !!!"), read.failure, path);
        return;
    }
    doc->undecodable = read.undecodable;
    doc->form = read.form;
    took_file(editor, read.fingerprint);
    if (editor == cur_editor())
        show_form();
    // A change made by another program while the file was read is looked at
    // now that the text can be compared and reloaded.
    disk_watch->soon(path);
    if (doc->undecodable)
        warn_undecodable(this, path, doc->form);
}

// True, after telling the user, when the document cannot be changed or
// written yet.
bool busy_loading(QStatusBar *bar, QTextEdit *editor)
{
    if (!editor || !docinfo::of(editor)->loading())
        return false;
    bar->showMessage(QCoreApplication::translate("fp", "Le fichier «\u00A0%1\u00A0» n'est pas "
                                                       "encore entièrement chargé\u00A0: "
                                                       "patientez un instant.")
                         .arg(QFileInfo(docinfo::of(editor)->load->path).fileName()),
                     message_ms);
    return true;
}

void fp::show_load_progress()
{
    QTextEdit *editor = cur_editor();
    const DocumentLoad *load = editor ? docinfo::of(editor)->load : nullptr;
    if (!load) {
        if (load_label)
            load_label->hide();
        return;
    }
    if (!load_label)
        show_form();
    load_label->setText(tr("Chargement… %1 %").arg(load->percent()));
    load_label->show();
}
