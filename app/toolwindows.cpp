// The find, replace and settings windows work on the main window's
// documents: they go when it goes.
#include "fp.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QFontDialog>

// Left open, a tool window would keep the run going with no document in
// sight, and the end-of-run offers would wait until it is closed too.
void fp::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    QWidget *const tools[] = {find_window, replace_window, settings_window, color_dialog,
                              font_dialog};
    for (QWidget *tool : tools)
        if (tool)
            tool->close();
}
