// Big files as the user meets them: how soon the first screenful shows, how
// long the window stops answering, and when the whole file is there to edit.
// Only what any user can see is used (the editor's read-only state, the
// document's characters, its paints and layout), so the case holds however
// the file reaches the editor, at once or in slices.
#include "cases.h"
#include "fp.h"
#include "frame.h"
#include "textgen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>

namespace bench {

namespace {

constexpr int endLimitMs = 180000;

QTextEdit *currentEditor(fp &window)
{
    return qobject_cast<QTextEdit *>(
        window.findChild<QTabWidget *>(QStringLiteral("onglet"))->currentWidget());
}

// The end of the first paint of the current editor's viewport while its
// document holds text; the editor may be replaced during the load.
class FirstText : public QObject
{
public:
    FirstText(fp &window, const QElapsedTimer &clock) : m_window(window), m_clock(clock)
    {
        qApp->installEventFilter(this);
    }
    ~FirstText() override { qApp->removeEventFilter(this); }
    double ms = -1;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (ms >= 0 || m_inside || event->type() != QEvent::Paint)
            return false;
        QTextEdit *editor = currentEditor(m_window);
        if (!editor || object != editor->viewport() || editor->document()->characterCount() <= 1)
            return false;
        m_inside = true;
        QCoreApplication::sendEvent(object, event);
        m_inside = false;
        ms = m_clock.nsecsElapsed() / 1e6;
        return true;
    }

private:
    fp &m_window;
    const QElapsedTimer &m_clock;
    bool m_inside = false;
};

} // namespace

int bigChild(const QString &path, qsizetype characters)
{
    fp window(QStringList{QStringLiteral("feuillon")});
    window.show();
    settle(currentEditor(window));

    QElapsedTimer clock;
    clock.start();
    FirstText first(window, clock);
    PauseWatch pauses;
    // What "Ouvrir" does once the dialog has given the name.
    if (window.load_file(path))
        window.set_path(path);
    const auto loaded = [&] {
        QTextEdit *editor = currentEditor(window);
        return editor && !editor->isReadOnly() &&
               editor->document()->characterCount() - 1 == characters && layoutFinished(editor);
    };
    // Laid out in the background, 100 MB takes far longer than a bench may
    // wait: past the limit the end is told as not reached.
    while (!loaded() && clock.elapsed() < endLimitMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double end = loaded() ? clock.nsecsElapsed() / 1e6 : -1;
    const double longest = pauses.stop();
    // A paint may still be due if none showed text before the end.
    while (first.ms < 0 && clock.elapsed() < endLimitMs + 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("big %f %f %f %f\n", first.ms, longest, end, peakMemoryMiB());
    if (QTextEdit *editor = currentEditor(window))
        editor->document()->setModified(false);
    return 0;
}

void bigFiles(Report &report, const Options &o)
{
    for (qsizetype bytes : sizesOf(o, {10 << 20, 50 << 20, 100 << 20})) {
        qsizetype characters = 0;
        const QString path = o.workDir + QStringLiteral("/big.txt");
        {
            const QString text = frenchText(bytes);
            characters = text.size();
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
                return;
        }
        // One load per process, so that the peak memory is that load's.
        const int runs = bytes >= (100 << 20)  ? 1
                         : bytes >= (50 << 20) ? qMin(o.runs, 2)
                                               : qMin(o.runs, 3);
        QList<double> first, pause, end, peak;
        int unfinished = 0;
        for (int run = 0; run < runs; ++run) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QApplication::applicationFilePath(),
                        {QStringLiteral("--big-child"), QString::number(characters), path});
            child.waitForFinished(-1);
            const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
            if (child.exitCode() != 0 || f.size() != 5 || f[0] != "big") {
                std::fprintf(stderr, "bench: the big-file child did not finish its load\n");
                continue;
            }
            first << f[1].toDouble();
            pause << f[2].toDouble();
            if (f[3].toDouble() >= 0)
                end << f[3].toDouble();
            else
                ++unfinished;
            peak << f[4].toDouble();
        }
        QFile::remove(path);
        const QString name = sizeName(bytes);
        report.add({QStringLiteral("Big file %1 opened: first screenful of text painted").arg(name),
                    fromSamples(first),
                    {},
                    QStringLiteral("–"),
                    QStringLiteral("frame")});
        report.add({QStringLiteral("Big file %1 opened: longest pause of the event loop during "
                                   "the load")
                        .arg(name),
                    fromSamples(pause),
                    {},
                    QStringLiteral("–"),
                    QStringLiteral("pause")});
        report.add({QStringLiteral("Big file %1 opened: end of the load (editable, whole text, "
                                   "laid out)")
                        .arg(name),
                    fromSamples(end),
                    {},
                    QStringLiteral("–"),
                    QStringLiteral("layout")});
        if (unfinished > 0)
            report.note(QStringLiteral("Big file %1 opened: in %2 run(s) the load had not ended "
                                       "%3 s after the open (the layout still running); the end "
                                       "row holds the other runs only.")
                            .arg(name)
                            .arg(unfinished)
                            .arg(endLimitMs / 1000));
        report.note(QStringLiteral("Peak memory, big file %1 opened (whole process, %2 run(s)): "
                                   "%3 MiB.")
                        .arg(name)
                        .arg(runs)
                        .arg(fromSamples(peak).max, 0, 'f', 0));
    }
}

} // namespace bench
