// What the user waits for: the end of the next frame painted on a shown
// window after an action, and the end of a document's layout, both seen
// from the widgets' public behaviour only.
#pragma once

#include "measure.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>

class QTextEdit;
class QWidget;

namespace bench {

// Notes the end of the next frame that repaints a widget: the end of its
// window's backing-store update (in which the widget got its Paint event),
// or the end of the Paint event itself when it came outside one. The whole
// window is painted and flushed by then, status bar included.
class FrameWatch : public QObject
{
public:
    explicit FrameWatch(QWidget *widget);
    ~FrameWatch() override;
    // From now on, the next frame counts; times are taken on `clock`.
    void arm(const QElapsedTimer &clock);
    // Runs the event loop until that frame has been painted. Returns its end
    // in ms on the clock, or -1 after the timeout.
    double wait(int timeoutMs = 120000);
    bool painted() const { return m_doneMs >= 0; }
    double doneMs() const { return m_doneMs; }
    // Frames painted since the watch was made, armed or not.
    int frames() const { return m_frames; }

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    void frameEnded();

    QPointer<QWidget> m_widget;
    QPointer<QWidget> m_window;
    const QElapsedTimer *m_clock = nullptr;
    bool m_inUpdate = false;
    bool m_inPaint = false;
    bool m_widgetPainted = false;
    double m_doneMs = -1;
    int m_frames = 0;
};

// Whether the editor's whole document is laid out, asked without making the
// layout run: the layout goes through the blocks in order, so the last one
// has its lines only once every block before it has.
bool layoutFinished(const QTextEdit *editor);

// The state of a document that has been open for a few seconds: laid out to
// its end, and nothing left to paint.
void settle(QTextEdit *editor);

// Settles the editor, then times `act` to the end of the next frame painted
// in `watched`'s window (the editor's viewport by default); the count is 0
// unless the bench counts instructions.
struct Timed {
    double ms = -1;
    double instructions = 0;
};
Timed frameAfter(QTextEdit *editor, const std::function<void()> &act, QWidget *watched = nullptr);

// Runs `prepare` (untimed, then settled), then `act`, timed from the start
// of `act` to the end of the next frame painted in `editor`'s window.
// Counts instructions instead when the bench runs in its count mode.
Stats toFrame(int runs, QTextEdit *editor, const std::function<void()> &prepare,
              const std::function<void()> &act);

} // namespace bench
