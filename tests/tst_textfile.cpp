// Decoding, line ends, the text taken from a document, and the careful write.
#include "testmain.h"

#include "documents/textfile.h"
#include "faults.h"

#include <QProcess>
#include <QStringEncoder>
#include <QTextDocument>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using feuillon_test::FileSizeLimit;

class tst_textfile : public QObject
{
    Q_OBJECT

private slots:
    void lineEndsBecomeLineFeeds_data();
    void lineEndsBecomeLineFeeds();
    void byteOrderMarkSelectsEncoding_data();
    void byteOrderMarkSelectsEncoding();
    void invalidUtf8IsReported_data();
    void invalidUtf8IsReported();
    void unpairedSurrogatesShowAsReplacementCharacter_data();
    void unpairedSurrogatesShowAsReplacementCharacter();
    void documentTextKeepsEveryCharacter();
    void readTellsMissingFromUnreadable();
    void writeReplacesRegularFileWhole();
    void writeRefusesTargetsThatAreNotRegularFiles_data();
    void writeRefusesTargetsThatAreNotRegularFiles();
    void writeBeyondFileSizeLimitKeepsOldFile();
    void writeOnFullDiskKeepsOldFile();
};

static QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

static void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

void tst_textfile::lineEndsBecomeLineFeeds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("crlf") << QByteArray("un\r\ndeux\r\n") << QStringLiteral("un\ndeux\n");
    QTest::newRow("lone cr") << QByteArray("un\rdeux\rtrois\r")
                             << QStringLiteral("un\ndeux\ntrois\n");
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd") << QStringLiteral("a\nb\nc\nd");
    QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb") << QStringLiteral("a\n\nb");
    QTest::newRow("lf untouched") << QByteArray("a\n\nb\n") << QStringLiteral("a\n\nb\n");
}

void tst_textfile::lineEndsBecomeLineFeeds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    bool bad = true;
    QCOMPARE(textfile::decode(bytes, &bad), text);
    QVERIFY(!bad);
}

void tst_textfile::byteOrderMarkSelectsEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QString text = QStringLiteral("Été\u00A0: ok");
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    QTest::newRow("utf-8 without mark") << text.toUtf8();
    for (auto [name, encoding] : {std::pair{"utf-16 le", QStringConverter::Utf16LE},
                                  std::pair{"utf-16 be", QStringConverter::Utf16BE},
                                  std::pair{"utf-32 le", QStringConverter::Utf32LE},
                                  std::pair{"utf-32 be", QStringConverter::Utf32BE}}) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        QTest::newRow(name) << QByteArray(encoder.encode(text));
    }
}

void tst_textfile::byteOrderMarkSelectsEncoding()
{
    QFETCH(QByteArray, bytes);
    bool bad = true;
    QCOMPARE(textfile::decode(bytes, &bad), QStringLiteral("Été\u00A0: ok"));
    QVERIFY(!bad);
}

void tst_textfile::invalidUtf8IsReported_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("latin-1 byte") << QByteArray("caf\xE9 noir");
    QTest::newRow("sequence cut at the end") << QByteArray("caf\xC3");
    QTest::newRow("lone continuation byte") << QByteArray("a\x80z");
    QTest::newRow("utf-8 encoded surrogate") << QByteArray("a\xED\xA0\x80z");
    QTest::newRow("utf-32 lone surrogate") << QByteArray("\xFF\xFE\x00\x00"
                                                         "\x00\xD8\x00\x00",
                                                         8);
    QTest::newRow("utf-16 lone surrogate") << QByteArray("\xFF\xFE"
                                                         "a\x00"
                                                         "\x00\xD8"
                                                         "b\x00",
                                                         8);
    QTest::newRow("utf-32 cut short") << QByteArray("\xFF\xFE\x00\x00"
                                                    "a\x00\x00",
                                                    7);
    QTest::newRow("utf-16 of odd length") << QByteArray("\xFF\xFE"
                                                        "a\x00"
                                                        "b",
                                                        5);
}

void tst_textfile::invalidUtf8IsReported()
{
    QFETCH(QByteArray, bytes);
    bool bad = false;
    textfile::decode(bytes, &bad);
    QVERIFY(bad);
}

void tst_textfile::unpairedSurrogatesShowAsReplacementCharacter_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("undecodable");
    QTest::newRow("utf-16 lone high surrogate") << QByteArray("\xFF\xFE"
                                                              "a\x00"
                                                              "\x00\xD8"
                                                              "b\x00",
                                                              8)
                                                << QStringLiteral("a\uFFFDb") << true;
    QTest::newRow("utf-16 lone low surrogate at the end") << QByteArray("\xFE\xFF"
                                                                        "\x00"
                                                                        "a"
                                                                        "\xDC\x00",
                                                                        6)
                                                          << QStringLiteral("a\uFFFD") << true;
    QTest::newRow("utf-32 surrogate value") << QByteArray("\x00\x00\xFE\xFF"
                                                          "\x00\x00\xD8\x00",
                                                          8)
                                            << QStringLiteral("\uFFFD") << true;
    QTest::newRow("utf-16 pair kept") << QByteArray("\xFF\xFE"
                                                    "\x3D\xD8\x00\xDE",
                                                    6)
                                      << QStringLiteral("\U0001F600") << false;
}

// The editor shows what a save will write: a save encodes an unpaired
// surrogate as "?", so none may reach the document.
void tst_textfile::unpairedSurrogatesShowAsReplacementCharacter()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(bool, undecodable);
    bool bad = !undecodable;
    QCOMPARE(textfile::decode(bytes, &bad), shown);
    QCOMPARE(bad, undecodable);
}

void tst_textfile::documentTextKeepsEveryCharacter()
{
    QTextDocument doc;
    const QString text = QStringLiteral("Quoi\u00A0? «\u00A0oui\u00A0»\n\nfin\u2028ligne\t\n");
    doc.setPlainText(text);
    QCOMPARE(textfile::documentText(doc), text);
    QTextDocument empty;
    QCOMPARE(textfile::documentText(empty), QString());
}

void tst_textfile::readTellsMissingFromUnreadable()
{
    QTemporaryDir dir;
    QCOMPARE(textfile::read(dir.filePath("absent")).status, textfile::ReadStatus::Missing);
    QCOMPARE(textfile::read(dir.path()).status, textfile::ReadStatus::Unreadable);
    QCOMPARE(textfile::read(QStringLiteral("/dev/zero")).status, textfile::ReadStatus::Unreadable);
    const QString fifo = dir.filePath("fifo");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Opening a FIFO without a writer would block forever.
    QCOMPARE(textfile::read(fifo).status, textfile::ReadStatus::Unreadable);
    writeAll(dir.filePath("ok"), "x\r\ny");
    const textfile::ReadResult ok = textfile::read(dir.filePath("ok"));
    QCOMPARE(ok.status, textfile::ReadStatus::Read);
    QCOMPARE(ok.text, QStringLiteral("x\ny"));
}

void tst_textfile::writeReplacesRegularFileWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("f.txt");
    writeAll(path, QByteArray(5000, 'o'));
    QVERIFY(textfile::write(path, "neuf\n"));
    QCOMPARE(readAll(path), QByteArray("neuf\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.txt"});
}

void tst_textfile::writeRefusesTargetsThatAreNotRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("directory") << "directory";
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("device /dev/full") << "device";
    QTest::newRow("parent is a regular file") << "parent";
}

void tst_textfile::writeRefusesTargetsThatAreNotRegularFiles()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString target = dir.filePath("target");
    if (kind == "directory")
        QVERIFY(QDir().mkpath(target));
    if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    if (kind == "device")
        target = QStringLiteral("/dev/full");
    if (kind == "parent") {
        writeAll(target, "old");
        target += QStringLiteral("/child.txt");
    }
    const QFileInfo before(target);
    QVERIFY(!textfile::write(target, "text"));
    const QFileInfo after(target);
    QCOMPARE(after.exists(), before.exists());
    QCOMPARE(after.isFile(), before.isFile());
    if (kind == "device") {
        struct stat st {
        };
        QCOMPARE(stat("/dev/full", &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
    }
}

void tst_textfile::writeBeyondFileSizeLimitKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("f.txt");
    writeAll(path, "ancien contenu\n");
    bool written = true;
    {
        FileSizeLimit limit(4096);
        if (!limit.ok)
            QSKIP("the file-size limit cannot be lowered here");
        written = textfile::write(path, QByteArray(20000, 'x'));
    }
    QVERIFY(!written);
    QCOMPARE(readAll(path), QByteArray("ancien contenu\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.txt"});
}

void tst_textfile::writeOnFullDiskKeepsOldFile()
{
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath("small");
    QVERIFY(QDir().mkpath(mountPoint));
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint}) != 0)
        QSKIP("a small tmpfs cannot be mounted here (needs root and mount rights)");
    const QString path = mountPoint + "/f.txt";
    writeAll(path, "ancien contenu\n");
    // Leave a few kilobytes free: a short write, not an outright failure.
    writeAll(mountPoint + "/filler", QByteArray(48 * 1024, 'f'));
    const bool written = textfile::write(path, QByteArray(20000, 'x'));
    const QByteArray after = readAll(path);
    const QStringList left = QDir(mountPoint).entryList(QDir::Files);
    QProcess::execute("umount", {mountPoint});
    QVERIFY(!written);
    QCOMPARE(after, QByteArray("ancien contenu\n"));
    QCOMPARE(left, (QStringList{"f.txt", "filler"}));
}

FEUILLON_TEST_MAIN(tst_textfile)
#include "tst_textfile.moc"
