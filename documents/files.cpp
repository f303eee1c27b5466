// Opening and saving files, and the offer to save before text is dropped.
#include "fp.h"
#include "textfile.h"
#include "ui_fp.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextDocument>
#include <QTextEdit>

namespace {
using textfile::undecodable_property;

bool isUndecodable(const QTextEdit *editor)
{
    return editor->property(undecodable_property).toBool();
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

const QString save_caption = QStringLiteral("Enregistrer un fichier");
} // namespace

bool fp::load_file(QString path)
{
    const textfile::ReadResult read = textfile::read(path);
    if (read.status == textfile::ReadStatus::Unreadable) {
        QMessageBox::critical(this, tr("Erreur"),
                              tr("Impossible de lire le fichier !!!") + QLatin1Char('\n') +
                                  QDir::toNativeSeparators(path));
        return false;
    }
    // A missing file is a new one: the first save creates it.
    QTextEdit *editor = cur_editor();
    editor->setPlainText(read.text);
    editor->document()->setModified(false);
    editor->setProperty(undecodable_property, read.undecodable);
    ui->onglet->setTabText(ui->onglet->currentIndex(), fileName(path));
    if (read.undecodable)
        QMessageBox::warning(
            this, tr("Attention"),
            tr("Ce fichier contient des octets qui ne sont pas du texte UTF-8 "
               "valide. Ils sont affichés comme «\u00A0\uFFFD\u00A0» et seront remplacés "
               "si vous enregistrez le fichier."));
    return true;
}

bool fp::write_file(QString path)
{
    return write_editor(cur_editor(), path) == WriteOutcome::Written;
}

fp::WriteOutcome fp::write_editor(QTextEdit *editor, const QString &path)
{
    if (isUndecodable(editor) && !confirm_replacement(editor))
        return WriteOutcome::Declined;
    const QByteArray bytes = textfile::documentText(*editor->document()).toUtf8();
    QString kept_backup;
    if (!textfile::write(path, bytes, &kept_backup)) {
        QMessageBox box(QMessageBox::Critical, tr("Erreur"),
                        tr("Imposible d'enregistrer le fichier !!!"), QMessageBox::Ok, this);
        // The user must know where the old content is if the file lost it.
        if (!kept_backup.isEmpty())
            box.setInformativeText(tr("Une copie de l'ancien contenu est conservée dans : %1")
                                       .arg(QDir::toNativeSeparators(kept_backup)));
        box.exec();
        return WriteOutcome::Failed;
    }
    editor->document()->setModified(false);
    editor->setProperty(undecodable_property, false);
    return WriteOutcome::Written;
}

bool fp::confirm_replacement(QTextEdit *editor)
{
    QMessageBox box(
        QMessageBox::Warning, tr("Enregistrer le fichier"),
        tr("Ce document contient des octets qui n'étaient pas du texte UTF-8 valide\u00A0: "
           "ils seront remplacés par «\u00A0\uFFFD\u00A0» dans le fichier enregistré. "
           "Enregistrer quand même\u00A0?"),
        QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(document_name(editor));
    return box.exec() == QMessageBox::Yes;
}

QString fp::document_name(QTextEdit *editor) const
{
    const QString path = editor->accessibleName();
    if (!path.isEmpty())
        return QDir::toNativeSeparators(path);
    // Several tabs may share a title such as "Nouvelle Onglet".
    const int index = ui->onglet->indexOf(editor);
    return tr("%1 (onglet %2)").arg(ui->onglet->tabText(index)).arg(index + 1);
}

// Asks Yes or No; a document other than the current one is named in the
// question itself, since "actuelle" would point at the wrong tab.
int fp::ask_to_save(QTextEdit *editor)
{
    const QString text = editor == cur_editor()
                             ? QStringLiteral("Vouler vous enregistrer le fichier actuelle ?")
                             : tr("Voulez-vous enregistrer le fichier «\u00A0%1\u00A0»\u00A0?")
                                   .arg(document_name(editor));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Enregistrer le fichier"), text,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(document_name(editor));
    return box.exec();
}

bool fp::offer_save()
{
    QTextEdit *editor = cur_editor();
    if (!editor->document()->isModified())
        return true;
    if (has_path && !isUndecodable(editor))
        return write_file(current_path);
    const int answer = ask_to_save(editor);
    if (answer == QMessageBox::No) {
        reset_doc();
        return true;
    }
    if (answer != QMessageBox::Yes)
        return false;
    if (has_path)
        return write_file(current_path);
    saveas_succeeded = false;
    emit besaveas();
    // A cancelled or failed save keeps the document and stops the caller.
    if (!saveas_succeeded)
        return false;
    reset_doc();
    return true;
}

bool fp::offer_save_editor(QTextEdit *editor)
{
    if (!editor->document()->isModified())
        return true;
    const QString path = editor->accessibleName();
    if (!path.isEmpty() && !isUndecodable(editor))
        return write_editor(editor, path) == WriteOutcome::Written;
    const int answer = ask_to_save(editor);
    if (answer == QMessageBox::No)
        return true;
    if (answer != QMessageBox::Yes)
        return false;
    if (!path.isEmpty())
        return write_editor(editor, path) == WriteOutcome::Written;
    return save_through_dialog(editor, QStringLiteral("Fichier (*.*)"));
}

bool fp::save_through_dialog(QTextEdit *editor, const QString &filter)
{
    const QString name = QFileDialog::getSaveFileName(this, save_caption, QString(), filter);
    if (name.isEmpty() || write_editor(editor, name) != WriteOutcome::Written)
        return false;
    editor->setAccessibleName(name);
    return true;
}

void fp::offer_save_at_exit()
{
    QList<QTextEdit *> editors{cur_editor()};
    for (int i = 0; i < ui->onglet->count(); ++i)
        if (!editors.contains(editor_at(i)))
            editors << editor_at(i);
    for (QTextEdit *editor : std::as_const(editors))
        if (editor && editor->document()->isModified())
            offer_editor_at_exit(editor);
}

// Once the window is gone the text is gone: a failed write leads back to the
// save dialog, and only the user's own No or Cancel drops the text.
void fp::offer_editor_at_exit(QTextEdit *editor)
{
    const QString path = editor->accessibleName();
    if ((path.isEmpty() || isUndecodable(editor)) && ask_to_save(editor) != QMessageBox::Yes)
        return;
    if (!path.isEmpty() && write_editor(editor, path) != WriteOutcome::Failed)
        return;
    for (;;) {
        const QString name = QFileDialog::getSaveFileName(this, save_caption, QString(),
                                                          QStringLiteral("Text (*.txt)"));
        if (name.isEmpty() || write_editor(editor, name) != WriteOutcome::Failed)
            return;
    }
}

void fp::choose_and_load()
{
    const QString name =
        QFileDialog::getOpenFileName(this, QStringLiteral("Ouvrir un fichier"), QString(),
                                     QStringLiteral("Tout les fichier (*.*)"));
    if (name.isEmpty() || !load_file(name))
        return;
    set_path(name);
    ui->onglet->setTabText(ui->onglet->currentIndex(), fileName(cur_editor()->accessibleName()));
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
    if (write_file(current_path))
        ui->onglet->setTabText(ui->onglet->currentIndex(),
                               fileName(cur_editor()->accessibleName()));
}

void fp::saveas()
{
    saveas_succeeded = false;
    const QString name = QFileDialog::getSaveFileName(this, save_caption, QString(),
                                                      QStringLiteral("Fichier (*.*)"));
    // A failed write keeps the old path: the title must not name a file
    // that does not hold the text.
    if (name.isEmpty() || !write_file(name))
        return;
    set_path(name);
    ui->onglet->setTabText(ui->onglet->currentIndex(), fileName(cur_editor()->accessibleName()));
    saveas_succeeded = true;
}
