// Closing the window ("Quitter", Ctrl+Q, its title bar) asks about unsaved
// documents while the window is still on screen, each with its tab in
// front, so the user sees what they decide about and can still turn back.
#include "documents/docinfo.h"
#include "documents/recoveryjournal.h"
#include "fp.h"
#include "ui_fp.h"

#include <QTextDocument>
#include <QTextEdit>

// Whether the window may go. Any question left without an answer keeps it,
// with the tab the user had in front and every text as it was: a "Non"
// given before takes effect only once every document has been settled.
bool fp::settle_before_quit()
{
    // A signal ends the run through the application's quit, which closes the
    // window too: nobody is there to answer, the journal keeps every text.
    if (ending_by_signal)
        return true;
    QWidget *was_current = ui->onglet->currentWidget();
    quit_drops.clear();
    // No question about a file changed on disk in the middle of these.
    run_ending = true;
    bool settled = true;
    const QList<QTextEdit *> editors = docinfo::editors_current_first(ui->onglet);
    for (QTextEdit *editor : editors) {
        if (!editor->document()->isModified())
            continue;
        ui->onglet->setCurrentWidget(editor);
        if (!may_text_go(editor, Offer::Quit)) {
            settled = false;
            break;
        }
    }
    run_ending = false;
    if (!settled) {
        quit_drops.clear();
        ui->onglet->setCurrentWidget(was_current);
        return false;
    }
    for (QTextEdit *editor : std::as_const(quit_drops)) {
        recovery->keep(editor);
        editor->document()->setModified(false);
    }
    quit_drops.clear();
    return true;
}
