// The recovery journal: unsaved text copied while the program runs, offered
// again after a run that did not end normally, never taken from a
// Feuillon that is still running.
#include "testmain.h"

#include "dialogs.h"
#include "documents/journal.h"
#include "documents/textfile.h"
#include "faults.h"
#include "files.h"
#include "reliability.h"
#include "window.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <csignal>

using namespace feuillon_test;

class tst_journal : public QObject
{
    Q_OBJECT

private slots:
    void entriesReadBackExactlyOrNotAtAll_data();
    void entriesReadBackExactlyOrNotAtAll();
    void typedTextReachesTheJournalAndGoesOnceDropped();
    void bigDocumentReachesTheJournalWhole();
    void entriesOfAnEndedRunAreOffered_data();
    void entriesOfAnEndedRunAreOffered();
    void aRunningFeuillonKeepsItsEntries();
    void restoredTextIsCheckedAgainstItsFile();
    void endSignalsKeepEveryUnsavedText();
    void unwritableJournalIsToldAndEditingGoesOn_data();
    void unwritableJournalIsToldAndEditingGoesOn();
};

static journal::Entry sample(const QString &text = QStringLiteral("cœur €\nl’été « ok »"))
{
    return {QStringLiteral("1"),
            QStringLiteral("/tmp/lettre.txt"),
            QStringLiteral("lettre.txt"),
            QDateTime(QDate(2026, 12, 7), QTime(10, 30)),
            text,
            {},
            {textfile::Charset::Windows1252, false, textfile::LineEnd::CRLF},
            {}};
}

void tst_journal::entriesReadBackExactlyOrNotAtAll_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<bool>("newer");
    const QByteArray whole = journal::encode(sample());
    QTest::newRow("whole") << whole << true << false;
    QTest::newRow("empty text") << journal::encode(sample(QString())) << true << false;
    QTest::newRow("cut short") << whole.chopped(1) << false << false;
    QTest::newRow("no header") << QByteArray("texte seul") << false << false;
    QTest::newRow("empty file") << QByteArray() << false << false;
    QByteArray later = whole;
    later.replace("\"feuillon-journal\":1", "\"feuillon-journal\":2");
    QTest::newRow("written by a later version") << later << false << true;
}

void tst_journal::entriesReadBackExactlyOrNotAtAll()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
    QFETCH(bool, newer);
    journal::Entry entry;
    bool isNewer = false;
    QCOMPARE(journal::decode(bytes, &entry, &isNewer), readable);
    QCOMPARE(isNewer, newer);
    if (readable) {
        QCOMPARE(entry.path, sample().path);
        QCOMPARE(entry.title, sample().title);
        QCOMPARE(entry.written, sample().written);
        QVERIFY(entry.form == sample().form);
    }
}

static QStringList entryFiles()
{
    QStringList files;
    QDir root(journal::journal_root());
    for (const QString &run : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QString &name : QDir(root.filePath(run)).entryList(QDir::Files))
            files << root.filePath(run) + "/" + name;
    return files;
}

void tst_journal::typedTextReachesTheJournalAndGoesOnceDropped()
{
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "brouillon");
    QVERIFY(QTest::qWaitFor([] { return entryFiles().size() == 1; }, 5000));
    journal::Entry entry;
    QVERIFY(journal::decode(fileBytes(entryFiles().first()), &entry));
    QCOMPARE(entry.text, QStringLiteral("brouillon"));
    QCOMPARE(entry.title, QStringLiteral("Nouvelle Onglet"));
    DialogAnswerer answers;
    answers.button(QMessageBox::No);
    action(*w, "ac_new")->trigger();
    QVERIFY(QTest::qWaitFor([] { return entryFiles().isEmpty(); }, 5000));
    w.reset();
    QVERIFY(
        QDir(journal::journal_root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

// A big document is read in slices while the window goes on; typing in the
// middle of a copy leaves the journal with the latest text, whole.
void tst_journal::bigDocumentReachesTheJournalWhole()
{
    QString text;
    for (int line = 0; text.size() < (4 << 20); ++line)
        text += QStringLiteral("ligne %1 : le chat dort près du feu\n").arg(line);
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    QTextEdit *editor = currentEditor(*w);
    editor->setPlainText(text);
    type(editor, "a");
    const auto journaled = [] {
        journal::Entry entry;
        const QStringList files = entryFiles();
        return files.size() == 1 && journal::decode(fileBytes(files.first()), &entry) ? entry.text
                                                                                      : QString();
    };
    QVERIFY(QTest::qWaitFor([&] { return journaled() == "a" + text; }, 10000));
    type(editor, "b");
    QTest::qWait(2100); // the copy has begun
    type(editor, "c");
    QVERIFY(QTest::qWaitFor([&] { return journaled() == "abc" + text; }, 10000));

    // Typing that never pauses, at both ends, still reaches the journal,
    // and each copy is the text as it was at one moment.
    const auto state = [&](const QString &copy) {
        const qsizetype starts = copy.indexOf(QLatin1String("abc"));
        const qsizetype ends = copy.size() - (copy.lastIndexOf(QLatin1Char('\n')) + 1);
        const bool whole = starts >= 0 && copy.left(starts) == QString(starts, QLatin1Char('s')) &&
                           copy.right(ends) == QString(ends, QLatin1Char('e')) &&
                           copy.mid(starts, copy.size() - starts - ends) == "abc" + text &&
                           (starts == ends || starts == ends + 1);
        return whole ? starts : -1;
    };
    QElapsedTimer typing;
    typing.start();
    int keys = 0;
    // Long enough for the sanitizers, under which each key costs much more.
    while (state(journaled()) < 1 && typing.elapsed() < 45000) {
        editor->moveCursor(keys % 2 ? QTextCursor::End : QTextCursor::Start);
        type(editor, keys++ % 2 ? "e" : "s");
        QTest::qWait(10);
    }
    QVERIFY2(state(journaled()) >= 1, qPrintable(journaled().left(40)));
    markAllSaved(*w);
}

// A run that is gone: its folder without a live lock.
static QString endedRun(const QList<journal::Entry> &entries, bool damaged)
{
    const QString folder = journal::journal_root() + "/run-ended";
    QDir().mkpath(folder);
    for (const journal::Entry &entry : entries)
        writeFileBytes(folder + "/" + entry.id + ".entry", journal::encode(entry));
    if (damaged)
        writeFileBytes(folder + "/9.entry", journal::encode(sample()).chopped(3));
    return folder;
}

void tst_journal::entriesOfAnEndedRunAreOffered_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("damaged");
    QTest::newRow("Restaurer") << "Restaurer" << false;
    QTest::newRow("Restaurer, beside a damaged entry") << "Restaurer" << true;
    QTest::newRow("Plus tard") << "Plus tard" << false;
    QTest::newRow("Abandonner") << "Abandonner" << false;
    QTest::newRow("Escape") << "" << false;
}

void tst_journal::entriesOfAnEndedRunAreOffered()
{
    QFETCH(QString, answer);
    QFETCH(bool, damaged);
    QTemporaryDir dir;
    QDir(journal::journal_root()).removeRecursively();
    QDir(journal::discarded_root()).removeRecursively();
    journal::Entry withPath = sample();
    withPath.path = dir.filePath("lettre.txt");
    journal::Entry untitled = sample(QStringLiteral("idée"));
    untitled.id = "2";
    untitled.path.clear();
    untitled.title = QStringLiteral("Nouvelle Onglet");
    const QString folder = endedRun({withPath, untitled}, damaged);

    DialogAnswerer answers;
    answer.isEmpty() ? answers.escape() : answers.press(answer);
    auto w = startWindow({"feuillon"}, true);
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().first().title, QStringLiteral("Textes non enregistrés"));
    QVERIFY(answers.seen().first().informative.contains(withPath.path));
    QVERIFY(answers.seen().first().informative.contains(QStringLiteral("idée")));
    QCOMPARE(w->statusBar()->currentMessage().contains("illisible"), damaged);

    const bool restored = answer == "Restaurer";
    QCOMPARE(tabs(*w)->count(), restored ? 3 : 1);
    if (restored) {
        QCOMPARE(editorAt(*w, 1)->toPlainText(), withPath.text);
        QCOMPARE(editorAt(*w, 1)->accessibleName(), withPath.path);
        QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("lettre.txt"));
        QCOMPARE(tabs(*w)->tabText(2), QStringLiteral("Nouvelle Onglet"));
        QVERIFY(editorAt(*w, 2)->document()->isModified());
        // Written nowhere until the user saves.
        QVERIFY(!QFile::exists(withPath.path));
    }
    const int kept = QDir(folder).entryList(QDir::Files).size();
    QCOMPARE(kept, (restored || answer == "Abandonner") ? int(damaged) : 2);
    QCOMPARE(QDir(journal::discarded_root()).entryList(QDir::Files).size(),
             answer == "Abandonner" ? 2 : 0);
    if (damaged)
        reliability(QStringLiteral("recovery journal: a damaged entry beside two good ones"), 1,
                    QStringLiteral("skipped and told, left in place; the good ones restored"));
    if (restored) {
        // Its file may hold something else by now: asked, never written silently.
        answers.button(QMessageBox::No);
        emit tabs(*w)->tabCloseRequested(1);
        QCOMPARE(answers.pending(), 0);
        QVERIFY(!QFile::exists(withPath.path));
    }
    markAllSaved(*w);
    w.reset();
    QDir(journal::journal_root()).removeRecursively();
}

// The file may have changed since the text was copied: saving the restored
// text asks first, as for any file changed by another program.
void tst_journal::restoredTextIsCheckedAgainstItsFile()
{
    QDir(journal::journal_root()).removeRecursively();
    QTemporaryDir dir;
    const QString path = makeFile(dir, "lettre.txt", "avant");
    journal::Entry entry = sample(QStringLiteral("mon texte"));
    entry.path = path;
    entry.disk = textfile::read(path).fingerprint;
    endedRun({entry}, false);
    QVERIFY(writeFileBytes(path, "écrit par un autre programme"));
    DialogAnswerer answers;
    answers.press("Restaurer");
    auto w = startWindow({"feuillon"}, true);
    QVERIFY(answers.waitDone());
    answers.press("Annuler");
    action(*w, "ac_enr")->trigger();
    QCOMPARE(answers.pending(), 0);
    QVERIFY(answers.seen().last().text.contains(QStringLiteral("modifié par un autre programme")));
    QCOMPARE(fileBytes(path), QByteArray("écrit par un autre programme"));
    QVERIFY(currentEditor(*w)->document()->isModified());
    markAllSaved(*w);
    w.reset();
    QDir(journal::journal_root()).removeRecursively();
}

void tst_journal::aRunningFeuillonKeepsItsEntries()
{
    QDir(journal::journal_root()).removeRecursively();
    journal::Run other;
    QVERIFY(other.usable());
    QVERIFY(other.write(sample()));
    DialogAnswerer none;
    auto w = startWindow({"feuillon"}, true);
    QTest::qWait(50);
    QCOMPARE(none.seen().size(), 0);
    w.reset();
    QCOMPARE(entryFiles().size(), 1);
    other.finish();
    reliability(QStringLiteral("recovery journal: two Feuillon running at once"), 1,
                QStringLiteral("the other one's entries neither offered, changed nor deleted"));
}

// A log-out or a kill: no question can be answered, everything unsaved is
// kept for the next start.
void tst_journal::endSignalsKeepEveryUnsavedText()
{
    auto w = startWindow();
    w->end_on_signals();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "au revoir");
    DialogAnswerer answers;
    std::raise(SIGTERM);
    QVERIFY(QTest::qWaitFor([] { return entryFiles().size() == 1; }, 5000));
    w.reset();
    QCOMPARE(answers.seen().size(), 0);
    answers.press("Restaurer");
    w = startWindow({"feuillon"}, true);
    QVERIFY(answers.waitDone());
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("au revoir"));
    markAllSaved(*w);
    reliability(QStringLiteral("SIGTERM right after typing"), 1,
                QStringLiteral("every unsaved text kept, offered and restored at the next start"));
}

void tst_journal::unwritableJournalIsToldAndEditingGoesOn_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("freeKib");
    QTest::newRow("its folder is a file") << "file" << 0;
    // With no room the run cannot even take its lock; with a little, the
    // lock fits and the copies do not.
    QTest::newRow("full disk, 0 KiB free") << "full" << 0;
    QTest::newRow("full disk, 4 KiB free") << "full" << 4;
}

void tst_journal::unwritableJournalIsToldAndEditingGoesOn()
{
    QFETCH(QString, fault);
    QFETCH(int, freeKib);
    QDir(journal::journal_root()).removeRecursively();
    std::unique_ptr<SmallDisk> disk;
    if (fault == "file") {
        QVERIFY(QDir().mkpath(QFileInfo(journal::journal_root()).path()));
        QVERIFY(writeFileBytes(journal::journal_root(), "pas un dossier"));
    } else {
        disk = std::make_unique<SmallDisk>(journal::journal_root(), 64);
        if (!disk->ok)
            QSKIP("mounting a small tmpfs needs root (CAP_SYS_ADMIN)");
        QVERIFY(disk->leaveFree(freeKib * 1024));
    }
    QTemporaryDir dir;
    // Bigger than the room left, so no copy of it can fit.
    const QByteArray before = numberedText(20 * 1024);
    const QString path = makeFile(dir, "a.txt", before);
    DialogAnswerer none;
    auto w = startWindow({"feuillon", path});
    const auto toldNow = [&w] {
        return w->statusBar()->currentMessage().contains("copie de secours") ? 1 : 0;
    };
    int told = toldNow();
    QSignalSpy messages(w->statusBar(), &QStatusBar::messageChanged);
    type(currentEditor(*w), "texte ");
    QTRY_VERIFY_WITH_TIMEOUT(toldNow() || told, 10000);
    // More typing, and the next copy tried after the pause: not told again.
    type(currentEditor(*w), "encore ");
    QTest::qWait(2500);
    for (const QList<QVariant> &message : std::as_const(messages))
        told += message.first().toString().contains("copie de secours") ? 1 : 0;
    QCOMPARE(told, 1);
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), "texte encore " + before);
    QCOMPARE(none.seen().size(), 0);
    reliability(QStringLiteral("recovery journal cannot be written (%1)")
                    .arg(QString::fromLatin1(QTest::currentDataTag())),
                1,
                QStringLiteral("told once in the status bar, no box, editing and saving go on, "
                               "the saved file exact"));
    w.reset();
    QFile::remove(journal::journal_root());
}

FEUILLON_TEST_MAIN(tst_journal)
#include "tst_journal.moc"
