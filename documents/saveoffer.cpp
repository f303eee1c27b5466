// The one decision taken before a document's text goes: when its tab is
// emptied, replaced or closed, and at the end of the run.
#include "docinfo.h"
#include "fp.h"
#include "ui_fp.h"

#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>

namespace {
// On a Yes/No box Qt takes Escape and the title bar's close button for No,
// which drops the text: here they give no answer at all.
class NoAnswerOnEscape : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool escape = event->type() == QEvent::KeyPress &&
                            static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel);
        if (!escape && event->type() != QEvent::Close)
            return false;
        static_cast<QMessageBox *>(watched)->done(QMessageBox::NoButton);
        return true;
    }
};
} // namespace

// Yes, No, or no answer.
int fp::answer(QMessageBox &box)
{
    NoAnswerOnEscape filter;
    box.installEventFilter(&filter);
    return box.exec();
}

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
        const int answer = ask_to_save(editor, offer == Offer::Quit);
        if (answer == QMessageBox::No && offer == Offer::Quit) {
            // A later question of the same quit may still keep the window.
            quit_drops << editor;
            return true;
        }
        if (answer == QMessageBox::No) {
            discard_text(editor);
            if (offer == Offer::Current)
                reset_doc();
            else
                editor->document()->setModified(false);
            return true;
        }
        if (answer != QMessageBox::Yes)
            return false;
    } else {
        keep_previous_file(path);
    }
    if (!path.isEmpty()) {
        const WriteOutcome outcome = write_editor(editor, path);
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
        WriteOutcome outcome;
        do
            outcome = save_under_new_name(editor, QStringLiteral("Text (*.txt)"), false);
        while (outcome == WriteOutcome::Failed);
        return outcome == WriteOutcome::Written;
    }
    return false;
}

// Every modified tab is offered, the current one first.
void fp::offer_save_at_exit()
{
    const QList<QTextEdit *> editors = editors_current_first();
    for (QTextEdit *editor : editors)
        may_text_go(editor, Offer::EndOfRun);
}

QString fp::document_name(QTextEdit *editor) const
{
    const QString path = docinfo::of(editor)->path();
    if (!path.isEmpty())
        return QDir::toNativeSeparators(path);
    // Several tabs may share a title such as "Nouvelle Onglet".
    const int index = ui->onglet->indexOf(editor);
    return tr("%1 (onglet %2)").arg(ui->onglet->tabText(index)).arg(index + 1);
}

// Asks Yes or No; a document other than the current one is named in the
// question itself, since "actuelle" would point at the wrong tab.
int fp::ask_to_save(QTextEdit *editor, bool may_cancel)
{
    const QString text = editor == cur_editor()
                             ? QStringLiteral("Vouler vous enregistrer le fichier actuelle ?")
                             : tr("Voulez-vous enregistrer le fichier «\u00A0%1\u00A0»\u00A0?")
                                   .arg(document_name(editor));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Enregistrer le fichier"), text,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(document_name(editor));
    // While the window can still stay, turning back is offered as a button.
    if (may_cancel)
        box.addButton(QMessageBox::Cancel)->setText(tr("Annuler"));
    return answer(box);
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
    return answer(box) == QMessageBox::Yes;
}
