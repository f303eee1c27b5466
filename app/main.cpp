#include "fp.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int result = 0;
    {
        // The window goes before the application object: its destructor
        // still shows the end-of-run save offer.
        fp window;
        window.show();
        result = app.exec();
    }
    return result;
}
