// Start-up, the form of the main window and the about page.
#include "testmain.h"

#include "dialogs.h"
#include "window.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>

using namespace feuillon_test;

class tst_startup : public QObject
{
    Q_OBJECT

private slots:
    void startsWithOneAboutTabAndPlainTitle();
    void everyArgumentOpensInATabOfItsOwn();
    void windowHasFormSizeAndMenusInOrder();
    void menusListTheirEntriesWithSeparators();
    void actionsHaveTheirTextsAndShortcuts_data();
    void actionsHaveTheirTextsAndShortcuts();
    void startsWithoutLogoInWorkingDirectory();
    void aboutOpensAfterCurrentTabEveryTime();
    void closingTheMainWindowClosesToolWindowsAndPickers();
    void toolWindowsOpenCentredOnTheMainWindow_data();
    void toolWindowsOpenCentredOnTheMainWindow();
    void cleanupTestCase() { sharedWindow.reset(); }

private:
    // One window for every row of a table. A member reset at the end of the
    // run rather than a function-static: that one outlived the application
    // whenever the table's last row was not run, and crashed at exit.
    std::unique_ptr<fp> sharedWindow;
};

void tst_startup::startsWithOneAboutTabAndPlainTitle()
{
    auto w = startWindow();
    QCOMPARE(tabs(*w)->count(), 1);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("A Propos de 1.4.9"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
    const QStringList lines = currentEditor(*w)->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.at(0), QStringLiteral("A Propos de Feuillon 1.4.9"));
    QVERIFY(lines.at(1).contains(QStringLiteral("Qt 6.2.2")));
    QVERIFY(lines.at(1).contains(QStringLiteral("2022-02-15")));
    QCOMPARE(lines.at(2), QStringLiteral(" "));
    QVERIFY(lines.at(4).startsWith(
        QStringLiteral("L'on peut personaliser la zone de texte (couleur et police)")));
    QVERIFY(lines.at(5).endsWith(QStringLiteral("avec le sytème de personalistion. ")));
    QVERIFY(!currentEditor(*w)->document()->isModified());
    QVERIFY(currentEditor(*w)->accessibleName().isEmpty());
}

// The first file takes the about page's place; each further one opens in a
// tab of its own, and one that cannot be read leaves no tab behind.
void tst_startup::everyArgumentOpensInATabOfItsOwn()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("premier.txt"));
    const QString second = dir.filePath(QStringLiteral("second.txt"));
    for (const QString &p : {first, second}) {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QFileInfo(p).baseName().toUtf8());
    }
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    auto w = startWindow({QStringLiteral("feuillon"), first, dir.path(), second});
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().first().title, QStringLiteral("Erreur"));
    QCOMPARE(tabs(*w)->count(), 2);
    QCOMPARE(tabs(*w)->tabText(0), QStringLiteral("premier.txt"));
    QCOMPARE(editorAt(*w, 0)->accessibleName(), first);
    QCOMPARE(editorAt(*w, 1)->toPlainText(), QStringLiteral("second"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon | ") + second);
    QCOMPARE(currentEditor(*w)->accessibleName(), second);
}

void tst_startup::windowHasFormSizeAndMenusInOrder()
{
    auto w = startWindow();
    QCOMPARE(w->size(), QSize(1100, 600));
    QStringList titles, keys;
    for (QAction *a : w->menuBar()->actions()) {
        titles << QString(a->text()).remove(QLatin1Char('&'));
        keys << QKeySequence::mnemonic(a->text()).toString();
    }
    QCOMPARE(titles, (QStringList{QStringLiteral("Fichier"), QStringLiteral("Action"),
                                  QStringLiteral("Outils")}));
    QCOMPARE(keys, (QStringList{"Alt+F", "Alt+A", "Alt+O"}));
    QVERIFY(tabs(*w)->tabsClosable());
    QVERIFY(tabs(*w)->isMovable());
    QVERIFY(w->statusBar());
}

void tst_startup::menusListTheirEntriesWithSeparators()
{
    auto w = startWindow();
    QCOMPARE(
        menuEntries(w->findChild<QMenu *>(QStringLiteral("m_file"))),
        QStringList({"Nouveau", "Nouvelle Onglet", "--", "Ouvrir", "Ouvrir dans un Nouvelle Onglet",
                     "Fichiers récents", "Enregistrer", "Enregistrer Sous", "--", "Quitter"}));
    QCOMPARE(menuEntries(w->findChild<QMenu *>(QStringLiteral("m_ac"))),
             QStringList({"Couper", "Copier", "Coller", "Suprimer Tout", "Selectioner Tout", "--",
                          "Rechercher", "Occurrence suivante", "Occurrence précédente", "Remplacer",
                          "Aller à la ligne", "--", "Annuler", "Rétablir", "--", "Zoomer",
                          "Dézoomer", "Rétablir Zoom"}));
    QCOMPARE(menuEntries(w->findChild<QMenu *>(QStringLiteral("menuAide"))),
             QStringList({"Option", "Option Par Default", "A Propos"}));
}

void tst_startup::actionsHaveTheirTextsAndShortcuts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QKeySequence>>("shortcuts");
    const struct {
        const char *name, *text, *keys;
    } rows[] = {
        {"ac_apropos", "A Propos", "Ctrl+Shift+6; F1"},
        {"ac_new", "Nouveau", "Ctrl+N"},
        {"ac_open", "Ouvrir", "Ctrl+O"},
        {"ac_enr", "Enregistrer", "Ctrl+S"},
        {"ac_enrs", "Enregistrer Sous", "Ctrl+Shift+S"},
        {"ac_quit", "Quitter", "Ctrl+Q"},
        {"ac_copier", "Copier", "Ctrl+C"},
        {"ac_coller", "Coller", "Ctrl+V"},
        {"ac_couper", "Couper", "Ctrl+X"},
        {"ac_del", "Suprimer Tout", "Ctrl+Del"},
        {"ac_look", "Rechercher", "Ctrl+F"},
        {"ac_remplacer", "Remplacer", "Ctrl+H"},
        {"ac_selectall", "Selectioner Tout", "Ctrl+A"},
        {"ac_can", "Annuler", "Ctrl+Z"},
        {"ac_res", "Rétablir", "Ctrl+Y"},
        {"actionNouvelle_Onglet", "Nouvelle Onglet", "Ctrl+Shift+N"},
        {"actionOuvrir_dans_un_Nouvelle_Onglet", "Ouvrir dans un Nouvelle Onglet", "Ctrl+Shift+O"},
        {"actionOption", "Option", "Ctrl+#"},
        {"ac_reset", "Option Par Default", "Ctrl+Shift+#"},
        {"actionZoom", "Zoomer", "Ctrl++"},
        {"actionD_Zoom", "Dézoomer", "Ctrl+-"},
        {"ac_closetab", "", "Ctrl+W"},
        {"actionR_tablir_Zoom", "Rétablir Zoom", "Ctrl+*"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromUtf8(r.text)
                              << QKeySequence::listFromString(QString::fromLatin1(r.keys));
}

void tst_startup::actionsHaveTheirTextsAndShortcuts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QList<QKeySequence>, shortcuts);
    if (!sharedWindow)
        sharedWindow = startWindow();
    QAction *a = action(*sharedWindow, name.toLatin1().constData());
    QVERIFY(a);
    QCOMPARE(a->text(), text);
    QCOMPARE(a->shortcuts(), shortcuts);
    QVERIFY(!a->isCheckable());
    QVERIFY(a->isEnabled());
}

void tst_startup::startsWithoutLogoInWorkingDirectory()
{
    QTemporaryDir empty;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(empty.path()));
    auto w = startWindow();
    QDir::setCurrent(before);
    QVERIFY(w->isVisible());
    QCOMPARE(tabs(*w)->count(), 1);
}

void tst_startup::aboutOpensAfterCurrentTabEveryTime()
{
    auto w = startWindow();
    action(*w, "actionNouvelle_Onglet")->trigger();
    action(*w, "actionNouvelle_Onglet")->trigger();
    tabs(*w)->setCurrentIndex(0);
    action(*w, "ac_apropos")->trigger();
    QCOMPARE(tabs(*w)->count(), 4);
    QCOMPARE(tabs(*w)->currentIndex(), 1);
    QCOMPARE(tabs(*w)->tabText(1), QStringLiteral("A Propos de 1.4.9"));
    action(*w, "ac_apropos")->trigger();
    QCOMPARE(tabs(*w)->count(), 5);
    QCOMPARE(tabs(*w)->currentIndex(), 2);
    QCOMPARE(tabs(*w)->tabText(2), QStringLiteral("A Propos de 1.4.9"));
    QCOMPARE(tabs(*w)->tabText(3), QStringLiteral("Nouvelle Onglet"));
    QVERIFY(currentEditor(*w)->toPlainText().startsWith(
        QStringLiteral("A Propos de Feuillon 1.4.9\n")));
    QCOMPARE(w->windowTitle(), QStringLiteral("Feuillon"));
}

void tst_startup::closingTheMainWindowClosesToolWindowsAndPickers()
{
    auto w = startWindow();
    currentEditor(*w)->setPlainText(QStringLiteral("le chat"));
    for (const char *name : {"ac_look", "ac_remplacer", "actionOption"})
        action(*w, name)->trigger();
    for (const char *button : {"set_bt1", "set_bt3"})
        topLevel("settings_window")->findChild<QPushButton *>(button)->click();
    QWidget *replace = topLevel("replace_window");
    replace->findChild<QLineEdit *>(QStringLiteral("replace_search_field"))->setText("chat");
    QVERIFY(w->close());
    for (const char *name :
         {"find_window", "replace_window", "settings_window", "color_dialog", "font_dialog"})
        QVERIFY2(!topLevel(name)->isVisible(), name);
    // Its window gone, "Remplacer" must not change a document nobody sees.
    buttonWithText(replace, QStringLiteral("Remplacer"))->click();
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("le chat"));
    markAllSaved(*w);
}

void tst_startup::toolWindowsOpenCentredOnTheMainWindow_data()
{
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QByteArray>("tool");
    QTest::addColumn<QString>("title");
    QTest::newRow("find") << QByteArray("ac_look") << QByteArray("find_window") << "Recherche";
    QTest::newRow("replace") << QByteArray("ac_remplacer") << QByteArray("replace_window")
                             << "Remplacer";
    QTest::newRow("settings") << QByteArray("actionOption") << QByteArray("settings_window")
                              << "Option";
}

void tst_startup::toolWindowsOpenCentredOnTheMainWindow()
{
    QFETCH(QByteArray, opener);
    QFETCH(QByteArray, tool);
    QFETCH(QString, title);
    auto w = startWindow();
    w->move(250, 120);
    action(*w, opener.constData())->trigger();
    QWidget *window = topLevel(tool.constData());
    QCOMPARE(window->windowTitle(), title);
    QVERIFY((window->geometry().center() - w->geometry().center()).manhattanLength() < 4);
}

FEUILLON_TEST_MAIN(tst_startup)
#include "tst_startup.moc"
