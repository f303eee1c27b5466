// Files changed by another program while open: followed quietly when the
// tab has no unsaved changes, asked about once otherwise, and never written
// over without a question.
#include "reliability.h"
#include "testmain.h"

#include "dialogs.h"
#include "documents/journal.h"
#include "documents/watch.h"
#include "files.h"
#include "window.h"

#include <QAction>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace feuillon_test;

class tst_watch : public QObject
{
    Q_OBJECT

private slots:
    void diskVerdictDecidesWhatHappens_data();
    void diskVerdictDecidesWhatHappens();
    void changeOnDisk_data();
    void changeOnDisk();
    void reloadTakesTheFilesNewForm();
    void checkBeforeEachKindOfWrite_data();
    void checkBeforeEachKindOfWrite();
    void sameFileInTwoTabs_data();
    void sameFileInTwoTabs();
    void fiftyFilesChangedAtOnce();
    void fileThatGrows_data();
    void fileThatGrows();
    void keptTextIsNotAskedAgainWhileTheFileGrows();
};

// Same size on purpose: only the bytes can tell them apart.
static const QByteArray before = "ancien texte\n";
static const QByteArray after = "nouveau mot!\n";
static const QString overwriteTitle = QStringLiteral("Enregistrer le fichier");
static const QString changedTitle = QStringLiteral("Fichier modifié");

// What another program does to the file.
static void alter(const QString &how, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (how == "rewrite") {
        QVERIFY(writeFileBytes(path, after));
    } else if (how == "rename") {
        QVERIFY(writeFileBytes(path + ".tmp", after));
        QCOMPARE(::rename(QFile::encodeName(path + ".tmp").constData(), name.constData()), 0);
    } else if (how == "touch") {
        const timespec later[2] = {{::time(nullptr) + 60, 0}, {::time(nullptr) + 60, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, name.constData(), later, 0), 0);
    } else if (how == "delete") {
        QVERIFY(QFile::remove(path));
    } else if (how == "recreate") {
        QVERIFY(QFile::remove(path));
        QTest::qWait(1000); // seen as deleted first
        QVERIFY(writeFileBytes(path, after));
    } else if (how == "chmod") {
        QCOMPARE(::chmod(name.constData(), 0600), 0);
    }
}

void tst_watch::changeOnDisk_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<bool>("reload"); // the answer to the question, when asked
    for (const char *how : {"rewrite", "rename", "touch", "delete", "recreate", "chmod"}) {
        QTest::addRow("%s, no unsaved changes", how) << how << false << false;
        QTest::addRow("%s, unsaved changes", how) << how << true << false;
    }
    QTest::newRow("rewrite, unsaved changes, reloaded") << "rewrite" << true << true;
    QTest::newRow("rename, unsaved changes, reloaded") << "rename" << true << true;
}

void tst_watch::changeOnDisk()
{
    QFETCH(QString, how);
    QFETCH(bool, unsaved);
    QFETCH(bool, reload);
    QTemporaryDir dir;
    const QString path = makeFile(dir, "doc.txt", before);
    auto w = startWindow({"feuillon", path});
    QTextEdit *e = currentEditor(*w);
    if (unsaved)
        type(e, "mien ");
    const QString mine = e->toPlainText();
    const bool content = how == "rewrite" || how == "rename" || how == "recreate";
    DialogAnswerer answers;
    if (unsaved && content)
        answers.button(reload ? QMessageBox::Yes : QMessageBox::No);
    alter(how, path);
    if (unsaved && content) {
        QVERIFY(answers.waitDone());
        QCOMPARE(answers.seen().first().title, changedTitle);
        QVERIFY(answers.seen().first().text.contains(QDir::toNativeSeparators(path)));
    } else if (content) {
        QVERIFY(QTest::qWaitFor([&] { return e->toPlainText() == QString(after); }, 5000));
        QVERIFY(!w->statusBar()->currentMessage().isEmpty());
    } else if (how == "delete" && !unsaved) {
        QVERIFY(QTest::qWaitFor([&] { return e->document()->isModified(); }, 5000));
    } else {
        QTest::qWait(1000); // time for a change that should not come
    }
    const bool followed = content && (!unsaved || reload);
    QCOMPARE(e->toPlainText(), followed ? QString(after) : mine);
    QCOMPARE(e->document()->isModified(), !followed && (unsaved || how == "delete"));
    if (followed) {
        e->undo(); // the reload is one step
        QCOMPARE(e->toPlainText(), mine);
        e->redo();
    }
    // Saving asks exactly when the file no longer holds what the text came from.
    const bool asks = (content && unsaved && !reload) || how == "delete";
    const QByteArray disk = fileBytes(path);
    if (asks) {
        answers.button(QMessageBox::No); // "Annuler"
        action(*w, "ac_enr")->trigger();
        QVERIFY(answers.waitDone());
        QCOMPARE(answers.seen().last().title, overwriteTitle);
        QCOMPARE(fileBytes(path), disk);
        QVERIFY(e->document()->isModified());
        answers.button(QMessageBox::Yes);
    }
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), e->toPlainText().toUtf8());
    QTest::qWait(500); // its own save must raise nothing
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(e->toPlainText().toUtf8(), fileBytes(path));
    reliability(
        QStringLiteral("file open in a tab, another program: %1").arg(QTest::currentDataTag()), 1,
        QStringLiteral("changes overwritten without a question: 0"));
}

// Rewritten with other line ends, the file is followed in its new form too:
// saving the reloaded text writes the same bytes back.
void tst_watch::reloadTakesTheFilesNewForm()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "doc.txt", "un\n");
    auto w = startWindow({"feuillon", path});
    QTextEdit *e = currentEditor(*w);
    QVERIFY(writeFileBytes(path, "un\r\ndeux\r\n"));
    QVERIFY(QTest::qWaitFor([&] { return e->toPlainText() == "un\ndeux\n"; }, 5000));
    DialogAnswerer none;
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), QByteArray("un\r\ndeux\r\n"));
    QCOMPARE(none.unexpected(), 0);
}

void tst_watch::checkBeforeEachKindOfWrite_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<bool>("overwrite");
    for (const char *write : {"save", "offer", "end of run"}) {
        QTest::addRow("%s, overwrite", write) << write << true;
        QTest::addRow("%s, cancel", write) << write << false;
    }
}

// The file changes just before the write, before any watch could see it.
void tst_watch::checkBeforeEachKindOfWrite()
{
    QFETCH(QString, write);
    QFETCH(bool, overwrite);
    QDir(journal::discarded_root()).removeRecursively();
    QTemporaryDir dir;
    const QString path = makeFile(dir, "doc.txt", before);
    const QString elsewhere = dir.filePath("ailleurs.txt");
    auto w = startWindow({"feuillon", path});
    type(currentEditor(*w), "mien ");
    const QByteArray mine = "mien " + before;
    alter("rewrite", path);
    DialogAnswerer answers;
    answers.button(overwrite ? QMessageBox::Yes : QMessageBox::No);
    if (write == "end of run" && !overwrite)
        answers.button(QMessageBox::Yes).file(elsewhere); // asked, then the save dialog
    if (write == "save")
        action(*w, "ac_enr")->trigger();
    else if (write == "offer")
        action(*w, "ac_new")->trigger();
    else
        w.reset();
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().first().title, overwriteTitle);
    QCOMPARE(fileBytes(path), overwrite ? mine : after);
    if (write == "end of run" && !overwrite)
        QCOMPARE(fileBytes(elsewhere), mine);
    // The other program's version, written over by a choice easily made by
    // mistake, is kept.
    const QStringList kept = QDir(journal::discarded_root()).entryList(QDir::Files);
    QCOMPARE(kept.size(), overwrite ? 1 : 0);
    if (overwrite)
        QCOMPARE(fileBytes(journal::discarded_root() + "/" + kept.first()), after);
    if (w && !overwrite) {
        QCOMPARE(currentEditor(*w)->toPlainText().toUtf8(), mine);
        QVERIFY(currentEditor(*w)->document()->isModified());
        QTest::qWait(500); // no second question about the same change
        markAllSaved(*w);
    }
    QCOMPARE(answers.unexpected(), 0);
    reliability(
        QStringLiteral("file changed just before the write: %1").arg(QTest::currentDataTag()), 1,
        QStringLiteral("changes overwritten without a question: 0"));
}

void tst_watch::sameFileInTwoTabs_data()
{
    QTest::addColumn<int>("first"); // the tab that saves first
    QTest::newRow("first tab saves first") << 0;
    QTest::newRow("second tab saves first") << 1;
}

void tst_watch::sameFileInTwoTabs()
{
    QFETCH(int, first);
    QTemporaryDir dir;
    const QString path = makeFile(dir, "doc.txt", before);
    auto w = startWindow({"feuillon", path, path});
    type(editorAt(*w, 0), "un ");
    type(editorAt(*w, 1), "deux ");
    DialogAnswerer answers;
    tabs(*w)->setCurrentIndex(first);
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), currentEditor(*w)->toPlainText().toUtf8());
    const QByteArray saved = fileBytes(path);
    // The other tab, in front, is asked once (kept), then its save asks too.
    answers.button(QMessageBox::No).button(QMessageBox::No).button(QMessageBox::Yes);
    tabs(*w)->setCurrentIndex(1 - first);
    QVERIFY(QTest::qWaitFor([&] { return answers.pending() == 2; }, 5000));
    QCOMPARE(answers.seen().at(0).title, changedTitle);
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), saved);
    action(*w, "ac_enr")->trigger();
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().at(1).title, overwriteTitle);
    QCOMPARE(fileBytes(path), currentEditor(*w)->toPlainText().toUtf8());
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
    reliability(QStringLiteral("same file in two tabs, %1").arg(QTest::currentDataTag()), 1,
                QStringLiteral("changes overwritten without a question: 0"));
}

void tst_watch::fiftyFilesChangedAtOnce()
{
    QTemporaryDir dir;
    QStringList arguments{"feuillon"};
    for (int i = 0; i < 50; ++i)
        arguments << makeFile(dir, QStringLiteral("f%1.txt").arg(i), before);
    auto w = startWindow(arguments);
    // One tab per file; two with unsaved changes, one in front.
    type(editorAt(*w, 10), "mien ");
    type(editorAt(*w, 20), "mien ");
    tabs(*w)->setCurrentIndex(10);
    QTest::qWait(500);
    DialogAnswerer answers;
    answers.button(QMessageBox::No);
    for (int i = 1; i < arguments.size(); ++i)
        alter("rewrite", arguments.at(i));
    QVERIFY(QTest::qWaitFor(
        [&] { return editorAt(*w, 49)->toPlainText() == QString(after) && !answers.pending(); },
        10000));
    QTest::qWait(500); // one question only
    QCOMPARE(answers.seen().size(), 1);
    int followed = 0;
    for (int i = 0; i < 50; ++i)
        followed += editorAt(*w, i)->toPlainText() == QString(after);
    QCOMPARE(followed, 48);
    // The other tab is asked about once the user turns to it.
    answers.button(QMessageBox::No);
    // Offscreen, no window takes the focus back after a box closes.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    tabs(*w)->setCurrentIndex(20);
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
    reliability(QStringLiteral("50 open files changed at once, 2 with unsaved changes"), 50,
                QStringLiteral("48 reloaded quietly, 2 asked one at a time; changes overwritten "
                               "without a question: 0"));
}

// A file that grows, as a log does, is followed by what it gained; anything
// else reads it whole. Either way one undo step, one message, and the view
// follows only a cursor that was at the end.
void tst_watch::fileThatGrows_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArrayList>("writes"); // appended; "=…": the file rewritten
    QTest::addColumn<bool>("atEnd");            // where the cursor was
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("undone"); // what one "Annuler" gives back
    QByteArray lines;
    for (int i = 0; i < 200; ++i)
        lines += "ligne " + QByteArray::number(i) + '\n';
    const QString text = QString::fromUtf8(lines);
    QTest::newRow("appended, cursor at the end")
        << lines << QByteArrayList{"a\n", "b\n", "c"} << true << text + "a\nb\nc" << text;
    QTest::newRow("appended, cursor elsewhere")
        << lines << QByteArrayList{"a\n", "b\n"} << false << text + "a\nb\n"
        << text;
    QTest::newRow("a character cut in two")
        << QByteArray("un\n") << QByteArrayList{"caf\xC3", "\xA9\n"} << true << "un\ncafé\n"
        << "un\n";
    QTest::newRow("Windows-1252, CRLF, a line end cut in two")
        << QByteArray("caf\xE9\r\n") << QByteArrayList{"th\xE9\r", "\n"} << true << "café\nthé\n"
        << "café\n";
    QTest::newRow("grown, but its start changed")
        << QByteArray("un\n") << QByteArrayList{"=UN\ndeux\n"} << true << "UN\ndeux\n"
        << "un\n";
    QTest::newRow("rotated: emptied, then written")
        << lines << QByteArrayList{"=", "=neuf\n", "encore\n"} << true << "neuf\nencore\n"
        << "";
    QByteArrayList versions;
    for (int i = 0; i < 20; ++i)
        versions << "=version " + QByteArray::number(i) + '\n';
    // Big enough to be read slice by slice: appended, or read again whole.
    const QByteArray big = lines.repeated(2000);
    QTest::newRow("big file appended")
        << big << QByteArrayList{"a\n"} << true << QString::fromUtf8(big) + "a\n"
        << QString::fromUtf8(big);
    QTest::newRow("big file rewritten")
        << big << QByteArrayList{"=" + big.toUpper()} << false << QString::fromUtf8(big.toUpper())
        << QString::fromUtf8(big);
    QTest::newRow("rewritten 20 times") << QByteArray("un\n") << versions << true << "version 19\n"
                                        << "version 18\n";
}

void tst_watch::fileThatGrows()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArrayList, writes);
    QFETCH(bool, atEnd);
    QFETCH(QString, shown);
    QFETCH(QString, undone);
    QTemporaryDir dir;
    const QString path = makeFile(dir, "journal.log", start);
    auto w = startWindow({"feuillon", path});
    QTextEdit *e = currentEditor(*w);
    QVERIFY(waitLoaded(e));
    e->moveCursor(atEnd ? QTextCursor::End : QTextCursor::Start);
    e->moveCursor(QTextCursor::Down);
    const int position = e->textCursor().position();
    const int scrolled = e->verticalScrollBar()->value();
    QSignalSpy said(w->statusBar(), &QStatusBar::messageChanged);
    for (const QByteArray &write : writes) {
        if (write.startsWith('='))
            QVERIFY(writeFileBytes(path, write.mid(1)));
        else
            QVERIFY(writeFileBytes(path, fileBytes(path) + write));
        QTest::qWait(300); // each write seen on its own
    }
    QTRY_COMPARE_WITH_TIMEOUT(e->toPlainText(), shown, 20000);
    QVERIFY(!e->document()->isModified());
    if (atEnd) {
        QVERIFY(e->textCursor().atEnd());
        QVERIFY(e->viewport()->rect().contains(e->cursorRect()));
    } else {
        QCOMPARE(e->textCursor().position(), position);
        QCOMPARE(e->verticalScrollBar()->value(), scrolled);
    }
    int told = 0;
    for (const QList<QVariant> &message : std::as_const(said))
        told += message.first().toString().contains("rechargé");
    QCOMPARE(told, 1);
    // The text and its form are the file's: a save writes its very bytes.
    const QByteArray disk = fileBytes(path);
    DialogAnswerer none;
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), disk);
    QCOMPARE(none.unexpected(), 0);
    e->undo();
    QCOMPARE(e->toPlainText(), undone);
    QVERIFY(!e->document()->isUndoAvailable()); // the history of reloads is kept short
    markAllSaved(*w);
}

// "Garder mon texte" against a log: the lines that follow raise no box;
// a rewrite of the file does.
void tst_watch::keptTextIsNotAskedAgainWhileTheFileGrows()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "journal.log", "un\n");
    auto w = startWindow({"feuillon", path});
    type(currentEditor(*w), "mien ");
    DialogAnswerer answers;
    answers.button(QMessageBox::No);
    QVERIFY(writeFileBytes(path, "un\ndeux\n"));
    QVERIFY(answers.waitDone());
    // Offscreen, no window takes the focus back after a box closes.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    for (const char *line : {"trois\n", "quatre\n", "cinq\n"}) {
        QVERIFY(writeFileBytes(path, fileBytes(path) + line));
        QTest::qWait(400);
    }
    QCOMPARE(answers.seen().size(), 1);
    answers.button(QMessageBox::No);
    QVERIFY(writeFileBytes(path, "autre chose\n"));
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().size(), 2);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(currentEditor(*w)->toPlainText(), "mien un\n");
    markAllSaved(*w);
}

void tst_watch::diskVerdictDecidesWhatHappens_data()
{
    using V = fingerprint::Verdict;
    using A = DiskAction;
    QTest::addColumn<V>("verdict");
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<bool>("markedGone");
    QTest::addColumn<A>("action");
    QTest::newRow("same bytes") << V::Same << true << false << A::Settle;
    QTest::newRow("back after being deleted") << V::Same << false << true << A::Settle;
    QTest::newRow("changed, nothing unsaved") << V::Changed << false << false << A::Reload;
    QTest::newRow("changed under unsaved text") << V::Changed << true << false << A::Ask;
    QTest::newRow("deleted") << V::Gone << false << false << A::MarkGone;
    QTest::newRow("deleted, already said") << V::Gone << true << true << A::Nothing;
}

void tst_watch::diskVerdictDecidesWhatHappens()
{
    QFETCH(fingerprint::Verdict, verdict);
    QFETCH(bool, unsaved);
    QFETCH(bool, markedGone);
    QFETCH(DiskAction, action);
    QCOMPARE(disk_action(verdict, unsaved, markedGone), action);
}

FEUILLON_TEST_MAIN(tst_watch)
#include "tst_watch.moc"
