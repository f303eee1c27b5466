// Heights known or estimated, blocks laid out on demand, and the view kept
// on the same text while estimates turn into real heights.
#include "lazylayout.h"

#include <QFontMetricsF>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QtMath>

namespace {
// Without a view, the blocks laid out around a requested one span this much.
constexpr qreal default_reach = 1000;
// Lines as wide as this are never wrapped.
constexpr qreal unwrapped = 1e7;
} // namespace

bool LazyLayout::Measure::operator==(const Measure &other) const
{
    return width == other.width && margin == other.margin && font == other.font &&
           option.wrapMode() == other.option.wrapMode() &&
           option.tabStopDistance() == other.option.tabStopDistance() &&
           option.flags() == other.option.flags() &&
           option.alignment() == other.option.alignment() && line_height == other.line_height &&
           char_width == other.char_width;
}

LazyLayout::LazyLayout(QTextDocument *document) : QAbstractTextDocumentLayout(document)
{
    // Changes of size come together: the scroll bars hear of them once.
    size_timer.setSingleShot(true);
    size_timer.setInterval(0);
    connect(&size_timer, &QTimer::timeout, this, [this] {
        if (resized)
            size_changed();
    });
    measure.width = -1; // nothing measured yet
}

LazyLayout *LazyLayout::install(QTextEdit *editor)
{
    auto *layout = new LazyLayout(editor->document());
    layout->view = editor;
    // Fonts are measured for the screen the text is drawn on.
    layout->setPaintDevice(editor->viewport());
    editor->document()->setDocumentLayout(layout);
    return layout;
}

std::optional<LazyLayout::Measure> LazyLayout::measure_of(QTextEdit *editor)
{
    auto *layout = qobject_cast<LazyLayout *>(editor->document()->documentLayout());
    if (!layout || layout->measure.width < 0)
        return std::nullopt;
    return layout->measure_now();
}

void LazyLayout::estimate_all(QTextDocument *document, const Measure &measure)
{
    document->setDefaultFont(measure.font);
    document->setDocumentMargin(measure.margin);
    document->setDefaultTextOption(measure.option);
    document->setPageSize(QSizeF(measure.width, -1));
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const int height = measure.estimate(block);
        if (block.lineCount() != height)
            block.setLineCount(height);
    }
}

LazyLayout *LazyLayout::install(QTextEdit *editor, QTextDocument *document, const Measure &measure)
{
    auto *layout = new LazyLayout(document);
    layout->view = editor;
    layout->setPaintDevice(editor->viewport());
    // The document's first change, the layout's own arrival, then finds
    // nothing to measure again.
    layout->measure = measure;
    document->setDocumentLayout(layout);
    return layout;
}

LazyLayout::Measure LazyLayout::measure_now() const
{
    const QTextDocument *doc = document();
    Measure now;
    now.width = qMax<qreal>(0, doc->pageSize().width());
    now.margin = doc->documentMargin();
    now.font = doc->defaultFont();
    now.option = doc->defaultTextOption();
    if (now.font == measure.font && measure.width >= 0) {
        now.line_height = measure.line_height;
        now.char_width = measure.char_width;
        return now;
    }
    // A line's height as a laid-out line has it, which the font's metrics
    // may round otherwise: estimates of short lines are then exact.
    QTextLayout sample(QStringLiteral("x"), now.font, paintDevice());
    sample.beginLayout();
    QTextLine line = sample.createLine();
    line.setLineWidth(unwrapped);
    now.line_height = qMax<qreal>(1, line.height());
    sample.endLayout();
    const QFontMetricsF metrics =
        paintDevice() ? QFontMetricsF(now.font, paintDevice()) : QFontMetricsF(now.font);
    now.char_width = qMax<qreal>(1, metrics.averageCharWidth());
    return now;
}

// From the length alone: a block's layout, once made, stays with the block
// for good, so none is made just to guess a height.
int LazyLayout::Measure::estimate(const QTextBlock &block) const
{
    const qreal room = width - 2 * margin;
    int lines = 1;
    if (width > 0 && room > char_width && option.wrapMode() != QTextOption::NoWrap)
        lines = qMax(1, qCeil((block.length() - 1) * char_width / room));
    return qMax(1, qRound(lines * line_height));
}

void LazyLayout::set_estimate(const QTextBlock &block) const
{
    const int height = measure.estimate(block);
    if (block.lineCount() != height)
        QTextBlock(block).setLineCount(height);
}

qreal LazyLayout::blockTop(const QTextBlock &block) const
{
    return measure.margin + block.firstLineNumber();
}

QTextBlock LazyLayout::blockAt(qreal y) const
{
    const QTextDocument *doc = document();
    const int line = qBound(0, qFloor(y - measure.margin), qMax(0, doc->lineCount() - 1));
    const QTextBlock block = doc->findBlockByLineNumber(line);
    return block.isValid() ? block : doc->lastBlock();
}

QSizeF LazyLayout::documentSize() const
{
    // Called over and over while the scroll bars settle: two lookups only.
    return QSizeF(qMax(measure.width, widest), document()->lineCount() + 2 * measure.margin);
}

QRectF LazyLayout::frameBoundingRect(QTextFrame *) const
{
    return QRectF(QPointF(0, 0), documentSize());
}

QRectF LazyLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid())
        return QRectF();
    QTextLayout *lines = block.layout();
    if (lines->lineCount() == 0)
        lay_out_around(block);
    return QRectF(0, blockTop(block), qMax(measure.width, widest), block.lineCount());
}

// Lays out the block's lines unless it has them at this width. True when
// it did.
bool LazyLayout::lay_out(const QTextBlock &block) const
{
    QTextLayout *lines = block.layout();
    const qreal room = measure.width > 0 ? measure.width - 2 * measure.margin : unwrapped;
    if (lines->lineCount() > 0 && block.userState() == generation &&
        lines->lineAt(0).width() == room)
        return false;
    lines->setTextOption(measure.option);
    lines->beginLayout();
    qreal height = 0;
    for (QTextLine line = lines->createLine(); line.isValid(); line = lines->createLine()) {
        line.setLineWidth(room);
        // The layout stays at (0, 0); it is drawn at its block's top.
        line.setPosition(QPointF(measure.margin, height));
        height += line.height();
        widest = qMax(widest, line.naturalTextWidth() + 2 * measure.margin);
    }
    lines->endLayout();
    QTextBlock(block).setUserState(generation);
    laid.push_back(block.position());
    set_height(block, qMax(1, qRound(height)));
    release_far();
    return true;
}

// A requested block comes with its neighbours about a screen up and down:
// the view moved to it finds them at their real heights, and nothing jumps
// once they are drawn.
void LazyLayout::lay_out_around(const QTextBlock &block) const
{
    const qreal reach = view ? view->viewport()->height() : default_reach;
    QTextBlock first = block;
    for (qreal above = 0; above < reach && first.previous().isValid();) {
        first = first.previous();
        above += first.lineCount();
    }
    qreal below = 0;
    for (QTextBlock each = first; each.isValid() && below < reach; each = each.next()) {
        lay_out(each);
        if (each.position() >= block.position())
            below += each.lineCount();
    }
}

// A block above the view that changes height moves the view with it, so
// that the text on screen stays where it is.
void LazyLayout::set_height(const QTextBlock &block, int height) const
{
    const int before = block.lineCount();
    if (before == height)
        return;
    QTextBlock(block).setLineCount(height);
    resized = true;
    const_cast<QTimer &>(size_timer).start();
    if (!view || painting)
        return;
    QScrollBar *bar = view->verticalScrollBar();
    if (blockTop(block) + before > bar->value())
        return;
    const int value = bar->value() + height - before;
    bar->setMaximum(qMax(bar->maximum(), value));
    bar->setValue(value);
    view->viewport()->update();
}

// Memory follows the text, not its layout: beyond a few screens' worth, the
// oldest lines go, except those on screen.
void LazyLayout::release_far() const
{
    for (std::size_t tries = laid.size(); laid.size() > std::size_t(kept_layouts) && tries > 0;
         --tries) {
        const int oldest = laid.front();
        laid.pop_front();
        const QTextBlock block = document()->findBlock(oldest);
        const int number = block.blockNumber();
        if (number >= drawn_first && number <= drawn_last)
            laid.push_back(oldest);
        else if (block.isValid())
            block.layout()->clearLayout();
    }
}
