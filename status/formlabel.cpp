// The encoding and line ends of the current document, at the right of the
// status bar, so that the user always knows how a save will write the file.
#include "documents/docinfo.h"
#include "fp.h"
#include "ui_fp.h"

#include <QLabel>
#include <QStatusBar>
#include <QTextEdit>

void fp::show_form()
{
    QTextEdit *editor = cur_editor();
    if (!editor)
        return;
    if (!form_label) {
        // The progress of a big file's load, shown only then, left of it.
        load_label = new QLabel;
        load_label->setObjectName(QStringLiteral("load_label"));
        load_label->hide();
        ui->statusbar->addPermanentWidget(load_label);
        form_label = new QLabel;
        form_label->setObjectName(QStringLiteral("form_label"));
        form_label->setToolTip(tr("Encodage et fins de ligne du document"));
        ui->statusbar->addPermanentWidget(form_label);
    }
    const QString text = textfile::formName(docinfo::of(editor)->form);
    if (form_label->text() != text)
        form_label->setText(text);
}
