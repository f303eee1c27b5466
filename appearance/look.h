// Small helpers shared by the settings store and the settings window: the
// style-sheet texts built from colour names, and applying a look to a widget
// only when it changes something.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace look {

// "background-color:" + name + ";"
QString background_part(const QString &name);
// "color:" + name + ";"
QString text_part(const QString &name);

// Every tab change applies the stored look again; setting an unchanged style
// sheet would re-polish the widget and everything below it, so these compare
// with what the widget holds right now and leave it alone when equal.
// Qt throws away a whole sheet for one empty declaration, and a colour never
// picked is stored as one ("background-color:;"): those are left out of the
// sheet set on the widget, the stored text stays as it is.
void set_style_sheet(QWidget *widget, const QString &sheet);
void set_font(QWidget *widget, const QFont &font);

// The font a stored font text stands for: the whole text names the family,
// and a valid description then refines it. Texts the description parser
// would reject are not handed to it, so a damaged store does not warn on
// every tab change; the result is the same.
// An empty text, or a description without a family (what a font never
// picked was stored as), is the default font: it sets nothing, so the
// widgets keep the desktop's font instead of a family named "".
QFont font_from_text(const QString &text);
// The stored text of a font: empty for the default font.
QString font_text(const QFont &font);

} // namespace look
