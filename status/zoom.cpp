// Zoom by Control and the mouse wheel, the zoom actions and their reset.
#include "documents/docinfo.h"
#include "fp.h"
#include "ui_fp.h"
#include "wheelzoomfilter.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QWheelEvent>

namespace {
// Below this the wheel and "Dézoomer" stop shrinking the text.
constexpr int zoom_floor = 90;

// Zooms in one call; false when the editor's font cannot take the size
// (a pixel-sized font, or no point left to shrink).
bool zoom_editor(QTextEdit *editor, int steps)
{
    const qreal before = editor->font().pointSizeF();
    steps > 0 ? editor->zoomIn(steps) : editor->zoomOut(-steps);
    const qreal after = editor->font().pointSizeF();
    if (after == before)
        return false;
    docinfo *doc = docinfo::of(editor);
    doc->zoom_steps += steps;
    doc->zoomed_size = after;
    return true;
}

// Takes back the steps the editor carries. A font set on it since the last
// step (new appearance settings) already replaced the zoomed size; then
// there is nothing left to take back.
void unzoom_editor(QTextEdit *editor)
{
    docinfo *doc = docinfo::of(editor);
    if (doc->zoom_steps != 0 && editor->font().pointSizeF() == doc->zoomed_size)
        zoom_editor(editor, -doc->zoom_steps);
    doc->zoom_steps = 0;
}
} // namespace

void fp::zoom_step(int direction)
{
    QTextEdit *editor = cur_editor();
    if (!editor)
        return;
    // The level moves only when the text really changed size, so the status
    // tells the truth and the reset takes back exactly what was done.
    if (direction > 0) {
        if (zoom_editor(editor, 1))
            ++zoom_level;
    } else if (zoom_level > zoom_floor) {
        if (zoom_editor(editor, -1))
            --zoom_level;
    }
    changestatus();
}

void fp::settle_zoom(QTextEdit *editor)
{
    const WheelZoomFilter::Handler handler = [this](QWheelEvent *event) { wheel_zoom(event); };
    // Everything under the pointer that would otherwise scroll or switch tabs
    // with the wheel hands Control+wheel to the zoom.
    WheelZoomFilter::watch(editor->viewport(), handler);
    WheelZoomFilter::watch(editor->verticalScrollBar(), handler);
    WheelZoomFilter::watch(editor->horizontalScrollBar(), handler);
    WheelZoomFilter::watch(ui->onglet->findChild<QTabBar *>(), handler);
    unzoom_editor(editor);
}

void fp::wheel_zoom(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier))
        return;
    const int dy = event->angleDelta().y();
    if (dy != 0)
        zoom_step(dy > 0 ? +1 : -1);
}

void fp::reset_zoom()
{
    QTextEdit *editor = cur_editor();
    if (!editor)
        return;
    unzoom_editor(editor);
    zoom_level = 100;
    changestatus();
}

void fp::wheelEvent(QWheelEvent *event)
{
    wheel_zoom(event);
}

void fp::keyPressEvent(QKeyEvent *event)
{
    ctrl_held = event->key() == Qt::Key_Control;
}

void fp::keyReleaseEvent(QKeyEvent *event)
{
    Q_UNUSED(event);
    ctrl_held = false;
}
