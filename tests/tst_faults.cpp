// Saves that go wrong: a full disk, the program killed in the middle, a file
// with several names that cannot be rewritten. Nothing may be lost.
#include "reliability.h"
#include "testmain.h"

#include "dialogs.h"
#include "faults.h"
#include "files.h"
#include "window.h"

#include <QAction>
#include <QTemporaryDir>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace feuillon_test;

class tst_faults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fullDiskKeepsOldFileOrWritesNewOneWhole_data();
    void fullDiskKeepsOldFileOrWritesNewOneWhole();
    void killedSaveLeavesOldOrNewFileWhole_data();
    void killedSaveLeavesOldOrNewFileWhole();
    void failedInPlaceWriteRestoresSharedFile_data();
    void failedInPlaceWriteRestoresSharedFile();
};

static const QByteArray oldBytes = numberedText(8 * 1024);

// What fills the disk or caps the file size: a small tmpfs or RLIMIT_FSIZE.
struct Fault {
    std::unique_ptr<SmallDisk> disk;
    std::unique_ptr<FileSizeLimit> limit;
};

static QString faultFolder(const QTemporaryDir &dir, const QString &means, Fault &fault)
{
    const QString folder = dir.filePath("disque");
    if (means == "tmpfs")
        fault.disk = std::make_unique<SmallDisk>(folder, 256);
    else
        QDir().mkpath(folder);
    return folder;
}

// Sets the fault up once the old file is in place; false with a reason.
static bool arm(Fault &fault, qint64 freeBytes, const char **why)
{
    if (fault.disk) {
        *why = "the tmpfs cannot be filled to the wanted free space";
        return fault.disk->leaveFree(freeBytes);
    }
    fault.limit = std::make_unique<FileSizeLimit>(rlim_t(freeBytes));
    *why = "the file-size limit cannot be lowered here";
    return fault.limit->ok;
}

static QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.removeAll("filler");
    return names;
}

static void addMeansRows(const char *means)
{
    for (int freeKiB : {0, 4, 12})
        for (int docKiB : {1, 14, 100})
            QTest::addRow("%s, %d KiB free, %d KiB document", means, freeKiB, docKiB)
                << QString::fromLatin1(means) << freeKiB << docKiB;
}

void tst_faults::initTestCase()
{
    runSaveChildIfAsked();
}

void tst_faults::fullDiskKeepsOldFileOrWritesNewOneWhole_data()
{
    QTest::addColumn<QString>("means");
    QTest::addColumn<int>("freeKiB");
    QTest::addColumn<int>("docKiB");
    addMeansRows("tmpfs");
    addMeansRows("file-size limit");
}

void tst_faults::fullDiskKeepsOldFileOrWritesNewOneWhole()
{
    QFETCH(QString, means);
    QFETCH(int, freeKiB);
    QFETCH(int, docKiB);
    QTemporaryDir dir;
    Fault fault;
    const QString folder = faultFolder(dir, means, fault);
    if (fault.disk && !fault.disk->ok)
        QSKIP("a small tmpfs cannot be mounted here (needs root and mount rights)");
    const QString path = folder + "/doc.txt";
    QVERIFY(writeFileBytes(path, oldBytes));
    auto w = startWindow({"feuillon", path});
    const QByteArray text = numberedText(docKiB * 1024);
    currentEditor(*w)->selectAll();
    currentEditor(*w)->textCursor().insertText(QString::fromUtf8(text));
    const bool fits = docKiB <= freeKiB;
    DialogAnswerer answers;
    if (!fits)
        answers.button(QMessageBox::Ok);
    const char *why = "";
    if (!arm(fault, freeKiB * 1024, &why))
        QSKIP(why);
    action(*w, "ac_enr")->trigger();
    fault.limit.reset();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(filesIn(folder), QStringList{"doc.txt"});
    QCOMPARE(textfile::documentText(*currentEditor(*w)->document()).toUtf8(), text);
    QCOMPARE(currentEditor(*w)->document()->isModified(), !fits);
    QCOMPARE(fileBytes(path), fits ? text : oldBytes);
    if (!fits) {
        QCOMPARE(answers.seen().first().title, QStringLiteral("Erreur"));
        QCOMPARE(answers.seen().first().text,
                 QStringLiteral("Imposible d'enregistrer le fichier !!!"));
        QVERIFY(answers.seen().first().informative.contains(
            means == "tmpfs" ? QStringLiteral("Le disque est plein.")
                             : QStringLiteral("dépasse la taille maximale")));
    }
    markAllSaved(*w);
    reliability(QStringLiteral("full disk (%1): %2 KiB free, %3 KiB document")
                    .arg(means)
                    .arg(freeKiB)
                    .arg(docKiB),
                1,
                fits ? QStringLiteral("new file complete")
                     : QStringLiteral("\"Erreur\" shown, old file byte-identical, document "
                                      "kept with its changes, no file left behind"));
}

void tst_faults::killedSaveLeavesOldOrNewFileWhole_data()
{
    QTest::addColumn<bool>("secondName");
    QTest::newRow("ordinary file, replaced by rename") << false;
    QTest::newRow("file with a second name, written in place") << true;
}

// The child is killed at several moments of its save; whatever moment it
// was, the file is whole, old or new, or the backup next to it holds the old.
void tst_faults::killedSaveLeavesOldOrNewFileWhole()
{
    QFETCH(bool, secondName);
    const qsizetype newSize = 32 * 1024 * 1024;
    const QByteArray newBytes = numberedText(newSize);
    int oldSeen = 0, newSeen = 0, backupSeen = 0;
    for (int delayMs : {0, 2, 5, 10, 20, 40, 80, 160}) {
        QTemporaryDir dir;
        const QString path = dir.filePath("grand.txt");
        QVERIFY(writeFileBytes(path, oldBytes));
        if (secondName)
            QCOMPARE(::link(QFile::encodeName(path), QFile::encodeName(dir.filePath("autre.txt"))),
                     0);
        QProcess child;
        QVERIFY(startSaveChild(child, path, newSize));
        QTest::qSleep(delayMs);
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        const QByteArray now = fileBytes(path);
        QStringList left = filesIn(dir.path());
        left.removeAll("grand.txt");
        left.removeAll("autre.txt");
        if (now == oldBytes || now == newBytes) {
            // An interrupted in-place save may leave its verified backup behind.
            QVERIFY2(left.isEmpty() || (secondName && left.size() == 1),
                     qPrintable(left.join(' ')));
            (now == oldBytes ? oldSeen : newSeen)++;
            continue;
        }
        QVERIFY2(secondName, "the file was left neither old nor new");
        QCOMPARE(left.size(), 1);
        QVERIFY(left.first().startsWith("grand.txt.") && left.first().endsWith('~'));
        QCOMPARE(fileBytes(dir.filePath(left.first())), oldBytes);
        ++backupSeen;
    }
    reliability(QStringLiteral("save killed (SIGKILL) mid-way, %1").arg(QTest::currentDataTag()),
                oldSeen + newSeen + backupSeen,
                QStringLiteral("old file whole %1, new file whole %2, old text whole in the "
                               "verified backup %3; no temporary file left")
                    .arg(oldSeen)
                    .arg(newSeen)
                    .arg(backupSeen));
}

void tst_faults::failedInPlaceWriteRestoresSharedFile_data()
{
    QTest::addColumn<QString>("means");
    QTest::addColumn<int>("freeKiB");
    // 4 KiB: no room for the backup, the file is never touched; 12 KiB: the
    // backup fits, the new text does not, the old text is written back.
    for (const char *means : {"tmpfs", "file-size limit"})
        for (int freeKiB : {4, 12})
            QTest::addRow("%s, %d KiB free", means, freeKiB)
                << QString::fromLatin1(means) << freeKiB;
}

void tst_faults::failedInPlaceWriteRestoresSharedFile()
{
    QFETCH(QString, means);
    QFETCH(int, freeKiB);
    QTemporaryDir dir;
    Fault fault;
    const QString folder = faultFolder(dir, means, fault);
    if (fault.disk && !fault.disk->ok)
        QSKIP("a small tmpfs cannot be mounted here (needs root and mount rights)");
    const QString path = folder + "/partage.txt";
    const QString other = folder + "/autre.txt";
    QVERIFY(writeFileBytes(path, oldBytes));
    QCOMPARE(::link(QFile::encodeName(path), QFile::encodeName(other)), 0);
    const char *why = "";
    if (!arm(fault, freeKiB * 1024, &why))
        QSKIP(why);
    QString kept;
    textfile::Failure said = textfile::Failure::None;
    const bool written = textfile::write(path, numberedText(100 * 1024), &kept, &said);
    fault.limit.reset();
    QVERIFY(!written);
    QCOMPARE(said, fault.disk ? textfile::Failure::NoSpace : textfile::Failure::TooLarge);
    QVERIFY(kept.isEmpty());
    QCOMPARE(fileBytes(path), oldBytes);
    struct stat a {
    }, b{};
    QCOMPARE(::stat(QFile::encodeName(path), &a), 0);
    QCOMPARE(::stat(QFile::encodeName(other), &b), 0);
    QCOMPARE(a.st_ino, b.st_ino);
    QCOMPARE(filesIn(folder), (QStringList{"autre.txt", "partage.txt"}));
    reliability(
        QStringLiteral("shared file that cannot be rewritten (%1)").arg(QTest::currentDataTag()), 1,
        QStringLiteral("refused, old text in place, link still shared, no backup left"));
}

FEUILLON_TEST_MAIN(tst_faults)
#include "tst_faults.moc"
