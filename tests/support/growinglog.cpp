#include "growinglog.h"
#include "costs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTextBlock>
#include <QTextDocument>
#include <cstdio>
#include <iterator>

namespace feuillon_test {

QByteArray logLine(qint64 n)
{
    static const char *const levels[] = {"INFO", "INFO", "INFO", "AVERTISSEMENT", "ERREUR"};
    static const char *const words[] = {
        "requête",  "reçue",   "envoyée", "fichier", "écrit",   "lu",      "accès",   "refusé",
        "délai",    "dépassé", "client",  "serveur", "réponse", "données", "mémoire", "tâche",
        "terminée", "début",   "fin",     "vérifié", "échec",   "réussi",  "numéro",  "élément"};
    // The same line for the same n, so that runs compare.
    quint64 state = quint64(n) * 6364136223846793005ULL + 1442695040888963407ULL;
    const auto next = [&state](unsigned below) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return unsigned(state >> 33) % below;
    };
    const qint64 ms = n * 137;
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "2024-03-01 %02lld:%02lld:%02lld.%03lld ",
                  (ms / 3600000) % 24, (ms / 60000) % 60, (ms / 1000) % 60, ms % 1000);
    QByteArray line(stamp);
    line += levels[next(std::size(levels))];
    line += ' ';
    line += QByteArray::number(n);
    for (unsigned w = 6 + next(8); w > 0; --w) {
        line += ' ';
        line += words[next(std::size(words))];
    }
    line += '\n';
    return line;
}

qint64 writeLog(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    qint64 lines = 0, written = 0;
    QByteArray chunk;
    while (written < bytes) {
        chunk += logLine(lines++);
        if (chunk.size() >= (1 << 20) || written + chunk.size() >= bytes) {
            if (file.write(chunk) != chunk.size())
                return -1;
            written += chunk.size();
            chunk.clear();
        }
    }
    return lines;
}

bool appendLine(const QString &path, const QByteArray &line)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(line) == line.size() &&
           file.flush();
}

QString lastLine(const QTextDocument &document)
{
    QTextBlock block = document.lastBlock();
    if (block.text().isEmpty() && block.previous().isValid())
        block = block.previous();
    return block.text();
}

namespace {

// Runs the event loop until `ms` on the clock, at least one pass. It sleeps
// while nothing happens: a busy loop would count as processor time.
void runUntil(const QElapsedTimer &clock, qint64 ms)
{
    const qint64 left = ms - clock.elapsed();
    if (left <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(left, &loop, &QEventLoop::quit);
    loop.exec();
}

// Processor time per ms of the event loop when nothing is appended: the
// pause watch's own ticks, a blinking cursor.
double idleCpuPerMs(int ms)
{
    if (ms <= 0)
        return 0;
    const PauseWatch ticking;
    QElapsedTimer clock;
    clock.start();
    const double before = cpuMs();
    runUntil(clock, ms);
    return (cpuMs() - before) / qMax<qint64>(1, clock.elapsed());
}

} // namespace

Feed feed(const FeedPlan &plan, const std::function<qint64(int)> &append,
          const std::function<bool()> &caughtUp)
{
    const double idle = idleCpuPerMs(plan.idleMs);
    Feed out;
    const double residentBefore = residentMiB();
    const double cpuBefore = cpuMs();
    QElapsedTimer clock;
    clock.start();
    PauseWatch pauses;
    for (int n = 0; n < plan.lines && !out.cut; ++n) {
        out.bytes += append(n);
        ++out.lines;
        runUntil(clock, qint64(n + 1) * plan.intervalMs);
        out.cut = plan.memoryCapMiB > 0 && residentMiB() - residentBefore > plan.memoryCapMiB;
    }
    const qint64 waitUntil = clock.elapsed() + plan.catchUpMs;
    while (!(out.caughtUp = caughtUp()) && clock.elapsed() < waitUntil)
        runUntil(clock, clock.elapsed() + 20);
    out.longestPauseMs = pauses.stop();
    out.cpuAllMs = cpuMs() - cpuBefore;
    out.cpuIdleMs = idle * double(clock.elapsed());
    out.cpuPerLineMs = out.lines > 0 ? qMax(0.0, out.cpuAllMs - out.cpuIdleMs) / out.lines : 0;
    out.residentGrowthMiB = residentMiB() - residentBefore;
    return out;
}

Feed feedFile(const FeedPlan &plan, const QString &path, qint64 firstLine,
              const std::function<QString()> &shownLast)
{
    QString last;
    return feed(
        plan,
        [&](int n) {
            const QByteArray line = logLine(firstLine + n);
            last = QString::fromUtf8(line.chopped(1));
            return appendLine(path, line) ? line.size() : 0;
        },
        [&] { return shownLast() == last; });
}

} // namespace feuillon_test
