// The recovery journal: unsaved text copied while the program runs, offered
// again after a run that did not end normally, never taken from a
// Feuillon that is still running.
#include "testmain.h"

#include "dialogs.h"
#include "documents/journal.h"
#include "documents/recoveryjournal.h"
#include "documents/textfile.h"
#include "faults.h"
#include "files.h"
#include "reliability.h"
#include "window.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <csignal>
#include <sys/stat.h>

using namespace feuillon_test;

class tst_journal : public QObject
{
    Q_OBJECT

private slots:
    void entriesReadBackExactlyOrNotAtAll_data();
    void entriesReadBackExactlyOrNotAtAll();
    void typedTextReachesTheJournalAndGoesOnceDropped();
    void editsReachTheJournalAsTheyAre_data();
    void editsReachTheJournalAsTheyAre();
    void logsReplayUpToTheirLastWholeRecord_data();
    void logsReplayUpToTheirLastWholeRecord();
    void entriesOfAnEndedRunAreOffered_data();
    void entriesOfAnEndedRunAreOffered();
    void aRunningFeuillonKeepsItsEntries();
    void restoredTextIsCheckedAgainstItsFile();
    void endSignalsKeepEveryUnsavedText();
    void unwritableJournalIsToldAndEditingGoesOn_data();
    void unwritableJournalIsToldAndEditingGoesOn();
    void unsavedTextIsTheUsersAlone_data();
    void unsavedTextIsTheUsersAlone();
    void restoredTextGoesBackToItsOwnFile_data();
    void restoredTextGoesBackToItsOwnFile();
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
    later.replace("\"feuillon-journal\":2", "\"feuillon-journal\":3");
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

void tst_journal::typedTextReachesTheJournalAndGoesOnceDropped()
{
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "brouillon");
    QVERIFY(QTest::qWaitFor([] { return journalEntryFiles().size() == 1; }, 5000));
    journal::Entry entry;
    QVERIFY(journal::decode(fileBytes(journalEntryFiles().first()), &entry));
    QCOMPARE(entry.text, QStringLiteral("brouillon"));
    QCOMPARE(entry.title, QStringLiteral("Nouvelle Onglet"));
    DialogAnswerer answers;
    answers.button(QMessageBox::No);
    action(*w, "ac_new")->trigger();
    QVERIFY(QTest::qWaitFor([] { return journalEntryFiles().isEmpty(); }, 5000));
    w.reset();
    QVERIFY(
        QDir(journal::journal_root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void tst_journal::editsReachTheJournalAsTheyAre_data()
{
    QTest::addColumn<QString>("edit");
    for (const char *edit : {"typing", "typing at the end", "deleting", "pasting lines", "undo",
                             "replacing the whole text", "emptying", "a format change",
                             "typing at both ends during copies in slices"})
        QTest::newRow(edit) << edit;
}

// The real journal with millisecond timings: a copy, then a log of edits
// that brings it up to date, then new copies as the log grows.
void tst_journal::editsReachTheJournalAsTheyAre()
{
    QFETCH(QString, edit);
    QDir(journal::journal_root()).removeRecursively();
    const bool big = edit.contains("slices");
    RecoveryJournal recovery(
        nullptr, [](QTextEdit *) { return journal::Entry(); }, JournalTimings{5, 4096, 1, 200});
    QTextEdit editor;
    QString text;
    for (int line = 0; line < (big ? 3000 : 3); ++line)
        text += QStringLiteral("ligne %1 : l’été\u00A0à 100 €\n").arg(line);
    editor.setPlainText(text);
    editor.document()->setModified(false);
    recovery.track(&editor);
    type(&editor, "a");
    const auto now = [&editor] { return QStringList{textfile::documentText(*editor.document())}; };
    QTRY_COMPARE(journaledTexts(), now());
    QTextCursor cursor(editor.document());
    cursor.movePosition(QTextCursor::End);
    if (edit == "typing at the end")
        editor.setTextCursor(cursor);
    if (edit.startsWith("typing"))
        type(&editor, "bc\nd");
    if (edit == "deleting")
        QTest::keyClicks(&editor, "\b\b");
    if (edit == "pasting lines")
        cursor.insertText("un\ndeux\n\ntrois");
    if (edit == "undo")
        editor.undo();
    if (edit == "replacing the whole text")
        editor.setPlainText("autre\ntexte");
    if (edit == "emptying")
        editor.clear();
    if (edit == "a format change") {
        QTextCharFormat blue;
        blue.setBackground(Qt::blue);
        cursor.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(blue);
    }
    for (int key = 0; big && key < 60; ++key) {
        editor.moveCursor(key % 2 ? QTextCursor::End : QTextCursor::Start);
        type(&editor, key % 2 ? "e" : "s\n");
        QTest::qWait(key % 7);
    }
    editor.document()->setModified(true);
    QTRY_COMPARE(journaledTexts(), now());
    // One entry and at most the log of its newest copy.
    QVERIFY(QDir(QFileInfo(journalEntryFiles().first()).path()).entryList(QDir::Files).size() <= 2);
    editor.document()->setModified(false);
    QTRY_VERIFY(journalEntryFiles().isEmpty());
}

void tst_journal::logsReplayUpToTheirLastWholeRecord_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("text");
    const QByteArray two = journal::encode(journal::Edit{2, 0, "é\nx", 7}) +
                           journal::encode(journal::Edit{0, 1, QString(), 6});
    QTest::newRow("whole") << two << "bé\nxcd";
    QTest::newRow("cut in its last record") << two.chopped(1) << "abé\nxcd";
    QTest::newRow("a record that does not fit")
        << two + journal::encode(journal::Edit{1, 0, "z", 99}) << "bé\nxcd";
    QTest::newRow("garbage") << QByteArray("2 0 x\n") << "abcd";
}

void tst_journal::logsReplayUpToTheirLastWholeRecord()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, text);
    QString replayed = QStringLiteral("abcd");
    journal::replay(log, &replayed);
    QCOMPARE(replayed, text);
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
    const QStringList dropped = QDir(journal::discarded_root()).entryList(QDir::Files);
    QCOMPARE(dropped.size(), answer == "Abandonner" ? 2 : 0);
    // Dropped in the file's own encoding and line ends, under its own name.
    for (const QString &name : dropped)
        if (name.endsWith(" lettre.txt"))
            QCOMPARE(fileBytes(journal::discarded_root() + "/" + name),
                     QByteArray("c\x9cur \x80\r\nl\x92\xe9t\xe9 \xab ok \xbb"));
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
    QCOMPARE(journalEntryFiles().size(), 1);
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
    QVERIFY(QTest::qWaitFor([] { return journalEntryFiles().size() == 1; }, 5000));
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

// Every folder and file under `root` that another account could read.
static QStringList readableByOthers(const QString &root)
{
    QStringList open;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    for (QString path = root; !path.isEmpty(); path = it.hasNext() ? it.next() : QString()) {
        struct stat st {
        };
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        const mode_t wanted = S_ISDIR(st.st_mode) ? 0700 : 0600;
        if ((st.st_mode & 0777) != wanted)
            open << QStringLiteral("%1 %2").arg(path).arg(st.st_mode & 0777, 0, 8);
    }
    return open;
}

void tst_journal::unsavedTextIsTheUsersAlone_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<bool>("older");
    QTest::newRow("umask 022") << 022 << false;
    QTest::newRow("umask 077") << 077 << false;
    QTest::newRow("folders an older version left readable") << 022 << true;
}

// A private file's unsaved text, the copies kept of it and the journal's
// own files: readable by the user alone, whatever the umask.
void tst_journal::unsavedTextIsTheUsersAlone()
{
    QFETCH(int, mask);
    QFETCH(bool, older);
    const QString data = QFileInfo(journal::journal_root()).path();
    QDir(data).removeRecursively();
    const mode_t before = ::umask(mode_t(mask));
    if (older) {
        QVERIFY(QDir().mkpath(journal::discarded_root()));
        QVERIFY(QDir().mkpath(journal::journal_root()));
        QVERIFY(writeFileBytes(journal::discarded_root() + "/ancien.txt", "vieux secret"));
    }
    QTemporaryDir dir;
    const QString path = makeFile(dir, "secret.txt", "mot de passe\n");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    auto w = startWindow({"feuillon", path}, true);
    type(currentEditor(*w), "nouveau ");
    QVERIFY(QTest::qWaitFor([] { return journalEntryFiles().size() == 1; }, 5000));
    // Written without a question: the old bytes are kept. Then a text the
    // user drops, and one left unsaved in the journal.
    action(*w, "ac_new")->trigger();
    type(currentEditor(*w), "jeté");
    DialogAnswerer answers;
    answers.button(QMessageBox::No);
    action(*w, "ac_new")->trigger();
    type(currentEditor(*w), "brouillon");
    QVERIFY(QTest::qWaitFor([] { return journalEntryFiles().size() == 1; }, 5000));
    ::umask(before);
    QCOMPARE(QDir(journal::discarded_root()).entryList(QDir::Files).size(), older ? 3 : 2);
    QCOMPARE(readableByOthers(data), QStringList());
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
    reliability(QStringLiteral("private text readable by others (%1)")
                    .arg(QString::fromLatin1(QTest::currentDataTag())),
                1, QStringLiteral("0: journal folders 0700, entries, locks and kept copies 0600"));
}

void tst_journal::restoredTextGoesBackToItsOwnFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("journaled in one folder, restored from another") << "elsewhere";
    QTest::newRow("relative path of an older version") << "relative";
    QTest::newRow("its file given on the command line too") << "open";
}

// Files of the same name under another working folder are never written.
void tst_journal::restoredTextGoesBackToItsOwnFile()
{
    QFETCH(QString, how);
    QDir(journal::journal_root()).removeRecursively();
    const QString home = QDir::currentPath();
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("vrai/s2")) && QDir().mkpath(dir.filePath("autre/s2")));
    const QString real = makeFile(dir, "vrai/s2/secret.txt", "avant\n");
    const QString other = makeFile(dir, "autre/s2/secret.txt", "autre\n");
    journal::Entry entry = sample(QStringLiteral("mien avant\n"));
    entry.form = textfile::Form();
    entry.title = QStringLiteral("secret.txt");
    if (how == "elsewhere") {
        // Opened by a relative name: the journal knows where it really is.
        QDir::setCurrent(dir.filePath("vrai"));
        auto w = startWindow({"feuillon", "s2/secret.txt"});
        type(currentEditor(*w), "mien ");
        QVERIFY(QTest::qWaitFor([] { return journalEntryFiles().size() == 1; }, 5000));
        QVERIFY(journal::decode(fileBytes(journalEntryFiles().first()), &entry));
        QCOMPARE(entry.path, real);
        markAllSaved(*w);
    } else {
        entry.path = how == "relative" ? QStringLiteral("s2/secret.txt") : real;
        entry.disk = textfile::read(real).fingerprint;
    }
    endedRun({entry}, false);
    QDir::setCurrent(dir.filePath("autre"));
    DialogAnswerer answers;
    answers.press("Restaurer");
    auto w =
        startWindow(how == "open" ? QStringList{"feuillon", real} : QStringList{"feuillon"}, true);
    QVERIFY(answers.waitDone());
    QCOMPARE(tabs(*w)->count(), how == "open" ? 1 : 2);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("mien avant\n"));
    QCOMPARE(tabs(*w)->tabText(tabs(*w)->currentIndex()), QStringLiteral("secret.txt"));
    if (how == "relative")
        answers.file(""); // the old name is offered, no file is assumed
    action(*w, "ac_enr")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(fileBytes(real), how == "relative" ? QByteArray("avant\n") : "mien avant\n");
    QCOMPARE(fileBytes(other), QByteArray("autre\n"));
    if (how == "relative")
        QCOMPARE(answers.seen().last().informative, QStringLiteral("secret.txt"));
    reliability(QStringLiteral("restored into another file (%1)").arg(how), 1,
                QStringLiteral("0: the text goes back to the file it came from, or to none"));
    markAllSaved(*w);
    w.reset();
    QDir::setCurrent(home);
    QDir(journal::journal_root()).removeRecursively();
}

FEUILLON_TEST_MAIN(tst_journal)
#include "tst_journal.moc"
