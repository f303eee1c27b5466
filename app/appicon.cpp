#include "appicon.h"

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
