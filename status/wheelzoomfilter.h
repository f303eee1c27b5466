// Turns a Control+wheel event over a watched widget into one zoom step of
// the main window, before the widget can scroll with it.
#pragma once

#include <QObject>
#include <functional>

class QWheelEvent;

class WheelZoomFilter : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(QWheelEvent *)>;

    WheelZoomFilter(Handler handler, QObject *parent);

    // Installs one filter on the widget, however often it is called.
    static void watch(QObject *target, const Handler &handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handler m_handler;
};
