// The status line: zoom level, character count and line count of the
// editor the user is looking at.
#include "dialogs.h"
#include "testmain.h"
#include "window.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

using namespace feuillon_test;

namespace {
// Leaves nothing to offer for saving when the window goes, even when a
// check failed half-way through a test.
struct SavedOnExit {
    fp &window;
    ~SavedOnExit() { markAllSaved(window); }
};

QLabel *statusLabel(fp &window)
{
    return window.findChild<QLabel *>(QStringLiteral("status_label"));
}

QString expectedStatus(int level, QTextEdit *editor)
{
    return QStringLiteral("Zoom: %1% , %2 Caractère , %3 Ligne")
        .arg(level)
        .arg(editor->toPlainText().length())
        .arg(editor->document()->blockCount());
}

QTextEdit *openNewTab(fp &window)
{
    action(window, "actionNouvelle_Onglet")->trigger();
    return currentEditor(window);
}
} // namespace

class tst_status : public QObject
{
    Q_OBJECT

private slots:
    void startupStatusCountsTheAboutPage();
    void statusSitsInTheStatusBar();
    void emptyEditorShowsZeroCharactersAndOneLine();
    void typedLineBreakCountsAsOneCharacter();
    void characterCountEqualsPlainTextLength_data();
    void characterCountEqualsPlainTextLength();
    void undoAndClearRefreshTheCounts();
    void backgroundEditorChangesDoNotShowInStatus();
    void tabSwitchShowsTheNewTabsCounts();
    void positionFollowsTheCursorInDocumentLines();
    void goToLinePutsTheCursorAtTheStartOfThatLine();
};

void tst_status::startupStatusCountsTheAboutPage()
{
    auto w = startWindow();
    QTextEdit *about = currentEditor(*w);
    QCOMPARE(about->document()->blockCount(), 6);
    QVERIFY(about->toPlainText().length() > 400);
    QCOMPARE(statusLabel(*w)->text(), expectedStatus(100, about));
}

void tst_status::statusSitsInTheStatusBar()
{
    auto w = startWindow();
    QLabel *label = statusLabel(*w);
    QVERIFY(label);
    QVERIFY(w->statusBar()->isAncestorOf(label));
    QVERIFY(label->isVisible());
}

void tst_status::emptyEditorShowsZeroCharactersAndOneLine()
{
    auto w = startWindow();
    openNewTab(*w);
    QCOMPARE(statusLabel(*w)->text(), QStringLiteral("Zoom: 100% , 0 Caractère , 1 Ligne"));
}

void tst_status::typedLineBreakCountsAsOneCharacter()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    type(openNewTab(*w), QStringLiteral("ab\nc"));
    QCOMPARE(statusLabel(*w)->text(), QStringLiteral("Zoom: 100% , 4 Caractère , 2 Ligne"));
}

void tst_status::characterCountEqualsPlainTextLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    QTest::addColumn<int>("lines");
    QTest::newRow("several paragraphs") << QStringLiteral("un\ndeux\n\ntrois\n") << 15 << 5;
    QTest::newRow("no-break spaces") << QStringLiteral("a\u00a0b\u00a0\u00a0c") << 6 << 1;
    QTest::newRow("characters beyond the basic plane")
        << QStringLiteral("\U0001F600 clé \U0001D11E\nfin") << 13 << 2;
    QTest::newRow("line separator") << QStringLiteral("avant\u2028après") << 11 << 1;
    QTest::newRow("tabs and control characters") << QStringLiteral("\tx\u0001y") << 4 << 1;
    QTest::newRow("empty document") << QString() << 0 << 1;
}

void tst_status::characterCountEqualsPlainTextLength()
{
    QFETCH(QString, text);
    QFETCH(int, characters);
    QFETCH(int, lines);
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    editor->setPlainText(text);
    QCOMPARE(editor->toPlainText().length(), characters);
    QCOMPARE(statusLabel(*w)->text(),
             QStringLiteral("Zoom: 100% , %1 Caractère , %2 Ligne").arg(characters).arg(lines));
}

void tst_status::undoAndClearRefreshTheCounts()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    type(editor, QStringLiteral("abc"));
    // A table pasted from rich text brings frame marks into the document.
    QTextCursor(editor->document())
        .insertHtml(QStringLiteral("<table><tr><td>x</td><td>y</td></tr></table>"));
    QCOMPARE(statusLabel(*w)->text(), expectedStatus(100, editor));
    editor->undo();
    QCOMPARE(statusLabel(*w)->text(), expectedStatus(100, editor));
    action(*w, "ac_del")->trigger();
    QCOMPARE(statusLabel(*w)->text(), QStringLiteral("Zoom: 100% , 0 Caractère , 1 Ligne"));
}

void tst_status::backgroundEditorChangesDoNotShowInStatus()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *first = openNewTab(*w);
    QTextEdit *second = openNewTab(*w);
    type(second, QStringLiteral("xy"));
    // The first tab's editor is still connected; its change must not make
    // the status describe a document the user does not see.
    first->setPlainText(QStringLiteral("beaucoup plus long\net sur deux lignes"));
    QCOMPARE(statusLabel(*w)->text(), QStringLiteral("Zoom: 100% , 2 Caractère , 1 Ligne"));
}

void tst_status::tabSwitchShowsTheNewTabsCounts()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    type(openNewTab(*w), QStringLiteral("a\nb\nc"));
    QCOMPARE(statusLabel(*w)->text(), QStringLiteral("Zoom: 100% , 5 Caractère , 3 Ligne"));
    tabs(*w)->setCurrentIndex(0);
    QCOMPARE(statusLabel(*w)->text(), expectedStatus(100, editorAt(*w, 0)));
    tabs(*w)->setCurrentIndex(1);
    QCOMPARE(statusLabel(*w)->text(), QStringLiteral("Zoom: 100% , 5 Caractère , 3 Ligne"));
}

static QString position(fp &window)
{
    return window.findChild<QLabel *>(QStringLiteral("position_label"))->text();
}

void tst_status::positionFollowsTheCursorInDocumentLines()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    QCOMPARE(position(*w), QStringLiteral("Ligne 1, Colonne 1"));
    // A line far wider than the window wraps on screen but stays one line.
    type(editor, QString(400, QLatin1Char('x')) + QStringLiteral("\nabcd"));
    QCOMPARE(position(*w), QStringLiteral("Ligne 2, Colonne 5"));
    QTest::keyClick(editor, Qt::Key_Up);
    QVERIFY(editor->document()->firstBlock().layout()->lineCount() > 1);
    QCOMPARE(position(*w).left(8), QStringLiteral("Ligne 1,"));
    tabs(*w)->setCurrentIndex(0);
    QCOMPARE(position(*w), QStringLiteral("Ligne 1, Colonne 1"));
}

void tst_status::goToLinePutsTheCursorAtTheStartOfThatLine()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    QStringList lines;
    for (int i = 1; i <= 3000; ++i)
        lines << QStringLiteral("ligne %1").arg(i);
    editor->setPlainText(lines.join(QLatin1Char('\n')));
    DialogAnswerer answers;
    answers.number(2500);
    QTest::keyClick(editor, Qt::Key_G, Qt::ControlModifier);
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().first().text, QStringLiteral("Numéro de ligne (1 à 3000)\u00A0:"));
    QCOMPARE(editor->textCursor().block().text(), QStringLiteral("ligne 2500"));
    QCOMPARE(editor->textCursor().positionInBlock(), 0);
    QVERIFY(editor->viewport()->rect().contains(editor->cursorRect()));
    QCOMPARE(position(*w), QStringLiteral("Ligne 2500, Colonne 1"));
}

FEUILLON_TEST_MAIN(tst_status)
#include "tst_status.moc"
