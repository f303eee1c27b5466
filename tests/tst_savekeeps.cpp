// A save changes the text of a file and nothing else about it: mode bits,
// owner and group, its other names, a symbolic link leading to it.
#include "reliability.h"
#include "testmain.h"

#include "documents/textfile.h"
#include "faults.h"
#include "files.h"

#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

using namespace feuillon_test;

class tst_savekeeps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void modeBitsAreKept_data();
    void modeBitsAreKept();
    void ownerAndGroupAreKept_data();
    void ownerAndGroupAreKept();
    void hardLinkStaysShared();
    void symbolicLinkStaysALink_data();
    void symbolicLinkStaysALink();
};

static const QByteArray newText("nouveau texte\n");

static struct stat statOf(const QString &path)
{
    struct stat st {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        qWarning("cannot stat %s", qPrintable(path));
    return st;
}

static QStringList namesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

void tst_savekeeps::initTestCase()
{
    runSaveChildIfAsked();
}

void tst_savekeeps::modeBitsAreKept_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("read-only 0444") << 0444;
    QTest::newRow("private 0600") << 0600;
    QTest::newRow("executable 0755") << 0755;
    QTest::newRow("set-user-ID 04755") << 04755;
    QTest::newRow("set-group-ID 02750") << 02750;
    QTest::newRow("sticky 01644") << 01644;
}

void tst_savekeeps::modeBitsAreKept()
{
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString path = dir.filePath("script.sh");
    QVERIFY(writeFileBytes(path, "ancien\n"));
    QCOMPARE(::chmod(QFile::encodeName(path), mode_t(mode)), 0);
    if (access(QFile::encodeName(path), W_OK) != 0)
        QSKIP("a file without write permission can be saved only by root");
    QVERIFY(textfile::write(path, newText));
    QCOMPARE(fileBytes(path), newText);
    QCOMPARE(int(statOf(path).st_mode & 07777), mode);
    QCOMPARE(namesIn(dir), QStringList{"script.sh"});
    reliability(QStringLiteral("save keeps mode bits: %1").arg(QTest::currentDataTag()), 1,
                QStringLiteral("kept"));
}

void tst_savekeeps::ownerAndGroupAreKept_data()
{
    QTest::addColumn<bool>("saverIsNobody");
    QTest::addColumn<int>("ownerId");
    // Root may give the new file back to its owner; nobody may not, and
    // then writes into the file itself.
    QTest::newRow("root saves a file of nobody:nogroup") << false << 65534;
    QTest::newRow("nobody saves a shared file of root") << true << 0;
}

void tst_savekeeps::ownerAndGroupAreKept()
{
    QFETCH(bool, saverIsNobody);
    QFETCH(int, ownerId);
    if (geteuid() != 0)
        QSKIP("files of another user can be made only by root");
    QTemporaryDir dir;
    QCOMPARE(::chmod(QFile::encodeName(dir.path()), 01777), 0);
    const QString path = dir.filePath("commun.txt");
    QVERIFY(writeFileBytes(path, numberedText(5000)));
    const QByteArray name = QFile::encodeName(path);
    QCOMPARE(::chown(name, uid_t(ownerId), gid_t(ownerId)), 0);
    QCOMPARE(::chmod(name, 0666), 0);
    if (saverIsNobody) {
        QProcess child;
        QVERIFY(startSaveChild(child, path, newText.size(),
                               {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}));
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(fileBytes(path), numberedText(newText.size()));
    } else {
        QVERIFY(textfile::write(path, newText));
        QCOMPARE(fileBytes(path), newText);
    }
    const struct stat st = statOf(path);
    QCOMPARE(int(st.st_uid), ownerId);
    QCOMPARE(int(st.st_gid), ownerId);
    QCOMPARE(int(st.st_mode & 07777), 0666);
    QCOMPARE(namesIn(dir), QStringList{"commun.txt"});
    reliability(QStringLiteral("save keeps the owner: %1").arg(QTest::currentDataTag()), 1,
                QStringLiteral("owner, group and mode kept"));
}

void tst_savekeeps::hardLinkStaysShared()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("un.txt");
    const QString other = dir.filePath("deux.txt");
    QVERIFY(writeFileBytes(path, numberedText(20000)));
    QCOMPARE(::link(QFile::encodeName(path), QFile::encodeName(other)), 0);
    const ino_t inode = statOf(path).st_ino;
    QVERIFY(textfile::write(path, newText));
    QCOMPARE(fileBytes(other), newText);
    QCOMPARE(statOf(path).st_ino, inode);
    QCOMPARE(int(statOf(other).st_nlink), 2);
    QCOMPARE(namesIn(dir), (QStringList{"deux.txt", "un.txt"}));
    reliability(QStringLiteral("save of a file with a hard link"), 1,
                QStringLiteral("link stays shared, same inode"));
}

void tst_savekeeps::symbolicLinkStaysALink_data()
{
    QTest::addColumn<QString>("leadsTo");
    QTest::newRow("link to a file") << "file";
    QTest::newRow("link to a link to a file") << "link";
    QTest::newRow("link to a file not yet made") << "nothing";
}

void tst_savekeeps::symbolicLinkStaysALink()
{
    QFETCH(QString, leadsTo);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("vrai"));
    const QString target = dir.filePath("vrai/cible.txt");
    if (leadsTo != "nothing")
        QVERIFY(writeFileBytes(target, "ancien\n"));
    QString link = dir.filePath("lien.txt");
    QVERIFY(QFile::link("vrai/cible.txt", link));
    if (leadsTo == "link") {
        QVERIFY(QFile::link("lien.txt", dir.filePath("lien2.txt")));
        link = dir.filePath("lien2.txt");
    }
    QVERIFY(textfile::write(link, newText));
    QVERIFY(QFileInfo(dir.filePath("lien.txt")).isSymLink());
    QCOMPARE(QFile::symLinkTarget(dir.filePath("lien.txt")), QFileInfo(target).absoluteFilePath());
    QCOMPARE(fileBytes(target), newText);
    QCOMPARE(QDir(dir.filePath("vrai")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"cible.txt"});
    reliability(QStringLiteral("save through a symbolic link: %1").arg(QTest::currentDataTag()), 1,
                QStringLiteral("stays a link, its target written"));
}

FEUILLON_TEST_MAIN(tst_savekeeps)
#include "tst_savekeeps.moc"
