// Big files: the first lines show at once, the rest goes in slice by slice
// while the window goes on answering, and a file the machine cannot hold is
// not opened blindly.
#include "loading.h"
#include "bigfile.h"
#include "docinfo.h"
#include "fp.h"
#include "ui_fp.h"
#include "watch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPromise>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThreadPool>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// Enough for the first screenful on any screen.
constexpr qint64 head_bytes = 64 * 1024;
// Each slice keeps the window busy about this long, its layout included.
constexpr qint64 slice_low_ms = 15;
constexpr qint64 slice_high_ms = 40;
constexpr qsizetype smallest_slice = 4 * 1024;
constexpr qsizetype largest_slice = 4 * 1024 * 1024;
// The text waits in pieces of about this many characters (bytes, as
// decoded straight from the file).
constexpr qsizetype piece_chars = 1024 * 1024;
constexpr int message_ms = 5000;
// A slice taking this long is no ordinary slice.
constexpr qint64 stalled_ms = 300;

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
} // namespace

bool DocumentLoad::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && refused_key &&
        edits_text(static_cast<QKeyEvent *>(event)))
        std::exchange(refused_key, nullptr)();
    return false;
}

// Asks before a file that would crowd the memory out, or is huge; refuses
// one that cannot be held at all. True when the file may be read.
bool fp::room_to_open(const QString &path, qint64 size)
{
    const bigfile::Memory memory = bigfile::memory();
    const bigfile::Room room = bigfile::room_for(size, memory);
    if (room == bigfile::Room::Enough)
        return true;
    const QString name = QFileInfo(path).fileName();
    const QString needed = bigfile::size_text(size * bigfile::memory_per_byte);
    const QString available =
        memory.available < 0 ? tr("inconnue") : bigfile::size_text(memory.available);
    if (room == bigfile::Room::Refuse) {
        QMessageBox box(QMessageBox::Critical, tr("Erreur"),
                        tr("Le fichier «\u00A0%1\u00A0» est trop gros pour être ouvert.").arg(name),
                        QMessageBox::Ok, this);
        box.setInformativeText(
            tr("Il fait %1\u00A0; l'ouvrir demanderait environ %2 de mémoire, et seuls %3 sont "
               "disponibles. Les documents ouverts ne sont pas touchés.\nFichier\u00A0: %4")
                .arg(bigfile::size_text(size), needed, available, QDir::toNativeSeparators(path)));
        box.exec();
        return false;
    }
    QMessageBox box(QMessageBox::Question, tr("Fichier volumineux"),
                    tr("Le fichier «\u00A0%1\u00A0» fait %2. Voulez-vous l'ouvrir\u00A0?")
                        .arg(name, bigfile::size_text(size)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(tr("L'ouvrir demandera environ %1 de mémoire (%2 disponibles) et "
                              "peut ralentir tout l'ordinateur.")
                               .arg(needed, available));
    box.setDefaultButton(QMessageBox::No);
    return answer(box) == QMessageBox::Yes;
}

// Shows the first lines and reads the whole file on a worker thread. False,
// after telling the user, when the file cannot be read.
bool fp::begin_load(QTextEdit *editor, const QString &path)
{
    const textfile::ReadResult head = textfile::read(path, head_bytes);
    if (head.status != textfile::ReadStatus::Read) {
        tell_file_error(tr("Impossible de lire le fichier !!!"), head.failure, path);
        return false;
    }
    docinfo *doc = docinfo::of(editor);
    auto *load = new DocumentLoad(doc, path);
    doc->load = load;
    load->shown = bigfile::whole_lines(head.text);
    // No typing, no undo step, no save until the whole text is in; moving
    // through what is in already works with the keys too.
    editor->setReadOnly(true);
    editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    editor->setPlainText(load->shown);
    load->refused_key = [this, path] {
        statusBar()->showMessage(tr("Le fichier «\u00A0%1\u00A0» est en lecture seule jusqu'à la "
                                    "fin de son chargement.")
                                     .arg(QFileInfo(path).fileName()),
                                 message_ms);
    };
    editor->installEventFilter(load);
    editor->document()->setUndoRedoEnabled(false);
    editor->document()->setModified(false);
    load->done = load->shown.size();
    doc->undecodable = false;
    doc->form = head.form;
    ui->onglet->setTabText(ui->onglet->indexOf(editor), QFileInfo(path).fileName());

    auto promise = std::make_shared<QPromise<std::shared_ptr<LoadedFile>>>();
    load->reading.setFuture(promise->future());
    connect(&load->reading, &QFutureWatcherBase::finished, load, [this, editor, load] {
        if (docinfo::of(editor)->load == load)
            load_arrived(editor);
    });
    // A timer, not a queued call: the other timers (the journal, the text
    // cursor, a watched file) come in turn between slices instead of waiting
    // for the end of the load.
    load->next.setSingleShot(true);
    load->next.setInterval(0);
    connect(&load->next, &QTimer::timeout, load, [this, editor, load] {
        if (docinfo::of(editor)->load == load)
            load_slice(editor);
    });
    QThreadPool::globalInstance()->start([promise, path] {
        promise->start();
        auto file = std::make_shared<LoadedFile>();
        file->read = textfile::readInPieces(path, piece_chars, &file->pieces);
        if (!file->read.text.isEmpty())
            file->pieces = bigfile::pieces(std::exchange(file->read.text, QString()), piece_chars);
        for (const QString &piece : std::as_const(file->pieces))
            file->length += piece.size();
        promise->addResult(std::move(file));
        promise->finish();
    });
    if (editor == cur_editor()) {
        show_form();
        show_load_progress();
    }
    return true;
}

void fp::load_arrived(QTextEdit *editor)
{
    docinfo *doc = docinfo::of(editor);
    DocumentLoad *load = doc->load;
    // Once only, whatever the watcher says: the text is moved out below.
    if (!load || load->read)
        return;
    const QFuture<std::shared_ptr<LoadedFile>> future = load->reading.future();
    if (future.resultCount() == 0 && !future.isFinished())
        return;
    // Moved, not copied: the future would hold the text until the end. A
    // worker that ended without a text counts as a failed read.
    LoadedFile file;
    file.read.failure = textfile::Failure::Other;
    if (future.resultCount() > 0)
        file = std::move(*future.result());
    load->read = true;
    const textfile::ReadResult &read = file.read;
    if (read.status != textfile::ReadStatus::Read) {
        // Gone or changed into something unreadable meanwhile: the tab holds
        // only part of it, which must never be taken for the file.
        const QString path = load->path;
        stop_loading(editor);
        editor->clear();
        editor->document()->setModified(false);
        doc->forget();
        if (editor == cur_editor())
            mirror_path();
        ui->onglet->setTabText(ui->onglet->indexOf(editor), QStringLiteral("Nouveau Fichier"));
        tell_file_error(tr("Impossible de lire le fichier !!!"), read.failure, path);
        return;
    }
    load->pieces = std::move(file.pieces);
    load->length = file.length;
    doc->undecodable = read.undecodable;
    doc->form = read.form;
    took_file(editor, read.fingerprint);
    // The first lines were decoded on their own; the whole file may have
    // said otherwise (bytes further on that are not UTF-8).
    if (load->pieces.isEmpty() || !load->pieces.first().startsWith(load->shown))
        load->done = 0;
    load->offset = load->done;
    load->shown.clear();
    if (editor == cur_editor())
        show_form();
    load_slice(editor);
}

void fp::load_slice(QTextEdit *editor)
{
    docinfo *doc = docinfo::of(editor);
    DocumentLoad *load = doc->load;
    if (!load)
        return;
    if (load->pieces.isEmpty()) {
        if (load->done == 0)
            editor->setPlainText(QString());
        end_load(editor);
        return;
    }
    QElapsedTimer took;
    took.start();
    const QString piece = load->pieces.first();
    qsizetype end = bigfile::slice_end(piece, load->offset, load->slice);
    QString slice =
        end - load->offset == piece.size() ? piece : piece.mid(load->offset, end - load->offset);
    if (load->all_at_once) {
        // The rest in one go: every insertion now costs as much as the
        // largest one would.
        slice = piece.mid(load->offset) + load->pieces.mid(1).join(QString());
        load->pieces = QStringList{piece};
        end = piece.size();
    }
    if (load->done == 0) {
        // setPlainText keeps the editor's cursor at the start.
        editor->setPlainText(slice);
    } else {
        QTextCursor at_end(editor->document());
        at_end.movePosition(QTextCursor::End);
        at_end.insertText(slice);
    }
    editor->document()->setModified(false);
    load->done += slice.size();
    load->offset = end;
    if (end == piece.size()) {
        load->pieces.removeFirst();
        load->offset = 0;
        give_memory_back();
    }
    const qint64 ms = took.elapsed();
    // Past some size (about a million and a half lines), Qt's layout of the
    // editor lays out far more than the inserted text on each insertion:
    // a slice then costs seconds whatever its size, and slices would never
    // end. A slow slice is followed by the smallest one; if that one is
    // slow too, or a slice took seconds, the cost no longer depends on the
    // size.
    if (ms > stalled_ms) {
        load->all_at_once = load->probing || ms > 10 * stalled_ms;
        load->probing = true;
        load->slice = smallest_slice;
    } else if (load->probing) {
        load->probing = false;
        load->slice = DocumentLoad::first_slice;
    } else if (ms < slice_low_ms)
        load->slice = qMin(load->slice * 2, largest_slice);
    else if (ms > slice_high_ms)
        load->slice = qMax(load->slice / 2, smallest_slice);
    if (!load->pieces.isEmpty()) {
        if (editor == cur_editor())
            show_load_progress();
        load->next.start();
        return;
    }
    end_load(editor);
}

// The document as a one-call load leaves it: unmodified, no undo history.
void fp::end_load(QTextEdit *editor)
{
    docinfo *doc = docinfo::of(editor);
    const QString path = doc->load->path;
    stop_loading(editor);
    // A change made by another program while the file was read is looked at
    // now that the text can be compared and reloaded.
    if (disk_watch)
        disk_watch->soon(path);
    if (doc->undecodable)
        warn_undecodable(path, doc->form);
}

// Ends a load under way, leaving in the editor what is in: the caller
// empties the tab, closes it or reads another file into it.
void fp::stop_loading(QTextEdit *editor)
{
    docinfo *doc = docinfo::of(editor);
    if (!doc->load)
        return;
    // Later: this may run inside one of the load's own signals. Whatever it
    // still has queued checks that it is the editor's load first.
    DocumentLoad *load = std::exchange(doc->load, nullptr);
    load->next.stop();
    load->pieces.clear();
    load->deleteLater();
    editor->document()->setUndoRedoEnabled(true);
    editor->document()->setModified(false);
    editor->setReadOnly(false);
    if (editor == cur_editor())
        show_load_progress();
}

// True, after telling the user, when the document cannot be changed or
// written yet.
bool fp::busy_loading(QTextEdit *editor)
{
    if (!editor || !docinfo::of(editor)->loading())
        return false;
    statusBar()->showMessage(tr("Le fichier «\u00A0%1\u00A0» n'est pas encore entièrement "
                                "chargé\u00A0: patientez un instant.")
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
    const int percent = load->read && load->length > 0 ? int(load->done * 100 / load->length) : 0;
    load_label->setText(tr("Chargement… %1 %").arg(percent));
    load_label->show();
}

// Named, since a file read in slices may end while another tab is in front
// and two files may be opened at once; the encoding said is the one the file
// was taken to be.
void fp::warn_undecodable(const QString &path, const textfile::Form &form)
{
    QMessageBox box(QMessageBox::Warning, tr("Attention"),
                    tr("Ce fichier contient des octets qui ne sont pas du texte %1 "
                       "valide. Ils sont affichés comme «\u00A0\uFFFD\u00A0» et seront remplacés "
                       "si vous enregistrez le fichier.")
                        .arg(textfile::charsetName(form)),
                    QMessageBox::Ok, this);
    box.setInformativeText(tr("Fichier\u00A0: %1").arg(QDir::toNativeSeparators(path)));
    box.exec();
}
