// The offer to save before a document is replaced, closed or lost at the end
// of the run: nothing the user did not choose to drop is ever lost.
#include "testmain.h"

#include "dialogs.h"
#include "documents/journal.h"
#include "files.h"
#include "window.h"

#include <QAction>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace feuillon_test;

class tst_saveoffer : public QObject
{
    Q_OBJECT

private slots:
    void newFileWritesDocumentWithPathWithoutQuestion();
    void newFileAsksForUnsavedDocument_data();
    void newFileAsksForUnsavedDocument();
    void openAnsweredNoEmptiesTabBeforeDialog();
    void yesThenCancelledSaveDialogKeepsDocument_data();
    void yesThenCancelledSaveDialogKeepsDocument();
    void yesThenFailedSaveKeepsDocument();
    void noAnswerKeepsDocumentAndStops_data();
    void noAnswerKeepsDocumentAndStops();
    void failedWriteStopsTheOperation_data();
    void failedWriteStopsTheOperation();
    void untouchedDocumentIsNeverRewritten_data();
    void untouchedDocumentIsNeverRewritten();
    void undecodableDocumentIsNotWrittenSilently();
    void closingBackgroundTabOffersThatTab();

    void endOfRunWritesEveryModifiedTabWithPath();
    void endOfRunAsksForEachUnsavedTabNamingIt();
    void endOfRunFailedWriteLeadsBackToSaveDialog();
    void endOfRunAsksNothingForUntouchedTabs();
    void endOfRunWithoutAnswerKeepsTextForNextStart_data();
    void endOfRunWithoutAnswerKeepsTextForNextStart();
    void noKeepsTheDroppedTextInTheDiscardedFolder();
    void silentWriteKeepsThePreviousBytes_data();
    void silentWriteKeepsThePreviousBytes();

    void quitWithoutAnswerKeepsTheWindow_data();
    void quitWithoutAnswerKeepsTheWindow();
};

static const QString question = QStringLiteral("Vouler vous enregistrer le fichier actuelle ?");

// The file behind an open document is replaced by a folder, so that writing
// to it fails even for root.
static void breakFile(const QString &path)
{
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkpath(path));
}

static void trigger(fp &w, const QString &operation)
{
    if (operation == "newfile")
        action(w, "ac_new")->trigger();
    else if (operation == "open")
        action(w, "ac_open")->trigger();
    else
        emit tabs(w)->tabCloseRequested(tabs(w)->currentIndex());
}

void tst_saveoffer::newFileWritesDocumentWithPathWithoutQuestion()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "a.txt", "texte");
    auto w = startWindow({"feuillon", path});
    type(currentEditor(*w), "mon ");
    DialogAnswerer none;
    action(*w, "ac_new")->trigger();
    QCOMPARE(fileBytes(path), QByteArray("mon texte"));
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("Nouveau Fichier"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    QCOMPARE(none.unexpected(), 0);
}

void tst_saveoffer::newFileAsksForUnsavedDocument_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("no drops the text") << false;
    QTest::newRow("yes saves it through the dialog") << true;
}

void tst_saveoffer::newFileAsksForUnsavedDocument()
{
    QFETCH(bool, yes);
    QTemporaryDir dir;
    const QString path = dir.filePath("sauve.txt");
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "brouillon");
    DialogAnswerer answers;
    answers.button(yes ? QMessageBox::Yes : QMessageBox::No);
    if (yes)
        answers.file(path);
    action(*w, "ac_new")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().first().title, QStringLiteral("Enregistrer le fichier"));
    QCOMPARE(answers.seen().first().text, question);
    QCOMPARE(QFile::exists(path), yes);
    if (yes) {
        QCOMPARE(answers.seen().at(1).text, QStringLiteral("Fichier (*.*)"));
        QCOMPARE(fileBytes(path), QByteArray("brouillon"));
    }
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("Nouveau Fichier"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    QCOMPARE(answers.unexpected(), 0);
}

void tst_saveoffer::openAnsweredNoEmptiesTabBeforeDialog()
{
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "jetable");
    DialogAnswerer answers;
    answers.button(QMessageBox::No).file("");
    action(*w, "ac_open")->trigger();
    QCOMPARE(answers.pending(), 0);
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    QCOMPARE(answers.unexpected(), 0);
}

void tst_saveoffer::yesThenCancelledSaveDialogKeepsDocument_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("Nouveau") << "newfile";
    QTest::newRow("Ouvrir") << "open";
    QTest::newRow("closing the tab") << "close";
}

void tst_saveoffer::yesThenCancelledSaveDialogKeepsDocument()
{
    QFETCH(QString, operation);
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "précieux");
    DialogAnswerer answers;
    answers.button(QMessageBox::Yes).file("");
    trigger(*w, operation);
    QCOMPARE(answers.pending(), 0);
    // No open dialog after the cancelled save: it would be unexpected.
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(tabs(*w)->count(), 2);
    QCOMPARE(tabs(*w)->currentIndex(), 1);
    QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("Nouvelle Onglet"));
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("précieux"));
    QVERIFY(currentEditor(*w)->document()->isModified());
    markAllSaved(*w);
}

void tst_saveoffer::yesThenFailedSaveKeepsDocument()
{
    QTemporaryDir dir;
    const QString file = makeFile(dir, "fichier", "x");
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "précieux");
    DialogAnswerer answers;
    answers.button(QMessageBox::Yes).file(file + "/dessous.txt").button(QMessageBox::Ok);
    action(*w, "ac_new")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().last().title, QStringLiteral("Erreur"));
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("précieux"));
    QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("Nouvelle Onglet"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
}

void tst_saveoffer::noAnswerKeepsDocumentAndStops_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("escape"); // else the box's close button
    QTest::addColumn<bool>("undecodable");
    QTest::newRow("Nouveau, Escape") << "newfile" << true << false;
    QTest::newRow("Ouvrir, close button") << "open" << false << false;
    QTest::newRow("closing the tab, Escape") << "close" << true << false;
    QTest::newRow("closing a background tab, close button") << "background" << false << false;
    QTest::newRow("undecodable bytes, Escape") << "newfile" << true << true;
    QTest::newRow("undecodable bytes, background, close button") << "background" << false << true;
}

// Only Yes or No decides: the document stays and the operation goes no further.
void tst_saveoffer::noAnswerKeepsDocumentAndStops()
{
    QFETCH(QString, operation);
    QFETCH(bool, escape);
    QFETCH(bool, undecodable);
    QTemporaryDir dir;
    DialogAnswerer answers;
    auto w = startWindow();
    if (undecodable) {
        answers.button(QMessageBox::Ok);
        w = startWindow({"feuillon", makeFile(dir, "binaire.txt", QByteArray("\xE9t\xE9\0", 4))});
        QVERIFY(answers.waitDone());
        answers.button(QMessageBox::Yes);
    } else {
        action(*w, "actionNouvelle_Onglet")->trigger();
    }
    QTextEdit *editor = currentEditor(*w);
    type(editor, "précieux");
    const QString text = editor->toPlainText();
    const int count = tabs(*w)->count();
    if (operation == "background")
        action(*w, "actionNouvelle_Onglet")->trigger();
    escape ? answers.escape() : answers.closeWindow();
    if (operation == "background")
        emit tabs(*w)->tabCloseRequested(tabs(*w)->indexOf(editor));
    else
        trigger(*w, operation);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(tabs(*w)->count(), count + (operation == "background"));
    QCOMPARE(editor->toPlainText(), text);
    QVERIFY(editor->document()->isModified());
    markAllSaved(*w);
}

void tst_saveoffer::failedWriteStopsTheOperation_data()
{
    yesThenCancelledSaveDialogKeepsDocument_data();
}

void tst_saveoffer::failedWriteStopsTheOperation()
{
    QFETCH(QString, operation);
    QTemporaryDir dir;
    const QString path = makeFile(dir, "d.txt", "texte");
    auto w = startWindow({"feuillon", path});
    type(currentEditor(*w), "à garder ");
    breakFile(path);
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    trigger(*w, operation);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().first().title, QStringLiteral("Erreur"));
    QCOMPARE(answers.seen().first().text, QStringLiteral("Imposible d'enregistrer le fichier !!!"));
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("d.txt"));
    QCOMPARE(w->windowTitle(), "Feuillon | " + path);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("à garder texte"));
    markAllSaved(*w);
}

void tst_saveoffer::untouchedDocumentIsNeverRewritten_data()
{
    yesThenCancelledSaveDialogKeepsDocument_data();
}

void tst_saveoffer::untouchedDocumentIsNeverRewritten()
{
    QFETCH(QString, operation);
    QTemporaryDir dir;
    const QByteArray bytes("\xEF\xBB\xBF"
                           "un\r\ndeux\r");
    const QString path = makeFile(dir, "e.txt", bytes);
    auto w = startWindow({"feuillon", path});
    // Typing then undoing leaves the document as loaded.
    type(currentEditor(*w), "x");
    currentEditor(*w)->undo();
    DialogAnswerer answers;
    if (operation == "open")
        answers.file("");
    trigger(*w, operation);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    w.reset();
    QCOMPARE(fileBytes(path), bytes);
}

void tst_saveoffer::undecodableDocumentIsNotWrittenSilently()
{
    QTemporaryDir dir;
    // A NUL byte: not text in any encoding.
    const QString path = makeFile(dir, "f.txt", QByteArray("\xE9t\xE9\0", 4));
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    auto w = startWindow({"feuillon", path});
    QVERIFY(answers.waitDone());
    type(currentEditor(*w), "l'");
    answers.button(QMessageBox::Yes).button(QMessageBox::Yes);
    action(*w, "ac_new")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().at(1).text, question);
    QVERIFY(answers.seen().at(2).text.contains(QStringLiteral("remplacés")));
    QCOMPARE(fileBytes(path), QByteArray("l'\uFFFDt\uFFFD\0", 10));
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    QCOMPARE(answers.unexpected(), 0);
}

void tst_saveoffer::closingBackgroundTabOffersThatTab()
{
    QTemporaryDir dir;
    const QString withPath = makeFile(dir, "fond.txt", "fond");
    const QString target = dir.filePath("autre.txt");
    auto w = startWindow({"feuillon", withPath});
    type(currentEditor(*w), "modifié ");
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "sans chemin");
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "visible");

    DialogAnswerer answers;
    // Yes then a cancelled dialog: the tab stays.
    answers.button(QMessageBox::Yes).file("");
    emit tabs(*w)->tabCloseRequested(1);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(tabs(*w)->count(), 3);
    QCOMPARE(editorAt(*w, 1)->toPlainText(), QStringLiteral("sans chemin"));

    answers.button(QMessageBox::Yes).file(target);
    emit tabs(*w)->tabCloseRequested(1);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(
        answers.seen().at(2).text,
        QStringLiteral(
            "Voulez-vous enregistrer le fichier «\u00A0Nouvelle Onglet (onglet 2)\u00A0»\u00A0?"));
    QCOMPARE(fileBytes(target), QByteArray("sans chemin"));
    // A background tab with a path is written to it without a question.
    emit tabs(*w)->tabCloseRequested(0);
    QCOMPARE(fileBytes(withPath), QByteArray("modifié fond"));
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("visible"));
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
}

void tst_saveoffer::endOfRunWritesEveryModifiedTabWithPath()
{
    QTemporaryDir dir;
    const QString first = makeFile(dir, "un.txt", "1");
    const QString second = makeFile(dir, "deux.txt", "2");
    auto w = startWindow({"feuillon", first});
    type(currentEditor(*w), "+");
    DialogAnswerer answers;
    answers.file(second);
    action(*w, "actionOuvrir_dans_un_Nouvelle_Onglet")->trigger();
    type(currentEditor(*w), "+");
    tabs(*w)->setCurrentIndex(0);
    w.reset();
    QCOMPARE(fileBytes(first), QByteArray("+1"));
    QCOMPARE(fileBytes(second), QByteArray("+2"));
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
}

void tst_saveoffer::endOfRunAsksForEachUnsavedTabNamingIt()
{
    QTemporaryDir dir;
    const QString kept = dir.filePath("garde.txt");
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "autre");
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "jeté");
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "courant");
    tabs(*w)->setCurrentIndex(2);

    DialogAnswerer answers;
    answers
        .button(QMessageBox::No)  // current tab, "jeté"
        .button(QMessageBox::Yes) // tab 2, "autre"
        .file(kept)               // saved there
        .button(QMessageBox::Yes) // tab 4, "courant"
        .file("");                // cancelled: dropped by the user
    w.reset();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    const auto &seen = answers.seen();
    QCOMPARE(seen.size(), 5);
    QCOMPARE(seen.at(0).text, question);
    QCOMPARE(
        seen.at(1).text,
        QStringLiteral(
            "Voulez-vous enregistrer le fichier «\u00A0Nouvelle Onglet (onglet 2)\u00A0»\u00A0?"));
    QCOMPARE(seen.at(2).title, QStringLiteral("Enregistrer un fichier"));
    QCOMPARE(seen.at(2).text, QStringLiteral("Text (*.txt)"));
    QCOMPARE(
        seen.at(3).text,
        QStringLiteral(
            "Voulez-vous enregistrer le fichier «\u00A0Nouvelle Onglet (onglet 4)\u00A0»\u00A0?"));
    QCOMPARE(fileBytes(kept), QByteArray("autre"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"garde.txt"});
}

void tst_saveoffer::endOfRunFailedWriteLeadsBackToSaveDialog()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "g.txt", "texte");
    const QString rescue = dir.filePath("secours.txt");
    const QString plainFile = makeFile(dir, "fichier", "");
    auto w = startWindow({"feuillon", path});
    type(currentEditor(*w), "dernier ");
    breakFile(path);
    DialogAnswerer answers;
    // Each failed write is followed by a question, not by the same write.
    answers.button(QMessageBox::Ok)
        .button(QMessageBox::Yes)
        .file(plainFile + "/dedans.txt")
        .button(QMessageBox::Ok)
        .button(QMessageBox::Yes)
        .file(rescue);
    w.reset();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().at(0).title, QStringLiteral("Erreur"));
    QVERIFY(answers.seen().at(1).text.contains(QStringLiteral("n'a pas pu être enregistré")));
    QCOMPARE(answers.seen().at(2).text, QStringLiteral("Text (*.txt)"));
    QCOMPARE(answers.seen().at(3).title, QStringLiteral("Erreur"));
    QCOMPARE(fileBytes(rescue), QByteArray("dernier texte"));
}

void tst_saveoffer::endOfRunAsksNothingForUntouchedTabs()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "h.txt", "tel quel\r\n");
    auto w = startWindow({"feuillon", path});
    action(*w, "actionNouvelle_Onglet")->trigger();
    action(*w, "ac_apropos")->trigger();
    DialogAnswerer answers;
    w.reset();
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(fileBytes(path), QByteArray("tel quel\r\n"));
}

void tst_saveoffer::endOfRunWithoutAnswerKeepsTextForNextStart_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close button") << "close";
    QTest::newRow("Oui then a cancelled dialog") << "cancel";
}

// The ways of leaving a question without an answer.
static void giveNoAnswer(DialogAnswerer &answers, const QString &gesture)
{
    if (gesture == "escape")
        answers.escape();
    else if (gesture == "close")
        answers.closeWindow();
    else if (gesture == "Annuler")
        answers.press(gesture);
    else
        answers.button(QMessageBox::Yes).file("");
}

// Nothing waits for a later answer once the window goes: text left without
// one stays in the recovery journal and is offered at the next start.
void tst_saveoffer::endOfRunWithoutAnswerKeepsTextForNextStart()
{
    QFETCH(QString, gesture);
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "dernier mot");
    DialogAnswerer answers;
    giveNoAnswer(answers, gesture);
    w.reset();
    QCOMPARE(answers.pending(), 0);
    answers.press("Restaurer");
    w = startWindow({"feuillon"}, true);
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().last().title, QStringLiteral("Textes non enregistrés"));
    QVERIFY(answers.seen().last().informative.contains(QStringLiteral("dernier mot")));
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("dernier mot"));
    QCOMPARE(tabs(*w)->tabText(tabs(*w)->currentIndex()), QStringLiteral("Nouvelle Onglet"));
    QVERIFY(currentEditor(*w)->document()->isModified());
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
}

// A "Non" drops the text from the editor, not from the disk: it waits in the
// folder of discarded texts, and nothing is offered at the next start.
void tst_saveoffer::noKeepsTheDroppedTextInTheDiscardedFolder()
{
    QDir(journal::discarded_root()).removeRecursively();
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "jeté par erreur");
    DialogAnswerer answers;
    answers.button(QMessageBox::No);
    w.reset();
    const QStringList kept = QDir(journal::discarded_root()).entryList(QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY(kept.first().endsWith(QStringLiteral("Nouvelle Onglet.txt")));
    QCOMPARE(fileBytes(journal::discarded_root() + "/" + kept.first()),
             QStringLiteral("jeté par erreur").toUtf8());
    w = startWindow({"feuillon"}, true);
    QCOMPARE(answers.unexpected(), 0);
}

void tst_saveoffer::silentWriteKeepsThePreviousBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Windows-1252, CRLF") << QByteArray("c\x9cur \x80\r\nl\x92\xe9t\xe9\r\n");
    QTest::newRow("UTF-16 LE with a mark") << QByteArray("\xff\xfe\xe9\0t\0\xe9\0\n\0", 10);
    QTest::newRow("UTF-8, CR") << QByteArray("\xc3\xa9t\xc3\xa9\rhiver\r");
}

// What a write without a question replaces is kept as it was on disk, under
// the file's own name: putting it back changes nothing.
void tst_saveoffer::silentWriteKeepsThePreviousBytes()
{
    QFETCH(QByteArray, bytes);
    QDir(journal::discarded_root()).removeRecursively();
    QTemporaryDir dir;
    const QString path = makeFile(dir, "note.txt", bytes);
    auto w = startWindow({"feuillon", path});
    type(currentEditor(*w), "x");
    DialogAnswerer none;
    action(*w, "ac_new")->trigger();
    QVERIFY(fileBytes(path) != bytes);
    const QStringList kept = QDir(journal::discarded_root()).entryList(QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d note\\.txt$")
                 .match(kept.first())
                 .hasMatch(),
             qPrintable(kept.first()));
    QCOMPARE(fileBytes(journal::discarded_root() + "/" + kept.first()), bytes);
    QCOMPARE(none.seen().size(), 0);
}

void tst_saveoffer::quitWithoutAnswerKeepsTheWindow_data()
{
    endOfRunWithoutAnswerKeepsTextForNextStart_data();
    QTest::newRow("Annuler") << "Annuler";
}

// Each question comes over the shown window, about the document in front
// ("actuelle"). A "Non" waits for the other answers: none to the next keeps
// every tab as it was.
void tst_saveoffer::quitWithoutAnswerKeepsTheWindow()
{
    QFETCH(QString, gesture);
    QDir(journal::discarded_root()).removeRecursively();
    auto w = startWindow();
    for (const char *text : {"premier", "second"}) {
        action(*w, "actionNouvelle_Onglet")->trigger();
        type(currentEditor(*w), text);
    }
    tabs(*w)->setCurrentIndex(0);
    DialogAnswerer answers;
    giveNoAnswer(answers.button(QMessageBox::No), gesture);
    QVERIFY(!w->close());
    for (const DialogAnswerer::Seen &asked : answers.seen().mid(0, 2))
        QVERIFY(asked.overShownWindow && asked.text == question);
    QCOMPARE(answers.seen().at(1).informative, QStringLiteral("Nouvelle Onglet (onglet 3)"));
    QVERIFY(w->isVisible() && QDir(journal::discarded_root()).isEmpty());
    QCOMPARE(tabs(*w)->currentIndex(), 0);
    QCOMPARE(tabs(*w)->count(), 3);
    QCOMPARE(editorAt(*w, 1)->toPlainText() + editorAt(*w, 2)->toPlainText(), "premiersecond");
    QVERIFY(editorAt(*w, 1)->document()->isModified() && editorAt(*w, 2)->document()->isModified());
    // Answered this time: both "Non" take effect, and the window goes.
    answers.button(QMessageBox::No).button(QMessageBox::No);
    QVERIFY(w->close());
    QCOMPARE(QDir(journal::discarded_root()).entryList(QDir::Files).size(), 2);
    QCOMPARE(answers.unexpected(), 0);
}

FEUILLON_TEST_MAIN(tst_saveoffer)
#include "tst_saveoffer.moc"
