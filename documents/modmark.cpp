// The tab of a document with unsaved changes carries a mark; its text stays
// the file's name. The mark follows the document's own modified state, so
// undoing back to the saved text takes it away again.
#include "tabs.h"

#include <QTabWidget>

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QTextDocument>
#include <QTextEdit>

namespace {
const char *const marked_property = "feuillon_marked";

QIcon drawn_mark()
{
    QIcon icon;
    for (const int side : {16, 32}) {
        QPixmap dot(side, side);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xd9, 0x6c, 0x1e));
        painter.drawEllipse(QRectF(side * 0.25, side * 0.25, side * 0.5, side * 0.5));
        icon.addPixmap(dot);
    }
    return icon;
}

void show_modified(QTabWidget *tabs, QTextEdit *editor)
{
    const bool modified = editor->document()->isModified();
    // Most keystrokes change nothing here.
    if (editor->property(marked_property).toBool() == modified)
        return;
    const int index = tabs->indexOf(editor);
    if (index < 0)
        return;
    editor->setProperty(marked_property, modified);
    static const QIcon mark = drawn_mark();
    tabs->setTabIcon(index, modified ? mark : QIcon());
    tabs->setTabToolTip(
        index,
        modified ? QCoreApplication::translate("fp", "Modifications non enregistrées") : QString());
}
} // namespace

// Every editor, whether in front or not: a background tab can be changed
// too (a reload, a restored text). Putting a new text in (a load, "Nouveau")
// clears the modified state without telling: the text change tells.
void follow_modified(QTabWidget *tabs, QTextEdit *editor)
{
    follow_modified_document(tabs, editor);
    QObject::connect(editor, &QTextEdit::textChanged, editor,
                     [tabs, editor] { show_modified(tabs, editor); });
}

void follow_modified_document(QTabWidget *tabs, QTextEdit *editor)
{
    QObject::connect(editor->document(), &QTextDocument::modificationChanged, editor,
                     [tabs, editor] { show_modified(tabs, editor); });
}
