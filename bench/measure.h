// Timing and reporting for the benchmarks.
#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace bench {

struct Stats {
    double median = 0, min = 0, max = 0; // milliseconds
};

// Runs `prepare` (untimed) then `work` (timed), `runs` times.
Stats measure(int runs, const std::function<void()> &prepare, const std::function<void()> &work);
Stats fromSamples(QList<double> samples);

struct Row {
    QString operation;
    Stats feuillon;
    Stats bare;
    QString target; // e.g. "ratio ≤ 1.1"
};

class Report
{
public:
    void add(const Row &row);
    void note(const QString &line);
    QString markdown() const;
    QString plain() const;

private:
    QList<Row> m_rows;
    QStringList m_notes;
};

// Peak resident memory of this process so far, in MiB.
double peakMemoryMiB();

} // namespace bench
