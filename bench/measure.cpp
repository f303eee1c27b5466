#include "measure.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <valgrind/callgrind.h>

namespace bench {

namespace {
double medianOf(QList<double> &sorted)
{
    const qsizetype n = sorted.size();
    return n % 2 ? sorted.at(n / 2) : (sorted.at(n / 2 - 1) + sorted.at(n / 2)) / 2;
}

bool countMode = false;
int dumpsRead = 0;
} // namespace

Stats fromSamples(QList<double> samples, QList<double> counts)
{
    Stats s;
    if (samples.isEmpty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.min = samples.first();
    s.max = samples.last();
    s.median = medianOf(samples);
    counts.removeAll(0.0);
    if (!counts.isEmpty()) {
        std::sort(counts.begin(), counts.end());
        s.instructions = medianOf(counts);
    }
    return s;
}

void setCounting(bool on)
{
    countMode = on && RUNNING_ON_VALGRIND;
}

bool counting()
{
    return countMode;
}

void countStart()
{
    if (!countMode)
        return;
    CALLGRIND_ZERO_STATS;
    CALLGRIND_START_INSTRUMENTATION;
}

// Callgrind writes each dump as a file of its own, numbered in order, next
// to the output file that scripts/bench.sh names; its "totals:" line holds
// the instructions since the counters were zeroed.
double countStop()
{
    if (!countMode)
        return 0;
    CALLGRIND_STOP_INSTRUMENTATION;
    CALLGRIND_DUMP_STATS_AT("bench");
    const QString base = qEnvironmentVariable("FEUILLON_BENCH_COUNT_FILE");
    QFile dump(base + QLatin1Char('.') + QString::number(++dumpsRead));
    if (!dump.open(QIODevice::ReadOnly))
        return 0;
    double total = 0;
    while (!dump.atEnd()) {
        const QByteArray line = dump.readLine().trimmed();
        if (line.startsWith("totals:") || line.startsWith("summary:"))
            total = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble();
    }
    dump.remove();
    return total;
}

Stats measure(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    QList<double> samples, counts;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer t;
        t.start();
        countStart();
        work();
        counts.append(countStop());
        samples.append(t.nsecsElapsed() / 1e6);
    }
    return fromSamples(samples, counts);
}

void Report::add(const Row &row)
{
    m_rows.append(row);
}

void Report::note(const QString &line)
{
    m_notes.append(line);
}

static QString ms(const Stats &s, const QString &unit = {})
{
    const auto f = [](double v) {
        return v < 1 ? QString::number(v, 'f', 3) : QString::number(v, 'f', 1);
    };
    // The columns say ms: another unit is written beside the figure.
    const QString median = unit.isEmpty() ? f(s.median) : f(s.median) + QLatin1Char(' ') + unit;
    return QStringLiteral("%1 (%2–%3)").arg(median, f(s.min), f(s.max));
}

static QString ratio(const Row &r)
{
    if (r.bare.median <= 0)
        return QStringLiteral("–");
    return QString::number(r.feuillon.median / r.bare.median, 'f', 2);
}

static QString until(const Row &r)
{
    return r.until.isEmpty() ? QStringLiteral("call") : r.until;
}

QString Report::markdown() const
{
    QString out = QStringLiteral(
        "| Operation | Until | Feuillon, ms: median (min–max) | Bare Qt, ms | Ratio | "
        "Target |\n|---|---|---|---|---|---|\n");
    for (const Row &r : m_rows)
        out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 |\n")
                   .arg(r.operation, until(r), ms(r.feuillon, r.unit),
                        r.bare.median > 0 ? ms(r.bare, r.unit) : QStringLiteral("–"), ratio(r),
                        r.target);
    for (const QString &n : m_notes)
        out += QStringLiteral("\n") + n + QStringLiteral("\n");
    return out;
}

static QString millions(double instructions)
{
    return instructions > 0 ? QString::number(instructions / 1e6, 'f', 2) : QStringLiteral("–");
}

QString Report::countsMarkdown() const
{
    QString out = QStringLiteral("| Operation | Until | Instructions, Feuillon (millions) | "
                                 "Bare Qt | Ratio | Target |\n|---|---|---|---|---|---|\n");
    for (const Row &r : m_rows) {
        if (r.feuillon.instructions <= 0)
            continue;
        const QString ratio =
            r.bare.instructions > 0
                ? QString::number(r.feuillon.instructions / r.bare.instructions, 'f', 2)
                : QStringLiteral("–");
        out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 |\n")
                   .arg(r.operation, until(r), millions(r.feuillon.instructions),
                        millions(r.bare.instructions), ratio, r.target);
    }
    return out;
}

QString Report::plain() const
{
    QString out;
    for (const Row &r : m_rows) {
        out +=
            QStringLiteral("%1 [to %6]\n    feuillon %2 %7   bare %3 %7   ratio %4   target %5\n")
                .arg(r.operation, ms(r.feuillon), ms(r.bare), ratio(r), r.target, until(r),
                     r.unit.isEmpty() ? QStringLiteral("ms") : r.unit);
        if (r.feuillon.instructions > 0)
            out += QStringLiteral("    instructions: feuillon %1 M   bare %2 M\n")
                       .arg(millions(r.feuillon.instructions), millions(r.bare.instructions));
    }
    for (const QString &n : m_notes)
        out += n + QStringLiteral("\n");
    return out;
}

} // namespace bench
