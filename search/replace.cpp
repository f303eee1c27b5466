// The replace window and the replacement of every whole-word occurrence.
#include "app/toolwindows.h"
#include "documents/loading.h"
#include "fp.h"
#include "say.h"
#include "status/busycursor.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {
int letters_in(const QString &text)
{
    int letters = 0;
    for (const QChar c : text)
        letters += c.isLetter() ? 1 : 0;
    return letters;
}

bool first_letter_is_capital(const QString &text)
{
    for (const uint point : text.toUcs4())
        if (QChar::isLetter(point))
            return QChar::isUpper(point) || QChar::isTitleCase(point);
    return false;
}

// The first letter in title case: "été" becomes "Été".
QString capitalised(const QString &text)
{
    const QList<uint> points = text.toUcs4();
    for (qsizetype i = 0; i < points.size(); ++i) {
        if (!QChar::isLetter(points.at(i)))
            continue;
        QList<uint> changed = points;
        changed[i] = QChar::toTitleCase(points.at(i));
        return QString::fromUcs4(reinterpret_cast<const char32_t *>(changed.constData()),
                                 changed.size());
    }
    return text;
}

// Matching ignores case, so a replacement typed all in lower case takes the
// case of the word it replaces: at the start of a sentence, or in a title in
// capitals, it reads as the user's own text. Typed with any capital, it is
// put as typed.
QString in_case_of(const QString &word, const QString &replacement)
{
    if (replacement != replacement.toLower())
        return replacement;
    if (letters_in(word) > 1 && word == word.toUpper())
        return replacement.toUpper();
    if (first_letter_is_capital(word))
        return capitalised(replacement);
    return replacement;
}
} // namespace

void fp::replace()
{
    if (!replace_window->layout())
        build_replace_window();
    show_tool_window(replace_window, this);
}

void fp::build_replace_window()
{
    replace_window->setWindowTitle(QStringLiteral("Remplacer"));
    auto *grid = new QGridLayout;
    auto *close = new QPushButton(QStringLiteral("Fermé"));
    auto *run = new QPushButton(QStringLiteral("Remplacer"));
    grid->addWidget(new QLabel(QStringLiteral("Rechercher:")), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Remplacer:")), 1, 0);
    grid->addWidget(replace_search_field, 0, 1);
    grid->addWidget(replacement_field, 1, 1);
    grid->addWidget(close, 2, 0);
    grid->addWidget(run, 2, 1);
    connect(close, SIGNAL(clicked()), replace_window, SLOT(close()));
    connect(run, SIGNAL(clicked()), this, SLOT(makereplace()));
    replace_window->setLayout(grid);
}

void fp::makereplace()
{
    // Never on documents the user cannot see.
    if (!isVisible())
        return;
    replace_search_text = replace_search_field->text();
    replacement_text = replacement_field->text();
    setWindowTitle(replace_search_text);
    match_found = false;
    QTextEdit *editor = cur_editor();
    if (replace_search_text.isEmpty()) {
        say_empty_field(this, replace_window);
        return;
    }
    if (!editor || busy_loading(statusBar(), editor))
        return;
    {
        const BusyCursor busy(editor->document());
        replace_matches(editor);
    }
    first_run = false;
    if (match_found)
        activateWindow();
    else
        say_not_found(this, replace_window);
}

// Only the word goes: what follows it stays. All replacements are one edit
// block, so one undo brings the whole text back.
void fp::replace_matches(QTextEdit *editor)
{
    QTextDocument *doc = editor->document();
    QTextCursor found(doc);
    QTextCursor block(doc);
    block.beginEditBlock();
    while (!found.isNull() && !found.atEnd()) {
        found = doc->find(replace_search_text, found, QTextDocument::FindWholeWords);
        if (found.isNull())
            break;
        match_found = true;
        // The search goes on after the inserted text, which is never searched again.
        found.insertText(in_case_of(found.selectedText(), replacement_text));
    }
    block.endEditBlock();
}
