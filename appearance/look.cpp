#include "look.h"

#include <QRegularExpression>
#include <QStringList>
#include <QWidget>

namespace look {

QString background_part(const QString &name)
{
    return QStringLiteral("background-color:") + name + QLatin1Char(';');
}

QString text_part(const QString &name)
{
    return QStringLiteral("color:") + name + QLatin1Char(';');
}

namespace {
QString applicable_sheet(const QString &sheet)
{
    if (!sheet.contains(QLatin1Char(';')))
        return sheet;
    static const QRegularExpression empty_declaration(
        QStringLiteral("(?<=^|[;{])\\s*[-A-Za-z]+\\s*:\\s*;"));
    return QString(sheet).remove(empty_declaration);
}
} // namespace

void set_style_sheet(QWidget *widget, const QString &sheet)
{
    const QString applicable = applicable_sheet(sheet);
    if (widget->styleSheet() != applicable)
        widget->setStyleSheet(applicable);
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

namespace {
// The shapes QFont::fromString accepts: one or two fields, or 10 to 17,
// the first one naming a family.
bool describes_font(const QString &text)
{
    const QStringList fields = text.trimmed().split(QLatin1Char(','));
    const int count = int(fields.size());
    const bool shape = count == 1 || count == 2 || (count >= 10 && count <= 17);
    return shape && !fields.first().isEmpty();
}
} // namespace

QFont font_from_text(const QString &text)
{
    if (text.section(QLatin1Char(','), 0, 0).trimmed().isEmpty())
        return QFont();
    QFont font(text);
    if (describes_font(text))
        font.fromString(text);
    return font;
}

QString font_text(const QFont &font)
{
    return font.resolveMask() == 0 ? QString() : font.toString();
}

} // namespace look
