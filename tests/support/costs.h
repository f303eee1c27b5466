// What a run costs this process: its memory, its processor time, and how
// long its event loop could not answer. Qt Core only, for the tests and the
// bench alike.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace feuillon_test {

// The longest gap between two ticks of a 1 ms timer since it was made: how
// long the window could not answer a key or paint.
class PauseWatch
{
public:
    PauseWatch();
    double longest() const { return m_longest; } // milliseconds
    // Stops the ticks; the gap in which it is called counts too.
    double stop();

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_longest = 0;
    QTimer m_tick;
};

// Resident memory of this process now, in MiB.
double residentMiB();
// Its high-water mark so far, in MiB.
double peakMemoryMiB();
// Processor time of this process so far, user and system, in ms.
double cpuMs();

} // namespace feuillon_test
