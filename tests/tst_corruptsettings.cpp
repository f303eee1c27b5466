// A damaged or unusable appearance store: the program starts, stays usable
// and tells the user in French what it could not do.
#include "testmain.h"

#include "dialogs.h"
#include "faults.h"
#include "pickers.h"
#include "reliability.h"
#include "window.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRect>
#include <memory>

using namespace feuillon_test;

namespace {

const char *const allKeys[] = {"sa_bt1", "sa_bt2", "sa_bt4", "sa_bt5", "bt1",   "bt2",    "bt4",
                               "bt5",    "text2",  "text2b", "tstyle", "tfont", "astyle", "afont"};

QString storePath()
{
    return QSettings(QStringLiteral("vrel"), QStringLiteral("Feuillon")).fileName();
}

QString storeFolder()
{
    return QFileInfo(storePath()).absolutePath();
}

// Whatever is at the store's place goes, file or folder.
void removeStore()
{
    const QFileInfo info(storePath());
    if (info.isDir())
        QDir(info.filePath()).removeRecursively();
    else
        QFile::remove(info.filePath());
    const QFileInfo folder(storeFolder());
    if (folder.exists() && !folder.isDir())
        QFile::remove(folder.filePath());
}

void writeStoreFile(const QByteArray &bytes)
{
    QDir().mkpath(storeFolder());
    QFile file(storePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qWarning("could not write the store file");
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator rng(3);
    for (char &b : bytes)
        b = char(rng.bounded(256));
    return bytes;
}

// What a user does right after the start: type, switch tabs, open the
// settings window and pick a colour.
void useTheProgram(fp &w)
{
    type(currentEditor(w), QStringLiteral("abc"));
    QVERIFY(currentEditor(w)->toPlainText().startsWith(QStringLiteral("abc")));
    action(w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(w), QStringLiteral("déf"));
    tabs(w)->setCurrentIndex(0);
    tabs(w)->setCurrentIndex(1);
    QCOMPARE(currentEditor(w)->toPlainText(), QStringLiteral("déf"));
    QVERIFY(openSettings(w));
    QVERIFY(settingsButton(2));
    pickColour(2, QColor("#336699"));
    QVERIFY(currentEditor(w)->styleSheet().contains(QStringLiteral("#336699")));
    topLevel("settings_window")->close();
    markAllSaved(w);
}

} // namespace

class tst_corruptsettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { removeStore(); }
    void cleanup()
    {
        disk.reset();
        removeStore();
    }
    void garbageInEveryKeyLeavesTheProgramUsable_data();
    void garbageInEveryKeyLeavesTheProgramUsable();
    void damagedStoreFileIsToldAndReplacedOnSave_data();
    void damagedStoreFileIsToldAndReplacedOnSave();
    void unusableStoreIsToldAndTheProgramStaysUsable_data();
    void unusableStoreIsToldAndTheProgramStaysUsable();

private:
    std::unique_ptr<SmallDisk> disk;
};

void tst_corruptsettings::garbageInEveryKeyLeavesTheProgramUsable_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("unsavable"); // the file cannot hold it as it is
    QTest::addColumn<bool>("notText");   // read as empty, and told
    QTest::newRow("10 MB text") << QVariant(QString(10 * 1024 * 1024, QLatin1Char('x'))) << false
                                << false;
    QTest::newRow("binary bytes") << QVariant(randomBytes(4096)) << false << true;
    QTest::newRow("text with NUL and invalid UTF-16")
        << QVariant(QString::fromUtf16(u"a\u0000b\xD800"
                                       u"c\uFFFF",
                                       7))
        << true << false;
    QTest::newRow("a list") << QVariant(QStringList{"#ff0000", "x"}) << false << true;
    QTest::newRow("a rectangle") << QVariant(QRect(1, 2, 3, 4)) << false << true;
    QTest::newRow("colour name of five digits")
        << QVariant(QStringLiteral("#12345")) << false << false;
    QTest::newRow("colour word in French") << QVariant(QStringLiteral("rouge")) << false << false;
    QTest::newRow("huge font size")
        << QVariant(QStringLiteral("DejaVu Sans,100000,-1,5,400,0,0,0,0,0")) << false << false;
    QTest::newRow("huge font pixel size")
        << QVariant(QStringLiteral("DejaVu Sans,-1,1000000,5,400,0,0,0,0,0")) << false << false;
    QTest::newRow("negative font size")
        << QVariant(QStringLiteral("DejaVu Sans,-7,-1,5,400,0,0,0,0,0")) << false << false;
    QTest::newRow("font weight out of range")
        << QVariant(QStringLiteral("DejaVu Sans,12,-1,5,99999,0,0,0,0,0")) << false << false;
    QTest::newRow("style sheet of another widget")
        << QVariant(QStringLiteral("QLabel{color:red}")) << false << false;
}

void tst_corruptsettings::garbageInEveryKeyLeavesTheProgramUsable()
{
    QFETCH(QVariant, value);
    QFETCH(bool, unsavable);
    QFETCH(bool, notText);
    {
        QSettings store(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
        for (const char *key : allKeys)
            store.setValue(QLatin1String(key), value);
    }
    DialogAnswerer answers;
    if (notText)
        answers.button(QMessageBox::Ok);
    if (unsavable)
        answers.button(QMessageBox::Ok);
    auto w = startWindow();
    useTheProgram(*w);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().size(), int(notText) + int(unsavable));
    if (notText)
        QVERIFY(answers.seen().first().text.contains(QStringLiteral("pas pu être lus")));
    if (unsavable)
        QVERIFY(answers.seen().last().text.contains(QStringLiteral("pas pu être enregistrés")));
    w.reset();
    reliability(
        QStringLiteral("settings: garbage in all 14 keys (%1)")
            .arg(QString::fromLatin1(QTest::currentDataTag())),
        14,
        QStringLiteral("started, usable, colour picked%1%2")
            .arg(notText ? QStringLiteral("; not text: read as empty, told") : QString())
            .arg(unsavable ? QStringLiteral("; cannot be stored as it is: told") : QString()));
}

void tst_corruptsettings::damagedStoreFileIsToldAndReplacedOnSave_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("random bytes") << randomBytes(65536);
    QTest::newRow("NUL bytes") << QByteArray(1000, '\0');
    QTest::newRow("unclosed group") << QByteArray("[General\ntfont=\"DejaVu Sans,12\n");
}

void tst_corruptsettings::damagedStoreFileIsToldAndReplacedOnSave()
{
    QFETCH(QByteArray, bytes);
    writeStoreFile(bytes);
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    auto w = startWindow();
    useTheProgram(*w);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().size(), 1);
    QVERIFY(answers.seen().first().text.contains(QStringLiteral("pas pu être lus")));
    w.reset();
    QFile file(storePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("bt2=#336699"));
    reliability(QStringLiteral("settings file damaged (%1)")
                    .arg(QString::fromLatin1(QTest::currentDataTag())),
                1, QStringLiteral("started, told once, usable, rewritten on the next pick"));
}

void tst_corruptsettings::unusableStoreIsToldAndTheProgramStaysUsable_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("toldAtStart");
    QTest::addColumn<int>("room");
    QTest::newRow("store file is a folder") << "folder" << true << 0;
    QTest::newRow("config folder is a regular file") << "file" << false << 0;
    QTest::newRow("read-only mount") << "read-only" << false << 0;
    for (int room : {0, 4096, 12288, 24576})
        QTest::addRow("full disk, %d KiB free", room / 1024) << "full" << false << room;
}

// Root writes anywhere, so the store is made unwritable by its shape or by
// a small file system mounted over its folder.
void tst_corruptsettings::unusableStoreIsToldAndTheProgramStaysUsable()
{
    QFETCH(QString, how);
    QFETCH(bool, toldAtStart);
    QFETCH(int, room);
    removeStore();
    if (how == "folder") {
        QVERIFY(QDir().mkpath(storePath()));
    } else if (how == "file") {
        QDir().mkpath(QFileInfo(storeFolder()).absolutePath());
        writeStoreFile({}); // creates the folder, removed just below
        QDir(storeFolder()).removeRecursively();
        QFile blocker(storeFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else {
        const bool readOnly = how == "read-only";
        disk = std::make_unique<SmallDisk>(storeFolder(), 64, readOnly);
        if (!disk->ok)
            QSKIP("mounting a small tmpfs needs root (CAP_SYS_ADMIN)");
        if (!readOnly) {
            // A store bigger than the room left: its rewrite cannot complete.
            storeValues({{"bt2", "#010203"}, {"notes", QString(30000, QLatin1Char('n'))}});
            QVERIFY(disk->leaveFree(room));
        }
    }
    DialogAnswerer answers;
    if (toldAtStart)
        answers.button(QMessageBox::Ok);
    answers.button(QMessageBox::Ok); // the pick's save
    auto w = startWindow();
    useTheProgram(*w);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QVERIFY(answers.seen().last().text.contains(QStringLiteral("pas pu être enregistrés")));
    w.reset();
    if (how == "full") {
        // The toolkit's rewrite may have truncated the file; it is put back.
        QFile file(storePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.contains("bt2=#010203"));
        QVERIFY(bytes.contains(QByteArray(30000, 'n')));
    }
    reliability(QStringLiteral("settings: %1").arg(QString::fromLatin1(QTest::currentDataTag())), 1,
                QStringLiteral("started, usable, the failed save told%1")
                    .arg(how == QLatin1String("full") ? QStringLiteral(", earlier store kept")
                                                      : QString()));
}

FEUILLON_TEST_MAIN(tst_corruptsettings)
#include "tst_corruptsettings.moc"
