// How the lazy layout follows edits, a new width and a new font.
#include "lazylayout.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

namespace {
// An edit over this few blocks is laid out at once: typing keeps heights
// exact and repaints only its block.
constexpr int laid_at_once = 8;
} // namespace

void LazyLayout::documentChanged(int from, int removed, int added)
{
    const Measure now = measure_now();
    const bool remeasured = !(now == measure);
    const TopOfView top = remeasured ? top_of_view() : TopOfView();
    measure = now;
    // The whole document comes on every width or font change, and twice on
    // the first show: one cheap pass, and none when nothing it uses moved.
    const bool whole = from == 0 && removed == 0 && added == document()->characterCount();
    if (remeasured) {
        remeasure_all();
    } else if (whole) {
        forget_all_lines();
        emit update();
    } else {
        changed_range(from, removed, added);
    }
    // The scroll bars fit the text as soon as it is in, as with Qt's layout.
    if (resized)
        size_changed();
    back_to(top);
}

// Every line laid out so far is stale; the memory of those followed goes.
void LazyLayout::forget_all_lines()
{
    ++generation;
    for (int at : laid) {
        const QTextBlock block = document()->findBlock(at);
        if (block.isValid())
            block.layout()->clearLayout();
    }
    laid.clear();
    widest = 0;
}

void LazyLayout::remeasure_all()
{
    forget_all_lines();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        set_estimate(block);
    resized = true;
    emit update();
}

// The lines of the blocks an edit touched are stale: they go, and are made
// again when next needed; the blocks after the edit move along. Returns the
// blocks in the edit that had lines (by fragment).
QSet<int> LazyLayout::forget_lines_in(int from, int removed, int added)
{
    QTextDocument *doc = document();
    QSet<int> had;
    std::deque<int> kept;
    for (int at : laid) {
        if (at > from + removed) {
            kept.push_back(at + added - removed);
            continue;
        }
        if (at < from) {
            kept.push_back(at);
            continue;
        }
        // Its block may be gone: the one now there stands for it.
        const QTextBlock block = doc->findBlock(qMin(at, from + added));
        if (block.isValid()) {
            block.layout()->clearLayout();
            had.insert(block.fragmentIndex());
        }
    }
    laid.swap(kept);
    // The edit's first block started before it and still has its lines.
    const QTextBlock first = doc->findBlock(from);
    if (first.isValid())
        first.layout()->clearLayout();
    return had;
}

void LazyLayout::changed_range(int from, int removed, int added)
{
    QTextDocument *doc = document();
    const int total = doc->lineCount();
    const QSet<int> had_lines = forget_lines_in(from, removed, added);
    QTextBlock first = doc->findBlock(from);
    QTextBlock last = doc->findBlock(from + added);
    if (!first.isValid())
        first = doc->lastBlock();
    if (!last.isValid())
        last = doc->lastBlock();
    const bool few = last.blockNumber() - first.blockNumber() < laid_at_once;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        // Blocks that had lines, likely on screen, keep exact heights: an
        // estimate in between would make the view jitter.
        if (few || had_lines.contains(block.fragmentIndex()))
            lay_out(block);
        else
            set_estimate(block);
        if (block == last)
            break;
    }
    if (doc->lineCount() != total)
        resized = true;
    // An edit that keeps its block's height repaints that block alone; one
    // wholly below the view, a slice of a load, repaints nothing.
    if (few && first == last && doc->lineCount() == total)
        emit updateBlock(first);
    else if (!below_view(first))
        emit update();
}

bool LazyLayout::below_view(const QTextBlock &block) const
{
    return view && !painting &&
           blockTop(block) > view->verticalScrollBar()->value() + view->viewport()->height();
}

void LazyLayout::size_changed()
{
    resized = false;
    QScrollBar *bar = view ? view->verticalScrollBar() : nullptr;
    const bool at_bottom = bar && bar->maximum() > 0 && bar->value() == bar->maximum();
    emit documentSizeChanged(documentSize());
    if (!bar)
        return;
    if (at_bottom)
        bar->setValue(bar->maximum());
}

LazyLayout::TopOfView LazyLayout::top_of_view() const
{
    if (!view || measure.width < 0)
        return {};
    const QScrollBar *bar = view->verticalScrollBar();
    const QTextBlock block = blockAt(bar->value());
    const qreal into = bar->value() - blockTop(block);
    TopOfView top;
    top.position = block.position();
    top.fraction = qBound<qreal>(0, into / qMax(1, block.lineCount()), 1);
    top.at_bottom = bar->maximum() > 0 && bar->value() == bar->maximum();
    return top;
}

// The pixel value alone would land elsewhere: every height above it changed.
void LazyLayout::back_to(const TopOfView &top)
{
    if (top.position < 0 || top.at_bottom || !view)
        return;
    const QTextBlock block = document()->findBlock(top.position);
    if (!block.isValid())
        return;
    QScrollBar *bar = view->verticalScrollBar();
    bar->setValue(qRound(blockTop(block) + top.fraction * block.lineCount()));
}
