#include "appicon.h"
#include "fp.h"
#include "translation.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    install_qt_translation(app);
    // Desktops match the window to the installed entry and its icon; where
    // the icon theme lacks it, the copy built into the program stands in.
    QGuiApplication::setDesktopFileName("fr.vrel.Feuillon");
    set_icon_after_first_frame();
    int result = 0;
    {
        // The window goes before the application object: its destructor
        // still shows the end-of-run save offer.
        fp window;
        window.end_on_signals();
        window.show();
        result = app.exec();
    }
    return result;
}
