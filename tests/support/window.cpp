#include "window.h"

#include "documents/journal.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTest>

namespace feuillon_test {

std::unique_ptr<fp> startWindow(const QStringList &arguments, bool keepJournal)
{
    if (!keepJournal) {
        journal::Orphans ended = journal::find_orphans();
        for (const QString &folder : std::as_const(ended.folders))
            QDir(folder).removeRecursively();
    }
    auto window = std::make_unique<fp>(arguments);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("main window was not exposed");
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("main window did not become active");
    return window;
}

QTabWidget *tabs(fp &window)
{
    return window.findChild<QTabWidget *>(QStringLiteral("onglet"));
}

QTextEdit *currentEditor(fp &window)
{
    return qobject_cast<QTextEdit *>(tabs(window)->currentWidget());
}

QTextEdit *editorAt(fp &window, int index)
{
    return qobject_cast<QTextEdit *>(tabs(window)->widget(index));
}

QAction *action(fp &window, const char *objectName)
{
    return window.findChild<QAction *>(QString::fromLatin1(objectName));
}

QStringList menuEntries(QMenu *menu)
{
    emit menu->aboutToShow();
    QStringList out;
    for (QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("--") : a->text());
    return out;
}

QWidget *topLevel(const char *objectName)
{
    // Another window of the test may be alive with hidden tool windows of
    // the same names: the one on screen is the one the user means.
    QWidget *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(objectName) && (!found || w->isVisible()))
            found = w;
    return found;
}

QPushButton *buttonWithText(QWidget *window, const QString &text)
{
    for (QPushButton *b : window->findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

void markAllSaved(fp &window)
{
    QTabWidget *t = tabs(window);
    for (int i = 0; i < t->count(); ++i)
        if (auto *e = qobject_cast<QTextEdit *>(t->widget(i)))
            e->document()->setModified(false);
}

void type(QWidget *editor, const QString &text)
{
    editor->setFocus();
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(editor, Qt::Key_Return);
        else if (c.unicode() > 0x7E)
            // Beyond ASCII there is no key code; a keyboard layout sends the
            // character as the event's text.
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
        else
            QTest::keyClicks(editor, QString(c));
    }
}

bool waitLoaded(QTextEdit *editor, int timeoutMs)
{
    return QTest::qWaitFor([editor] { return !editor->isReadOnly(); }, timeoutMs);
}

QStringList journalEntryFiles()
{
    QStringList files;
    QDir root(journal::journal_root());
    for (const QString &run : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QString &name : QDir(root.filePath(run)).entryList({"*.entry"}, QDir::Files))
            files << root.filePath(run) + "/" + name;
    return files;
}

QStringList journaledTexts()
{
    QStringList texts;
    for (const QString &file : journalEntryFiles()) {
        journal::Entry entry;
        if (journal::read_back(file, &entry))
            texts << entry.text;
    }
    return texts;
}

} // namespace feuillon_test
