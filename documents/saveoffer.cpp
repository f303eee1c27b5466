// The one decision taken before a document's text goes: when its tab is
// emptied, replaced or closed, and at the end of the run.
#include "docinfo.h"
#include "fp.h"
#include "questions.h"
#include "recoveryjournal.h"
#include "textfile.h"
#include "ui_fp.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>

bool fp::offer_save()
{
    return may_text_go(cur_editor(), Offer::Current);
}

// A document with a path is written there without a question, unless its
// bytes could not all be decoded; any other is asked about. Returns whether
// the caller may go on: the text is written or the user chose to drop it.
// Text the user drops, and a file's content written over without a question,
// go to the folder of discarded texts; text left without an answer at the end
// of the run stays in the recovery journal.
bool fp::may_text_go(QTextEdit *editor, Offer offer)
{
    if (!editor->document()->isModified())
        return true;
    const docinfo *doc = docinfo::of(editor);
    // The commands on the current tab go by the window's mirror of its path.
    const QString path =
        offer == Offer::Current ? (has_path ? current_path : QString()) : doc->path();
    if (path.isEmpty() || doc->undecodable || doc->restored) {
        const int answer = ask_to_save(this, ui->onglet, editor, offer == Offer::Quit);
        if (answer == QMessageBox::No) {
            // A later question of the same quit may still keep the window.
            if (offer == Offer::Quit) {
                quit_drops << editor;
                return true;
            }
            recovery->keep(editor);
            offer == Offer::Current ? reset_doc() : editor->document()->setModified(false);
            return true;
        }
        if (answer != QMessageBox::Yes)
            return false;
    }
    if (!path.isEmpty()) {
        // Written without a question: its previous content is kept.
        const bool silent = !doc->undecodable && !doc->restored;
        const WriteOutcome outcome = write_editor(editor, path, silent);
        // Once the window is gone the text is gone: a failed write at the
        // end of the run leads to the save dialog instead.
        if (outcome != WriteOutcome::Failed || offer == Offer::Current ||
            offer == Offer::Background)
            return outcome == WriteOutcome::Written;
    }
    switch (offer) {
    case Offer::Current:
        // "Enregistrer Sous" runs to its end inside the emission; the
        // document itself tells whether its text reached a file.
        emit besaveas();
        if (editor->document()->isModified())
            return false;
        reset_doc();
        return true;
    case Offer::Background:
        return save_under_new_name(editor, QStringLiteral("Fichier (*.*)"), true) ==
               WriteOutcome::Written;
    case Offer::EndOfRun:
    case Offer::Quit:
        return save_at_end(editor, !path.isEmpty());
    }
    return false;
}

// At the end of the run, in the save dialog, or first asked after the write
// to its path failed: writing again at once would only fail again on a full
// disk. No, Escape and the close button leave the text in the recovery
// journal for the next start.
bool fp::save_at_end(QTextEdit *editor, bool failed)
{
    const QString filter = QStringLiteral("Text (*.txt)");
    WriteOutcome outcome =
        failed ? WriteOutcome::Failed : save_under_new_name(editor, filter, false);
    while (outcome == WriteOutcome::Failed) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Enregistrer le fichier"),
                        tr("Le texte n'a pas pu être enregistré. Voulez-vous l'enregistrer sous "
                           "un autre nom ou dans un autre dossier\u00A0?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setInformativeText(tr("Sinon, il reste dans la copie de secours et vous sera "
                                  "proposé au prochain démarrage.\n%1")
                                   .arg(document_name(ui->onglet, editor)));
        box.setDefaultButton(QMessageBox::Yes);
        if (answer(box) != QMessageBox::Yes)
            return false;
        outcome = save_under_new_name(editor, filter, false);
    }
    return outcome == WriteOutcome::Written;
}

// Every modified tab is offered, the current one first.
void fp::offer_save_at_exit()
{
    const QList<QTextEdit *> editors = docinfo::editors_current_first(ui->onglet);
    for (QTextEdit *editor : editors)
        may_text_go(editor, Offer::EndOfRun);
}
