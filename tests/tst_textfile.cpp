// Decoding, line ends, the text taken from a document, and the careful write.
#include "testmain.h"

#include "documents/bigfile.h"
#include "documents/growth.h"
#include "documents/textfile.h"
#include "faults.h"
#include "files.h"

#include <QSet>
#include <QStringEncoder>
#include <QTextDocument>
#include <memory>
#include <sys/stat.h>

using namespace feuillon_test;
using textfile::Failure;

class tst_textfile : public QObject
{
    Q_OBJECT

private slots:
    void lineEndsBecomeLineFeeds_data();
    void lineEndsBecomeLineFeeds();
    void byteOrderMarkSelectsEncoding_data();
    void byteOrderMarkSelectsEncoding();
    void formIsFoundAndWrittenBack_data();
    void formIsFoundAndWrittenBack();
    void characterOutsideEncodingIsFound_data();
    void characterOutsideEncodingIsFound();
    void invalidUtf8IsReported_data();
    void invalidUtf8IsReported();
    void unpairedSurrogatesShowAsReplacementCharacter_data();
    void unpairedSurrogatesShowAsReplacementCharacter();
    void documentTextKeepsEveryCharacter();
    void readTellsMissingFromUnreadable_data();
    void readTellsMissingFromUnreadable();
    void writeReplacesRegularFileWhole();
    void failedWriteLeavesTargetAndSaysWhy_data();
    void failedWriteLeavesTargetAndSaysWhy();
    void writeBeyondFileSizeLimitKeepsOldFile();
    void writeOnFullDiskKeepsOldFile();
    void everyFailureHasItsOwnSentence();
    void contentHashIsTheSameInEveryProcess_data();
    void contentHashIsTheSameInEveryProcess();
    void addedBytesReadInTheTextsForm_data();
    void addedBytesReadInTheTextsForm();
    void headOfAFileReadsAsTheWholeFile_data();
    void headOfAFileReadsAsTheWholeFile();
    void bigFileIsOpenedOnlyIfItCanBeHeld_data();
    void bigFileIsOpenedOnlyIfItCanBeHeld();
    void slicesEndAfterWholeLines_data();
    void slicesEndAfterWholeLines();
    void slicesFollowWhatTheyCost_data();
    void slicesFollowWhatTheyCost();
    void piecesDecodeAsTheWholeFile_data();
    void piecesDecodeAsTheWholeFile();
};

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

void tst_textfile::formIsFoundAndWrittenBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("form");
    QTest::addColumn<bool>("sameBytes");
    const auto utf16 = [](const char *mark, QStringConverter::Encoding e, const QString &s) {
        return QByteArray(mark) + QStringEncoder(e).encode(s);
    };
    QTest::newRow("utf-8") << QByteArray("\xC3\x89t\xC3\xA9\n") << QStringLiteral("Été\n")
                           << "UTF-8 · LF" << true;
    QTest::newRow("utf-8 with mark, crlf")
        << QByteArray("\xEF\xBB\xBF"
                      "a\r\nb")
        << QStringLiteral("a\nb") << "UTF-8 avec BOM · CRLF" << true;
    QTest::newRow("windows-1252 letter")
        << QByteArray("c\x9Cur \x80 l\x92\xE9t\xE9\r\n\xAB\xA0\x8Cuvre\xA0\xBB\r\n")
        << QStringLiteral("cœur € l’été\n«\u00A0Œuvre\u00A0»\n") << "Windows-1252 · CRLF" << true;
    QTest::newRow("windows-1252, bytes it leaves undefined")
        << QByteArray("\x81\x8D\x8F\x90\x9D\r")
        << QStringLiteral("\u0081\u008D\u008F\u0090\u009D\n") << "Windows-1252 · CR" << true;
    QTest::newRow("utf-8 cut short is windows-1252")
        << QByteArray("caf\xC3") << QStringLiteral("cafÃ") << "Windows-1252 · LF" << true;
    QTest::newRow("utf-16 le, lone cr") << utf16("\xFF\xFE", QStringConverter::Utf16LE, "a\rb\r")
                                        << QStringLiteral("a\nb\n") << "UTF-16 LE · CR" << true;
    QTest::newRow("utf-16 be, crlf")
        << QByteArray("\xFE\xFF") + QStringEncoder(QStringConverter::Utf16BE).encode(u"€\r\n")
        << QStringLiteral("€\n") << "UTF-16 BE · CRLF" << true;
    QTest::newRow("mixed, crlf most") << QByteArray("a\r\nb\r\nc\nd\r")
                                      << QStringLiteral("a\nb\nc\nd\n") << "UTF-8 · CRLF" << false;
    QTest::newRow("mixed, lone cr most")
        << QByteArray("a\rb\rc\n") << QStringLiteral("a\nb\nc\n") << "UTF-8 · CR" << false;
    QTest::newRow("mixed, a tie goes to crlf")
        << QByteArray("a\r\nb\n") << QStringLiteral("a\nb\n") << "UTF-8 · CRLF" << false;
}

// Read, then written back unchanged: the same bytes, unless the line ends
// were mixed (they all become the most frequent one).
void tst_textfile::formIsFoundAndWrittenBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, form);
    QFETCH(bool, sameBytes);
    bool bad = true;
    textfile::Form found;
    QCOMPARE(textfile::decode(bytes, &bad, &found), text);
    QVERIFY(!bad);
    QCOMPARE(textfile::formName(found), form);
    qsizetype outside = 0;
    const QByteArray written = textfile::encode(text, found, &outside);
    QCOMPARE(outside, qsizetype(-1));
    QCOMPARE(written == bytes, sameBytes);
    QCOMPARE(textfile::decode(written, &bad), text);
}

void tst_textfile::characterOutsideEncodingIsFound_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("at");
    QTest::newRow("arrow") << QStringLiteral("a→b") << 1;
    QTest::newRow("emoji after a line") << QStringLiteral("cœur\n\U0001F600") << 5;
    QTest::newRow("french letter") << QStringLiteral("« Œuvre » 5 € l’été") << -1;
    // The byte the encoder puts for what it cannot hold, as a real character.
    QTest::newRow("control character 1A") << QStringLiteral("a\x1A"
                                                            "b")
                                          << -1;
}

void tst_textfile::characterOutsideEncodingIsFound()
{
    QFETCH(QString, text);
    QFETCH(int, at);
    textfile::Form form;
    form.charset = textfile::Charset::Windows1252;
    form.line_end = textfile::LineEnd::CRLF;
    qsizetype outside = 0;
    const QByteArray bytes = textfile::encode(text, form, &outside);
    QCOMPARE(outside, qsizetype(at));
    if (at < 0)
        QCOMPARE(textfile::decode(bytes, nullptr), text);
}

void tst_textfile::invalidUtf8IsReported_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // Without a NUL byte or a mark, such bytes are Windows-1252.
    QTest::newRow("latin-1 byte and a nul") << QByteArray("caf\xE9\0noir", 9);
    QTest::newRow("sequence cut at the end, a nul") << QByteArray("\0caf\xC3", 5);
    QTest::newRow("lone continuation byte, a nul") << QByteArray("a\x80\0z", 4);
    QTest::newRow("utf-8 encoded surrogate after a mark") << QByteArray("\xEF\xBB\xBF"
                                                                        "a\xED\xA0\x80z");
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

void tst_textfile::readTellsMissingFromUnreadable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<textfile::ReadStatus>("status");
    QTest::addColumn<Failure>("failure");
    const auto unreadable = textfile::ReadStatus::Unreadable;
    QTest::newRow("absent") << "absent" << textfile::ReadStatus::Missing << Failure::None;
    QTest::newRow("regular file") << "file" << textfile::ReadStatus::Read << Failure::None;
    QTest::newRow("directory") << "directory" << unreadable << Failure::NotRegularFile;
    QTest::newRow("/dev/zero") << "device" << unreadable << Failure::NotRegularFile;
    // Opening a FIFO without a writer would block forever.
    QTest::newRow("fifo") << "fifo" << unreadable << Failure::NotRegularFile;
    QTest::newRow("file of another user") << "private" << unreadable << Failure::Permission;
}

void tst_textfile::readTellsMissingFromUnreadable()
{
    QFETCH(QString, kind);
    QFETCH(textfile::ReadStatus, status);
    QFETCH(Failure, failure);
    QTemporaryDir dir;
    QString path = makeFile(dir, "ok", "x\r\ny");
    if (kind == "absent")
        path = dir.filePath("absent");
    if (kind == "directory")
        path = dir.path();
    if (kind == "device")
        path = QStringLiteral("/dev/zero");
    if (kind == "fifo") {
        path = dir.filePath("fifo");
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    std::unique_ptr<AsNobody> nobody;
    if (kind == "private") {
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        nobody = std::make_unique<AsNobody>();
        if (!nobody->ok && ::geteuid() == 0)
            QSKIP("the effective user cannot be changed here");
    }
    const textfile::ReadResult read = textfile::read(path);
    nobody.reset();
    QCOMPARE(read.status, status);
    QCOMPARE(read.failure, failure);
    QCOMPARE(read.text, kind == "file" ? QStringLiteral("x\ny") : QString());
}

void tst_textfile::writeReplacesRegularFileWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("f.txt");
    QVERIFY(writeFileBytes(path, QByteArray(5000, 'o')));
    Failure said = Failure::Other;
    QVERIFY(textfile::write(path, "neuf\n", nullptr, &said));
    QCOMPARE(said, Failure::None);
    QCOMPARE(fileBytes(path), QByteArray("neuf\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.txt"});
}

void tst_textfile::failedWriteLeavesTargetAndSaysWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Failure>("failure");
    QTest::newRow("directory") << "directory" << Failure::NotRegularFile;
    QTest::newRow("fifo") << "fifo" << Failure::NotRegularFile;
    QTest::newRow("device /dev/full") << "device" << Failure::NotRegularFile;
    QTest::newRow("parent is a regular file") << "parent" << Failure::FolderMissing;
    QTest::newRow("folder missing") << "no folder" << Failure::FolderMissing;
    QTest::newRow("read-only file system") << "read-only" << Failure::ReadOnlyFileSystem;
    QTest::newRow("folder of another user") << "not mine" << Failure::Permission;
}

void tst_textfile::failedWriteLeavesTargetAndSaysWhy()
{
    QFETCH(QString, kind);
    QFETCH(Failure, failure);
    QTemporaryDir dir;
    QString target = dir.filePath("target");
    if (kind == "directory")
        QVERIFY(QDir().mkpath(target));
    if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    if (kind == "device")
        target = QStringLiteral("/dev/full");
    if (kind == "parent")
        target = makeFile(dir, "target", "old") + QStringLiteral("/child.txt");
    if (kind == "no folder")
        target = dir.filePath("absent/child.txt");
    std::unique_ptr<SmallDisk> disk;
    if (kind == "read-only") {
        disk = std::make_unique<SmallDisk>(dir.filePath("ro"), 64, true);
        if (!disk->ok)
            QSKIP("a read-only tmpfs cannot be mounted here (needs root and mount rights)");
        target = disk->path + "/f.txt";
    }
    std::unique_ptr<AsNobody> nobody;
    if (kind == "not mine") {
        // Others may enter the folder, not write in it.
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
        nobody = std::make_unique<AsNobody>();
        if (!nobody->ok && ::geteuid() == 0)
            QSKIP("the effective user cannot be changed here");
    }
    const QFileInfo before(target);
    Failure said = Failure::None;
    const bool written = textfile::write(target, "text", nullptr, &said);
    nobody.reset();
    QVERIFY(!written);
    QCOMPARE(said, failure);
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
    const QString path = makeFile(dir, "f.txt", "ancien contenu\n");
    bool written = true;
    Failure said = Failure::None;
    {
        FileSizeLimit limit(4096);
        if (!limit.ok)
            QSKIP("the file-size limit cannot be lowered here");
        written = textfile::write(path, QByteArray(20000, 'x'), nullptr, &said);
    }
    QVERIFY(!written);
    QCOMPARE(said, Failure::TooLarge);
    QCOMPARE(fileBytes(path), QByteArray("ancien contenu\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.txt"});
}

void tst_textfile::writeOnFullDiskKeepsOldFile()
{
    QTemporaryDir dir;
    SmallDisk disk(dir.filePath("small"), 64);
    if (!disk.ok)
        QSKIP("a small tmpfs cannot be mounted here (needs root and mount rights)");
    const QString path = disk.path + "/f.txt";
    QVERIFY(writeFileBytes(path, "ancien contenu\n"));
    // Leave a few kilobytes free: a short write, not an outright failure.
    QVERIFY(disk.leaveFree(8 * 1024));
    Failure said = Failure::None;
    QVERIFY(!textfile::write(path, QByteArray(20000, 'x'), nullptr, &said));
    QCOMPARE(said, Failure::NoSpace);
    QCOMPARE(fileBytes(path), QByteArray("ancien contenu\n"));
    QCOMPARE(QDir(disk.path).entryList(QDir::Files), (QStringList{"f.txt", "filler"}));
}

void tst_textfile::everyFailureHasItsOwnSentence()
{
    QCOMPARE(textfile::describe(Failure::None), QString());
    QSet<QString> sentences;
    for (int f = int(Failure::NoSpace); f <= int(Failure::Other); ++f)
        sentences << textfile::describe(Failure(f));
    QCOMPARE(sentences.size(), int(Failure::Other));
    QVERIFY(!sentences.contains(QString()));
}

void tst_textfile::contentHashIsTheSameInEveryProcess_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<quint64>("expected");
    QByteArray mixed;
    for (int i = 0; i < 1000; ++i)
        mixed += char(i * 7);
    QTest::newRow("empty") << QByteArray() << Q_UINT64_C(5377221171026943749);
    QTest::newRow("three bytes") << QByteArray("abc") << Q_UINT64_C(15634647704927922497);
    QTest::newRow("1000 bytes") << mixed << Q_UINT64_C(15519741845806080263);
}

// The journal keeps a file's hash for the next run: a hash seeded anew in
// each process would say that every file changed. Each byte counts.
void tst_textfile::contentHashIsTheSameInEveryProcess()
{
    QFETCH(QByteArray, bytes);
    QFETCH(quint64, expected);
    QCOMPARE(fingerprint::hash(bytes), expected);
    QSet<quint64> seen{fingerprint::hash(bytes)};
    for (qsizetype i = 0; i < qMin<qsizetype>(bytes.size(), 100); ++i) {
        QByteArray changed = bytes;
        changed[i] = char(changed.at(i) ^ 1);
        seen.insert(fingerprint::hash(changed));
    }
    seen.insert(fingerprint::hash(bytes + '\0'));
    QCOMPARE(seen.size(), qMin<qsizetype>(bytes.size(), 100) + 2);
    // Taken in parts, as a file that grew is, the hash is the same.
    for (qsizetype cut : {qsizetype(1), qsizetype(31), bytes.size() / 2}) {
        fingerprint::Hasher parts;
        parts.add(QByteArrayView(bytes).first(qMin(cut, bytes.size())));
        parts.add(QByteArrayView(bytes).sliced(qMin(cut, bytes.size())));
        QCOMPARE(parts.value(), expected);
    }
}

// Bytes a file gained are read in the form of the text before them; what
// may be the start of a character or of a CRLF waits for the rest.
void tst_textfile::addedBytesReadInTheTextsForm_data()
{
    using textfile::Charset;
    using textfile::LineEnd;
    QTest::addColumn<QByteArray>("added");
    QTest::addColumn<int>("charset");
    QTest::addColumn<int>("lineEnd");
    QTest::addColumn<int>("taken"); // -1: read the whole file again
    QTest::addColumn<QString>("text");
    const int utf8 = int(Charset::Utf8), lf = int(LineEnd::LF), crlf = int(LineEnd::CRLF);
    QTest::newRow("whole lines") << QByteArray("un\ndeux\n") << utf8 << lf << 8 << "un\ndeux\n";
    QTest::newRow("a line not ended yet") << QByteArray("un\nde") << utf8 << lf << 5 << "un\nde";
    QTest::newRow("UTF-8 cut after 1 of 2 bytes")
        << QByteArray("caf\xC3") << utf8 << lf << 3 << "caf";
    QTest::newRow("UTF-8 cut after 3 of 4 bytes")
        << QByteArray("a\xF0\x9F\x98") << utf8 << lf << 1 << "a";
    QTest::newRow("UTF-8 whole") << QByteArray("caf\xC3\xA9") << utf8 << lf << 5 << "café";
    QTest::newRow("not UTF-8") << QByteArray("caf\xE9\n") << utf8 << lf << -1 << "";
    QTest::newRow("CRLF in a file of LF") << QByteArray("un\r\n") << utf8 << lf << -1 << "";
    QTest::newRow("CRLF, the LF to come")
        << QByteArray("un\r\ndeux\r") << utf8 << crlf << 8 << "un\ndeux";
    QTest::newRow("LF in a file of CRLF") << QByteArray("un\n") << utf8 << crlf << -1 << "";
    QTest::newRow("Windows-1252") << QByteArray("th\xE9\r\n") << int(Charset::Windows1252) << crlf
                                  << 5 << "thé\n";
    QTest::newRow("a NUL is no Windows-1252")
        << QByteArray("a\0b", 3) << int(Charset::Windows1252) << lf << -1 << "";
    QTest::newRow("UTF-16 LE, half a unit")
        << QByteArray("a\0b", 3) << int(Charset::Utf16LE) << lf << 2 << "a";
    QTest::newRow("UTF-16 LE, half a pair")
        << QByteArray("a\0\x3D\xD8", 4) << int(Charset::Utf16LE) << lf << 2 << "a";
    QTest::newRow("a U+FEFF is a character")
        << QByteArray("\xEF\xBB\xBFx") << utf8 << lf << 4 << QString(QChar(0xFEFF)) + 'x';
}

void tst_textfile::addedBytesReadInTheTextsForm()
{
    QFETCH(QByteArray, added);
    QFETCH(int, charset);
    QFETCH(int, lineEnd);
    QFETCH(int, taken);
    QFETCH(QString, text);
    textfile::Form form;
    form.charset = textfile::Charset(charset);
    form.line_end = textfile::LineEnd(lineEnd);
    QString read;
    QCOMPARE(growth::added_text(added, form, &read), qsizetype(taken));
    if (taken >= 0)
        QCOMPARE(read, text);
}

void tst_textfile::headOfAFileReadsAsTheWholeFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("head");
    const QByteArray line = "d\xC3\xA9j\xC3\xA0 l\xC3\xA0\n";
    QTest::newRow("UTF-8 cut inside a character")
        << line.repeated(100) << int(line.size() * 50 + 2);
    QTest::newRow("UTF-8 cut after a line") << line.repeated(100) << int(line.size() * 50);
    QTest::newRow("Windows-1252") << QByteArray("d\xE9j\xE0\n").repeated(100) << 52;
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray utf16Text = utf16.encode(QStringLiteral("\u00E9t\u00E9\n").repeated(100));
    QTest::newRow("UTF-16 with mark, odd cut") << utf16Text << 51;
}

// The first lines shown while a big file is read are those the whole file
// gives, in its own encoding.
void tst_textfile::headOfAFileReadsAsTheWholeFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, head);
    QTemporaryDir dir;
    const QString path = makeFile(dir, "tete.txt", bytes);
    const textfile::ReadResult whole = textfile::read(path);
    const textfile::ReadResult start = textfile::read(path, head);
    QCOMPARE(start.status, textfile::ReadStatus::Read);
    QCOMPARE(start.form.charset, whole.form.charset);
    const QString shown = bigfile::whole_lines(start.text);
    QVERIFY(shown.size() > 10);
    QVERIFY2(whole.text.startsWith(shown), qPrintable(shown));
}

void tst_textfile::bigFileIsOpenedOnlyIfItCanBeHeld_data()
{
    QTest::addColumn<QByteArray>("meminfo");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("room");
    QTest::addColumn<QString>("shown");
    const qint64 mib = 1 << 20;
    const QByteArray plenty =
        "MemTotal: 24000000 kB\nMemAvailable:   20971520 kB\nSwapFree: 0 kB\n";
    const QByteArray tight = "MemAvailable: 1048576 kB\nSwapFree: 2097152 kB\n";
    const int enough = int(bigfile::Room::Enough), ask = int(bigfile::Room::Ask),
              refuse = int(bigfile::Room::Refuse);
    QTest::newRow("small, plenty") << plenty << 50 * mib << enough << "50\u00A0Mo";
    QTest::newRow("over 1 GiB, plenty") << plenty << 1100 * mib << ask << "1,1\u00A0Go";
    QTest::newRow("over what the editor counts")
        << plenty << (qint64(2) << 30) << refuse << "2,0\u00A0Go";
    QTest::newRow("fits only with swap") << tight << 300 * mib << ask << "300\u00A0Mo";
    QTest::newRow("not even with swap") << tight << 600 * mib << refuse << "600\u00A0Mo";
    QTest::newRow("memory unknown")
        << QByteArray("garbage\n") << 3 * mib / 2 << enough << "1,5\u00A0Mo";
}

// About six bytes of memory per byte of file; beyond what the system can
// give, the out-of-memory killer would end the program with every document.
void tst_textfile::bigFileIsOpenedOnlyIfItCanBeHeld()
{
    QFETCH(QByteArray, meminfo);
    QFETCH(qint64, size);
    QFETCH(int, room);
    QFETCH(QString, shown);
    QCOMPARE(int(bigfile::room_for(size, bigfile::parse_meminfo(meminfo))), room);
    QCOMPARE(bigfile::size_text(size), shown);
}

void tst_textfile::slicesEndAfterWholeLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("chars");
    QTest::addColumn<int>("end");
    QTest::newRow("inside a line") << "abc\ndef\nghi\n" << 0 << 2 << 4;
    QTest::newRow("on a line end") << "abc\ndef\nghi\n" << 0 << 4 << 4;
    QTest::newRow("from the middle") << "abc\ndef\nghi\n" << 4 << 1 << 8;
    QTest::newRow("last line without end") << "abc\ndef" << 4 << 1 << 7;
    QTest::newRow("beyond the end") << "abc\n" << 0 << 100 << 4;
    QTest::newRow("one long line") << "abcdefgh" << 0 << 2 << 8;
    QTest::newRow("no size asked") << "a\nb\n" << 0 << 0 << 2;
}

void tst_textfile::slicesEndAfterWholeLines()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(int, chars);
    QFETCH(int, end);
    QCOMPARE(bigfile::slice_end(text, from, chars), end);
    const QStringList pieces = bigfile::pieces(text, chars);
    QCOMPARE(pieces.join(QString()), text);
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i)
        QVERIFY(pieces.at(i).endsWith(QLatin1Char('\n')));
}

void tst_textfile::slicesFollowWhatTheyCost_data()
{
    using Pace = bigfile::SlicePace;
    QTest::addColumn<QList<int>>("took"); // ms of each slice in turn
    QTest::addColumn<qsizetype>("chars");
    QTest::addColumn<bool>("allAtOnce");
    QTest::newRow("quick slices grow") << QList<int>{5, 5} << Pace::first * 4 << false;
    QTest::newRow("up to the largest") << QList<int>(12, 1) << Pace::largest << false;
    QTest::newRow("slow slices shrink") << QList<int>{50, 50} << Pace::first / 4 << false;
    QTest::newRow("down to the smallest") << QList<int>(12, 100) << Pace::smallest << false;
    QTest::newRow("in range: kept") << QList<int>{20, 30} << Pace::first << false;
    QTest::newRow("one stall, then back") << QList<int>{400, 5} << Pace::first << false;
    QTest::newRow("two stalls: the rest at once") << QList<int>{400, 400} << Pace::smallest << true;
    QTest::newRow("seconds: the rest at once") << QList<int>{4000} << Pace::smallest << true;
}

void tst_textfile::slicesFollowWhatTheyCost()
{
    QFETCH(QList<int>, took);
    QFETCH(qsizetype, chars);
    QFETCH(bool, allAtOnce);
    bigfile::SlicePace pace;
    for (int ms : took)
        pace.took(ms);
    QCOMPARE(pace.chars, chars);
    QCOMPARE(pace.all_at_once, allAtOnce);
}

void tst_textfile::piecesDecodeAsTheWholeFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("inPieces");
    const QByteArray line = "d\xC3\xA9j\xC3\xA0 l\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x98\x80\n";
    QTest::newRow("UTF-8 lines") << line.repeated(40) << true;
    QTest::newRow("no line feed at the end") << line.repeated(40) + "fin" << true;
    QTest::newRow("one long line") << line.repeated(40).replace('\n', ' ') << true;
    // U+FEFF inside the file is a character, not a mark to drop.
    QTest::newRow("a line starts with U+FEFF")
        << line.repeated(20) + "\xEF\xBB\xBFz\n" + line.repeated(20) << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("Windows-1252 byte in the last line") << line.repeated(40) + "caf\xE9\n" << false;
    QTest::newRow("encoded surrogate further on")
        << line.repeated(30) + "a\xED\xA0\x80z\n" + line.repeated(10) << false;
    QTest::newRow("overlong form further on")
        << line.repeated(30) + "\xC0\xAF\n" + line.repeated(10) << false;
    QTest::newRow("CRLF line ends") << QByteArray("un\r\n").repeated(100) << false;
    QTest::newRow("UTF-8 with mark") << "\xEF\xBB\xBF" + line.repeated(40) << false;
}

// A big file's text decoded in pieces is the text decode() gives whole;
// any file it does not take goes the whole way.
void tst_textfile::piecesDecodeAsTheWholeFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, inPieces);
    for (const qsizetype size : {1, 7, 100, 100000}) {
        QStringList pieces{QStringLiteral("old")};
        QCOMPARE(textfile::decodeInPieces(bytes, size, &pieces), inPieces);
        if (!inPieces) {
            QVERIFY(pieces.isEmpty());
            continue;
        }
        bool bad = true;
        textfile::Form form;
        QCOMPARE(pieces.join(QString()), textfile::decode(bytes, &bad, &form));
        QVERIFY(!bad);
        QVERIFY(form == textfile::Form());
        for (qsizetype i = 0; i + 1 < pieces.size(); ++i)
            QVERIFY(pieces.at(i).endsWith(QLatin1Char('\n')));
    }
    QTemporaryDir dir;
    const QString path = makeFile(dir, "morceaux.txt", bytes);
    QStringList pieces;
    const textfile::ReadResult read = textfile::readInPieces(path, 64, &pieces);
    const textfile::ReadResult whole = textfile::read(path);
    QCOMPARE(read.status, textfile::ReadStatus::Read);
    QCOMPARE(read.text + pieces.join(QString()), whole.text);
    QVERIFY(read.text.isEmpty() == inPieces);
    QVERIFY(read.form == whole.form);
    QCOMPARE(read.undecodable, whole.undecodable);
    QCOMPARE(read.fingerprint.hash, whole.fingerprint.hash);
}

FEUILLON_TEST_MAIN(tst_textfile)
#include "tst_textfile.moc"
