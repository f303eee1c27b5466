// A log that another program keeps appending to while it is open in the
// editor: lines that look like a server's, appended the way such a program
// does, at a steady pace, and what following them costs this process.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QTextDocument;

namespace feuillon_test {

// Line n of a log: a time of day, a level and a few French words, '\n' last.
QByteArray logLine(qint64 n);
// A log of about `bytes` bytes at path; the number of its lines, -1 on failure.
qint64 writeLog(const QString &path, qint64 bytes);
// As a logging program does: opened for appending, one line written, closed.
bool appendLine(const QString &path, const QByteArray &line);
// The last line of a document that holds something, without its line end.
QString lastLine(const QTextDocument &document);

struct FeedPlan {
    int lines = 600;
    int intervalMs = 100;
    int idleMs = 2000;       // the same loop with nothing appended, taken off the processor time
    int catchUpMs = 30000;   // after the last line, how long the reader may take to show it
    double memoryCapMiB = 0; // more growth than this stops the appends (0: never)
};

struct Feed {
    int lines = 0; // appended
    qint64 bytes = 0;
    double longestPauseMs = 0;          // from the first line to the catch-up
    double cpuPerLineMs = 0;            // above what the idle loop takes
    double cpuAllMs = 0, cpuIdleMs = 0; // from the first line to the catch-up; of it, idle
    double residentGrowthMiB = 0;       // after the catch-up, against before the first line
    bool caughtUp = false;
    bool cut = false; // stopped at the memory cap
};

// Calls `append(n)` for n = 0, 1, …, one call every plan.intervalMs, each
// returning the bytes it added, with the event loop running in between;
// then waits for `caughtUp()`.
Feed feed(const FeedPlan &plan, const std::function<qint64(int)> &append,
          const std::function<bool()> &caughtUp);

// The same for a file: line firstLine, firstLine + 1, … of the log appended
// to it; caught up once `shownLast()`, the last line the reader shows (null
// while it cannot tell), is the last line appended.
Feed feedFile(const FeedPlan &plan, const QString &path, qint64 firstLine,
              const std::function<QString()> &shownLast);

} // namespace feuillon_test
