// Feuillon beside another editor, both started as new processes on the same
// file and watched from outside: the window on the screen, the end of the
// work the open started (the process idle for a second) and the peak memory.
// The peer is KWrite; scripts/bench.sh --peers installs it. Without it the
// case says so and measures nothing.
#include "cases.h"
#include "screen.h"
#include "textgen.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

namespace bench {

namespace {

constexpr qint64 idle_ms = 1000;
constexpr qint64 limit_ms = 180000;

// Clock ticks the process has run, from /proc.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
    // After the name: state is field 3 of the whole line, utime 14, stime 15.
    return fields.value(12).toLongLong() + fields.value(13).toLongLong();
}

double peakMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

struct Opened {
    double window = -1, settled = -1, peak = -1;
};

// The program opens the file (none: started bare); times in ms from its start.
Opened openIn(const ScreenWatch &screen, const QString &program, const QString &path)
{
    Opened opened;
    const QByteArray before = screen.sample();
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    startQuietly(process, program, path.isEmpty() ? QStringList{} : QStringList{path});
    qint64 ticks = -1, busy = 0;
    while (clock.elapsed() - busy < idle_ms && clock.elapsed() < limit_ms) {
        if (opened.window < 0 && ScreenWatch::covered(before, screen.sample()))
            opened.window = clock.nsecsElapsed() / 1e6;
        const qint64 now = cpuTicks(process.processId());
        if (now != ticks || opened.window < 0) {
            ticks = now;
            busy = clock.elapsed();
        }
        QThread::msleep(10);
    }
    opened.settled = clock.elapsed() - busy < idle_ms ? -1 : double(busy);
    opened.peak = peakMiB(process.processId());
    endAndClear(process, screen, before);
    return opened;
}

void addRows(Report &report, const QString &what, const QList<Opened> &ours,
             const QList<Opened> &theirs)
{
    QList<double> samples[2][3];
    for (int side = 0; side < 2; ++side)
        for (const Opened &o : side == 0 ? ours : theirs) {
            if (o.window >= 0)
                samples[side][0] << o.window;
            if (o.settled >= 0)
                samples[side][1] << o.settled;
            samples[side][2] << o.peak;
        }
    report.add({QStringLiteral("New process, %1: window shown (beside: KWrite)").arg(what),
                fromSamples(samples[0][0]), fromSamples(samples[1][0]), QStringLiteral("–"),
                QStringLiteral("screen")});
    report.add(
        {QStringLiteral("New process, %1: settled, idle 1 s after (beside: KWrite)").arg(what),
         fromSamples(samples[0][1]), fromSamples(samples[1][1]), QStringLiteral("–"),
         QStringLiteral("screen")});
    report.note(QStringLiteral("Peak memory, new process, %1: Feuillon %2 MiB, KWrite %3 MiB.")
                    .arg(what)
                    .arg(fromSamples(samples[0][2]).median, 0, 'f', 0)
                    .arg(fromSamples(samples[1][2]).median, 0, 'f', 0));
}

} // namespace

void peers(Report &report, const Options &o)
{
    const QString kwrite = QStandardPaths::findExecutable(QStringLiteral("kwrite"));
    const ScreenWatch screen;
    if (kwrite.isEmpty() || !screen.available()) {
        report.note(QStringLiteral("Peers: KWrite or an X display is missing; "
                                   "scripts/bench.sh --peers installs KWrite."));
        return;
    }
    const QList<qsizetype> sizes = sizesOf(o, {0, 10 << 20, 50 << 20});
    for (qsizetype bytes : sizes) {
        QString path;
        if (bytes > 0) {
            path = o.workDir + QStringLiteral("/peer.txt");
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(frenchText(bytes).toUtf8()) < 0)
                return;
        }
        QList<Opened> ours, theirs;
        for (int run = 0; run < qMin(o.runs, 3); ++run) {
            ours << openIn(screen, QStringLiteral(FEUILLON_EXECUTABLE), path);
            theirs << openIn(screen, kwrite, path);
        }
        addRows(report,
                bytes > 0 ? QStringLiteral("open %1").arg(sizeName(bytes))
                          : QStringLiteral("no file"),
                ours, theirs);
        if (!path.isEmpty())
            QFile::remove(path);
    }
}

} // namespace bench
