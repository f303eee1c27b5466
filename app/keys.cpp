// Keys added beside the menu shortcuts, so that the editor and its tool
// windows can be used from the keyboard alone.
#include "fp.h"
#include "ui_fp.h"

#include <QAction>
#include <QLineEdit>
#include <QShortcut>

void fp::connectKeys()
{
    // Return in a field does what the window's main button does.
    connect(find_field, &QLineEdit::returnPressed, this, &fp::makelook);
    connect(replace_search_field, &QLineEdit::returnPressed, this, &fp::makereplace);
    connect(replacement_field, &QLineEdit::returnPressed, this, &fp::makereplace);

    // Escape closes a tool window as its title bar does: nothing is undone.
    for (QWidget *tool : {find_window, replace_window, settings_window})
        new QShortcut(QKeySequence::Cancel, tool, tool, &QWidget::close);

    // Closes the current tab exactly as its close button does.
    auto *close_tab = new QAction(this);
    close_tab->setObjectName(QStringLiteral("ac_closetab"));
    close_tab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(close_tab, &QAction::triggered, this, [this] { closetab(ui->onglet->currentIndex()); });
    addAction(close_tab);

    // On a French keyboard Ctrl+Shift+6 never reaches its shortcut; F1 is
    // the same key on every layout.
    ui->ac_apropos->setShortcuts({ui->ac_apropos->shortcut(), QKeySequence(Qt::Key_F1)});
}
