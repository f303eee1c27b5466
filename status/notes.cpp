// A short note beside the status text (a search that went round the end of
// the document): it says what happened without a box to answer, and goes
// by itself.
#include "notes.h"

namespace {
const int note_lasts_ms = 6000;
} // namespace

NoteLabel::NoteLabel()
{
    setObjectName(QStringLiteral("note_label"));
    // Apart from the counts, which it does not belong to.
    setContentsMargins(16, 0, 0, 0);
    lasts.setSingleShot(true);
    connect(&lasts, &QTimer::timeout, this, &QLabel::clear);
}

void NoteLabel::say(const QString &text)
{
    setText(text);
    lasts.start(note_lasts_ms);
}
