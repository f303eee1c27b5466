// The find, replace and settings windows work on the main window's
// documents: they open over it and go when it goes.
#include "toolwindows.h"
#include "fp.h"
#include "ui_fp.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QFontDialog>

// A tool window that was hidden opens centred on the main window, not
// wherever the screen's corner is; one already shown stays where it is.
void show_tool_window(QWidget *tool, QWidget *over)
{
    if (!tool->isVisible()) {
        const QSize inside = tool->testAttribute(Qt::WA_Resized) ? tool->size() : tool->sizeHint();
        // Its frame is unknown until it is first shown: the main window's stands in.
        QRect frame(QPoint(), inside + over->frameGeometry().size() - over->size());
        frame.moveCenter(over->frameGeometry().center());
        tool->move(frame.topLeft());
    }
    tool->showNormal();
    tool->raise();
    tool->activateWindow();
}

// Left open, a tool window would keep the run going with no document in
// sight, and the end-of-run offers would wait until it is closed too.
void fp::closeEvent(QCloseEvent *event)
{
    if (!settle_before_quit()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    QWidget *const tools[] = {find_window, replace_window, settings_window, color_dialog,
                              font_dialog};
    for (QWidget *tool : tools)
        if (tool)
            tool->close();
}
