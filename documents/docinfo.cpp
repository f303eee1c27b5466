#include "docinfo.h"
#include "textfile.h"

#include <QFileInfo>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>

docinfo::docinfo(QTextEdit *owner) : QObject(owner), editor(owner) {}

docinfo *docinfo::of(QTextEdit *editor)
{
    if (auto *found = editor->findChild<docinfo *>(QString(), Qt::FindDirectChildrenOnly))
        return found;
    return new docinfo(editor);
}

QList<QTextEdit *> docinfo::editors_current_first(QTabWidget *tabs)
{
    QList<QTextEdit *> editors;
    if (auto *current = qobject_cast<QTextEdit *>(tabs->currentWidget()))
        editors << current;
    for (int i = 0; i < tabs->count(); ++i)
        if (auto *editor = qobject_cast<QTextEdit *>(tabs->widget(i));
            editor && !editors.contains(editor))
            editors << editor;
    return editors;
}

QTextEdit *docinfo::holding(QTabWidget *tabs, const QString &file)
{
    for (int i = 0; i < tabs->count(); ++i)
        if (auto *editor = qobject_cast<QTextEdit *>(tabs->widget(i));
            editor && !file.isEmpty() && textfile::absolutePath(of(editor)->path()) == file)
            return editor;
    return nullptr;
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

bool docinfo::unsaved() const
{
    const QTextDocument *text = editor->document();
    return text->isModified() && !(gone && gone->matched_at == text->revision());
}

void docinfo::file_back(const Fingerprint &now)
{
    if (gone && !unsaved())
        editor->document()->setModified(false);
    disk = now;
    disk_question = false;
    gone.reset();
}

void docinfo::file_gone()
{
    QTextDocument *text = editor->document();
    gone = Gone{text->isModified() ? std::nullopt : std::optional<int>(text->revision())};
    text->setModified(true);
}
