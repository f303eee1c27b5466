// Load: a very large file, a thousand tabs, and quitting with a thousand tabs
// of which one holds unsaved text. Nothing crashes, nothing is rewritten,
// and exactly the modified document is offered.
#include "testmain.h"

#include "dialogs.h"
#include "files.h"
#include "reliability.h"
#include "window.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTextDocument>
#include <sys/resource.h>

using namespace feuillon_test;

namespace {

long long peakMemoryMiB()
{
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024; // kilobytes on Linux
}

void openTabsWithFiles(fp &w, const QTemporaryDir &dir, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("t%1.txt").arg(i));
        writeFileBytes(path, QByteArray("onglet ") + QByteArray::number(i) + '\n');
        action(w, "actionNouvelle_Onglet")->trigger();
        if (w.load_file(path))
            w.set_path(path);
    }
}

} // namespace

class tst_load : public QObject
{
    Q_OBJECT

private slots:
    void hundredMegabyteFileOpens();
    void thousandTabsOpenAndClose();
    void quittingWithThousandTabsOffersOnlyTheModifiedOne();
};

// Slow and memory-hungry: ctest runs it as its own test, labelled "load".
void tst_load::hundredMegabyteFileOpens()
{
    if (qEnvironmentVariable("FEUILLON_LOAD_TESTS") != QLatin1String("1"))
        QSKIP("set FEUILLON_LOAD_TESTS=1 to open a 100 MB file (ctest -L load)");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grand.txt"));
    const qint64 size = 100LL * 1024 * 1024;
    const QByteArray hash = writeLargeFile(path, size);
    QVERIFY(!hash.isEmpty());
    const long long before = peakMemoryMiB();
    {
        auto w = startWindow({"feuillon", path});
        QVERIFY(waitLoaded(currentEditor(*w)));
        QTextDocument *document = currentEditor(*w)->document();
        QCOMPARE(currentEditor(*w)->accessibleName(), path);
        QVERIFY(!document->isModified());
        QVERIFY(document->characterCount() > size / 2);
        // Closing the untouched document asks nothing and writes nothing.
        DialogAnswerer answers;
        w.reset();
        QCOMPARE(answers.seen().size(), 0);
    }
    const long long peak = peakMemoryMiB();
    QCOMPARE(fileHash(path), hash);
    reliability(QStringLiteral("100 MB file opened and closed"), 1,
                QStringLiteral("opened, file unchanged, peak memory %1 MiB (%2 MiB before)")
                    .arg(peak)
                    .arg(before));
}

void tst_load::thousandTabsOpenAndClose()
{
    QTemporaryDir dir;
    auto w = startWindow();
    DialogAnswerer answers;
    openTabsWithFiles(*w, dir, 1000);
    QCOMPARE(tabs(*w)->count(), 1001);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("onglet 999\n"));
    while (tabs(*w)->count() > 1)
        emit tabs(*w)->tabCloseRequested(tabs(*w)->count() - 1);
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(answers.seen().size(), 0);
    reliability(QStringLiteral("1,000 tabs opened and closed"), 1000,
                QStringLiteral("all closed, no question, peak memory %1 MiB").arg(peakMemoryMiB()));
}

// The silent write of a modified tab with a path is tested with few tabs in
// tst_saveoffer; a thousand tabs cost half a minute each time, so here only
// the question.
void tst_load::quittingWithThousandTabsOffersOnlyTheModifiedOne()
{
    QTemporaryDir dir;
    auto w = startWindow();
    openTabsWithFiles(*w, dir, 999);
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), QStringLiteral("modifié"));
    tabs(*w)->setCurrentIndex(1); // the modified tab is not the current one

    const QString target = dir.filePath(QStringLiteral("nouveau.txt"));
    DialogAnswerer answers;
    answers.button(QMessageBox::Yes).file(target);
    w.reset();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().size(), 2);
    QVERIFY(answers.seen().first().text.contains(QStringLiteral("(onglet 1001)")));
    QCOMPARE(fileBytes(target), QByteArray("modifié"));
    int untouched = 0;
    for (int i = 0; i < 999; ++i)
        if (fileBytes(dir.filePath(QStringLiteral("t%1.txt").arg(i))) ==
            QByteArray("onglet ") + QByteArray::number(i) + '\n')
            ++untouched;
    QCOMPARE(untouched, 999);
    reliability(QStringLiteral("quit with 1,000 tabs, one of them modified"), 1000,
                QStringLiteral("1 question, for the modified tab; it was saved; the %1 other "
                               "files untouched")
                    .arg(untouched));
}

FEUILLON_TEST_MAIN(tst_load)
#include "tst_load.moc"
