#include "wheelzoomfilter.h"

#include <QWheelEvent>

namespace {
const QString filter_name = QStringLiteral("wheel_zoom_filter");
}

WheelZoomFilter::WheelZoomFilter(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
    setObjectName(filter_name);
}

void WheelZoomFilter::watch(QObject *target, const Handler &handler)
{
    if (!target || target->findChild<WheelZoomFilter *>(filter_name, Qt::FindDirectChildrenOnly))
        return;
    // A child of the target: it goes when the widget goes.
    target->installEventFilter(new WheelZoomFilter(handler, target));
}

bool WheelZoomFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto *wheel = static_cast<QWheelEvent *>(event);
    // The modifier of the event itself: Control may have been pressed while
    // another window had the keyboard.
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    m_handler(wheel);
    wheel->accept();
    return true;
}
