#include "docinfo.h"

#include <QFileInfo>
#include <QTextEdit>

docinfo::docinfo(QTextEdit *owner) : QObject(owner), editor(owner) {}

docinfo *docinfo::of(QTextEdit *editor)
{
    if (auto *found = editor->findChild<docinfo *>(QString(), Qt::FindDirectChildrenOnly))
        return found;
    return new docinfo(editor);
}

QString docinfo::path() const
{
    return editor->accessibleName();
}

void docinfo::set_path(const QString &path)
{
    editor->setAccessibleName(path);
}

QString docinfo::file_name() const
{
    return QFileInfo(path()).fileName();
}

void docinfo::forget()
{
    set_path(QString());
    undecodable = false;
    restored = false;
    suggested_name.clear();
    form = textfile::Form();
    disk = Fingerprint();
    disk_question = false;
    kept_against.reset();
    gone.reset();
    cleared_characters = 0;
}
