#include "measure.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <sys/resource.h>

namespace bench {

Stats fromSamples(QList<double> samples)
{
    Stats s;
    if (samples.isEmpty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.min = samples.first();
    s.max = samples.last();
    const qsizetype n = samples.size();
    s.median = n % 2 ? samples.at(n / 2) : (samples.at(n / 2 - 1) + samples.at(n / 2)) / 2;
    return s;
}

Stats measure(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    QList<double> samples;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer t;
        t.start();
        work();
        samples.append(t.nsecsElapsed() / 1e6);
    }
    return fromSamples(samples);
}

void Report::add(const Row &row)
{
    m_rows.append(row);
}

void Report::note(const QString &line)
{
    m_notes.append(line);
}

static QString ms(const Stats &s)
{
    const auto f = [](double v) {
        return v < 1 ? QString::number(v, 'f', 3) : QString::number(v, 'f', 1);
    };
    return QStringLiteral("%1 (%2–%3)").arg(f(s.median), f(s.min), f(s.max));
}

static QString ratio(const Row &r)
{
    if (r.bare.median <= 0)
        return QStringLiteral("–");
    return QString::number(r.feuillon.median / r.bare.median, 'f', 2);
}

QString Report::markdown() const
{
    QString out =
        QStringLiteral("| Operation | Feuillon, ms: median (min–max) | Bare Qt, ms | Ratio | "
                       "Target |\n|---|---|---|---|---|\n");
    for (const Row &r : m_rows)
        out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                   .arg(r.operation, ms(r.feuillon),
                        r.bare.median > 0 ? ms(r.bare) : QStringLiteral("–"), ratio(r), r.target);
    for (const QString &n : m_notes)
        out += QStringLiteral("\n") + n + QStringLiteral("\n");
    return out;
}

QString Report::plain() const
{
    QString out;
    for (const Row &r : m_rows)
        out += QStringLiteral("%1\n    feuillon %2 ms   bare %3 ms   ratio %4   target %5\n")
                   .arg(r.operation, ms(r.feuillon), ms(r.bare), ratio(r), r.target);
    for (const QString &n : m_notes)
        out += n + QStringLiteral("\n");
    return out;
}

double peakMemoryMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace bench
