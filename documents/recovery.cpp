// The recovery journal seen from the window: unsaved documents copied a
// short while after the last change, offered again after a run that did not
// end normally, and dropped texts kept in a folder for a while.
#include "app/endsignals.h"
#include "docinfo.h"
#include "fp.h"
#include "journal.h"
#include "loading.h"
#include "recoveryjournal.h"
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
constexpr int told_ms = 10000;
} // namespace

void fp::end_on_signals()
{
    auto *signals_ = new EndSignals(this);
    connect(signals_, &EndSignals::received, this, [this] {
        ending_by_signal = true;
        recovery->flush();
        QCoreApplication::quit();
    });
    // A session manager that asks before the log-out: the saves are offered
    // as at the end of the run, and what gets no answer stays in the journal.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (manager.allowsInteraction()) {
            offer_save_at_exit();
            manager.release();
        }
        recovery->flush();
    });
}

void fp::start_journal()
{
    recovery = new RecoveryJournal(this, [this](QTextEdit *editor) {
        const docinfo *doc = docinfo::of(editor);
        // Where the file really is: the next start may have another working
        // folder, where the name as typed would be another file.
        Fingerprint disk = doc->disk;
        disk.path = textfile::absolutePath(disk.path);
        journal::Entry entry;
        entry.path = textfile::absolutePath(doc->path());
        entry.title = ui->onglet->tabText(ui->onglet->indexOf(editor));
        entry.form = doc->form;
        entry.disk = disk;
        return entry;
    });
    // Told once per run and never in a box: editing and saving go on as usual.
    connect(recovery, &RecoveryJournal::trouble, this, [this] {
        statusBar()->showMessage(tr("Attention\u00A0: la copie de secours des textes non "
                                    "enregistrés ne peut pas être écrite dans %1.")
                                     .arg(QDir::toNativeSeparators(journal::journal_root())),
                                 told_ms * 3);
    });
    // Once the window shows: the question needs it as its parent.
    QTimer::singleShot(0, this, &fp::offer_recovery);
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
        recovery->flush();
    } else if (box.clickedButton() == drop) {
        for (const journal::Entry &entry : std::as_const(orphans.entries))
            if (!recovery->keep(entry))
                return; // kept where they are
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
    QTextEdit *editor = known ? docinfo::holding(ui->onglet, entry.path) : nullptr;
    if (editor) {
        ui->onglet->setCurrentWidget(editor);
        DocumentLoad::stop_in(editor);
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
