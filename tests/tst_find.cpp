// The find window: whole-word highlighting, and taking a run's highlighting
// back without ever undoing the user's own work.
#include "dialogs.h"
#include "search/highlight_trace.h"
#include "testmain.h"
#include "window.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace feuillon_test;

namespace {
const QColor highlight(22, 122, 200);

// The document's text with every highlighted stretch in brackets.
QString litText(QTextDocument *doc)
{
    QString out;
    bool open = false;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block != doc->begin())
            out += QLatin1Char('\n');
        open = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment piece = it.fragment();
            const QBrush brush = piece.charFormat().background();
            const bool lit = brush.style() == Qt::SolidPattern && brush.color() == highlight;
            if (lit != open)
                out += lit ? QLatin1Char('[') : QLatin1Char(']');
            open = lit;
            out += piece.text();
        }
        if (open)
            out += QLatin1Char(']');
    }
    return out;
}

// A main window with a fresh tab in front, the find window open, and no
// question left for the end.
struct Session {
    std::unique_ptr<fp> window = startWindow();
    QWidget *find = nullptr;
    QLineEdit *field = nullptr;

    Session()
    {
        action(*window, "actionNouvelle_Onglet")->trigger();
        action(*window, "ac_look")->trigger();
        find = topLevel("find_window");
        field = find ? find->findChild<QLineEdit *>(QStringLiteral("find_field")) : nullptr;
    }
    ~Session() { markAllSaved(*window); }
    QTextEdit *editor() { return currentEditor(*window); }
    QTextDocument *doc() { return editor()->document(); }
    // Types the word into the find field and presses "Rechercher".
    void search(const QString &word)
    {
        field->clear();
        QTest::keyClicks(field, word);
        QTest::mouseClick(buttonWithText(find, QStringLiteral("Rechercher")), Qt::LeftButton);
    }
    void close()
    {
        QTest::mouseClick(buttonWithText(find, QStringLiteral("Fermé")), Qt::LeftButton);
    }
};
} // namespace

class tst_find : public QObject
{
    Q_OBJECT

private slots:
    void findWindowIsBuiltOnceWithLabelFieldAndButtons();
    void highlightsEveryWholeWordWithTheSpacesAfter_data();
    void highlightsEveryWholeWordWithTheSpacesAfter();

    void firstRunUndoesNothingOfTheUserTyping();
    void secondRunTakesTheFirstHighlightingAway();
    void oneUndoTakesARunsHighlightingAwayInOneStep();
    void typingBetweenTwoRunsSurvivesTheSecondRun();
    void replacingBetweenTwoRunsSurvivesTheSecondRun();
    void runAfterTheUserUndidTheHighlightingUndoesNothing();
    void runInAnotherTabTakesTheFirstHighlightingAway();

    void closeButtonHidesAndTakesTheHighlightingAway();
    void titleBarCloseHidesAndKeepsTheHighlighting();
    void closeButtonActsOnTheDocumentOfTheLastRun();
    void closeButtonAfterThatTabWasClosedDoesNothing();
    void closeButtonAfterTypingUndoesNothing();
    void typingRightAfterAMatchIsNotLit();
    void closeButtonAfterANewTextWasReadUndoesNothing();

    void highlightingLeavesAnUnmodifiedDocumentUnmodified();
    void highlightingLeavesAModifiedDocumentModified();
    void savedWhileHighlightedStaysSavedWhenHighlightingGoes();

    void emptyFieldSaysSoAndSearchesNothing();
    void unknownWordSaysSo();

    void longOperationsShowTheBusyCursor_data();
    void longOperationsShowTheBusyCursor();

    void extensionLandsWhereTheCursorMoveLands_data();
    void extensionLandsWhereTheCursorMoveLands();

    void f3AndShiftF3GoRoundTheMatches();
    void runBringsTheFirstMatchAfterTheCursorIntoView();
};

void tst_find::findWindowIsBuiltOnceWithLabelFieldAndButtons()
{
    Session s;
    QVERIFY(s.find && s.field);
    QVERIFY(s.find->isVisible());
    QCOMPARE(s.find->windowTitle(), QStringLiteral("Recherche"));
    auto *grid = qobject_cast<QGridLayout *>(s.find->layout());
    QVERIFY(grid);
    const auto at = [grid](int row, int column) {
        return grid->itemAtPosition(row, column)->widget();
    };
    QCOMPARE(qobject_cast<QLabel *>(at(0, 0))->text(), QStringLiteral("Rechercher:"));
    QCOMPARE(at(0, 1), s.field);
    QCOMPARE(qobject_cast<QPushButton *>(at(1, 0))->text(), QStringLiteral("Fermé"));
    QCOMPARE(qobject_cast<QPushButton *>(at(1, 1))->text(), QStringLiteral("Rechercher"));
    QCOMPARE(s.find->findChildren<QPushButton *>().size(), 2);

    // Opening again shows the same window at its normal size, text kept.
    QTest::keyClicks(s.field, QStringLiteral("chat"));
    s.find->showMinimized();
    action(*s.window, "ac_look")->trigger();
    QCOMPARE(s.find->layout(), grid);
    QCOMPARE(s.find->findChildren<QPushButton *>().size(), 2);
    QVERIFY(s.find->isVisible() && !s.find->isMinimized());
    QCOMPARE(s.field->text(), QStringLiteral("chat"));
    s.find->showMaximized();
    action(*s.window, "ac_look")->trigger();
    QVERIFY(!s.find->isMaximized());
}

void tst_find::highlightsEveryWholeWordWithTheSpacesAfter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("lit");
    QTest::newRow("both cases, not the plural") << "Le chat dort. Un Chat noir; les chats."
                                                << "chat"
                                                << "Le [chat ]dort. Un [Chat ]noir; les chats.";
    QTest::newRow("punctuation after the word") << "chat, chien"
                                                << "chat"
                                                << "[chat, ]chien";
    QTest::newRow("match at the end of the document") << "un chat"
                                                      << "chat"
                                                      << "un [chat]";
    QTest::newRow("match at the end of a line") << "le chat\nnoir chat"
                                                << "chat"
                                                << "le [chat]\nnoir [chat]";
    QTest::newRow("not inside a longer word") << "chaton achat"
                                              << "chat"
                                              << "chaton achat";
}

void tst_find::highlightsEveryWholeWordWithTheSpacesAfter()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(QString, lit);
    Session s;
    s.editor()->setPlainText(text);
    DialogAnswerer answers;
    if (lit == text)
        answers.button(QMessageBox::Ok);
    s.search(word);
    QCOMPARE(litText(s.doc()), lit);
    QCOMPARE(s.editor()->toPlainText(), text);
    QCOMPARE(s.window->windowTitle(), word);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    if (lit != text)
        QTRY_VERIFY(s.window->isActiveWindow());
}

void tst_find::firstRunUndoesNothingOfTheUserTyping()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    QCOMPARE(litText(s.doc()), QStringLiteral("le [chat ]dort"));
}

void tst_find::secondRunTakesTheFirstHighlightingAway()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    s.search(QStringLiteral("dort"));
    QCOMPARE(litText(s.doc()), QStringLiteral("le chat [dort]"));
}

void tst_find::oneUndoTakesARunsHighlightingAwayInOneStep()
{
    Session s;
    type(s.editor(), QStringLiteral("chat chat chat chat"));
    s.search(QStringLiteral("chat"));
    QCOMPARE(litText(s.doc()), QStringLiteral("[chat chat chat chat]"));
    s.editor()->undo();
    QCOMPARE(litText(s.doc()), QStringLiteral("chat chat chat chat"));
}

void tst_find::typingBetweenTwoRunsSurvivesTheSecondRun()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    s.editor()->moveCursor(QTextCursor::End); // off the selected match
    type(s.editor(), QStringLiteral(" bien"));
    s.search(QStringLiteral("dort"));
    QCOMPARE(litText(s.doc()), QStringLiteral("le [chat dort ]bien"));
}

void tst_find::replacingBetweenTwoRunsSurvivesTheSecondRun()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    action(*s.window, "ac_remplacer")->trigger();
    QWidget *replace = topLevel("replace_window");
    QTest::keyClicks(replace->findChild<QLineEdit *>(QStringLiteral("replace_search_field")),
                     QStringLiteral("dort"));
    QTest::keyClicks(replace->findChild<QLineEdit *>(QStringLiteral("replacement_field")),
                     QStringLiteral("veille"));
    QTest::mouseClick(buttonWithText(replace, QStringLiteral("Remplacer")), Qt::LeftButton);
    s.search(QStringLiteral("chat"));
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("le chat veille"));
    replace->close();
}

void tst_find::runAfterTheUserUndidTheHighlightingUndoesNothing()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    s.editor()->undo();
    s.search(QStringLiteral("dort"));
    QCOMPARE(litText(s.doc()), QStringLiteral("le chat [dort]"));
}

void tst_find::runInAnotherTabTakesTheFirstHighlightingAway()
{
    Session s;
    QTextEdit *first = s.editor();
    type(first, QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    action(*s.window, "actionNouvelle_Onglet")->trigger();
    type(s.editor(), QStringLiteral("un chat noir"));
    s.search(QStringLiteral("chat"));
    QCOMPARE(litText(first->document()), QStringLiteral("le chat dort"));
    QCOMPARE(litText(s.doc()), QStringLiteral("un [chat ]noir"));
}

void tst_find::closeButtonHidesAndTakesTheHighlightingAway()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    s.close();
    QVERIFY(!s.find->isVisible());
    QCOMPARE(litText(s.doc()), QStringLiteral("le chat dort"));
    // A second press has nothing left to take back.
    action(*s.window, "ac_look")->trigger();
    s.close();
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("le chat dort"));
}

void tst_find::titleBarCloseHidesAndKeepsTheHighlighting()
{
    Session s;
    s.editor()->setPlainText(QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    s.find->close();
    QVERIFY(!s.find->isVisible());
    QCOMPARE(litText(s.doc()), QStringLiteral("le [chat ]dort"));
}

void tst_find::closeButtonActsOnTheDocumentOfTheLastRun()
{
    Session s;
    QTextEdit *first = s.editor();
    first->setPlainText(QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    action(*s.window, "actionNouvelle_Onglet")->trigger();
    QVERIFY(s.editor() != first);
    type(s.editor(), QStringLiteral("un chien"));
    s.close();
    QCOMPARE(litText(first->document()), QStringLiteral("le chat dort"));
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("un chien"));
}

void tst_find::closeButtonAfterThatTabWasClosedDoesNothing()
{
    Session s;
    QPointer<QTextEdit> first = s.editor();
    first->setPlainText(QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    action(*s.window, "actionNouvelle_Onglet")->trigger();
    type(s.editor(), QStringLiteral("un chien"));
    markAllSaved(*s.window);
    emit tabs(*s.window)->tabCloseRequested(tabs(*s.window)->indexOf(first));
    QTRY_VERIFY(first.isNull());
    s.close();
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("un chien"));
    QVERIFY(!s.find->isVisible());
}

void tst_find::closeButtonAfterTypingUndoesNothing()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat"));
    s.search(QStringLiteral("chat"));
    s.editor()->moveCursor(QTextCursor::End); // off the selected match
    type(s.editor(), QStringLiteral(" dort"));
    s.close();
    QCOMPARE(litText(s.doc()), QStringLiteral("le [chat] dort"));
}

void tst_find::typingRightAfterAMatchIsNotLit()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort chat"));
    s.search(QStringLiteral("chat"));
    s.editor()->moveCursor(QTextCursor::End); // off the selected match
    type(s.editor(), QStringLiteral("s"));
    QTextCursor cursor = s.editor()->textCursor();
    cursor.setPosition(8); // after the first match and its space
    s.editor()->setTextCursor(cursor);
    type(s.editor(), QStringLiteral("x"));
    QCOMPARE(litText(s.doc()), QStringLiteral("le [chat ]xdort [chat]s"));
}

void tst_find::closeButtonAfterANewTextWasReadUndoesNothing()
{
    Session s;
    s.editor()->setPlainText(QStringLiteral("le chat dort"));
    s.doc()->setModified(false);
    s.search(QStringLiteral("chat"));
    // As when a file is read into the tab: the undo history starts afresh.
    s.editor()->setPlainText(QStringLiteral("un chien"));
    s.editor()->moveCursor(QTextCursor::End);
    type(s.editor(), QStringLiteral("x"));
    QVERIFY(s.doc()->isModified());
    s.close();
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("un chienx"));
    QVERIFY(s.doc()->isModified());
}

void tst_find::highlightingLeavesAnUnmodifiedDocumentUnmodified()
{
    Session s;
    s.editor()->setPlainText(QStringLiteral("le chat dort"));
    s.doc()->setModified(false);
    s.search(QStringLiteral("chat"));
    QVERIFY(!s.doc()->isModified());
    s.editor()->undo();
    QCOMPARE(litText(s.doc()), QStringLiteral("le chat dort"));
    QVERIFY(!s.doc()->isModified());
    s.editor()->redo();
    QCOMPARE(litText(s.doc()), QStringLiteral("le [chat ]dort"));
    QVERIFY(!s.doc()->isModified());
    s.search(QStringLiteral("dort"));
    QVERIFY(!s.doc()->isModified());
    s.close();
    QCOMPARE(litText(s.doc()), QStringLiteral("le chat dort"));
    QVERIFY(!s.doc()->isModified());
}

void tst_find::highlightingLeavesAModifiedDocumentModified()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    QVERIFY(s.doc()->isModified());
    s.search(QStringLiteral("chat"));
    QVERIFY(s.doc()->isModified());
    s.close();
    QVERIFY(s.doc()->isModified());
    // The typing is still there to be undone, and undoing it reaches the
    // unmodified empty page.
    s.editor()->undo();
    QCOMPARE(s.editor()->toPlainText(), QString());
    QVERIFY(!s.doc()->isModified());
}

void tst_find::savedWhileHighlightedStaysSavedWhenHighlightingGoes()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    s.search(QStringLiteral("chat"));
    s.doc()->setModified(false);
    s.close();
    QCOMPARE(litText(s.doc()), QStringLiteral("le chat dort"));
    QVERIFY(!s.doc()->isModified());
}

void tst_find::emptyFieldSaysSoAndSearchesNothing()
{
    Session s;
    s.editor()->setPlainText(QStringLiteral("le chat dort"));
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    s.search(QString());
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().at(0).title, QStringLiteral("Champ Vide"));
    QCOMPARE(answers.seen().at(0).text,
             QStringLiteral("Le champ de recherche est vide, écriver au moin une lettre!!!"));
    QCOMPARE(s.window->windowTitle(), QString());
    QCOMPARE(litText(s.doc()), QStringLiteral("le chat dort"));
    QTRY_VERIFY(s.find->isActiveWindow());
}

void tst_find::unknownWordSaysSo()
{
    Session s;
    s.editor()->setPlainText(QStringLiteral("le chat dort"));
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    s.search(QStringLiteral("souris"));
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().at(0).title, QStringLiteral("Mot Non Trouver"));
    QCOMPARE(answers.seen().at(0).text, QStringLiteral("Imposible de trouver se mot"));
    QCOMPARE(s.window->windowTitle(), QStringLiteral("souris"));
    QTRY_VERIFY(s.find->isActiveWindow());
    // Nothing was highlighted, so the next run has nothing to take back.
    s.editor()->moveCursor(QTextCursor::End);
    type(s.editor(), QStringLiteral(" bien"));
    s.search(QStringLiteral("chat"));
    QCOMPARE(litText(s.doc()), QStringLiteral("le [chat ]dort bien"));
}

void tst_find::longOperationsShowTheBusyCursor_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("busy");
    QTest::newRow("short document") << 100 << false;
    QTest::newRow("long document") << 60000 << true;
}

// Every change the operation makes happens under the busy cursor (or, in a
// short document, none does), and the cursor is back once it is done.
void tst_find::longOperationsShowTheBusyCursor()
{
    QFETCH(int, lines);
    QFETCH(bool, busy);
    Session s;
    s.editor()->setPlainText(
        QStringLiteral("le chat dort sur le tapis du salon\n").repeated(lines));
    QList<bool> underBusyCursor;
    connect(s.doc(), &QTextDocument::contentsChange, s.doc(), [&] {
        const QCursor *cursor = QApplication::overrideCursor();
        underBusyCursor << (cursor && cursor->shape() == Qt::WaitCursor);
    });
    const auto check = [&](const char *what) {
        QVERIFY2(!underBusyCursor.isEmpty(), what);
        QVERIFY2(underBusyCursor.count(busy) == underBusyCursor.size(), what);
        QVERIFY2(!QApplication::overrideCursor(), what);
        underBusyCursor.clear();
    };
    s.search(QStringLiteral("chat"));
    check("highlight");
    s.close();
    check("highlight taken away");
    action(*s.window, "ac_remplacer")->trigger();
    QWidget *replace = topLevel("replace_window");
    QTest::keyClicks(replace->findChild<QLineEdit *>(QStringLiteral("replace_search_field")),
                     QStringLiteral("tapis"));
    QTest::keyClicks(replace->findChild<QLineEdit *>(QStringLiteral("replacement_field")),
                     QStringLiteral("fauteuil"));
    QTest::mouseClick(buttonWithText(replace, QStringLiteral("Remplacer")), Qt::LeftButton);
    replace->close();
    check("replace");
    action(*s.window, "ac_can")->trigger();
    check("undo");
    action(*s.window, "ac_del")->trigger();
    check("clear all");
    action(*s.window, "ac_res")->trigger();
    QVERIFY(underBusyCursor.isEmpty()); // nothing to redo after a new edit
    action(*s.window, "ac_can")->trigger();
    check("undo of clear all");
    QCOMPARE(s.doc()->blockCount(), lines + 1);
}

void tst_find::extensionLandsWhereTheCursorMoveLands_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("spaces") << "le chat  dort \t fin ";
    QTest::newRow("punctuation") << "chat, chien; (souris) -- \"rat\" 'x' a.b?c!d@e#f$g:h";
    QTest::newRow("more punctuation") << "a<b>c[d]e{f}g=h/i+j%k&l^m*n`o~p|q\\r_s";
    QTest::newRow("lines") << "chat\nnoir\n\nfin.\n";
    QTest::newRow("beyond ascii") << "le «chat» — été… l’âne 1,5 € x\u00a0y";
}

void tst_find::extensionLandsWhereTheCursorMoveLands()
{
    QFETCH(QString, text);
    QTextDocument doc;
    doc.setPlainText(text);
    for (int at = 0; at < doc.characterCount(); ++at) {
        QTextCursor cursor(&doc);
        cursor.setPosition(at);
        cursor.movePosition(QTextCursor::WordRight, QTextCursor::KeepAnchor);
        QCOMPARE(word_right_of(&doc, at), cursor.position());
    }
}

// Where the selection is: block number, or -1 unless it is the word alone.
static int selectedBlock(QTextEdit *editor)
{
    const QTextCursor c = editor->textCursor();
    return c.selectedText().compare("chat", Qt::CaseInsensitive) == 0 ? c.blockNumber() : -1;
}

void tst_find::f3AndShiftF3GoRoundTheMatches()
{
    Session s;
    s.editor()->setPlainText(QStringLiteral("un chat\ndeux Chat noir\ntrois chat"));
    s.search(QStringLiteral("chat"));
    QTRY_VERIFY(s.window->isActiveWindow());
    QList<int> blocks{selectedBlock(s.editor())};
    for (const auto shift : {Qt::NoModifier, Qt::NoModifier, Qt::NoModifier, Qt::ShiftModifier}) {
        QTest::keyClick(s.editor(), Qt::Key_F3, shift);
        blocks << selectedBlock(s.editor());
    }
    QCOMPARE(s.window->findChild<QLabel *>(QStringLiteral("note_label"))->text(),
             QStringLiteral("Début du document atteint, recherche reprise à la fin"));
    // The find window takes the keys too, and keeps the focus.
    s.find->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.find));
    QTest::keyClick(s.field, Qt::Key_F3, Qt::ShiftModifier);
    blocks << selectedBlock(s.editor());
    QCOMPARE(blocks, (QList<int>{0, 1, 2, 0, 2, 1}));
    QCOMPARE(litText(s.doc()), QStringLiteral("un [chat]\ndeux [Chat ]noir\ntrois [chat]"));
}

void tst_find::runBringsTheFirstMatchAfterTheCursorIntoView()
{
    Session s;
    QStringList lines(6000, QStringLiteral("rien"));
    lines[20] = lines[4999] = QStringLiteral("le chat dort");
    s.editor()->setPlainText(lines.join(QLatin1Char('\n')));
    s.editor()->setTextCursor(QTextCursor(s.doc()->findBlockByNumber(3000)));
    s.search(QStringLiteral("chat"));
    QCOMPARE(selectedBlock(s.editor()), 4999);
    QVERIFY(s.editor()->viewport()->rect().contains(s.editor()->cursorRect()));
}

FEUILLON_TEST_MAIN(tst_find)
#include "tst_find.moc"
