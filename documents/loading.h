// A big file on its way into an editor: read whole on a worker thread while
// its first lines show, then put in slice by slice.
#pragma once

#include "textfile.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>

class DocumentLoad : public QObject
{
public:
    DocumentLoad(QObject *parent, const QString &path) : QObject(parent), path(path) {}

    const QString path;
    QFutureWatcher<textfile::ReadResult> reading;
    bool read = false;  // the whole text has arrived
    QString text;       // the whole text, once read
    QString shown;      // the first lines, shown while the file is read
    qsizetype done = 0; // characters of text already in the editor
    qsizetype slice = 64 * 1024;
};
