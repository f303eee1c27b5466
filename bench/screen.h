// Watches the X screen from outside a program: the moment a newly started
// program's first window shows painted pixels, with no help from it.
#pragma once

#include <QByteArray>
#include <QStringList>

class QProcess;

struct xcb_connection_t;

namespace bench {

class ScreenWatch
{
public:
    ScreenWatch(); // the display in $DISPLAY, if any
    ~ScreenWatch();
    ScreenWatch(const ScreenWatch &) = delete;
    ScreenWatch &operator=(const ScreenWatch &) = delete;

    bool available() const { return m_connection != nullptr; }
    // A few full-width rows of the screen's pixels.
    QByteArray sample() const;
    // Whether a window-sized area differs between two samples.
    static bool covered(const QByteArray &before, const QByteArray &now);

private:
    xcb_connection_t *m_connection = nullptr;
    unsigned m_root = 0;
    int m_width = 0;
    int m_height = 0;
};

// Starts a program with its output thrown away.
void startQuietly(QProcess &process, const QString &program, const QStringList &args);
// Kills it, then waits (5 s at most) for the screen to be as `before` again.
void endAndClear(QProcess &process, const ScreenWatch &screen, const QByteArray &before);

} // namespace bench
