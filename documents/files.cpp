// Opening and saving files.
#include "bigfile.h"
#include "docinfo.h"
#include "fp.h"
#include "loading.h"
#include "questions.h"
#include "recent.h"
#include "recoveryjournal.h"
#include "textfile.h"
#include "ui_fp.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>
#include <QTextDocument>
#include <QTextEdit>

namespace {
const QString save_caption = QStringLiteral("Enregistrer un fichier");
} // namespace

bool fp::load_file(QString path)
{
    QTextEdit *editor = cur_editor();
    DocumentLoad::stop_in(editor);
    const QFileInfo file(path);
    if (file.isFile() && file.size() >= bigfile::slice_from)
        return room_to_open(this, path, file.size()) && begin_load(editor, path);
    const textfile::ReadResult read = textfile::read(path);
    if (read.status == textfile::ReadStatus::Unreadable) {
        tell_file_error(this, tr("Impossible de lire le fichier !!!"), read.failure, path);
        return false;
    }
    // A missing file is a new one: the first save creates it.
    editor->setPlainText(read.text);
    editor->document()->setModified(false);
    docinfo::of(editor)->undecodable = read.undecodable;
    docinfo::of(editor)->form = read.form;
    took_file(editor, read.status == textfile::ReadStatus::Read ? read.fingerprint
                                                                : fingerprint::look(path));
    ui->onglet->setTabText(ui->onglet->currentIndex(), QFileInfo(path).fileName());
    show_form();
    if (read.undecodable)
        warn_undecodable(this, path, read.form);
    return true;
}

bool fp::write_file(QString path)
{
    return write_editor(cur_editor(), path) == WriteOutcome::Written;
}

// keep_previous: the file's bytes before the write go to the folder of
// discarded texts; so do those of another program's version the user chose
// to write over, a choice easily made by mistake.
fp::WriteOutcome fp::write_editor(QTextEdit *editor, const QString &path, bool keep_previous)
{
    docinfo *doc = docinfo::of(editor);
    // Only part of the file is in: writing it would cut the file short.
    if (busy_loading(statusBar(), editor))
        return WriteOutcome::Failed;
    bool overwrites = false;
    if (!may_overwrite(editor, path, &overwrites))
        return WriteOutcome::Failed;
    if (doc->undecodable &&
        !confirm_replacement(this, document_name(ui->onglet, editor), doc->form))
        return WriteOutcome::Declined;
    QByteArray bytes;
    textfile::Form form;
    if (!encode_for_save(this, editor, document_name(ui->onglet, editor), &bytes, &form))
        return WriteOutcome::Declined;
    if (keep_previous || overwrites)
        recovery->keep_file(path);
    QString kept_backup;
    textfile::Failure failure = textfile::Failure::None;
    if (!textfile::write(path, bytes, &kept_backup, &failure)) {
        // The user must know where the old content is if the file lost it.
        tell_file_error(this, tr("Imposible d'enregistrer le fichier !!!"), failure, path,
                        kept_backup.isEmpty()
                            ? QString()
                            : tr("Une copie de l'ancien contenu est conservée dans : %1")
                                  .arg(QDir::toNativeSeparators(kept_backup)));
        return WriteOutcome::Failed;
    }
    editor->document()->setModified(false);
    doc->undecodable = false;
    doc->restored = false;
    doc->form = form;
    if (editor == cur_editor())
        show_form();
    // Hashed here, while the bytes are at hand: no second read of the file.
    Fingerprint written = fingerprint::look(path);
    written.hash = fingerprint::hash(bytes);
    took_file(editor, written);
    return WriteOutcome::Written;
}

// Asks for a name and writes the text there; a cancelled dialog counts as
// declined. Only a written document takes the name, and only when asked to.
fp::WriteOutcome fp::save_under_new_name(QTextEdit *editor, const QString &filter, bool adopt)
{
    const QString name = QFileDialog::getSaveFileName(this, save_caption,
                                                      docinfo::of(editor)->suggested_name, filter);
    if (name.isEmpty())
        return WriteOutcome::Declined;
    const WriteOutcome outcome = write_editor(editor, name);
    if (outcome == WriteOutcome::Written && adopt)
        adopt_path(editor, name);
    return outcome;
}

// The document takes the name it was written under; the current one shows
// it in the window title and its tab.
void fp::adopt_path(QTextEdit *editor, const QString &path)
{
    recent_menu->remember(path);
    if (editor != cur_editor()) {
        docinfo::of(editor)->set_path(path);
        return;
    }
    set_path(path);
    ui->onglet->setTabText(ui->onglet->currentIndex(), docinfo::of(editor)->file_name());
}

void fp::choose_and_load()
{
    const QString name =
        QFileDialog::getOpenFileName(this, QStringLiteral("Ouvrir un fichier"), QString(),
                                     QStringLiteral("Tout les fichier (*.*)"));
    if (!name.isEmpty() && load_file(name))
        adopt_path(cur_editor(), name);
}

// Each file in a tab of its own after the current one; a file that cannot be
// read leaves no empty tab behind.
void fp::open_in_new_tabs(const QStringList &paths)
{
    for (const QString &path : paths) {
        const int before = ui->onglet->currentIndex();
        newtab();
        if (load_file(path)) {
            adopt_path(cur_editor(), path);
            continue;
        }
        QTextEdit *unused = cur_editor();
        ui->onglet->removeTab(ui->onglet->currentIndex());
        unused->deleteLater();
        ui->onglet->setCurrentIndex(before);
    }
}

void fp::open()
{
    if (offer_save())
        choose_and_load();
}

void fp::openatab()
{
    newtab();
    choose_and_load();
}

void fp::saving()
{
    if (!has_path) {
        emit besaveas();
        return;
    }
    if (!write_file(current_path))
        return;
    ui->onglet->setTabText(ui->onglet->currentIndex(), docinfo::of(cur_editor())->file_name());
    recent_menu->remember(current_path);
}

void fp::saveas()
{
    if (busy_loading(statusBar(), cur_editor()))
        return;
    // A failed write keeps the old path: the title must not name a file
    // that does not hold the text.
    save_under_new_name(cur_editor(), QStringLiteral("Fichier (*.*)"), true);
}
