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
    void positionAndGoToLineCountDocumentLines();
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

// Lines of the document, not of the screen: the first line wraps, yet counts once.
void tst_status::positionAndGoToLineCountDocumentLines()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    auto *position = w->findChild<QLabel *>(QStringLiteral("position_label"));
    QStringList lines(3000, QStringLiteral("ligne"));
    lines[0] = QString(400, QLatin1Char('x'));
    lines[2499] = QStringLiteral("ici");
    editor->setPlainText(lines.join(QLatin1Char('\n')));
    QCOMPARE(position->text(), QStringLiteral("Ligne 1, Colonne 1"));
    QVERIFY(editor->document()->firstBlock().layout()->lineCount() > 1);
    DialogAnswerer answers;
    answers.number(2500);
    QTest::keyClick(editor, Qt::Key_G, Qt::ControlModifier);
    QVERIFY(answers.waitDone());
    QCOMPARE(editor->textCursor().block().text(), QStringLiteral("ici"));
    QVERIFY(editor->viewport()->rect().contains(editor->cursorRect()));
    type(editor, QStringLiteral("ab"));
    QCOMPARE(position->text(), QStringLiteral("Ligne 2500, Colonne 3"));
}

FEUILLON_TEST_MAIN(tst_status)
#include "tst_status.moc"
