// Where the cursor is, in lines of the document (not lines on screen), and
// "Aller à la ligne". Both ask the document for the cursor's block, which
// it finds without walking the text: cheap on every keystroke.
#include "fp.h"
#include "ui_fp.h"

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

// Left of the encoding, which stays at the right end.
void fp::set_up_position()
{
    position_label = new QLabel;
    position_label->setObjectName(QStringLiteral("position_label"));
    position_label->setContentsMargins(0, 0, 8, 0);
    ui->statusbar->removeWidget(form_label);
    ui->statusbar->addPermanentWidget(position_label);
    ui->statusbar->addPermanentWidget(form_label);
    form_label->show();

    auto *go = new QAction(tr("Aller à la ligne"), this);
    go->setObjectName(QStringLiteral("ac_goto"));
    go->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(go, &QAction::triggered, this, &fp::go_to_line);
    // With the other ways of going somewhere in the text, after "Remplacer".
    const QList<QAction *> entries = ui->m_ac->actions();
    ui->m_ac->insertAction(entries.value(entries.indexOf(ui->ac_remplacer) + 1), go);
    show_position();
}

void fp::show_position()
{
    QTextEdit *editor = cur_editor();
    if (!editor || !position_label)
        return;
    const QTextCursor cursor = editor->textCursor();
    const QString text =
        tr("Ligne %1, Colonne %2").arg(cursor.blockNumber() + 1).arg(cursor.positionInBlock() + 1);
    if (position_label->text() != text)
        position_label->setText(text);
}

void fp::go_to_line()
{
    QTextEdit *editor = cur_editor();
    if (!editor)
        return;
    QTextDocument *doc = editor->document();
    bool given = false;
    const int line = QInputDialog::getInt(
        this, tr("Aller à la ligne"), tr("Numéro de ligne (1 à %1)\u00A0:").arg(doc->blockCount()),
        editor->textCursor().blockNumber() + 1, 1, doc->blockCount(), 1, &given);
    if (!given)
        return;
    QTextCursor at(doc->findBlockByNumber(line - 1));
    editor->setTextCursor(at);
    editor->ensureCursorVisible();
    editor->setFocus(Qt::OtherFocusReason);
}
