#include "costs.h"

#include <QFile>
#include <QList>
#include <sys/resource.h>

namespace feuillon_test {

PauseWatch::PauseWatch()
{
    m_clock.start();
    QObject::connect(&m_tick, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = qMax(m_longest, double(now - m_last) / 1e6);
        m_last = now;
    });
    m_tick.start(1);
}

double PauseWatch::stop()
{
    m_tick.stop();
    m_longest = qMax(m_longest, double(m_clock.nsecsElapsed() - m_last) / 1e6);
    return m_longest;
}

namespace {
// A figure of /proc/self/status given in kB, in MiB.
double statusMiB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    // Read whole: a file of /proc tells no size, so atEnd() holds at once.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}
} // namespace

double residentMiB()
{
    return statusMiB("VmRSS:");
}

// getrusage's maxrss is not it: a child started by the bench inherits the
// bench's peak through fork and keeps it across exec.
double peakMemoryMiB()
{
    return statusMiB("VmHWM:");
}

double cpuMs()
{
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

} // namespace feuillon_test
