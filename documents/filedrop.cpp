#include "filedrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

QStringList FileDropFilter::localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

bool FileDropFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = localFiles(drop->mimeData());
        if (paths.isEmpty())
            return QObject::eventFilter(watched, event);
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop)
            open(paths);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
