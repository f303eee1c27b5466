// Opening and saving files through the real menus and dialogs.
#include "reliability.h"
#include "testmain.h"

#include "dialogs.h"
#include "faults.h"
#include "files.h"
#include "window.h"

#include "documents/bigfile.h"
#include "documents/journal.h"
#include "documents/textfile.h"

#include <QAction>
#include <QDir>
#include <QDomDocument>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStringEncoder>
#include <QTabBar>
#include <QTemporaryDir>
#include <QUrl>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace feuillon_test;

class tst_files : public QObject
{
    Q_OBJECT

private slots:
    void readableArgumentReplacesAboutPage();
    void missingArgumentOpensEmptyDocumentWithThatPath();
    void unreadableArgumentShowsErrorAndKeepsAboutPage_data();
    void unreadableArgumentShowsErrorAndKeepsAboutPage();
    void droppedFilesOpenInTabsOfTheirOwn_data();
    void droppedFilesOpenInTabsOfTheirOwn();

    void openLoadsFileAndAdoptsItsPath();
    void openCancelledChangesNothing();
    void openInNewTabCancelledLeavesEmptyTab();
    void openUnreadableFileKeepsDocumentAndPath();
    void filesKeepTheirEncodingAndLineEnds_data();
    void filesKeepTheirEncodingAndLineEnds();
    void formShownIsThatOfCurrentTab();
    void characterOutsideEncodingAsksForUtf8_data();
    void characterOutsideEncodingAsksForUtf8();
    void markupIsLoadedAsPlainText();
    void openThenCloseWithoutEditLeavesFileByteIdentical();

    void saveAsWritesUtf8WithoutByteOrderMark();
    void noBreakSpacesSurviveSave();
    void saveWithoutPathOpensSaveAsAndCancelChangesNothing();
    void saveWithPathWritesWithoutDialog();
    void failedSaveAsKeepsOldPathAndText_data();
    void failedSaveAsKeepsOldPathAndText();
    void saveRefusesTargetThatIsNoLongerRegularFile_data();
    void saveRefusesTargetThatIsNoLongerRegularFile();
    void invalidUtf8WarnsAndAsksBeforeReplacing();
    void undecodableFilesAreNamedWithTheirEncoding();

    void bigFileShowsAtOnceAndEndsAsALoadInOneCall_data();
    void bigFileShowsAtOnceAndEndsAsALoadInOneCall();
    void nothingWritesABigFileWhileItLoads_data();
    void nothingWritesABigFileWhileItLoads();
    void fileTooBigForMemoryIsNotOpenedBlindly_data();
    void fileTooBigForMemoryIsNotOpenedBlindly();

    void recentMenuListsFilesOpenedAndSavedAcrossARestart();
    void desktopRecentListGainsTheFileAndKeepsOtherEntries();
};

static const QString errorTitle = QStringLiteral("Erreur");
static const QString writeError = QStringLiteral("Imposible d'enregistrer le fichier !!!");

void tst_files::readableArgumentReplacesAboutPage()
{
    QTemporaryDir dir;
    makeFile(dir, "notes.txt", "bonjour\n");
    // The title shows the argument as typed, not a cleaned-up path.
    const QString typed = dir.path() + "/./notes.txt";
    auto w = startWindow({"feuillon", typed});
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("notes.txt"));
    QCOMPARE(w->windowTitle(), "Feuillon | " + typed);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("bonjour\n"));
    QVERIFY(!currentEditor(*w)->document()->isModified());
}

void tst_files::missingArgumentOpensEmptyDocumentWithThatPath()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("nouveau.txt");
    auto w = startWindow({"feuillon", path});
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("nouveau.txt"));
    QCOMPARE(w->windowTitle(), "Feuillon | " + path);
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    QVERIFY(!QFile::exists(path));
    type(currentEditor(*w), "premier jet");
    DialogAnswerer none;
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), QByteArray("premier jet"));
    QCOMPARE(none.unexpected(), 0);
}

void tst_files::unreadableArgumentShowsErrorAndKeepsAboutPage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << "folder";
    QTest::newRow("fifo without writer") << "fifo";
    QTest::newRow("device") << "device";
}

void tst_files::unreadableArgumentShowsErrorAndKeepsAboutPage()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath("x");
    if (kind == "folder")
        QVERIFY(QDir().mkpath(path));
    if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (kind == "device")
        path = QStringLiteral("/dev/zero");
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    auto w = startWindow({"feuillon", path});
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().first().title, errorTitle);
    QCOMPARE(answers.seen().first().text, QStringLiteral("Impossible de lire le fichier !!!"));
    QVERIFY(answers.seen().first().informative.contains(
        QStringLiteral("ne désigne pas un fichier ordinaire")));
    QVERIFY(answers.seen().first().informative.contains(path));
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("A Propos de 1.4.9"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    QVERIFY(currentEditor(*w)->accessibleName().isEmpty());
    QCOMPARE(answers.unexpected(), 0);
}

static void drop(QWidget *target, const QMimeData &data)
{
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
}

void tst_files::droppedFilesOpenInTabsOfTheirOwn_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("files");
    QTest::addColumn<bool>("text");
    QTest::newRow("files on the editor") << "editor" << true << false;
    QTest::newRow("files with their addresses as text, on the editor") << "editor" << true << true;
    QTest::newRow("files on the window") << "window" << true << false;
    QTest::newRow("text on the editor") << "editor" << false << true;
}

// A drop of files opens each after the current tab; a drop of text is
// typed in; a file's address is never inserted as text.
void tst_files::droppedFilesOpenInTabsOfTheirOwn()
{
    QFETCH(QString, target);
    QFETCH(bool, files);
    QFETCH(bool, text);
    QTemporaryDir dir;
    const QString one = makeFile(dir, "un.txt", "premier");
    const QString two = makeFile(dir, "deux.txt", "second");
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    QMimeData data;
    if (files)
        data.setUrls({QUrl::fromLocalFile(one), QUrl::fromLocalFile(two)});
    if (text)
        data.setText(files ? one + "\n" + two : QStringLiteral("glissé"));
    DialogAnswerer none;
    drop(target == "editor" ? currentEditor(*w)->viewport() : static_cast<QWidget *>(w.get()),
         data);
    QCOMPARE(none.unexpected(), 0);
    QCOMPARE(editorAt(*w, 1)->toPlainText(), files ? QString() : QStringLiteral("glissé"));
    if (!files) {
        QCOMPARE(tabs(*w)->count(), 2);
        markAllSaved(*w);
        return;
    }
    QCOMPARE(tabs(*w)->count(), 4);
    QCOMPARE(tabs(*w)->tabText(2), QStringLiteral("un.txt"));
    QCOMPARE(editorAt(*w, 2)->toPlainText(), QStringLiteral("premier"));
    QCOMPARE(editorAt(*w, 3)->accessibleName(), two);
    QCOMPARE(tabs(*w)->currentIndex(), 3);
    QCOMPARE(w->windowTitle(), "Feuillon | " + two);
}

void tst_files::openLoadsFileAndAdoptsItsPath()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "lettre.md", "Cher ami,\n");
    auto w = startWindow();
    DialogAnswerer answers;
    answers.file(path);
    action(*w, "ac_open")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().first().title, QStringLiteral("Ouvrir un fichier"));
    QCOMPARE(answers.seen().first().text, QStringLiteral("Tout les fichier (*.*)"));
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("lettre.md"));
    QCOMPARE(w->windowTitle(), "Feuillon | " + path);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("Cher ami,\n"));
    QCOMPARE(currentEditor(*w)->accessibleName(), path);
    QVERIFY(!currentEditor(*w)->document()->isModified());
    QCOMPARE(answers.unexpected(), 0);
}

void tst_files::openCancelledChangesNothing()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "a.txt", "garder");
    auto w = startWindow({"feuillon", path});
    DialogAnswerer answers;
    answers.file("");
    action(*w, "ac_open")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("garder"));
    QCOMPARE(w->windowTitle(), "Feuillon | " + path);
    QCOMPARE(answers.unexpected(), 0);
}

void tst_files::openInNewTabCancelledLeavesEmptyTab()
{
    auto w = startWindow();
    DialogAnswerer answers;
    answers.file("");
    action(*w, "actionOuvrir_dans_un_Nouvelle_Onglet")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(tabs(*w)->count(), 2);
    QCOMPARE(tabs(*w)->currentIndex(), 1);
    QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("Nouvelle Onglet"));
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    QCOMPARE(answers.unexpected(), 0);
}

void tst_files::openUnreadableFileKeepsDocumentAndPath()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "a.txt", "texte");
    const QString fifo = dir.filePath("tube");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto w = startWindow({"feuillon", path});
    DialogAnswerer answers;
    answers.file(fifo).button(QMessageBox::Ok);
    action(*w, "ac_open")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().at(1).title, errorTitle);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("texte"));
    QCOMPARE(currentEditor(*w)->accessibleName(), path);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("a.txt"));
    QCOMPARE(w->windowTitle(), "Feuillon | " + path);
    QCOMPARE(answers.unexpected(), 0);
}

static QLabel *formLabel(fp &window)
{
    return window.findChild<QLabel *>(QStringLiteral("form_label"));
}

void tst_files::filesKeepTheirEncodingAndLineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("form");
    QTest::addColumn<QByteArray>("edited"); // after "x" typed at the start and a save
    const QString letter =
        QStringLiteral("Cher ami,\n« Œuvre » du cœur : 5 €, l’été.\nBien à vous\n");
    const struct {
        const char *name, *codec, *mark;
    } encodings[] = {{"UTF-8", "UTF-8", ""},
                     {"UTF-8 avec BOM", "UTF-8", "\xEF\xBB\xBF"},
                     {"Windows-1252", "windows-1252", ""},
                     {"UTF-16 LE", "UTF-16LE", "\xFF\xFE"},
                     {"UTF-16 BE", "UTF-16BE", "\xFE\xFF"}};
    for (const auto &e : encodings)
        for (const char *ends : {"LF", "CRLF", "CR"}) {
            QString text = letter;
            text.replace("\n", QString(ends).replace("CR", "\r").replace("LF", "\n"));
            const auto bytes = [&](const QString &t) {
                return e.mark + QByteArray(QStringEncoder(e.codec).encode(t));
            };
            QTest::addRow("%s, %s", e.name, ends)
                << bytes(text) << letter << QStringLiteral("%1 · %2").arg(e.name, ends)
                << bytes("x" + text);
        }
    QTest::newRow("mixed: the most frequent end for all")
        << QByteArray("un\r\ndeux\rtrois\r\n") << QStringLiteral("un\ndeux\ntrois\n")
        << "UTF-8 · CRLF" << QByteArray("xun\r\ndeux\r\ntrois\r\n");
}

// Shown as text without a question, named in the status bar, and written
// back in the same form: only the typed letter differs.
void tst_files::filesKeepTheirEncodingAndLineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QString, form);
    QFETCH(QByteArray, edited);
    QTemporaryDir dir;
    const QString path = makeFile(dir, "lettre.txt", bytes);
    DialogAnswerer none;
    auto w = startWindow({"feuillon", path});
    QCOMPARE(currentEditor(*w)->toPlainText(), shown);
    QCOMPARE(formLabel(*w)->text(), form);
    currentEditor(*w)->moveCursor(QTextCursor::Start);
    type(currentEditor(*w), "x");
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), edited);
    QCOMPARE(formLabel(*w)->text(), form);
    QCOMPARE(none.unexpected(), 0);
}

void tst_files::formShownIsThatOfCurrentTab()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "w.txt", "\xE9t\xE9\r\n");
    auto w = startWindow({"feuillon", path});
    QCOMPARE(formLabel(*w)->text(), QStringLiteral("Windows-1252 · CRLF"));
    // At the right of the status bar, the status text unchanged at the left.
    QCOMPARE(formLabel(*w)->parentWidget(), w->statusBar());
    QCOMPARE(w->findChild<QLabel *>("status_label")->text(),
             QStringLiteral("Zoom: 100% , 4 Caractère , 2 Ligne"));
    action(*w, "actionNouvelle_Onglet")->trigger();
    QCOMPARE(formLabel(*w)->text(), QStringLiteral("UTF-8 · LF"));
    tabs(*w)->setCurrentIndex(0);
    QCOMPARE(formLabel(*w)->text(), QStringLiteral("Windows-1252 · CRLF"));
}

void tst_files::characterOutsideEncodingAsksForUtf8_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::newRow("Enregistrer en UTF-8") << "yes";
    QTest::newRow("Annuler") << "no";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close button") << "close";
}

void tst_files::characterOutsideEncodingAsksForUtf8()
{
    QFETCH(QString, gesture);
    QTemporaryDir dir;
    const QByteArray bytes("c\x9Cur\r\n");
    const QString path = makeFile(dir, "w.txt", bytes);
    auto w = startWindow({"feuillon", path});
    currentEditor(*w)->moveCursor(QTextCursor::End);
    type(currentEditor(*w), "→");
    DialogAnswerer answers;
    if (gesture == "yes" || gesture == "no")
        answers.button(gesture == "yes" ? QMessageBox::Yes : QMessageBox::No);
    else
        gesture == "escape" ? answers.escape() : answers.closeWindow();
    action(*w, "ac_enr")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().first().text,
             QStringLiteral("Le caractère «\u00A0→\u00A0» (U+2192) ne peut pas être enregistré en "
                            "Windows-1252. Enregistrer le fichier en UTF-8 à la place\u00A0?"));
    const bool yes = gesture == "yes";
    QCOMPARE(fileBytes(path), yes ? QStringLiteral("cœur\r\n→").toUtf8() : bytes);
    QCOMPARE(currentEditor(*w)->document()->isModified(), !yes);
    QCOMPARE(formLabel(*w)->text(),
             yes ? QStringLiteral("UTF-8 · CRLF") : QStringLiteral("Windows-1252 · CRLF"));
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
}

void tst_files::markupIsLoadedAsPlainText()
{
    QTemporaryDir dir;
    const QByteArray html("<html><body><b>gras</b> &amp; <i>fin</i></body></html>\n");
    const QString path = makeFile(dir, "page.html", html);
    auto w = startWindow({"feuillon", path});
    QCOMPARE(currentEditor(*w)->toPlainText(), QString::fromUtf8(html));
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), html);
}

void tst_files::openThenCloseWithoutEditLeavesFileByteIdentical()
{
    QTemporaryDir dir;
    // Everything a rewrite would change: byte-order mark, CRLF, lone CR.
    const QByteArray bytes("\xEF\xBB\xBF"
                           "ligne\r\nautre\rfin");
    const QString path = makeFile(dir, "intact.txt", bytes);
    const QDateTime before = QFileInfo(path).lastModified();
    auto w = startWindow();
    DialogAnswerer answers;
    answers.file(path);
    action(*w, "ac_open")->trigger();
    tabs(*w)->tabCloseRequested(0);
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("A Propos de 1.4.9"));
    w.reset();
    QCOMPARE(fileBytes(path), bytes);
    QCOMPARE(QFileInfo(path).lastModified(), before);
}

void tst_files::saveAsWritesUtf8WithoutByteOrderMark()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("été.txt");
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "Été\nçà");
    DialogAnswerer answers;
    answers.file(path);
    action(*w, "ac_enrs")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().first().title, QStringLiteral("Enregistrer un fichier"));
    QCOMPARE(answers.seen().first().text, QStringLiteral("Fichier (*.*)"));
    QCOMPARE(fileBytes(path), QStringLiteral("Été\nçà").toUtf8());
    QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("été.txt"));
    QCOMPARE(w->windowTitle(), "Feuillon | " + path);
    QVERIFY(!currentEditor(*w)->document()->isModified());
    QCOMPARE(answers.unexpected(), 0);
}

void tst_files::noBreakSpacesSurviveSave()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("typo.txt");
    auto w = startWindow({"feuillon", path});
    const QString text = QStringLiteral("Quoi\u00A0? «\u00A0Oui\u00A0»\u202F!\nfin");
    type(currentEditor(*w), text);
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), text.toUtf8());
}

void tst_files::saveWithoutPathOpensSaveAsAndCancelChangesNothing()
{
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "brouillon");
    DialogAnswerer answers;
    answers.file("");
    action(*w, "ac_enr")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().first().text, QStringLiteral("Fichier (*.*)"));
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("brouillon"));
    QVERIFY(currentEditor(*w)->document()->isModified());
    QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("Nouvelle Onglet"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    markAllSaved(*w);
}

void tst_files::saveWithPathWritesWithoutDialog()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "b.txt", "avant");
    auto w = startWindow({"feuillon", path});
    currentEditor(*w)->moveCursor(QTextCursor::End);
    type(currentEditor(*w), " et après");
    DialogAnswerer none;
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), QByteArray("avant et après"));
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("b.txt"));
    QVERIFY(!currentEditor(*w)->document()->isModified());
    QCOMPARE(none.unexpected(), 0);
}

void tst_files::failedSaveAsKeepsOldPathAndText_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause");
    const QString notAFile = QStringLiteral("ne désigne pas un fichier ordinaire");
    QTest::newRow("parent is a regular file") << "parent"
                                              << "n'existe pas ou n'est pas un dossier";
    QTest::newRow("device /dev/full") << "device" << notAFile;
    QTest::newRow("fifo") << "fifo" << notAFile;
    QTest::newRow("folder the user may not write") << "read-only"
                                                   << "pas les droits";
}

void tst_files::failedSaveAsKeepsOldPathAndText()
{
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    const QString path = makeFile(dir, "garde.txt", "ancien");
    QString target = dir.filePath("tube");
    if (kind == "parent")
        target = path + "/dessous.txt";
    if (kind == "device")
        target = QStringLiteral("/dev/full");
    if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    if (kind == "read-only") {
        // Root may write anywhere: the save runs as nobody, in a folder of root's.
        QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7755)));
        target = dir.filePath("à-root/lettre.txt");
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
    }
    auto w = startWindow({"feuillon", path});
    type(currentEditor(*w), "nouveau ");
    DialogAnswerer answers;
    answers.file(target);
    // The save dialog asks before replacing something that exists.
    if (kind != "parent" && kind != "read-only")
        answers.button(QMessageBox::Yes);
    answers.button(QMessageBox::Ok);
    {
        std::unique_ptr<AsNobody> nobody;
        if (kind == "read-only" && !(nobody = std::make_unique<AsNobody>())->ok)
            QSKIP("cannot act as the user nobody here");
        action(*w, "ac_enrs")->trigger();
    }
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().last().title, errorTitle);
    QCOMPARE(answers.seen().last().text, writeError);
    // Why, in French, and which file.
    QVERIFY2(answers.seen().last().informative.contains(cause),
             qPrintable(answers.seen().last().informative));
    QVERIFY(answers.seen().last().informative.contains(target));
    QCOMPARE(w->windowTitle(), "Feuillon | " + path);
    QCOMPARE(currentEditor(*w)->accessibleName(), path);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("garde.txt"));
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("nouveau ancien"));
    QVERIFY(currentEditor(*w)->document()->isModified());
    QCOMPARE(fileBytes(path), QByteArray("ancien"));
    if (kind != "parent")
        QVERIFY(!QFileInfo(target).isFile());
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
    reliability(QStringLiteral("save as onto a bad target: %1").arg(QTest::currentDataTag()), 1,
                QStringLiteral("\"Erreur\" shown, target left as it was, document and old path "
                               "kept with its changes"));
}

void tst_files::saveRefusesTargetThatIsNoLongerRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << "folder";
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("device node") << "device";
    QTest::newRow("its folder deleted") << "gone";
}

void tst_files::saveRefusesTargetThatIsNoLongerRegularFile()
{
    QFETCH(QString, kind);
    QTemporaryDir top;
    QVERIFY(QDir(top.path()).mkdir("d"));
    const QString path = top.filePath("d/c.txt");
    QVERIFY(writeFileBytes(path, "texte"));
    auto w = startWindow({"feuillon", path});
    type(currentEditor(*w), "+");
    // Another program puts something else in the file's place.
    QVERIFY(QFile::remove(path));
    const QByteArray name = QFile::encodeName(path);
    if (kind == "folder")
        QVERIFY(QDir().mkpath(path));
    if (kind == "fifo")
        QCOMPARE(mkfifo(name.constData(), 0600), 0);
    // The same device as /dev/full.
    if (kind == "device" && mknod(name.constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        QSKIP("device nodes can be made only by root");
    if (kind == "gone")
        QVERIFY(QDir(top.filePath("d")).removeRecursively());
    DialogAnswerer answers;
    // A file gone is first told, and written back only if the user says so.
    if (kind == "gone")
        answers.button(QMessageBox::Yes);
    answers.button(QMessageBox::Ok);
    action(*w, "ac_enr")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().last().title, errorTitle);
    QVERIFY(!QFileInfo(path).isFile());
    QCOMPARE(QFileInfo(path).exists(), kind != "gone");
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("+texte"));
    QVERIFY(currentEditor(*w)->document()->isModified());
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
    reliability(QStringLiteral("save onto a path that became: %1").arg(QTest::currentDataTag()), 1,
                QStringLiteral("\"Erreur\" shown, nothing replaced, document kept with its "
                               "changes"));
}

void tst_files::invalidUtf8WarnsAndAsksBeforeReplacing()
{
    QTemporaryDir dir;
    // A NUL byte and bytes that are not UTF-8: no encoding reads them.
    const QByteArray latin1("caf\xE9 cr\xE8me\0", 11);
    const QString path = makeFile(dir, "binaire.txt", latin1);
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    auto w = startWindow({"feuillon", path});
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().first().title, QStringLiteral("Attention"));
    QVERIFY(answers.seen().first().text.contains("UTF-8"));
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("caf\uFFFD cr\uFFFDme") + QChar(0));

    type(currentEditor(*w), "!");
    answers.button(QMessageBox::No);
    action(*w, "ac_enr")->trigger();
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().at(1).title, QStringLiteral("Enregistrer le fichier"));
    QVERIFY(answers.seen().at(1).text.contains(QStringLiteral("remplacés")));
    // Return alone must not change the file's bytes.
    QCOMPARE(answers.seen().at(1).defaultButton, QStringLiteral("&No"));
    QCOMPARE(fileBytes(path), latin1);

    answers.button(QMessageBox::Yes);
    action(*w, "ac_enr")->trigger();
    QVERIFY(answers.waitDone());
    QCOMPARE(fileBytes(path), QByteArray("!caf\uFFFD cr\uFFFDme\0", 16));
    // Once written, the text is ordinary text again: no more questions.
    type(currentEditor(*w), "?");
    action(*w, "ac_enr")->trigger();
    QCOMPARE(fileBytes(path), QByteArray("!?caf\uFFFD cr\uFFFDme\0", 17));
    QCOMPARE(answers.unexpected(), 0);
}

// Two damaged files opened at once: each box names its file and the
// encoding it was read in.
void tst_files::undecodableFilesAreNamedWithTheirEncoding()
{
    QTemporaryDir dir;
    const QString latin = makeFile(dir, "latin.txt", QByteArray("caf\xE9\0", 5));
    // A mark, then a high surrogate that nothing follows.
    const QString utf16 = makeFile(dir, "utf16.txt",
                                   QByteArray("\xff\xfe"
                                              "a\0\0\xd8",
                                              6));
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok).button(QMessageBox::Ok);
    auto w = startWindow({"feuillon", latin, utf16});
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().size(), 2);
    QVERIFY(answers.seen().at(0).text.contains("texte UTF-8 valide"));
    QVERIFY(answers.seen().at(0).informative.contains(latin));
    QVERIFY(answers.seen().at(1).text.contains("texte UTF-16 LE valide"));
    QVERIFY(answers.seen().at(1).informative.contains(utf16));
    QCOMPARE(answers.unexpected(), 0);
}

namespace {
// About 3 MB of lines, with this inserted at `at` bytes from the start.
QByteArray bigFile(const QByteArray &line, const QByteArray &inserted = {}, qsizetype at = 0)
{
    QByteArray bytes;
    bytes.reserve(3 << 20);
    while (bytes.size() < (3 << 20))
        bytes += line;
    return bytes.insert(at, inserted);
}

QLabel *loadLabel(fp &w)
{
    return w.findChild<QLabel *>(QStringLiteral("load_label"));
}
} // namespace

void tst_files::bigFileShowsAtOnceAndEndsAsALoadInOneCall_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("form");
    const QByteArray line =
        "Le chat dort sur la fen\xC3\xAAtre, \xC3\xA0 c\xC3\xB4t\xC3\xA9 du pot.\n";
    QTest::newRow("UTF-8") << bigFile(line) << "UTF-8 · LF";
    QByteArray crlf = line;
    crlf.replace("\n", "\r\n");
    QTest::newRow("UTF-8 with mark, CRLF")
        << bigFile(crlf, "\xEF\xBB\xBF") << "UTF-8 avec BOM · CRLF";
    // The first lines are valid UTF-8; one byte near the end says otherwise.
    QTest::newRow("Windows-1252 told late")
        << bigFile("Le chat dort sur la fenetre.\n", "\xE9t\xE9\n", (3 << 20) - 100)
        << "Windows-1252 · LF";
}

// The beginning shows at once, read-only and with the progress told; once
// in, the document is what reading the file in one call gives: unmodified,
// no undo step, the file's text and form.
void tst_files::bigFileShowsAtOnceAndEndsAsALoadInOneCall()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, form);
    QTemporaryDir dir;
    const QString path = makeFile(dir, "grand.txt", bytes);
    auto w = startWindow();
    DialogAnswerer answers;
    answers.file(path);
    action(*w, "ac_open")->trigger();
    QTextEdit *editor = currentEditor(*w);
    QVERIFY(editor->isReadOnly());
    QVERIFY(editor->document()->characterCount() > 1000);
    QVERIFY(editor->document()->characterCount() < bytes.size() / 2);
    QVERIFY(loadLabel(*w) && loadLabel(*w)->isVisible());
    QVERIFY(loadLabel(*w)->text().startsWith(QStringLiteral("Chargement\u2026 ")));
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("grand.txt"));
    QSignalSpy told(w->statusBar(), &QStatusBar::messageChanged);
    type(editor, QStringLiteral("perdu"));
    // Refused keys are not dropped silently: the first one says why.
    QCOMPARE(told.size(), 1);
    QVERIFY(told.first().first().toString().contains(QStringLiteral("lecture seule")));
    // Moving through the first lines while the rest is read: the place stays.
    const auto topLine = [editor] { return editor->cursorForPosition(QPoint(4, 4)).blockNumber(); };
    for (int i = 0; i < 60; ++i)
        QTest::keyClick(editor, Qt::Key_Down);
    const int at = editor->textCursor().position();
    const int top = topLine();
    QVERIFY(top > 0);

    QVERIFY(waitLoaded(editor));
    bool undecodable = false;
    QCOMPARE(editor->toPlainText(), textfile::decode(bytes, &undecodable));
    QVERIFY(!editor->document()->isModified());
    QCOMPARE(editor->document()->availableUndoSteps(), 0);
    QVERIFY(!loadLabel(*w)->isVisible());
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("form_label"))->text(), form);
    QCOMPARE(editor->textCursor().position(), at);
    QCOMPARE(topLine(), top);
    editor->moveCursor(QTextCursor::Start);
    type(editor, QStringLiteral("X"));
    QVERIFY(editor->document()->isModified());
    // The tab's mark and the journal follow the document the load ended with.
    QCOMPARE(tabs(*w)->tabToolTip(0), QStringLiteral("Modifications non enregistrées"));
    QVERIFY(QTest::qWaitFor(
        [] { return journaledTexts().value(0).startsWith(QStringLiteral("XLe chat")); }, 10000));
    action(*w, "ac_can")->trigger();
    QVERIFY(!editor->document()->isModified());
    QCOMPARE(editor->document()->availableUndoSteps(), 0);
    QCOMPARE(answers.unexpected(), 0);
}

void tst_files::nothingWritesABigFileWhileItLoads_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<bool>("whileReading"); // else while its document is built
    for (const char *gesture : {"ac_enr", "ac_enrs", "ac_new", "ac_open", "close tab", "ac_quit"}) {
        QTest::addRow("%s, while read", gesture) << gesture << true;
        QTest::addRow("%s, half built", gesture) << gesture << false;
    }
}

// Only part of the file is in the editor: no save, save offer or end of run
// may write it, and closing or quitting does not wait for the rest.
void tst_files::nothingWritesABigFileWhileItLoads()
{
    QFETCH(QString, gesture);
    QFETCH(bool, whileReading);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grand.txt"));
    // Big enough for the gesture to come well before the end.
    const QByteArray hash = writeLargeFile(path, (whileReading ? 12 : 24) << 20);
    const QDateTime before = QFileInfo(path).lastModified();
    auto w = startWindow({"feuillon", path});
    QTextEdit *editor = currentEditor(*w);
    QVERIFY(editor->isReadOnly());
    if (!whileReading)
        QTRY_VERIFY_WITH_TIMEOUT(!loadLabel(*w)->text().endsWith(QStringLiteral(" 0 %")), 30000);
    QVERIFY(editor->isReadOnly());

    // Another file read into the tab takes the place of the load.
    const QString small = makeFile(dir, "petit.txt", "petit\n");
    DialogAnswerer answers;
    if (gesture == QLatin1String("ac_open"))
        answers.file(small);
    if (gesture == QLatin1String("close tab"))
        emit tabs(*w)->tabCloseRequested(0);
    else
        action(*w, gesture.toLatin1().constData())->trigger();
    if (gesture == QLatin1String("ac_enr") || gesture == QLatin1String("ac_enrs")) {
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("pas encore")));
        QVERIFY(waitLoaded(editor));
    } else if (gesture != QLatin1String("ac_quit")) {
        // The tab was emptied or closed at once; no rest comes in later.
        const QString left = currentEditor(*w)->toPlainText();
        QVERIFY2(left.isEmpty() || left == QLatin1String("petit\n") ||
                     tabs(*w)->tabText(0).startsWith(QStringLiteral("A Propos")),
                 qPrintable(left.left(80)));
        QVERIFY(!currentEditor(*w)->isReadOnly());
        QTest::qWait(200);
        QVERIFY(currentEditor(*w)->document()->characterCount() < 10000);
    }
    w.reset();
    QCOMPARE(answers.seen().size(), gesture == QLatin1String("ac_open") ? 1 : 0);
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(fileHash(path), hash);
    QCOMPARE(QFileInfo(path).lastModified(), before);
    QVERIFY(journal::find_orphans().folders.isEmpty());
}

void tst_files::fileTooBigForMemoryIsNotOpenedBlindly_data()
{
    QTest::addColumn<qint64>("size");
    QTest::newRow("1.5 GiB") << (qint64(3) << 29);
    QTest::newRow("3 GiB") << (qint64(3) << 30);
}

// A sparse file costs no disk. Whatever the answer, the open documents stay
// as they were and nothing of the big file is read.
void tst_files::fileTooBigForMemoryIsNotOpenedBlindly()
{
    QFETCH(qint64, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("énorme.log"));
    {
        QFile sparse(path);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(size));
    }
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), QStringLiteral("brouillon"));
    const bigfile::Room room = bigfile::room_for(size, bigfile::memory());
    QVERIFY(room != bigfile::Room::Enough);
    DialogAnswerer answers;
    if (room == bigfile::Room::Ask)
        answers.file(path).escape().file(path).button(QMessageBox::No);
    else
        answers.file(path).button(QMessageBox::Ok);
    action(*w, "actionOuvrir_dans_un_Nouvelle_Onglet")->trigger();
    if (room == bigfile::Room::Ask) // no answer is no
        action(*w, "actionOuvrir_dans_un_Nouvelle_Onglet")->trigger();
    QCOMPARE(answers.pending(), 0);
    const DialogAnswerer::Seen box = answers.seen().at(1);
    QCOMPARE(box.title, room == bigfile::Room::Ask ? QStringLiteral("Fichier volumineux")
                                                   : QStringLiteral("Erreur"));
    QVERIFY2(box.text.contains(QStringLiteral("énorme.log")), qPrintable(box.text));
    QVERIFY2(box.text.contains(bigfile::size_text(size)) ||
                 box.informative.contains(bigfile::size_text(size)),
             qPrintable(box.text + box.informative));
    for (int i = 0; i < tabs(*w)->count(); ++i)
        QVERIFY(tabs(*w)->tabText(i) != QStringLiteral("énorme.log"));
    QCOMPARE(editorAt(*w, 1)->toPlainText(), QStringLiteral("brouillon"));
    QVERIFY(editorAt(*w, 1)->document()->isModified());
    QCOMPARE(answers.unexpected(), 0);
    markAllSaved(*w);
}

// The menu's entries as it shows them when it opens, separators left out.
void tst_files::recentMenuListsFilesOpenedAndSavedAcrossARestart()
{
    QTemporaryDir dir;
    const QString a = makeFile(dir, "a.txt", "A"), b = makeFile(dir, "b.txt", "B");
    const QString c = dir.filePath("c & d.txt");
    auto w = startWindow({"feuillon", a});
    DialogAnswerer answers;
    answers.file(b).file(c);
    action(*w, "actionOuvrir_dans_un_Nouvelle_Onglet")->trigger();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "C");
    action(*w, "ac_enrs")->trigger();
    const auto recent = [&w] { return menuEntries(w->findChild<QMenu *>("m_recent")); };
    QCOMPARE(recent(), (QStringList{"&1  " + dir.filePath("c && d.txt"), "&2  " + b, "&3  " + a,
                                    "--", "Vider la liste"}));
    // A file gone is left out; the list outlives the run. The run ends first:
    // an open file deleted under it would rightly be offered for saving.
    w.reset();
    QVERIFY(QFile::remove(b));
    w = startWindow();
    QCOMPARE(recent().mid(1), (QStringList{"&2  " + a, "--", "Vider la liste"}));
    w->findChild<QMenu *>(QStringLiteral("m_recent"))->actions().at(1)->trigger();
    QCOMPARE(w->windowTitle(), "Feuillon | " + a);
    action(*w, "ac_recent_clear")->trigger();
    QCOMPARE(recent(), (QStringList{"Aucun fichier récent", "--", "Vider la liste"}));
    QCOMPARE(answers.unexpected(), 0);
}

// Another program's entry stays as it was; Feuillon's has the file's URI, its
// type, and counts the runs that used it. The namespaces are checked once.
void tst_files::desktopRecentListGainsTheFileAndKeepsOtherEntries()
{
    const QString list = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/recently-used.xbel");
    QVERIFY(writeFileBytes(
        list,
        "<?xml version=\"1.0\"?><xbel version=\"1.0\" xmlns:bookmark=\"http://www.freedesktop"
        ".org/standards/desktop-bookmarks\"><bookmark href=\"file:///srv/a.png\"><info><metadata"
        " owner=\"http://freedesktop.org\"><bookmark:applications><bookmark:application "
        "name=\"Vue\" exec=\"&apos;vue %u&apos;\" count=\"3\"/></bookmark:applications>"
        "</metadata></info></bookmark></xbel>"));
    QTemporaryDir dir;
    const QString path = makeFile(dir, "lettre d'été.txt", "bonjour");
    for (const QString run : {"1", "2"}) {
        startWindow({"feuillon", path}); // the list is written at the latest when it goes
        QDomDocument doc;
        QVERIFY(QDomDocument().setContent(fileBytes(list), true));
        QVERIFY(doc.setContent(fileBytes(list)));
        const QDomNodeList apps = doc.elementsByTagName("bookmark:application");
        QCOMPARE(apps.size(), 2);
        const QDomElement other = apps.at(0).toElement(), mine = apps.at(1).toElement();
        QCOMPARE(other.attribute("exec") + other.attribute("count"), "'vue %u'3");
        QCOMPARE(mine.attribute("name") + mine.attribute("count"), "Feuillon" + run);
        const QDomElement entry = doc.elementsByTagName("bookmark").at(1).toElement();
        QCOMPARE(entry.attribute("href"), QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
        QCOMPARE(doc.elementsByTagName("mime:mime-type").at(0).toElement().attribute("type"),
                 QStringLiteral("text/plain"));
    }
}

FEUILLON_TEST_MAIN(tst_files)
#include "tst_files.moc"
