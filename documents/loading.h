// A big file on its way into an editor: read whole on a worker thread while
// its first lines show, then put in slice by slice.
#pragma once

#include "textfile.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

// What the worker hands over: the file's facts, and its text in pieces of
// whole lines, so that the memory of each piece goes once it is in.
struct LoadedFile {
    textfile::ReadResult read; // its text is in pieces
    QStringList pieces;
    qsizetype length = 0; // characters in all
};

class DocumentLoad : public QObject
{
public:
    DocumentLoad(QObject *parent, const QString &path) : QObject(parent), path(path) {}

    const QString path;
    QFutureWatcher<std::shared_ptr<LoadedFile>> reading;
    QTimer next;          // the next slice
    bool read = false;    // the whole text has arrived
    QString shown;        // the first lines, shown while the file is read
    QStringList pieces;   // the text not in the editor yet
    qsizetype offset = 0; // characters of the first piece already in
    qsizetype length = 0; // characters of the whole text
    qsizetype done = 0;   // characters in the editor
    static constexpr qsizetype first_slice = 64 * 1024;
    qsizetype slice = first_slice;
    bool probing = false;     // the last slice was far too slow
    bool all_at_once = false; // slices have stopped paying off

    // Called at the first key that would change the text while it loads, so
    // that the refusal is not silent; watches the editor's keys.
    std::function<void()> refused_key;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
