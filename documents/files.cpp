// Opening and saving files, and the offer to save before text is dropped.
#include "fp.h"
#include "ui_fp.h"

#include <QTextEdit>

bool fp::load_file(QString path)
{
    Q_UNUSED(path);
    return true;
}

bool fp::write_file(QString path)
{
    Q_UNUSED(path);
    return true;
}

bool fp::offer_save()
{
    return true;
}

bool fp::offer_save_editor(QTextEdit *editor)
{
    Q_UNUSED(editor);
    return true;
}

void fp::offer_save_at_exit() {}

void fp::open() {}

void fp::openatab() {}

void fp::saving() {}

void fp::saveas() {}
