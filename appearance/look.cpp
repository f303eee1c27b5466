#include "look.h"

#include <QWidget>

namespace look
{

QString background_part(const QString &name)
{
    return QStringLiteral("background-color:") + name + QLatin1Char(';');
}

QString text_part(const QString &name)
{
    return QStringLiteral("color:") + name + QLatin1Char(';');
}

void set_style_sheet(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

void set_font(QWidget *widget, const QFont &font)
{
    // Only the properties the font sets count; the rest comes from the parent
    // either way. A font that sets nothing still marks the widget's own font.
    const bool own = font.resolveMask() != 0;
    if (widget->testAttribute(Qt::WA_SetFont) == own &&
        font.resolve(widget->font()) == widget->font())
        return;
    widget->setFont(font);
}

} // namespace look
