#include "highlight_trace.h"

#include <QTextBlock>

void fp::highlight_trace::begin(QTextDocument *target)
{
    forget();
    doc = target;
    steps_before = target->availableUndoSteps();
    saved = !target->isModified();
}

void fp::highlight_trace::end()
{
    if (!doc || doc->availableUndoSteps() == steps_before) {
        // Nothing was highlighted: there is nothing to take back later.
        forget();
        return;
    }
    steps_after = doc->availableUndoSteps();
    untouched = true;
    // Formatting is never written to the file: the text is still as saved.
    if (saved)
        doc->setModified(false);
    links << connect(doc, &QTextDocument::undoCommandAdded, this, [this] { untouched = false; });
    links << connect(doc, &QTextDocument::modificationChanged, this,
                     &highlight_trace::keep_modified_state);
}

void fp::highlight_trace::take_away()
{
    if (is_last_step()) {
        const bool was_saved = saved;
        doc->undo();
        if (was_saved)
            doc->setModified(false);
    }
    forget();
}

bool fp::highlight_trace::is_last_step() const
{
    // Emptying the undo history (a file read into the editor) adds no step,
    // but leaves fewer steps than the run left.
    return doc && untouched && doc->availableUndoSteps() == steps_after;
}

bool fp::highlight_trace::at_either_side() const
{
    if (!untouched)
        return false;
    const int steps = doc->availableUndoSteps();
    // Right before the highlighting there is always its redo step; without
    // one, the undo history was emptied.
    return steps == steps_after || (steps == steps_before && doc->availableRedoSteps() > 0);
}

// The document has only one unmodified point in its undo history; stepping
// over the highlighting with undo or redo moves from one side of it to the
// other, so that point is moved along.
void fp::highlight_trace::keep_modified_state(bool modified)
{
    if (!doc)
        return;
    if (!modified) {
        // Saved on one side of the highlighting: the other side holds the same text.
        if (at_either_side())
            saved = true;
        return;
    }
    if (saved && at_either_side())
        doc->setModified(false);
}

void fp::highlight_trace::forget()
{
    for (const QMetaObject::Connection &link : std::as_const(links))
        disconnect(link);
    links.clear();
    doc = nullptr;
    untouched = false;
    saved = false;
}

namespace {
// The punctuation that a "word right" move treats as a word of its own.
bool is_word_separator(QChar c)
{
    static const QString separators = QStringLiteral(".,?!@#$:;-<>[](){}=/+%&^*'\"`~|\\");
    return separators.contains(c);
}
} // namespace

int word_right_of(const QTextDocument *doc, int position)
{
    if (position >= doc->characterCount() - 1)
        return position;
    const QTextBlock block = doc->findBlock(position);
    const QString text = block.text();
    const int end = int(text.size());
    int at = position - block.position();
    if (at >= end)
        return block.position() + block.length();
    if (is_word_separator(text.at(at))) {
        while (at < end && is_word_separator(text.at(at)))
            ++at;
    } else {
        while (at < end && !text.at(at).isSpace() && !is_word_separator(text.at(at)))
            ++at;
    }
    while (at < end && text.at(at).isSpace())
        ++at;
    return block.position() + at;
}
