// The recovery journal seen from the window: unsaved documents copied a
// short while after the last change, offered again after a run that did not
// end normally, and dropped texts kept in a folder for a while.
#include "app/endsignals.h"
#include "docinfo.h"
#include "fp.h"
#include "journal.h"
#include "textfile.h"
#include "ui_fp.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThreadPool>
#include <QTimer>

#include <utility>

namespace {
// A copy 2 s after typing stops, and at least every 10 s while it goes on.
constexpr int quiet_ms = 2000;
constexpr qint64 longest_wait_ms = 10000;
constexpr int told_ms = 10000;
// Bigger documents are read in slices of this long, so the window never
// stalls while the copy is made.
constexpr int slice_chars = 1 << 20;
constexpr qint64 slice_ms = 8;
} // namespace

void fp::end_on_signals()
{
    auto *signals_ = new EndSignals(this);
    connect(signals_, &EndSignals::received, this, [this] {
        ending_by_signal = true;
        write_journal(true);
        QCoreApplication::quit();
    });
    // A session manager that asks before the log-out: the saves are offered
    // as at the end of the run, and what gets no answer stays in the journal.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (manager.allowsInteraction()) {
            offer_save_at_exit();
            manager.release();
        }
        write_journal(true);
    });
}

void fp::start_journal()
{
    journal_run = std::make_unique<journal::Run>();
    journal_writer = std::make_unique<QThreadPool>();
    // One thread, so the copies of one document reach the disk in order.
    journal_writer->setMaxThreadCount(1);
    journal_timer = new QTimer(this);
    journal_timer->setSingleShot(true);
    connect(journal_timer, &QTimer::timeout, this, [this] { write_journal(false); });
    if (!journal_run->usable())
        tell_journal_trouble();
    journal::clean_discarded();
    // Once the window shows: the question needs it as its parent.
    QTimer::singleShot(0, this, &fp::offer_recovery);
}

void fp::journal_soon()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!journal_timer->isActive())
        journal_pending_since = now;
    // Typing that never pauses still gets copied now and then.
    if (now - journal_pending_since + quiet_ms <= longest_wait_ms || !journal_timer->isActive())
        journal_timer->start(quiet_ms);
}

// Copies every document whose text changed since its last copy and takes
// away the copies of documents that are saved again. Encoding and writing
// the copy happen on the writer thread; the text itself can only be read
// here, so a big document is read in slices between which the window goes on
// answering. When the program is about to end, everything is done at once.
void fp::write_journal(bool now)
{
    journal_timer->stop();
    for (int i = 0; i < ui->onglet->count(); ++i) {
        QTextEdit *editor = editor_at(i);
        if (!editor)
            continue;
        docinfo *doc = docinfo::of(editor);
        QTextDocument *document = editor->document();
        if (!document->isModified()) {
            doc->copy_block = -1;
            forget_journal(editor);
            continue;
        }
        if (doc->journaled_revision == document->revision())
            continue;
        if (now || document->characterCount() < slice_chars) {
            doc->copy_block = -1;
            journal_copy(editor, textfile::documentText(*document), now);
        } else if (doc->copy_block < 0 || doc->copy_revision != document->revision()) {
            doc->copy_block = 0;
            doc->copy_revision = document->revision();
            doc->copy.clear();
            doc->copy.reserve(document->characterCount());
        }
    }
    if (now)
        journal_writer->waitForDone();
    else
        copy_slices();
}

// One slice of every copy under way; a copy whose document changed since it
// began is left, as the change itself asks for a new one.
void fp::copy_slices()
{
    QElapsedTimer slice;
    slice.start();
    bool more = false;
    for (int i = 0; i < ui->onglet->count(); ++i) {
        QTextEdit *editor = editor_at(i);
        docinfo *doc = editor ? docinfo::of(editor) : nullptr;
        if (!doc || doc->copy_block < 0)
            continue;
        QTextDocument *document = editor->document();
        if (document->revision() != doc->copy_revision || !document->isModified()) {
            doc->copy_block = -1;
            doc->copy.clear();
            continue;
        }
        QTextBlock block = document->findBlockByNumber(doc->copy_block);
        for (; block.isValid() && slice.elapsed() < slice_ms; block = block.next()) {
            if (block.blockNumber() > 0)
                doc->copy += QLatin1Char('\n');
            doc->copy += block.text();
        }
        if (block.isValid()) {
            doc->copy_block = block.blockNumber();
            more = true;
            continue;
        }
        doc->copy_block = -1;
        journal_copy(editor, std::exchange(doc->copy, QString()), false);
    }
    if (more)
        QTimer::singleShot(0, this, &fp::copy_slices);
}

// Typing while a big document is copied: the part already copied takes the
// change, so the copy goes on and holds the text as it is now. Dropping it
// instead would mean that steady typing never lets any copy end.
void fp::follow_change_in_copy(QTextEdit *editor, int at, int removed, int added)
{
    docinfo *doc = docinfo::of(editor);
    if (doc->copy_block < 0)
        return;
    QTextDocument *document = editor->document();
    // The copy ends with the last copied block; the separator after it is
    // at position copied, and the next block starts one further.
    const int copied = doc->copy_block == 0 ? -1 : int(doc->copy.size());
    if (at + removed <= copied) {
        QTextCursor range(document);
        range.setPosition(at);
        range.setPosition(at + added, QTextCursor::KeepAnchor);
        QString text = range.selectedText();
        text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        doc->copy.replace(at, removed, text);
        doc->copy_block = document->findBlock(int(doc->copy.size()) + 1).blockNumber();
    } else if (at <= copied) {
        // Across the end of the copy: copied again from the changed block.
        const QTextBlock from = document->findBlock(at);
        doc->copy.truncate(from.blockNumber() == 0 ? 0 : from.position() - 1);
        doc->copy_block = from.blockNumber();
    }
    // Further on, the blocks are read as they are when their turn comes.
    doc->copy_revision = document->revision();
}

// Hands one document's text to the writer (or writes it at once).
void fp::journal_copy(QTextEdit *editor, const QString &text, bool now)
{
    docinfo *doc = docinfo::of(editor);
    if (doc->journal_id.isEmpty())
        doc->journal_id = QStringLiteral("%1").arg(++journal_serial);
    // Where the file really is: the next start may have another working
    // folder, where the name as typed would be another file.
    Fingerprint disk = doc->disk;
    disk.path = textfile::absolutePath(disk.path);
    const journal::Entry entry{doc->journal_id,
                               textfile::absolutePath(doc->path()),
                               ui->onglet->tabText(ui->onglet->indexOf(editor)),
                               QDateTime::currentDateTime(),
                               text,
                               {},
                               doc->form,
                               disk};
    doc->journaled_revision = editor->document()->revision();
    journal::Run *run = journal_run.get();
    const auto write = [this, run, entry] {
        if (!run->write(entry))
            QMetaObject::invokeMethod(this, &fp::tell_journal_trouble, Qt::QueuedConnection);
    };
    if (now)
        write();
    else
        journal_writer->start(write);
}

void fp::forget_journal(QTextEdit *editor)
{
    docinfo *doc = docinfo::of(editor);
    if (doc->journaled_revision < 0)
        return;
    doc->journaled_revision = -1;
    journal::Run *run = journal_run.get();
    const QString id = doc->journal_id;
    journal_writer->start([run, id] { run->remove(id); });
}

// Told once per run and never in a box: editing and saving go on as usual.
void fp::tell_journal_trouble()
{
    if (journal_trouble_told)
        return;
    journal_trouble_told = true;
    statusBar()->showMessage(tr("Attention\u00A0: la copie de secours des textes non "
                                "enregistrés ne peut pas être écrite dans %1.")
                                 .arg(QDir::toNativeSeparators(journal::journal_root())),
                             told_ms * 3);
}

// The end of the run: what still has unsaved changes stays in the journal
// for the next start; everything else goes with the run's folder.
void fp::finish_journal()
{
    write_journal(true);
    journal_run->finish();
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

// The file's own name; a text without a file is named by its tab.
QString kept_name(const QString &path, const QString &title)
{
    return path.isEmpty() ? title + QStringLiteral(".txt") : QFileInfo(path).fileName();
}
} // namespace

// Text the user chose to drop goes to the discarded folder, so that a
// mistaken "Non" can be taken back with any file manager.
void fp::discard_text(QTextEdit *editor)
{
    const int index = ui->onglet->indexOf(editor);
    const QString title = index >= 0 ? ui->onglet->tabText(index) : QString();
    const docinfo *doc = docinfo::of(editor);
    const QString text = textfile::documentText(*editor->document());
    if (journal::discard(kept_name(doc->path(), title), kept_bytes(text, doc->form)).isEmpty())
        tell_journal_trouble();
}

// Before a file is written over, its previous bytes, exactly as they were.
void fp::keep_previous_file(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return;
    if (journal::discard(QFileInfo(path).fileName(), file.readAll()).isEmpty())
        tell_journal_trouble();
}

namespace {
QString describe(const journal::Entry &entry)
{
    const QString first = entry.text.section(QLatin1Char('\n'), 0, 0).left(60);
    const QString where = entry.path.isEmpty() ? entry.title : QDir::toNativeSeparators(entry.path);
    return QCoreApplication::translate("fp", "• %1 — %2, %3 caractères — «\u00A0%4\u00A0»")
        .arg(where, QLocale(QLocale::French).toString(entry.written, QLocale::ShortFormat))
        .arg(entry.text.size())
        .arg(first);
}
} // namespace

// After a run that did not end normally: one question for all its texts.
// Nothing is restored without asking, so a text that made the program crash
// cannot make it crash again at every start.
void fp::offer_recovery()
{
    journal::Orphans orphans = journal::find_orphans();
    if (!orphans.damaged.isEmpty())
        statusBar()->showMessage(tr("%n copie(s) de secours illisible(s) laissée(s) dans %1.",
                                    nullptr, int(orphans.damaged.size()))
                                     .arg(QDir::toNativeSeparators(journal::journal_root())),
                                 told_ms * 3);
    if (orphans.entries.isEmpty())
        return;
    QStringList lines;
    for (const journal::Entry &entry : std::as_const(orphans.entries))
        lines << describe(entry);
    QMessageBox box(QMessageBox::Question, tr("Textes non enregistrés"),
                    tr("Feuillon ne s'est pas terminé normalement. Ces textes n'avaient pas été "
                       "enregistrés\u00A0:"),
                    QMessageBox::NoButton, this);
    box.setInformativeText(lines.join(QLatin1Char('\n')));
    QPushButton *restore = box.addButton(tr("Restaurer"), QMessageBox::AcceptRole);
    QPushButton *later = box.addButton(tr("Plus tard"), QMessageBox::RejectRole);
    QPushButton *drop = box.addButton(tr("Abandonner"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == restore) {
        for (const journal::Entry &entry : std::as_const(orphans.entries))
            restore_entry(entry);
        // In this run's journal before the old copies go.
        write_journal(true);
    } else if (box.clickedButton() == drop) {
        for (const journal::Entry &entry : std::as_const(orphans.entries))
            if (journal::discard(kept_name(entry.path, entry.title),
                                 kept_bytes(entry.text, entry.form))
                    .isEmpty())
                return tell_journal_trouble(); // kept where they are
    } else {
        Q_UNUSED(later);
        return; // kept, asked again at the next start
    }
    journal::drop_orphans(orphans);
}

// A restored text is the user's unsaved work: it counts as modified and is
// written nowhere until the user saves it. A file already open (given on the
// command line as well) takes the text in its own tab.
void fp::restore_entry(const journal::Entry &entry)
{
    // Older versions kept the path as typed: relative to a folder that is
    // not known any more, it could name another file. The text comes back
    // without a file, its old name offered when it is saved.
    const bool known = !entry.path.isEmpty() && QDir::isAbsolutePath(entry.path);
    QTextEdit *editor = nullptr;
    for (int i = 0; known && !editor && i < ui->onglet->count(); ++i)
        if (editor_at(i) && textfile::absolutePath(docinfo::of(editor_at(i))->path()) == entry.path)
            editor = editor_at(i);
    if (editor) {
        ui->onglet->setCurrentWidget(editor);
        stop_loading(editor);
    } else {
        newtab();
        editor = cur_editor();
    }
    docinfo *doc = docinfo::of(editor);
    editor->setPlainText(entry.text);
    if (known)
        set_path(entry.path);
    else if (!entry.path.isEmpty())
        doc->suggested_name = QFileInfo(entry.path).fileName();
    ui->onglet->setTabText(ui->onglet->currentIndex(), entry.title);
    editor->document()->setModified(true);
    doc->restored = true;
    doc->form = entry.form;
    show_form();
    // A write to its file first checks that the file is still what the text
    // came from.
    if (known && entry.disk.path == entry.path)
        took_file(editor, entry.disk);
}
