// Files dragged from the desktop onto the window or an editor.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QMimeData;

// Takes drags that carry local files and hands their paths over; every
// other drag (text, a link) goes on to the widget as before, so a file's
// address is never typed into a document.
class FileDropFilter : public QObject
{
public:
    using Opener = std::function<void(const QStringList &paths)>;
    FileDropFilter(Opener open, QObject *parent) : QObject(parent), open(std::move(open)) {}

    static QStringList localFiles(const QMimeData *data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Opener open;
};
