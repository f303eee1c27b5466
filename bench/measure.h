// Timing and reporting for the benchmarks.
#pragma once

#include "costs.h"

#include <QList>
#include <QString>
#include <functional>

namespace bench {

struct Stats {
    double median = 0, min = 0, max = 0; // milliseconds
    double instructions = 0;             // median, in the count mode only
};

// Runs `prepare` (untimed) then `work` (timed), `runs` times.
Stats measure(int runs, const std::function<void()> &prepare, const std::function<void()> &work);
Stats fromSamples(QList<double> samples, QList<double> counts = {});

// The count mode: the bench runs under callgrind (scripts/bench.sh --count)
// and each timed piece of work is counted in instructions, a figure that a
// loaded machine does not move. Times are then meaningless.
void setCounting(bool on);
bool counting();
void countStart();
double countStop(); // instructions since countStart(), 0 when not counting

struct Row {
    QString operation;
    Stats feuillon;
    Stats bare;
    QString target; // e.g. "ratio ≤ 1.1"
    // Where the time ends: "frame" (the next painted frame), "screen" (seen
    // from outside the process), "layout", "pause", "catch-up" (the window
    // shows the last of a series of changes); empty: the call returns.
    QString until = {};
    // What the figures count when it is not milliseconds, e.g. "MB".
    QString unit = {};
};

class Report
{
public:
    void add(const Row &row);
    void note(const QString &line);
    QString markdown() const;
    // The rows counted in instructions, in the count mode.
    QString countsMarkdown() const;
    QString plain() const;

private:
    QList<Row> m_rows;
    QStringList m_notes;
};

// Shared with the tests, which measure pauses and memory too.
using feuillon_test::PauseWatch;
using feuillon_test::peakMemoryMiB;
using feuillon_test::residentMiB;

} // namespace bench
