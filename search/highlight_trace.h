// What the last find run left behind: its highlighting is one undo step of one
// document, and it may be taken back only while it is still that document's
// last step, so that a search never undoes the user's own work.
#pragma once

#include "fp.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTextDocument>

class fp::highlight_trace : public QObject
{
public:
    explicit highlight_trace(QObject *parent) : QObject(parent) {}

    // Brackets a run that may highlight in doc.
    void begin(QTextDocument *doc);
    void end();
    // Undoes the highlighting if it is still the last undo step of its
    // document, leaving the modified state as it was before the run; then
    // forgets the run either way.
    void take_away();
    QTextDocument *document() const { return doc; }

private:
    bool is_last_step() const;
    bool at_either_side() const;
    void forget();
    void keep_modified_state(bool modified);

    QPointer<QTextDocument> doc;
    int steps_before = 0;
    int steps_after = 0;
    // The text on both sides of the highlighting is the same; if it counted
    // as saved on one side, it does on the other.
    bool saved = false;
    // No undo step has been added to the document since the run, so its undo
    // history still is what the run left.
    bool untouched = false;
    QList<QMetaObject::Connection> links;
};

// Where a cursor's "word right" move from position lands: past the rest of a
// word or of a run of punctuation, then past the spaces; from the end of a
// line, at the start of the next one. Worked out from the text, because a
// cursor lays the line out first, which costs far more than the search.
int word_right_of(const QTextDocument *doc, int position);
