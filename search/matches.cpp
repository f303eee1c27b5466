// Going from match to match of the last find run: F3 forwards, Shift+F3
// backwards, from the main window or the find window, round the ends of the
// document with a note in the status bar. The highlighting is not touched.
#include "documents/loading.h"
#include "fp.h"
#include "status/notes.h"
#include "ui_fp.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

void fp::set_up_match_keys()
{
    auto *next = new QAction(tr("Occurrence suivante"), this);
    next->setObjectName(QStringLiteral("ac_next"));
    next->setShortcut(QKeySequence(Qt::Key_F3));
    connect(next, &QAction::triggered, this, [this] { go_to_match(false); });
    auto *previous = new QAction(tr("Occurrence précédente"), this);
    previous->setObjectName(QStringLiteral("ac_previous"));
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    connect(previous, &QAction::triggered, this, [this] { go_to_match(true); });
    ui->m_ac->insertActions(ui->ac_remplacer, {next, previous});

    // In the find window the focus stays there, ready for the next press.
    new QShortcut(QKeySequence(Qt::Key_F3), find_window, this,
                  [this] { match_from_find_window(false); });
    new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), find_window, this,
                  [this] { match_from_find_window(true); });
}

// Before any search there is nothing to go to: the find window opens.
void fp::go_to_match(bool backward)
{
    if (search_text.isEmpty()) {
        look();
        return;
    }
    QTextEdit *editor = cur_editor();
    if (editor && !busy_loading(statusBar(), editor))
        select_match(editor, backward, editor->textCursor());
}

// A word typed but not searched yet is searched first, as "Rechercher" does.
void fp::match_from_find_window(bool backward)
{
    if (find_field->text() != search_text || search_text.isEmpty())
        makelook();
    else
        go_to_match(backward);
}

// Selects the first whole-word match after from (before it, backwards) and
// brings it into view; past the last one the search goes on from the other
// end, and the status bar says so.
bool fp::select_match(QTextEdit *editor, bool backward, const QTextCursor &from)
{
    QTextDocument *doc = editor->document();
    QTextDocument::FindFlags flags = QTextDocument::FindWholeWords;
    if (backward)
        flags |= QTextDocument::FindBackward;
    QTextCursor found = doc->find(search_text, from, flags);
    if (found.isNull()) {
        QTextCursor edge(doc);
        if (backward)
            edge.movePosition(QTextCursor::End);
        found = doc->find(search_text, edge, flags);
        if (found.isNull()) {
            note_label->say(
                tr("«\u00A0%1\u00A0» ne se trouve pas dans le document").arg(search_text));
            return false;
        }
        note_label->say(backward ? tr("Début du document atteint, recherche reprise à la fin")
                                 : tr("Fin du document atteinte, recherche reprise au début"));
    }
    editor->setTextCursor(found);
    editor->ensureCursorVisible();
    return true;
}
