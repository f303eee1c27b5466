// Editor tabs: where new tabs go, closing them, the window title that
// follows the current document, and the edit entries of the menu.
#include "dialogs.h"
#include "files.h"
#include "testmain.h"
#include "window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>

using namespace feuillon_test;

class tst_tabs : public QObject
{
    Q_OBJECT

private slots:
    void newTabGoesRightAfterTheCurrentOne();
    void closingTheOnlyTabLeavesAFreshAboutPage();
    void closingCurrentFirstTabPutsAboutPageInItsPlace();
    void closingALaterCurrentTabJustRemovesIt();
    void closingABackgroundTabLeavesTheCurrentDocumentAlone();
    void titleFollowsTheCurrentTabsPath();
    void resetDocForgetsThePathForGood();
    void newFileEmptiesTheTabAndNamesIt();
    void editActionsActOnTheCurrentTab_data();
    void editActionsActOnTheCurrentTab();
    void clearAllCanBeUndone();
    void movingATabKeepsTitleAndPath();
    void pastedRichTextArrivesAsPlainText();
    void modifiedTabCarriesAMark();
};

// Three tabs: the about page and two empty ones named "Nouvelle Onglet".
static std::unique_ptr<fp> windowWithThreeTabs()
{
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    action(*w, "actionNouvelle_Onglet")->trigger();
    return w;
}

void tst_tabs::newTabGoesRightAfterTheCurrentOne()
{
    auto w = windowWithThreeTabs();
    editorAt(*w, 1)->setPlainText(QStringLiteral("un"));
    editorAt(*w, 2)->setPlainText(QStringLiteral("deux"));
    tabs(*w)->setCurrentIndex(0);
    action(*w, "actionNouvelle_Onglet")->trigger();
    QCOMPARE(tabs(*w)->count(), 4);
    QCOMPARE(tabs(*w)->currentIndex(), 1);
    QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("Nouvelle Onglet"));
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    QVERIFY(editorAt(*w, 0)->toPlainText().startsWith(QStringLiteral("A Propos de Feuillon")));
    QCOMPARE(editorAt(*w, 2)->toPlainText(), QStringLiteral("un"));
    QCOMPARE(editorAt(*w, 3)->toPlainText(), QStringLiteral("deux"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    markAllSaved(*w);
}

void tst_tabs::closingTheOnlyTabLeavesAFreshAboutPage()
{
    auto w = startWindow();
    QTextEdit *first = currentEditor(*w);
    emit tabs(*w)->tabCloseRequested(0);
    QCOMPARE(tabs(*w)->count(), 1);
    QVERIFY(currentEditor(*w) != first);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("A Propos de 1.4.9"));
    QVERIFY(
        currentEditor(*w)->toPlainText().startsWith(QStringLiteral("A Propos de Feuillon 1.4.9")));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
}

void tst_tabs::closingCurrentFirstTabPutsAboutPageInItsPlace()
{
    auto w = windowWithThreeTabs();
    editorAt(*w, 1)->setPlainText(QStringLiteral("un"));
    editorAt(*w, 2)->setPlainText(QStringLiteral("deux"));
    markAllSaved(*w);
    tabs(*w)->setCurrentIndex(0);
    emit tabs(*w)->tabCloseRequested(0);
    QCOMPARE(tabs(*w)->count(), 3);
    QCOMPARE(tabs(*w)->currentIndex(), 0);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("A Propos de 1.4.9"));
    QCOMPARE(editorAt(*w, 1)->toPlainText(), QStringLiteral("un"));
    QCOMPARE(editorAt(*w, 2)->toPlainText(), QStringLiteral("deux"));
}

void tst_tabs::closingALaterCurrentTabJustRemovesIt()
{
    auto w = windowWithThreeTabs();
    editorAt(*w, 1)->setAccessibleName(QStringLiteral("/tmp/un.txt"));
    markAllSaved(*w);
    QCOMPARE(tabs(*w)->currentIndex(), 2);
    emit tabs(*w)->tabCloseRequested(2);
    QCOMPARE(tabs(*w)->count(), 2);
    QCOMPARE(tabs(*w)->currentIndex(), 1);
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon | /tmp/un.txt"));
    QVERIFY(tabs(*w)->tabText(0).startsWith(QStringLiteral("A Propos")));
}

void tst_tabs::closingABackgroundTabLeavesTheCurrentDocumentAlone()
{
    auto w = windowWithThreeTabs();
    QTextEdit *current = currentEditor(*w);
    w->set_path(QStringLiteral("/tmp/courant.txt"));
    current->setPlainText(QStringLiteral("texte courant"));
    current->document()->setModified(false);
    QTextEdit *background = editorAt(*w, 1);
    background->setPlainText(QStringLiteral("fond"));
    background->document()->setModified(false);

    emit tabs(*w)->tabCloseRequested(1);

    QCOMPARE(tabs(*w)->count(), 2);
    QCOMPARE(currentEditor(*w), current);
    QCOMPARE(current->toPlainText(), QStringLiteral("texte courant"));
    QCOMPARE(current->accessibleName(), QStringLiteral("/tmp/courant.txt"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon | /tmp/courant.txt"));
    QVERIFY(tabs(*w)->indexOf(background) < 0);
}

void tst_tabs::titleFollowsTheCurrentTabsPath()
{
    auto w = windowWithThreeTabs();
    w->set_path(QStringLiteral("/tmp/deux.txt"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon | /tmp/deux.txt"));
    QCOMPARE(tabs(*w)->tabText(2), QStringLiteral("Nouvelle Onglet"));
    tabs(*w)->setCurrentIndex(1);
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    w->setWindowTitle(QStringLiteral("chat")); // as a search leaves it
    tabs(*w)->setCurrentIndex(2);
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon | /tmp/deux.txt"));
}

void tst_tabs::resetDocForgetsThePathForGood()
{
    auto w = windowWithThreeTabs();
    w->set_path(QStringLiteral("/tmp/deux.txt"));
    currentEditor(*w)->setPlainText(QStringLiteral("texte"));
    w->reset_doc();
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    tabs(*w)->setCurrentIndex(0);
    tabs(*w)->setCurrentIndex(2);
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    QVERIFY(currentEditor(*w)->accessibleName().isEmpty());
}

void tst_tabs::newFileEmptiesTheTabAndNamesIt()
{
    auto w = startWindow();
    DialogAnswerer dialogs; // an untouched about page is dropped without a question
    action(*w, "ac_new")->trigger();
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("Nouveau Fichier"));
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    QCOMPARE(dialogs.unexpected(), 0);
}

void tst_tabs::editActionsActOnTheCurrentTab_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("expected");
    // The current document holds "second" with "sec" selected; the clipboard holds "X".
    QTest::newRow("Couper") << "ac_couper"
                            << "ond";
    QTest::newRow("Coller") << "ac_coller"
                            << "Xond";
    QTest::newRow("Suprimer Tout") << "ac_del"
                                   << "";
    QTest::newRow("Annuler") << "ac_can"
                             << "";
    QTest::newRow("Copier") << "ac_copier"
                            << "second";
}

void tst_tabs::editActionsActOnTheCurrentTab()
{
    QFETCH(QString, actionName);
    QFETCH(QString, expected);
    auto w = startWindow();
    QTextEdit *startup = currentEditor(*w);
    const QString aboutText = startup->toPlainText();
    action(*w, "actionNouvelle_Onglet")->trigger();
    QTextEdit *second = currentEditor(*w);
    type(second, QStringLiteral("second"));
    QTextCursor c(second->document());
    c.setPosition(0);
    c.setPosition(3, QTextCursor::KeepAnchor);
    second->setTextCursor(c);
    QApplication::clipboard()->setText(QStringLiteral("X"));

    action(*w, actionName.toLatin1().constData())->trigger();

    QCOMPARE(second->toPlainText(), expected);
    QCOMPARE(startup->toPlainText(), aboutText);
    if (actionName == QLatin1String("ac_copier") || actionName == QLatin1String("ac_couper"))
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("sec"));
    markAllSaved(*w);
}

void tst_tabs::clearAllCanBeUndone()
{
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), QStringLiteral("ligne une\nligne deux"));
    action(*w, "ac_del")->trigger();
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    action(*w, "ac_can")->trigger();
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("ligne une\nligne deux"));
    action(*w, "ac_res")->trigger();
    QVERIFY(currentEditor(*w)->toPlainText().isEmpty());
    markAllSaved(*w);
}

void tst_tabs::movingATabKeepsTitleAndPath()
{
    auto w = windowWithThreeTabs();
    w->set_path(QStringLiteral("/tmp/deux.txt"));
    QTextEdit *moved = currentEditor(*w);
    tabs(*w)->tabBar()->moveTab(2, 0);
    QCOMPARE(currentEditor(*w), moved);
    QCOMPARE(tabs(*w)->currentIndex(), 0);
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon | /tmp/deux.txt"));
    QCOMPARE(moved->accessibleName(), QStringLiteral("/tmp/deux.txt"));
}

void tst_tabs::pastedRichTextArrivesAsPlainText()
{
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    auto *mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b>gras</b> <span style='color:red'>rouge</span>"
                                 "<img src='data:image/png;base64,'>"));
    mime->setText(QStringLiteral("gras rouge"));
    QApplication::clipboard()->setMimeData(mime);
    action(*w, "ac_coller")->trigger();
    QTextEdit *editor = currentEditor(*w);
    QCOMPARE(editor->toPlainText(), QStringLiteral("gras rouge"));
    QVERIFY(!editor->toHtml().contains(QStringLiteral("font-weight:700")));
    QVERIFY(!editor->toHtml().contains(QStringLiteral("#ff0000")));
    markAllSaved(*w);
}

// The mark comes with an edit, goes with an undo back to the saved text and
// with a save, and stays on a tab in the background; the tab keeps its name.
void tst_tabs::modifiedTabCarriesAMark()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "lettre.txt", "bonjour");
    auto w = startWindow({"feuillon", path});
    QTabWidget *t = tabs(*w);
    const auto marks = [t] { return !t->tabIcon(0).isNull() + 2 * !t->tabIcon(1).isNull(); };
    QList<int> seen{marks()};
    type(currentEditor(*w), "x");
    seen << marks();
    currentEditor(*w)->undo();
    seen << marks();
    type(currentEditor(*w), "y");
    action(*w, "actionNouvelle_Onglet")->trigger();
    seen << marks();
    t->setCurrentIndex(0);
    action(*w, "ac_enr")->trigger();
    seen << marks();
    QCOMPARE(seen, (QList<int>{0, 1, 0, 1, 0}));
    QCOMPARE(t->tabText(0), QStringLiteral("lettre.txt"));
    QCOMPARE(fileBytes(path), QByteArray("ybonjour"));
}

FEUILLON_TEST_MAIN(tst_tabs)
#include "tst_tabs.moc"
