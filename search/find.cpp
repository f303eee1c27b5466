// The find window and the highlighting of every whole-word occurrence.
#include "app/toolwindows.h"
#include "documents/loading.h"
#include "fp.h"
#include "highlight_trace.h"
#include "matches.h"
#include "say.h"
#include "status/busycursor.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {
const QColor lit_colour(22, 122, 200, 255);
const char *const watched_property = "feuillon_typing_unlit";

// Typing takes the format of the character before the cursor: right after a
// match it would come out highlighted too. Only the cursor's own format for
// the next typing changes, so the document and its undo history do not.
void keep_typing_unlit(QTextEdit *editor)
{
    const QTextCursor cursor = editor->textCursor();
    QTextCharFormat format = cursor.charFormat();
    const QBrush background = format.background();
    if (cursor.hasSelection() || background.style() != Qt::SolidPattern ||
        background.color() != lit_colour)
        return;
    format.clearBackground();
    editor->setCurrentCharFormat(format);
}

// Every place the cursor moves to may be right after a match; so may a
// selected match left without moving (End at the end of the line).
void watch_typing(QTextEdit *editor)
{
    keep_typing_unlit(editor);
    if (editor->property(watched_property).toBool())
        return;
    editor->setProperty(watched_property, true);
    QObject::connect(editor, &QTextEdit::cursorPositionChanged, editor,
                     [editor] { keep_typing_unlit(editor); });
    QObject::connect(editor, &QTextEdit::selectionChanged, editor,
                     [editor] { keep_typing_unlit(editor); });
}
} // namespace

void fp::look()
{
    if (!find_window->layout())
        build_find_window();
    show_tool_window(find_window, this);
}

void fp::build_find_window()
{
    find_window->setWindowTitle(QStringLiteral("Recherche"));
    auto *grid = new QGridLayout;
    auto *close = new QPushButton(QStringLiteral("Fermé"));
    auto *run = new QPushButton(QStringLiteral("Rechercher"));
    grid->addWidget(new QLabel(QStringLiteral("Rechercher:")), 0, 0);
    grid->addWidget(find_field, 0, 1);
    grid->addWidget(close, 1, 0);
    grid->addWidget(run, 1, 1);
    connect(close, SIGNAL(clicked()), find_window, SLOT(close()));
    // Closing takes the last run's highlighting away, wherever it was made.
    connect(close, &QPushButton::clicked, this, &fp::take_highlight_away);
    connect(run, SIGNAL(clicked()), this, SLOT(makelook()));
    find_window->setLayout(grid);
}

void fp::makelook()
{
    // Never on documents the user cannot see.
    if (!isVisible())
        return;
    search_text = find_field->text();
    setWindowTitle(search_text);
    match_found = false;
    QTextEdit *editor = cur_editor();
    if (!first_run)
        take_highlight_away();
    if (search_text.isEmpty()) {
        say_empty_field(this, find_window);
        return;
    }
    if (!editor || busy_loading(statusBar(), editor))
        return;
    if (!trace)
        trace = new highlight_trace(this);
    trace->begin(editor->document());
    {
        const BusyCursor busy(editor->document());
        highlight_matches(editor);
    }
    trace->end();
    first_run = false;
    if (!match_found) {
        say_not_found(this, find_window);
        return;
    }
    watch_typing(editor);
    // The first match at or after the cursor, selected and in view.
    QTextCursor from(editor->document());
    from.setPosition(editor->textCursor().selectionStart());
    select_match(editor, search_text, false, from, note_label);
    activateWindow();
}

void fp::take_highlight_away()
{
    if (!trace)
        return;
    const BusyCursor busy(trace->document());
    trace->take_away();
}

// All of a run's highlighting is one edit block, so one undo takes it away.
void fp::highlight_matches(QTextEdit *editor)
{
    QTextDocument *doc = editor->document();
    QTextCursor found(doc);
    QTextCharFormat lit = found.charFormat();
    lit.setProperty(QTextFormat::BackgroundBrush, QBrush(lit_colour, Qt::SolidPattern));
    QTextCursor block(doc);
    block.beginEditBlock();
    while (!found.isNull() && !found.atEnd()) {
        found = doc->find(search_text, found, QTextDocument::FindWholeWords);
        if (found.isNull())
            break;
        match_found = true;
        // The spaces after the word are lit with it.
        found.setPosition(word_right_of(doc, found.selectionEnd()), QTextCursor::KeepAnchor);
        found.mergeCharFormat(lit);
    }
    block.endEditBlock();
}

void say_empty_field(QWidget *parent, QWidget *window)
{
    QMessageBox::information(parent, QCoreApplication::translate("fp", "Champ Vide"),
                             QStringLiteral("Le champ de recherche est vide, écriver au moin une "
                                            "lettre!!!"),
                             QMessageBox::Ok, QMessageBox::NoButton);
    window->activateWindow();
}

void say_not_found(QWidget *parent, QWidget *window)
{
    QMessageBox::information(parent, QCoreApplication::translate("fp", "Mot Non Trouver"),
                             QStringLiteral("Imposible de trouver se mot"), QMessageBox::Ok,
                             QMessageBox::NoButton);
    window->activateWindow();
}
