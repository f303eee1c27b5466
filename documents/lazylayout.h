// A layout for plain-text documents that lays out only the blocks it is
// asked about: the ones painted, hit-tested or asked for their rectangle.
// Every other block has a height estimated from its length; all heights
// sit in the document's own per-block line-count tree (so "line numbers"
// of such a document count pixels), which finds a block by its y and a
// block's y in logarithmic time at any size.
#pragma once

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPointer>
#include <QSet>
#include <QTextOption>
#include <QTimer>
#include <deque>
#include <optional>

class QTextEdit;

class LazyLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT
public:
    explicit LazyLayout(QTextDocument *document);
    // Puts a new one on the editor's document, drawing for its viewport and
    // keeping its view steady while estimates turn into real heights.
    static LazyLayout *install(QTextEdit *editor);
    // What every height depends on; any change of it redoes them all.
    struct Measure {
        qreal width = 0; // the page's, 0: no wrapping
        qreal margin = 0;
        QFont font;
        QTextOption option;
        qreal line_height = 1;
        qreal char_width = 1;
        bool operator==(const Measure &other) const;
        // A block's height from its length alone.
        int estimate(const QTextBlock &block) const;
    };
    // What the heights of the editor's document depend on now, if it has
    // this layout.
    static std::optional<Measure> measure_of(QTextEdit *editor);
    // Gives a document built elsewhere, with no layout yet (on a worker
    // thread), the heights this layout would estimate, and the measure's
    // font, margin, options and width.
    static void estimate_all(QTextDocument *document, const Measure &measure);
    // Puts a new one on such a document for the editor, before the editor
    // takes the document: heights made with the same measure are kept.
    static LazyLayout *install(QTextEdit *editor, QTextDocument *document, const Measure &measure);
    // Whether the editors' documents get it; false: Qt's own layout.
    static constexpr bool in_editors = true;

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    // The text at the top of the view: a block and how far down it the view
    // starts, found again once every height changed (a zoom, a new width),
    // or in another document that starts with the same text.
    struct TopOfView {
        int position = -1; // -1: no view to keep
        qreal fraction = 0;
        bool at_bottom = false; // a view at the bottom stays there
    };
    TopOfView top_of_view() const;
    void back_to(const TopOfView &top);
    // The block under a y of the document, the nearest one outside it.
    QTextBlock blockAt(qreal y) const;
    // Where a block starts, from the heights known or estimated so far.
    qreal blockTop(const QTextBlock &block) const;
    // Blocks holding their lines now; the others hold only a height.
    int laidOutBlocks() const { return int(laid.size()); }
    // At most this many blocks keep their lines, besides those on screen;
    // the oldest go first.
    static constexpr int kept_layouts = 1000;

protected:
    void documentChanged(int from, int removed, int added) override;

private:
    Measure measure_now() const;
    void set_estimate(const QTextBlock &block) const;
    bool lay_out(const QTextBlock &block) const;
    void lay_out_around(const QTextBlock &block) const;
    void set_height(const QTextBlock &block, int height) const;
    void release_far() const;
    void remeasure_all();
    QSet<int> forget_lines_in(int from, int removed, int added);
    void forget_all_lines();
    void changed_range(int from, int removed, int added);
    void size_changed();
    bool below_view(const QTextBlock &block) const;

    Measure measure;
    // Where the blocks laid out start, oldest first, moved along by each
    // edit. Not cursors: the document moves every cursor for every line
    // inserted, and a load would crawl.
    mutable std::deque<int> laid;
    // Lines made before the last change of width or font are stale: each
    // block laid out carries this in its user state.
    int generation = 0;
    // Drawn last: these keep their lines whatever their age.
    mutable int drawn_first = 0;
    mutable int drawn_last = -1;
    mutable bool painting = false;
    mutable qreal widest = 0; // the widest line laid out, margins in
    // Heights changed since the scroll bars last heard of the size.
    mutable bool resized = false;
    QTimer size_timer;
    // The editor whose view stays on the same text while heights change.
    QPointer<QTextEdit> view;
};
