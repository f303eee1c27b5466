#include "frame.h"
#include "documents/lazylayout.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <cstdio>

namespace bench {

FrameWatch::FrameWatch(QWidget *widget) : m_widget(widget), m_window(widget->window())
{
    m_widget->installEventFilter(this);
    if (m_window != m_widget)
        m_window->installEventFilter(this);
}

FrameWatch::~FrameWatch()
{
    if (m_widget)
        m_widget->removeEventFilter(this);
    if (m_window)
        m_window->removeEventFilter(this);
}

void FrameWatch::arm(const QElapsedTimer &clock)
{
    m_clock = &clock;
    m_doneMs = -1;
}

double FrameWatch::wait(int timeoutMs)
{
    QElapsedTimer limit;
    limit.start();
    while (!painted() && limit.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    return m_doneMs;
}

void FrameWatch::frameEnded()
{
    ++m_frames;
    if (m_clock && m_doneMs < 0)
        m_doneMs = m_clock->nsecsElapsed() / 1e6;
}

// The event is handed on from inside the filter, so that the filter sees
// its end; the outer delivery is then stopped.
bool FrameWatch::eventFilter(QObject *object, QEvent *event)
{
    if (object == m_window && event->type() == QEvent::UpdateRequest && !m_inUpdate) {
        m_inUpdate = true;
        m_widgetPainted = false;
        QCoreApplication::sendEvent(object, event);
        m_inUpdate = false;
        if (m_widgetPainted)
            frameEnded();
        return true;
    }
    if (object == m_widget && event->type() == QEvent::Paint) {
        if (m_inUpdate) {
            m_widgetPainted = true;
            return false;
        }
        if (m_inPaint)
            return false;
        m_inPaint = true;
        QCoreApplication::sendEvent(object, event);
        m_inPaint = false;
        frameEnded();
        return true;
    }
    return false;
}

bool layoutFinished(const QTextEdit *editor)
{
    const QTextDocument *doc = editor->document();
    // The lazy layout never works in the background: what shows is laid out.
    if (qobject_cast<const LazyLayout *>(doc->documentLayout()))
        return true;
    const QTextLayout *last = doc->lastBlock().layout();
    return last && last->lineCount() > 0;
}

void settle(QTextEdit *editor)
{
    // pageCount() runs the layout to the end, as the editor does by itself
    // in the background a few seconds after a change.
    editor->document()->documentLayout()->pageCount();
    FrameWatch watch(editor->viewport());
    QElapsedTimer quiet, limit;
    quiet.start();
    limit.start();
    int frames = 0;
    while (quiet.elapsed() < 60 && limit.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (watch.frames() != frames) {
            frames = watch.frames();
            quiet.restart();
        }
    }
}

Timed frameAfter(QTextEdit *editor, const std::function<void()> &act, QWidget *watched)
{
    settle(editor);
    FrameWatch watch(watched ? watched : editor->viewport());
    QElapsedTimer clock;
    clock.start();
    watch.arm(clock);
    countStart();
    act();
    Timed timed;
    timed.ms = watch.wait();
    timed.instructions = countStop();
    if (timed.ms < 0)
        std::fprintf(stderr, "bench: no frame came after the action\n");
    return timed;
}

Stats toFrame(int runs, QTextEdit *editor, const std::function<void()> &prepare,
              const std::function<void()> &act)
{
    QList<double> samples, counts;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        const Timed t = frameAfter(editor, act);
        if (t.ms >= 0)
            samples.append(t.ms);
        counts.append(t.instructions);
    }
    return fromSamples(samples, counts);
}

} // namespace bench
