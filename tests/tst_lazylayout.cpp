// The lazy layout alone: heights, positions and hits against Qt's own
// layout of the same text, and a block found by its y among a million.
#include "documents/lazylayout.h"
#include "testmain.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

namespace {
const QString long_line = QStringLiteral("mot ").repeated(200);

QString sample(int lines)
{
    QStringList text;
    for (int i = 0; i < lines; ++i)
        text << (i % 10 == 5 ? long_line : QStringLiteral("ligne %1").arg(i));
    return text.join(QLatin1Char('\n'));
}

// A document of the sample, at the width a window would give it.
struct Lazy {
    QTextDocument doc;
    LazyLayout *layout;
    explicit Lazy(const QString &text, bool lazy = true)
    {
        doc.setDefaultFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        doc.setPlainText(text);
        layout = lazy ? new LazyLayout(&doc) : nullptr;
        if (layout)
            doc.setDocumentLayout(layout);
        doc.setPageSize(QSizeF(600, -1));
    }
    QTextBlock block(int number) const { return doc.findBlockByNumber(number); }
    QRectF rect(int number) const { return doc.documentLayout()->blockBoundingRect(block(number)); }
};
} // namespace

class tst_lazylayout : public QObject
{
    Q_OBJECT
private slots:
    void blocksSitWhereQtsLayoutPutsThem();
    void blockRectFollowsEditsAbove();
    void hitsFirstMiddleAndLastLine();
    void heightsFollowTheFont();
    void estimateCorrectedWhenLaidOut();
    void formatOverAllKeepsRealHeights();
    void farLinesLetGo();
    void blockFoundByYAmongAMillion();
    void editorDrawsAsWithQtsLayout();
    void viewStaysWhenBlocksAboveGrow();
    void onlyEditsInViewRepaint();
};

void tst_lazylayout::blocksSitWhereQtsLayoutPutsThem()
{
    const Lazy lazy(sample(40));
    const Lazy qt(sample(40), false);
    for (int i = 0; i < 40; ++i)
        QCOMPARE(lazy.rect(i).top(), qt.rect(i).top());
    QCOMPARE(lazy.layout->documentSize().height(),
             qt.doc.documentLayout()->documentSize().height());
}

void tst_lazylayout::blockRectFollowsEditsAbove()
{
    Lazy lazy(sample(40));
    const QRectF before = lazy.rect(30);
    QTextCursor(&lazy.doc).insertText(QStringLiteral("un\ndeux\ntrois\n"));
    const qreal line = lazy.rect(0).height();
    QCOMPARE(lazy.rect(33).top(), before.top() + 3 * line);
    QCOMPARE(lazy.block(33).text(), QStringLiteral("ligne 30"));
    QTextCursor gone(lazy.block(0));
    gone.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, 3);
    gone.removeSelectedText();
    QCOMPARE(lazy.rect(30).top(), before.top());
}

void tst_lazylayout::hitsFirstMiddleAndLastLine()
{
    const Lazy lazy(sample(40));
    const QTextBlock wrapped = lazy.block(15);
    const QRectF rect = lazy.rect(15);
    QTextLayout *lines = wrapped.layout();
    QVERIFY(lines->lineCount() > 2);
    const QTextLine middle = lines->lineAt(1);
    QCOMPARE(
        lazy.layout->hitTest(QPointF(middle.x() + 1, rect.top() + middle.y() + 2), Qt::FuzzyHit),
        wrapped.position() + middle.textStart());
    QCOMPARE(lazy.layout->hitTest(QPointF(0, 0), Qt::FuzzyHit), 0);
    const QSizeF size = lazy.layout->documentSize();
    QCOMPARE(lazy.layout->hitTest(QPointF(size.width(), size.height() - 5), Qt::FuzzyHit),
             lazy.doc.characterCount() - 1);
    QCOMPARE(lazy.layout->hitTest(QPointF(size.width() - 2, rect.top() + 2), Qt::ExactHit), -1);
}

void tst_lazylayout::heightsFollowTheFont()
{
    Lazy lazy(sample(40));
    const qreal small = lazy.rect(3).height();
    const qreal wrapped = lazy.rect(15).height();
    lazy.doc.setDefaultFont(QFont(QStringLiteral("DejaVu Sans Mono"), 20));
    QVERIFY(lazy.rect(3).height() > 1.8 * small);
    QVERIFY(lazy.rect(15).height() > 1.8 * wrapped);
    const Lazy qt(lazy.doc.toPlainText(), false);
    qt.doc.documentLayout(); // the same font, through the same call
    const_cast<QTextDocument &>(qt.doc).setDefaultFont(lazy.doc.defaultFont());
    QCOMPARE(lazy.rect(15).top(), qt.rect(15).top());
}

void tst_lazylayout::estimateCorrectedWhenLaidOut()
{
    // A line of wide characters: the estimate from the average width is short.
    Lazy lazy(sample(3) + QLatin1Char('\n') + QStringLiteral("W").repeated(500) + "\nfin");
    const qreal estimated = lazy.block(3).lineCount();
    const qreal size = lazy.layout->documentSize().height();
    const qreal real = lazy.rect(3).height();
    QCOMPARE(real, qreal(lazy.block(3).layout()->lineCount() * lazy.rect(0).height()));
    QCOMPARE(qreal(lazy.block(3).lineCount()), real);
    QCOMPARE(lazy.layout->documentSize().height(), size - estimated + real);
    QCOMPARE(lazy.rect(4).top(), lazy.rect(3).bottom());
}

// A highlight over the whole text: blocks laid out keep their real height
// rather than going back to an estimate until drawn again.
void tst_lazylayout::formatOverAllKeepsRealHeights()
{
    Lazy lazy(sample(20) + QLatin1Char('\n') + QStringLiteral("W").repeated(500) + "\nfin");
    const qreal real = lazy.rect(20).height();
    QTextCursor all(&lazy.doc);
    all.select(QTextCursor::Document);
    QTextCharFormat lit;
    lit.setBackground(QColor(22, 122, 200));
    all.mergeCharFormat(lit);
    QCOMPARE(qreal(lazy.block(20).lineCount()), real);
    QVERIFY(lazy.block(20).layout()->lineCount() > 0);
}

void tst_lazylayout::farLinesLetGo()
{
    Lazy lazy(sample(5000));
    for (int i = 0; i < 5000; i += 50)
        lazy.rect(i);
    QVERIFY(lazy.layout->laidOutBlocks() <= LazyLayout::kept_layouts);
    QCOMPARE(lazy.block(1).layout()->lineCount(), 0);
    QVERIFY(lazy.block(4950).layout()->lineCount() > 0);
}

void tst_lazylayout::blockFoundByYAmongAMillion()
{
    const int count = 1000000;
    Lazy lazy(QStringLiteral("x\n").repeated(count - 1) + QStringLiteral("fin"));
    QCOMPARE(lazy.doc.blockCount(), count);
    for (int number : {0, 1, 4321, count / 2, count - 2, count - 1}) {
        const QTextBlock block = lazy.block(number);
        const qreal top = lazy.layout->blockTop(block);
        QCOMPARE(lazy.layout->blockAt(top).blockNumber(), number);
        QCOMPARE(lazy.layout->blockAt(top + block.lineCount() - 0.5).blockNumber(), number);
    }
    // Finding lays nothing out.
    QCOMPARE(lazy.layout->laidOutBlocks(), 0);
    const qreal bottom = lazy.layout->documentSize().height();
    QCOMPARE(lazy.layout->blockAt(bottom + 100).blockNumber(), count - 1);
}

// The same text, colours, selection, highlight and width: the same pixels.
void tst_lazylayout::editorDrawsAsWithQtsLayout()
{
    QImage shots[2];
    for (int lazy = 0; lazy < 2; ++lazy) {
        QTextEdit editor;
        editor.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        // Colours as the appearance settings set them.
        editor.setStyleSheet(QStringLiteral("background-color:#fdf6e3;color:#334455;"));
        editor.resize(420, 300);
        editor.setPlainText(sample(60));
        if (lazy)
            LazyLayout::install(&editor);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QTextCursor lit(editor.document()->findBlockByNumber(2));
        lit.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat background;
        background.setBackground(QColor(22, 122, 200));
        lit.mergeCharFormat(background);
        QTextCursor selected(editor.document()->findBlockByNumber(4));
        selected.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, 2);
        editor.setTextCursor(selected);
        editor.setCursorWidth(0);
        QCoreApplication::processEvents();
        shots[lazy] = editor.viewport()->grab().toImage();
    }
    QCOMPARE(shots[1], shots[0]);
}

// Blocks above the view laid out at last (page up, a search) turn out far
// taller than estimated: the text on screen stays where it was.
void tst_lazylayout::viewStaysWhenBlocksAboveGrow()
{
    QTextEdit editor;
    editor.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    editor.resize(420, 300);
    LazyLayout *layout = LazyLayout::install(&editor);
    QStringList lines;
    // Tabs count as one character in an estimate, and as a tab stop each.
    for (int i = 0; i < 3000; ++i)
        lines << (i % 50 == 7 ? QString(200, QLatin1Char('\t'))
                              : QStringLiteral("ligne %1").arg(i));
    editor.setPlainText(lines.join(QLatin1Char('\n')));
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QScrollBar *bar = editor.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    const int value = bar->value();
    const int top = layout->blockAt(value).blockNumber();
    for (int i = 7; i < top - 100; i += 50)
        layout->blockBoundingRect(editor.document()->findBlockByNumber(i));
    QVERIFY(bar->value() > value);
    QCOMPARE(layout->blockAt(bar->value()).blockNumber(), top);
}

// A big file goes in slice after slice below the first screen: each of
// them repainting the whole view made the window pause longer.
void tst_lazylayout::onlyEditsInViewRepaint()
{
    QTextEdit editor;
    editor.resize(420, 300);
    LazyLayout *layout = LazyLayout::install(&editor);
    editor.setPlainText(sample(3000));
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy repaints(layout, &QAbstractTextDocumentLayout::update);
    QTextCursor end(editor.document());
    end.movePosition(QTextCursor::End);
    end.insertText(sample(100));
    QCOMPARE(repaints.count(), 0);
    QTextCursor(editor.document()).insertText(sample(20));
    QCOMPARE(repaints.count(), 1);
}

FEUILLON_TEST_MAIN(tst_lazylayout)
#include "tst_lazylayout.moc"
