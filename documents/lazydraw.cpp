// What the lazy layout shows and where a point falls: the blocks on screen
// only, laid out as they come.
#include "lazylayout.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <climits>

namespace {
using Selection = QAbstractTextDocumentLayout::Selection;

// The part of each selection inside the block, as Qt's own layout draws it;
// a full-width selection without a range marks the cursor's line.
QList<QTextLayout::FormatRange> selections_in(const QTextBlock &block,
                                              const QList<Selection> &selections)
{
    QList<QTextLayout::FormatRange> ranges;
    const int start = block.position();
    const int length = block.length();
    for (const Selection &selection : selections) {
        QTextLayout::FormatRange range;
        range.format = selection.format;
        range.start = selection.cursor.selectionStart() - start;
        range.length = selection.cursor.selectionEnd() - start - range.start;
        if (range.start < length && range.start + range.length > 0 && range.length > 0) {
            ranges.append(range);
        } else if (!selection.cursor.hasSelection() &&
                   selection.format.hasProperty(QTextFormat::FullWidthSelection) &&
                   block.contains(selection.cursor.position())) {
            const QTextLine line =
                block.layout()->lineForTextPosition(selection.cursor.position() - start);
            range.start = line.textStart();
            range.length = line.textLength();
            if (range.start + range.length == length - 1)
                ++range.length; // the line end too
            ranges.append(range);
        }
    }
    return ranges;
}

void draw_block(QPainter *painter, const QAbstractTextDocumentLayout::PaintContext &context,
                const QTextBlock &block, const QPointF &at, int cursor_width)
{
    const QTextLayout *lines = block.layout();
    painter->setPen(context.palette.color(QPalette::Text));
    lines->draw(painter, at, selections_in(block, context.selections), context.clip);
    const int cursor = context.cursorPosition - block.position();
    if (cursor >= 0 && cursor < block.length())
        lines->drawCursor(painter, at, cursor, cursor_width);
}
} // namespace

void LazyLayout::draw(QPainter *painter, const PaintContext &context)
{
    const QSizeF size = documentSize();
    const QRectF clip =
        context.clip.isValid() ? context.clip : QRectF(0, 0, size.width(), size.height());
    bool ok = false;
    int cursor_width = property("cursorWidth").toInt(&ok);
    if (!ok)
        cursor_width = 1;
    const QPen pen = painter->pen();
    painting = true;
    QTextBlock block = blockAt(clip.top());
    drawn_first = block.blockNumber();
    drawn_last = INT_MAX; // nothing drawn is let go while drawing
    int last = drawn_first - 1;
    for (; block.isValid(); block = block.next(), ++last) {
        // Laid out first: the block's top stays, only what is below moves.
        lay_out(block);
        const qreal top = blockTop(block);
        if (top > clip.bottom())
            break;
        draw_block(painter, context, block, QPointF(0, top), cursor_width);
    }
    drawn_last = last;
    painting = false;
    painter->setPen(pen);
}

int LazyLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    QTextBlock block = blockAt(point.y());
    // Laid out, a block may turn out shorter than its estimate and leave
    // the point to the next one.
    while (lay_out(block) && point.y() >= blockTop(block) + block.lineCount() &&
           block.next().isValid())
        block = block.next();
    const QTextLayout *lines = block.layout();
    const qreal y = point.y() - blockTop(block);
    QTextLine line = lines->lineAt(lines->lineCount() - 1);
    for (int i = 0; i < lines->lineCount(); ++i) {
        if (y < lines->lineAt(i).y() + lines->lineAt(i).height()) {
            line = lines->lineAt(i);
            break;
        }
    }
    if (!line.isValid())
        return accuracy == Qt::ExactHit ? -1 : block.position();
    if (accuracy == Qt::ExactHit && !line.naturalTextRect().contains(QPointF(point.x(), y)))
        return -1;
    return block.position() + line.xToCursor(point.x());
}
