// The replace window: every whole-word occurrence replaced, and only the word,
// in the case of the word it replaces when typed all in lower case.
#include "dialogs.h"
#include "testmain.h"
#include "window.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>

using namespace feuillon_test;

namespace {
// A main window with a fresh tab in front, the replace window open, and no
// question left for the end.
struct Session {
    std::unique_ptr<fp> window = startWindow();
    QWidget *replace = nullptr;
    QLineEdit *word = nullptr;
    QLineEdit *by = nullptr;

    Session()
    {
        action(*window, "actionNouvelle_Onglet")->trigger();
        action(*window, "ac_remplacer")->trigger();
        replace = topLevel("replace_window");
        if (replace) {
            word = replace->findChild<QLineEdit *>(QStringLiteral("replace_search_field"));
            by = replace->findChild<QLineEdit *>(QStringLiteral("replacement_field"));
        }
    }
    ~Session() { markAllSaved(*window); }
    QTextEdit *editor() { return currentEditor(*window); }
    // Types both fields and presses "Remplacer".
    void run(const QString &what, const QString &with)
    {
        word->clear();
        by->clear();
        type(word, what);
        type(by, with);
        QTest::mouseClick(buttonWithText(replace, QStringLiteral("Remplacer")), Qt::LeftButton);
    }
};
} // namespace

class tst_replace : public QObject
{
    Q_OBJECT

private slots:
    void replaceWindowIsBuiltOnceWithLabelsFieldsAndButtons();
    void replacesTheWholeWordOnly_data();
    void replacesTheWholeWordOnly();
    void oneUndoRestoresTheWholeText();
    void replaceRunsNeverUndoAnything();
    void emptySearchFieldSaysSoAndChangesNothing();
    void unknownWordSaysSo();
};

void tst_replace::replaceWindowIsBuiltOnceWithLabelsFieldsAndButtons()
{
    Session s;
    QVERIFY(s.replace && s.word && s.by);
    QVERIFY(s.replace->isVisible());
    QCOMPARE(s.replace->windowTitle(), QStringLiteral("Remplacer"));
    auto *grid = qobject_cast<QGridLayout *>(s.replace->layout());
    QVERIFY(grid);
    const auto at = [grid](int row, int column) {
        return grid->itemAtPosition(row, column)->widget();
    };
    QCOMPARE(qobject_cast<QLabel *>(at(0, 0))->text(), QStringLiteral("Rechercher:"));
    QCOMPARE(qobject_cast<QLabel *>(at(1, 0))->text(), QStringLiteral("Remplacer:"));
    QCOMPARE(at(0, 1), s.word);
    QCOMPARE(at(1, 1), s.by);
    QCOMPARE(qobject_cast<QPushButton *>(at(2, 0))->text(), QStringLiteral("Fermé"));
    QCOMPARE(qobject_cast<QPushButton *>(at(2, 1))->text(), QStringLiteral("Remplacer"));

    QTest::keyClicks(s.word, QStringLiteral("chat"));
    s.replace->showMinimized();
    action(*s.window, "ac_remplacer")->trigger();
    QCOMPARE(s.replace->layout(), grid);
    QCOMPARE(s.replace->findChildren<QPushButton *>().size(), 2);
    QVERIFY(!s.replace->isMinimized());
    QCOMPARE(s.word->text(), QStringLiteral("chat"));

    // "Fermé" only hides the window: the replacement stays.
    s.editor()->setPlainText(QStringLiteral("le chat dort"));
    s.run(QStringLiteral("chat"), QStringLiteral("chien"));
    QTest::mouseClick(buttonWithText(s.replace, QStringLiteral("Fermé")), Qt::LeftButton);
    QVERIFY(!s.replace->isVisible());
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("le chien dort"));
}

void tst_replace::replacesTheWholeWordOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("with");
    QTest::addColumn<QString>("result");
    QTest::newRow("both cases, not the plural") << "Le chat dort. Un Chat noir; les chats."
                                                << "chat"
                                                << "X"
                                                << "Le X dort. Un X noir; les chats.";
    QTest::newRow("punctuation after the word kept") << "chat, chien"
                                                     << "chat"
                                                     << "X"
                                                     << "X, chien";
    QTest::newRow("line break kept") << "chat\nnoir"
                                     << "chat"
                                     << "X"
                                     << "X\nnoir";
    QTest::newRow("two spaces kept") << "le chat  dort"
                                     << "chat"
                                     << "chien"
                                     << "le chien  dort";
    QTest::newRow("nothing added at the end") << "un chat"
                                              << "chat"
                                              << "X"
                                              << "un X";
    QTest::newRow("same word ends") << "aa aa aa"
                                    << "aa"
                                    << "aa"
                                    << "aa aa aa";
    QTest::newRow("replacement holding the word") << "chat noir chat"
                                                  << "chat"
                                                  << "chat chat"
                                                  << "chat chat noir chat chat";
    QTest::newRow("empty replacement") << "le chat dort"
                                       << "chat"
                                       << ""
                                       << "le  dort";
    QTest::newRow("empty replacement of neighbours") << "chat chat"
                                                     << "chat"
                                                     << ""
                                                     << " ";
    QTest::newRow("lower case follows the case, accents too") << "Été comme l'été, ÉTÉ."
                                                              << "été"
                                                              << "hiver"
                                                              << "Hiver comme l'hiver, HIVER.";
    QTest::newRow("a capital typed stays as typed") << "Été comme l'été, ÉTÉ."
                                                    << "ÉTÉ"
                                                    << "Hiver"
                                                    << "Hiver comme l'Hiver, Hiver.";
}

void tst_replace::replacesTheWholeWordOnly()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(QString, with);
    QFETCH(QString, result);
    Session s;
    s.editor()->setPlainText(text);
    DialogAnswerer answers;
    s.run(word, with);
    QCOMPARE(s.editor()->toPlainText(), result);
    QCOMPARE(s.window->windowTitle(), word);
    QCOMPARE(answers.unexpected(), 0);
    QTRY_VERIFY(s.window->isActiveWindow());
}

void tst_replace::oneUndoRestoresTheWholeText()
{
    Session s;
    const QString text = QStringLiteral("Le chat dort.\nUn Chat noir; les chats, chat");
    s.editor()->setPlainText(text);
    s.run(QStringLiteral("chat"), QStringLiteral("chien"));
    QCOMPARE(s.editor()->toPlainText(),
             QStringLiteral("Le chien dort.\nUn Chien noir; les chats, chien"));
    QVERIFY(s.editor()->document()->isModified());
    s.editor()->undo();
    QCOMPARE(s.editor()->toPlainText(), text);
}

void tst_replace::replaceRunsNeverUndoAnything()
{
    Session s;
    type(s.editor(), QStringLiteral("le chat dort"));
    s.run(QStringLiteral("chat"), QStringLiteral("chien"));
    s.run(QStringLiteral("dort"), QStringLiteral("veille"));
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("le chien veille"));
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    s.run(QStringLiteral("souris"), QStringLiteral("rat"));
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("le chien veille"));
}

void tst_replace::emptySearchFieldSaysSoAndChangesNothing()
{
    Session s;
    s.editor()->setPlainText(QStringLiteral("le chat dort"));
    s.editor()->document()->setModified(false);
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    s.run(QString(), QStringLiteral("chien"));
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().at(0).title, QStringLiteral("Champ Vide"));
    QCOMPARE(answers.seen().at(0).text,
             QStringLiteral("Le champ de recherche est vide, écriver au moin une lettre!!!"));
    QCOMPARE(s.window->windowTitle(), QString());
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("le chat dort"));
    QVERIFY(!s.editor()->document()->isModified());
    QTRY_VERIFY(s.replace->isActiveWindow());
}

void tst_replace::unknownWordSaysSo()
{
    Session s;
    s.editor()->setPlainText(QStringLiteral("le chat dort"));
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    s.run(QStringLiteral("chats"), QStringLiteral("chien"));
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().at(0).title, QStringLiteral("Mot Non Trouver"));
    QCOMPARE(answers.seen().at(0).text, QStringLiteral("Imposible de trouver se mot"));
    QCOMPARE(s.window->windowTitle(), QStringLiteral("chats"));
    QCOMPARE(s.editor()->toPlainText(), QStringLiteral("le chat dort"));
    QTRY_VERIFY(s.replace->isActiveWindow());
}

FEUILLON_TEST_MAIN(tst_replace)
#include "tst_replace.moc"
