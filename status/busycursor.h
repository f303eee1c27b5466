// The busy cursor while one operation on a big document keeps the window
// busy, so that a long wait is not taken for a frozen program.
#pragma once

#include <QApplication>
#include <QTextDocument>

class BusyCursor
{
public:
    // Operations over the whole of a document this long take about half a
    // second or more, their layout and painting included.
    static constexpr int from_characters = 1'000'000;

    explicit BusyCursor(const QTextDocument *document, int other_characters = 0)
        : shown(document && qMax(document->characterCount(), other_characters) >= from_characters)
    {
        if (shown)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor()
    {
        if (shown)
            QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    const bool shown;
};
