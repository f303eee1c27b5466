// A log that another program keeps appending to while it is open in a tab,
// for as long as a server runs: the tab ends with the file's very text and
// nothing to save, and what it cost goes to the reliability table.
#include "reliability.h"
#include "testmain.h"

#include "documents/textfile.h"
#include "growinglog.h"
#include "window.h"

#include <QTemporaryDir>
#include <QTextDocument>
#include <cstdio>

using namespace feuillon_test;

class tst_follow : public QObject
{
    Q_OBJECT

private slots:
    void logAppendedForMinutes();
};

// scripts/reliability.sh asks for ten minutes at a line a second; the
// ordinary run takes ten seconds at ten lines a second.
static int fromEnvironment(const char *name, int usual)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : usual;
}

static QString duration(int seconds)
{
    return seconds % 60 == 0 ? QStringLiteral("%1 minutes").arg(seconds / 60)
                             : QStringLiteral("%1 s").arg(seconds);
}

void tst_follow::logAppendedForMinutes()
{
    const int seconds = fromEnvironment("FEUILLON_LOG_SECONDS", 10);
    const int intervalMs = fromEnvironment("FEUILLON_LOG_INTERVAL_MS", 100);
    if (seconds > 120) {
        std::printf("long run: %d s of appends\n", seconds); // CTest then waits longer
        std::fflush(stdout);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("serveur.log"));
    const qint64 lines = writeLog(path, 4 << 20);
    QVERIFY(lines > 0);
    auto w = startWindow({"feuillon", path});
    QVERIFY(waitLoaded(currentEditor(*w)));
    currentEditor(*w)->moveCursor(QTextCursor::End);
    QTest::qWait(500);

    FeedPlan plan;
    plan.lines = int(qint64(seconds) * 1000 / intervalMs);
    plan.intervalMs = intervalMs;
    plan.idleMs = 0;
    // Well past any fair figure: the machine stays safe whatever the program does.
    plan.memoryCapMiB = 4096;
    const Feed fed = feedFile(plan, path, lines, [&] {
        QTextEdit *e = currentEditor(*w);
        return e->isReadOnly() ? QString() : lastLine(*e->document());
    });
    reliability(QStringLiteral("a log appended for %1, a line every %2 ms, 4 MB open")
                    .arg(duration(seconds))
                    .arg(intervalMs),
                fed.lines,
                QStringLiteral("memory +%1 MB, longest pause %2 ms%3")
                    .arg(fed.residentGrowthMiB, 0, 'f', 0)
                    .arg(fed.longestPauseMs, 0, 'f', 0)
                    .arg(fed.cut ? QStringLiteral("; stopped at +%1 MB").arg(plan.memoryCapMiB)
                                 : QString()));

    QTextDocument *document = currentEditor(*w)->document();
    const bool modified = document->isModified();
    markAllSaved(*w);
    QVERIFY(fed.caughtUp);
    QCOMPARE(textfile::documentText(*document), textfile::read(path).text);
    QVERIFY(!modified);
}

FEUILLON_TEST_MAIN(tst_follow)
#include "tst_follow.moc"
