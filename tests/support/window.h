// Helpers to drive the real main window from a test.
#pragma once

#include "fp.h"

#include <QPushButton>
#include <QStringList>
#include <QTabWidget>
#include <QTextEdit>
#include <memory>

namespace feuillon_test {

// A shown and exposed main window started with these command-line arguments
// (the program name first).
// Texts an earlier window of the test left in the recovery journal are
// removed first, unless the test is about them.
std::unique_ptr<fp> startWindow(const QStringList &arguments = {QStringLiteral("feuillon")},
                                bool keepJournal = false);

QTabWidget *tabs(fp &window);
QTextEdit *currentEditor(fp &window);
QTextEdit *editorAt(fp &window, int index);
QAction *action(fp &window, const char *objectName);
// A menu's entries as it shows them when it opens; a separator is "--".
QStringList menuEntries(QMenu *menu);
// A top-level window of the program, found by object name (the find,
// replace and settings windows and the pickers have no parent).
QWidget *topLevel(const char *objectName);
// The push button of this window that shows this text.
QPushButton *buttonWithText(QWidget *window, const QString &text);
// Marks every document as saved, so closing the window asks nothing.
void markAllSaved(fp &window);
// Types text into the editor or a field as a user would, through its key events.
void type(QWidget *editor, const QString &text);
// Waits until a big file read in slices is wholly in its editor (the tab
// stays read-only until then).
bool waitLoaded(QTextEdit *editor, int timeoutMs = 120000);
// The entries of the recovery journal, and their texts read back as the
// next start reads them: each entry with the edits of its log.
QStringList journalEntryFiles();
QStringList journaledTexts();

} // namespace feuillon_test
