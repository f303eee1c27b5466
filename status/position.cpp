// Where the cursor is, in lines of the document (not lines on screen), and
// "Aller à la ligne". Both ask the document for the cursor's block, which
// it finds without walking the text: cheap on every keystroke.
#include "position.h"
#include "fp.h"
#include "ui_fp.h"

#include <QAction>
#include <QCoreApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

void go_to_line(QWidget *parent, QTextEdit *editor)
{
    if (!editor)
        return;
    QTextDocument *doc = editor->document();
    bool given = false;
    const int line = QInputDialog::getInt(
        parent, QCoreApplication::translate("fp", "Aller à la ligne"),
        QCoreApplication::translate("fp", "Numéro de ligne (1 à %1)\u00A0:").arg(doc->blockCount()),
        editor->textCursor().blockNumber() + 1, 1, doc->blockCount(), 1, &given);
    if (!given)
        return;
    QTextCursor at(doc->findBlockByNumber(line - 1));
    editor->setTextCursor(at);
    editor->ensureCursorVisible();
    editor->setFocus(Qt::OtherFocusReason);
}

void show_position(QLabel *position_label, QTextEdit *editor)
{
    if (!editor || !position_label)
        return;
    const QTextCursor cursor = editor->textCursor();
    const QString text = QCoreApplication::translate("fp", "Ligne %1, Colonne %2")
                             .arg(cursor.blockNumber() + 1)
                             .arg(cursor.positionInBlock() + 1);
    if (position_label->text() != text)
        position_label->setText(text);
}
