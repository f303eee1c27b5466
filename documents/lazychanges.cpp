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
    measure = now;
    // The whole document comes on every width or font change, and twice on
    // the first show: one cheap pass, and none when nothing it uses moved.
    const bool whole = from == 0 && removed == 0 && added == document()->characterCount();
    if (remeasured) {
        remeasure_all();
    } else if (whole) {
        forget_lines_in(0, added);
        emit update();
    } else {
        changed_range(from, from + added);
    }
    // The scroll bars fit the text as soon as it is in, as with Qt's layout.
    if (resized)
        size_changed();
}

void LazyLayout::remeasure_all()
{
    for (QTextCursor &each : laid) {
        each.block().layout()->clearLayout();
        retire(each);
    }
    laid.clear();
    widest = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        set_estimate(block);
    resized = true;
    emit update();
}

// The lines of the blocks an edit touched are stale: they go, and are made
// again when next needed. Returns the blocks that had lines (by fragment).
QSet<int> LazyLayout::forget_lines_in(int from, int to)
{
    QSet<int> had;
    QTextDocument *doc = document();
    const QTextBlock first = doc->findBlock(from);
    const int start = first.isValid() ? first.position() : from;
    std::deque<QTextCursor> kept;
    for (QTextCursor &each : laid) {
        if (each.position() >= start && each.position() <= to) {
            each.block().layout()->clearLayout();
            had.insert(each.block().fragmentIndex());
            retire(each);
        } else {
            kept.push_back(std::move(each));
        }
    }
    laid.swap(kept);
    // The two ends may hold lines laid out before their cursor moved on.
    for (const QTextBlock &end : {first, doc->findBlock(to)})
        if (end.isValid())
            end.layout()->clearLayout();
    return had;
}

void LazyLayout::changed_range(int from, int to)
{
    QTextDocument *doc = document();
    const int total = doc->lineCount();
    const QSet<int> had_lines = forget_lines_in(from, to);
    QTextBlock first = doc->findBlock(from);
    QTextBlock last = doc->findBlock(to);
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
    // An edit that keeps its block's height repaints that block alone.
    if (few && first == last && doc->lineCount() == total)
        emit updateBlock(first);
    else
        emit update();
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
