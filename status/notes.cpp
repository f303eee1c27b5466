// A short note beside the status text (a search that went round the end of
// the document): it says what happened without a box to answer, and goes
// by itself.
#include "fp.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimer>

namespace {
const int note_lasts_ms = 6000;
} // namespace

void fp::note(const QString &text)
{
    if (!note_label) {
        note_label = new QLabel;
        note_label->setObjectName(QStringLiteral("note_label"));
        // Apart from the counts, which it does not belong to.
        note_label->setContentsMargins(16, 0, 0, 0);
        status_layout->addWidget(note_label, 0, 1);
        note_timer = new QTimer(note_label);
        note_timer->setSingleShot(true);
        connect(note_timer, &QTimer::timeout, note_label, &QLabel::clear);
    }
    note_label->setText(text);
    note_timer->start(note_lasts_ms);
}
