#include "appicon.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {
const QString app_id = QStringLiteral("fr.vrel.Feuillon");
}

QIcon application_icon()
{
    QIcon icon = QIcon::fromTheme(app_id);
    if (!icon.isNull())
        return icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(
            QStringLiteral(":/feuillon/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(app_id),
            QSize(size, size));
    return icon;
}

namespace {
// Waits for the first paint of any window, a dialog shown before the main
// window included.
class FirstFrame : public QObject
{
public:
    FirstFrame() : QObject(qApp)
    {
        qApp->installEventFilter(this);
        // A window that never paints (started minimised) still gets it.
        QTimer::singleShot(1000, this, &FirstFrame::set_icon);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            // Later: the frame is sent to the display at the end of this paint.
            QTimer::singleShot(0, this, &FirstFrame::set_icon);
        }
        return false;
    }

private:
    void set_icon()
    {
        qApp->removeEventFilter(this);
        const QIcon icon = application_icon();
        QApplication::setWindowIcon(icon);
        // A window's own icon ("logo.ico" beside the program) stays; an
        // unusable one left it empty, and the application's does not reach it.
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window->windowIcon().availableSizes().isEmpty())
                window->setWindowIcon(icon);
        deleteLater();
    }

    bool seen = false;
};
} // namespace

void set_icon_after_first_frame()
{
    new FirstFrame;
}
