// The status text: zoom level, character count and line count.
#include "fp.h"

#include <QLabel>
#include <QTextDocument>
#include <QTextEdit>

namespace {
// The document counts one more character than its plain text: the closing
// paragraph separator. Every other separator, frame mark or no-break space
// is one UTF-16 unit in both.
int plain_length(const QTextDocument *document)
{
    return document->characterCount() - 1;
}
} // namespace

// Runs on every keystroke, so it must not depend on the size of the
// document: the document keeps both counts, no copy of the text is made.
void fp::changestatus()
{
    QTextEdit *editor = cur_editor();
    if (!editor)
        return;
    const QTextDocument *document = editor->document();
    const QString text = QStringLiteral("Zoom: ") + QString::number(zoom_level) +
                         QStringLiteral("% , ") + QString::number(plain_length(document)) +
                         QStringLiteral(" Caractère , ") + QString::number(document->blockCount()) +
                         QStringLiteral(" Ligne");
    if (status_label->text() != text)
        status_label->setText(text);
}
