// A log that another program appends to while it is open, as the user meets
// it: what each line costs the window in memory, processor time and pauses,
// beside a bare editor that appends the same lines itself (the least any
// editor must do to show them).
#include "cases.h"
#include "documents/textfile.h"
#include "fp.h"
#include "frame.h"
#include "growinglog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>

namespace bench {

namespace {

using feuillon_test::Feed;
using feuillon_test::FeedPlan;
using feuillon_test::logLine;

constexpr int loadLimitMs = 180000;

QTextEdit *frontEditor(fp &window)
{
    return qobject_cast<QTextEdit *>(
        window.findChild<QTabWidget *>(QStringLiteral("onglet"))->currentWidget());
}

// The last line of the file as it is on disk now.
QString fileLastLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qMax<qint64>(0, file.size() - 4096)))
        return {};
    QByteArray tail = file.readAll();
    if (tail.endsWith('\n'))
        tail.chop(1);
    return QString::fromUtf8(tail.mid(tail.lastIndexOf('\n') + 1));
}

struct Followed {
    Feed feed;
    bool loaded = false;
    QString shownLast, fileLast; // the document's last line, the file's
    bool cursorAtEnd = false, viewAtEnd = false;
};

// Feuillon with the log in a tab, the text cursor at its end, while another
// program appends to the file.
Followed followInWindow(const QString &path, qint64 lines, qsizetype characters,
                        const FeedPlan &plan)
{
    Followed out;
    fp window(QStringList{QStringLiteral("feuillon"), path});
    window.show();
    // A big file goes in slice by slice, read-only until its last one.
    const auto loaded = [&] {
        QTextEdit *e = frontEditor(window);
        return e && !e->isReadOnly() && e->document()->characterCount() - 1 == characters;
    };
    QElapsedTimer clock;
    clock.start();
    while (!loaded() && clock.elapsed() < loadLimitMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!(out.loaded = loaded()))
        return out;
    frontEditor(window)->moveCursor(QTextCursor::End);
    settle(frontEditor(window));
    out.feed = feuillon_test::feedFile(plan, path, lines, [&] {
        QTextEdit *e = frontEditor(window);
        return !e || e->isReadOnly() ? QString() : feuillon_test::lastLine(*e->document());
    });
    QTextEdit *editor = frontEditor(window);
    out.shownLast = feuillon_test::lastLine(*editor->document());
    out.fileLast = fileLastLine(path);
    out.cursorAtEnd = editor->textCursor().atEnd();
    const QScrollBar *bar = editor->verticalScrollBar();
    out.viewAtEnd = bar->value() == bar->maximum();
    editor->document()->setModified(false);
    return out;
}

// The floor: a bare editor holding the same text appends each line itself
// at its end, with nothing to read from the disk.
Feed appendInBare(const QString &text, qint64 lines, const FeedPlan &plan)
{
    QTextEdit bare;
    bare.resize(1000, 600);
    bare.setPlainText(text);
    bare.show();
    bare.moveCursor(QTextCursor::End);
    settle(&bare);
    return feuillon_test::feed(
        plan,
        [&](int n) {
            const QByteArray line = logLine(lines + n);
            bare.moveCursor(QTextCursor::End);
            bare.insertPlainText(QString::fromUtf8(line));
            return line.size();
        },
        [] { return true; });
}

Stats one(double figure)
{
    return fromSamples({figure});
}

void notesOn(Report &report, const QString &log, const Followed &f, const Feed &bare,
             const FeedPlan &plan)
{
    const auto yes = [](bool b) { return b ? QStringLiteral("yes") : QStringLiteral("no"); };
    // The idle share is taken off: its rate, measured before the appends,
    // may be off by a little, which a line that costs little shows.
    report.note(QStringLiteral("%1, processor: from the first line to the catch-up, Feuillon "
                               "%2 ms in all, %3 ms of it the idle loop; bare %4 ms, %5 ms idle.")
                    .arg(log)
                    .arg(f.feed.cpuAllMs, 0, 'f', 0)
                    .arg(f.feed.cpuIdleMs, 0, 'f', 0)
                    .arg(bare.cpuAllMs, 0, 'f', 0)
                    .arg(bare.cpuIdleMs, 0, 'f', 0));
    report.note(QStringLiteral("%1, view: after the appends the text cursor is at the end: %2; "
                               "the view shows the end: %3.")
                    .arg(log, yes(f.cursorAtEnd), yes(f.viewAtEnd)));
    if (f.shownLast != f.fileLast)
        report.note(QStringLiteral("%1, last line: the document's last line is not the file's "
                                   "(document «%2», file «%3»).")
                        .arg(log, f.shownLast.left(80), f.fileLast.left(80)));
    if (f.feed.cut)
        report.note(QStringLiteral("%1, cut short: stopped after %2 of %3 lines, the resident "
                                   "memory having grown past %4 MB.")
                        .arg(log)
                        .arg(f.feed.lines)
                        .arg(plan.lines)
                        .arg(plan.memoryCapMiB, 0, 'f', 0));
}

void addRows(Report &report, qsizetype bytes, const Followed &f, const Feed &bare,
             const FeedPlan &plan)
{
    const QString log = QStringLiteral("Growing log %1").arg(sizeName(bytes));
    const QString what = QStringLiteral("%1 open, %2 lines appended by another program at %3 a "
                                        "second (bare: a QTextEdit appending them itself)")
                             .arg(log)
                             .arg(plan.lines)
                             .arg(1000 / plan.intervalMs);
    const double bound = 2.0 * f.feed.bytes / (1 << 20) + 10;
    report.add({what + QStringLiteral(": resident memory after against before"),
                one(f.feed.residentGrowthMiB), one(bare.residentGrowthMiB),
                QStringLiteral("≤ %1 MB (2 × %2 appended + 10 MB)")
                    .arg(bound, 0, 'f', 1)
                    .arg(sizeName(f.feed.bytes)),
                QStringLiteral("catch-up"), QStringLiteral("MB")});
    report.add({what + QStringLiteral(": processor time per line, idle taken off"),
                one(f.feed.cpuPerLineMs), one(bare.cpuPerLineMs),
                QStringLiteral("≤ %1 ms (5 ms + the appended text, bare)")
                    .arg(5 + bare.cpuPerLineMs, 0, 'f', 1),
                QStringLiteral("catch-up")});
    report.add({what + QStringLiteral(": longest pause of the event loop"),
                one(f.feed.longestPauseMs), one(bare.longestPauseMs), QStringLiteral("≤ 50 ms"),
                QStringLiteral("pause")});
    notesOn(report, log, f, bare, plan);
}

} // namespace

// One run a size: each takes a minute of appends on each side.
void growingLogs(Report &report, const Options &o)
{
    FeedPlan plan;
    plan.lines = o.quick ? 20 : 600;
    plan.idleMs = o.quick ? 300 : 5000;
    // Far past any fair figure; beyond it the machine would be at risk.
    plan.memoryCapMiB = 4096;
    for (qsizetype bytes : sizesOf(o, {4 << 20, 50 << 20})) {
        const QString path = o.workDir + QStringLiteral("/growing.log");
        const qint64 lines = feuillon_test::writeLog(path, bytes);
        if (lines < 0) {
            report.note(
                QStringLiteral("Growing logs, not measured: %1 cannot be written.").arg(path));
            return;
        }
        const QString text = textfile::read(path).text;
        const QString log = QStringLiteral("Growing log %1").arg(sizeName(bytes));
        const Followed followed = followInWindow(path, lines, text.size(), plan);
        if (!followed.loaded) {
            report.note(QStringLiteral("%1, not measured: the file was not wholly in its tab %2 s "
                                       "after the open.")
                            .arg(log)
                            .arg(loadLimitMs / 1000));
            QFile::remove(path);
            continue;
        }
        const Feed bare = appendInBare(text, lines, plan);
        QFile::remove(path);
        addRows(report, bytes, followed, bare, plan);
    }
}

} // namespace bench
