// Going to one match of a word.
#pragma once

class NoteLabel;
class QString;
class QTextCursor;
class QTextEdit;

// Selects the first whole-word match after `from` (before it, backwards) and
// brings it into view; past the last one the search goes on from the other
// end, and the note says so. False, said too, when there is none.
bool select_match(QTextEdit *editor, const QString &word, bool backward, const QTextCursor &from,
                  NoteLabel *notes);
