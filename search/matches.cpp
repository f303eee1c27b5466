// Going from match to match of the last find run: F3 forwards, Shift+F3
// backwards, from the main window or the find window, round the ends of the
// document with a note in the status bar. The highlighting is not touched.
#include "matches.h"
#include "documents/loading.h"
#include "fp.h"
#include "status/notes.h"
#include "ui_fp.h"

#include <QAction>
#include <QCoreApplication>
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
        select_match(editor, search_text, backward, editor->textCursor(), note_label);
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
bool select_match(QTextEdit *editor, const QString &word, bool backward, const QTextCursor &from,
                  NoteLabel *notes)
{
    QTextDocument *doc = editor->document();
    QTextDocument::FindFlags flags = QTextDocument::FindWholeWords;
    if (backward)
        flags |= QTextDocument::FindBackward;
    QTextCursor found = doc->find(word, from, flags);
    if (found.isNull()) {
        QTextCursor edge(doc);
        if (backward)
            edge.movePosition(QTextCursor::End);
        found = doc->find(word, edge, flags);
        if (found.isNull()) {
            notes->say(QCoreApplication::translate(
                           "fp", "«\u00A0%1\u00A0» ne se trouve pas dans le document")
                           .arg(word));
            return false;
        }
        notes->say(backward ? QCoreApplication::translate(
                                  "fp", "Début du document atteint, recherche reprise à la fin")
                            : QCoreApplication::translate(
                                  "fp", "Fin du document atteinte, recherche reprise au début"));
    }
    editor->setTextCursor(found);
    editor->ensureCursorVisible();
    return true;
}
