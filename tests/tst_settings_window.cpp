// The settings window: its rows, its buttons and the shared colour and font
// dialogs they open.
#include "pickers.h"
#include "testmain.h"
#include "window.h"

#include <QFontInfo>
#include <QGridLayout>
#include <QLabel>
#include <QSignalSpy>

using namespace feuillon_test;

namespace {

QGridLayout *grid(QWidget *settings)
{
    return qobject_cast<QGridLayout *>(settings->layout());
}

QWidget *cell(QWidget *settings, int row, int column)
{
    QLayoutItem *item = grid(settings)->itemAtPosition(row, column);
    return item ? item->widget() : nullptr;
}

QPushButton *okButton(QWidget *settings)
{
    return qobject_cast<QPushButton *>(cell(settings, 7, 0));
}

} // namespace

class tst_settings_window : public QObject
{
    Q_OBJECT

private slots:
    void init() { clearStore(); }
    void cleanup() { clearStore(); }

    void windowShowsSixRowsAndOk_data();
    void windowShowsSixRowsAndOk();
    void okSpansTheLastRowAndClosesTheWindow();
    void reopeningShowsTheSameRows();
    void buttonsOpenTheirDialogOnWhatIsShown_data();
    void buttonsOpenTheirDialogOnWhatIsShown();
    void swatchesShowTheLastLoadAndFollowPicksAfterATabChange();
    void secondColourButtonTakesTheOpenDialog();
    void manyClicksStillApplyOneConfirmationOnce();
    void cancelledDialogChangesNothing_data();
    void cancelledDialogChangesNothing();
};

void tst_settings_window::windowShowsSixRowsAndOk_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("button");
    QTest::newRow("editor text colour") << 0 << "Couleur du Texte de l'éditeur" << 1;
    QTest::newRow("editor background colour") << 1 << "Couleur de Fond de l'éditeur" << 2;
    QTest::newRow("editor font") << 2 << "Police de l'éditeur" << 3;
    QTest::newRow("application text colour") << 4 << "Couleur du Texte de Feuillon" << 4;
    QTest::newRow("application background colour") << 5 << "Couleur de Fond de Feuillon" << 5;
    QTest::newRow("application font") << 6 << "Police de Feuillon" << 6;
}

void tst_settings_window::windowShowsSixRowsAndOk()
{
    QFETCH(int, row);
    QFETCH(QString, label);
    QFETCH(int, button);
    auto w = startWindow();
    QWidget *settings = openSettings(*w);
    QVERIFY(settings && settings->isVisible());
    QVERIFY(settings->isWindow());
    auto *text = qobject_cast<QLabel *>(cell(settings, row, 0));
    QVERIFY(text);
    QCOMPARE(text->text(), label);
    QCOMPARE(cell(settings, row, 1), static_cast<QWidget *>(settingsButton(button)));
    QVERIFY(!cell(settings, 3, 0) && !cell(settings, 3, 1));
}

void tst_settings_window::okSpansTheLastRowAndClosesTheWindow()
{
    auto w = startWindow();
    QWidget *settings = openSettings(*w);
    QPushButton *ok = okButton(settings);
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("Ok"));
    int row, column, rows, columns;
    grid(settings)->getItemPosition(grid(settings)->indexOf(ok), &row, &column, &rows, &columns);
    QCOMPARE((QList<int>{row, column, rows, columns}), (QList<int>{7, 0, 7, 2}));
    ok->click();
    QVERIFY(!settings->isVisible());
    QVERIFY(w->isVisible());
}

void tst_settings_window::reopeningShowsTheSameRows()
{
    auto w = startWindow();
    QWidget *settings = openSettings(*w);
    const int labels = int(settings->findChildren<QLabel *>().size());
    const int buttons = int(settings->findChildren<QPushButton *>().size());
    QCOMPARE(labels, 6);
    QCOMPARE(buttons, 7);
    okButton(settings)->click();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(openSettings(*w), settings);
    QVERIFY(settings->isVisible());
    QCOMPARE(int(settings->findChildren<QLabel *>().size()), labels);
    QCOMPARE(int(settings->findChildren<QPushButton *>().size()), buttons);
}

void tst_settings_window::buttonsOpenTheirDialogOnWhatIsShown_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("stored");
    const char *const names[] = {
        "editor text colour",      "editor background colour",      "editor font",
        "application text colour", "application background colour", "application font"};
    for (int button = 1; button <= 6; ++button) {
        QTest::addRow("%s, stored", names[button - 1]) << button << true;
        QTest::addRow("%s, nothing stored", names[button - 1]) << button << false;
    }
}

void tst_settings_window::buttonsOpenTheirDialogOnWhatIsShown()
{
    QFETCH(int, button);
    QFETCH(bool, stored);
    if (stored)
        storeValues({{"tstyle", "background-color:#020202;color:#010101;"},
                     {"astyle", "background-color:#050505;color:#040404;"},
                     {"tfont", QFont(QStringLiteral("DejaVu Sans"), 23).toString()},
                     {"afont", QFont(QStringLiteral("DejaVu Sans"), 26).toString()}});
    auto w = startWindow();
    openSettings(*w);
    settingsButton(button)->click();
    if (button == 3 || button == 6) {
        QVERIFY(fontDialog()->isVisible());
        QVERIFY(!fontDialog()->isModal());
        const QFont shown = button == 3 ? currentEditor(*w)->font() : w->font();
        QCOMPARE(fontDialog()->currentFont().family(), QFontInfo(shown).family());
        QCOMPARE(fontDialog()->currentFont().pointSize(), shown.pointSize());
        if (stored)
            QCOMPARE(shown.pointSize(), button == 3 ? 23 : 26);
        fontDialog()->close();
    } else {
        QVERIFY(colorDialog()->isVisible());
        QVERIFY(!colorDialog()->isModal());
        QCOMPARE(colorDialog()->currentColor(), shownColour(*w, button));
        if (stored)
            QCOMPARE(colorDialog()->currentColor(), QColor(button, button, button));
        else if (button == 2)
            QCOMPARE(colorDialog()->currentColor(), QApplication::palette().color(QPalette::Base));
        colorDialog()->close();
    }
}

void tst_settings_window::swatchesShowTheLastLoadAndFollowPicksAfterATabChange()
{
    auto w = startWindow();
    QWidget *settings = openSettings(*w);
    pickColour(1, QColor("#c00000"));
    QCOMPARE(settingsButton(1)->styleSheet(), QStringLiteral("background-color:#c00000;"));
    okButton(settings)->click();
    openSettings(*w);
    QCOMPARE(settingsButton(1)->styleSheet(), QStringLiteral("background-color:;"));
    QCOMPARE(currentEditor(*w)->styleSheet(), QStringLiteral("color:#c00000;"));
    settingsButton(1)->click();
    QCOMPARE(colorDialog()->currentColor(), QColor("#c00000"));
    colorDialog()->close();

    action(*w, "actionNouvelle_Onglet")->trigger();
    openSettings(*w);
    QCOMPARE(settingsButton(1)->styleSheet(), QStringLiteral("background-color:#c00000;"));
}

void tst_settings_window::secondColourButtonTakesTheOpenDialog()
{
    auto w = startWindow();
    openSettings(*w);
    settingsButton(1)->click();
    QVERIFY(colorDialog()->isVisible());
    settingsButton(5)->click();
    confirmColour(QColor("#005500"));
    QCOMPARE(storedKeys(), (QStringList{"afont", "astyle", "bt5", "sa_bt5", "tfont"}));
    QCOMPARE(currentEditor(*w)->styleSheet(), QString());
    QCOMPARE(w->styleSheet(), QStringLiteral("background-color:#005500;"));
    QCOMPARE(settingsButton(1)->styleSheet(), QStringLiteral("background-color:;"));
}

void tst_settings_window::manyClicksStillApplyOneConfirmationOnce()
{
    auto w = startWindow();
    openSettings(*w);
    QSignalSpy editorLook(w.get(), SIGNAL(si_tab()));
    QSignalSpy colourChosen(colorDialog(), SIGNAL(colorSelected(QColor)));
    QSignalSpy fontChosen(fontDialog(), SIGNAL(fontSelected(QFont)));
    for (int i = 0; i < 3; ++i) {
        settingsButton(2)->click();
        settingsButton(3)->click();
    }
    settingsButton(2)->click();
    confirmColour(QColor("#123123"));
    QCOMPARE(colourChosen.size(), 1);
    QCOMPARE(editorLook.size(), 1);
    settingsButton(3)->click();
    confirmFont(QFont(QStringLiteral("DejaVu Sans"), 19));
    QCOMPARE(fontChosen.size(), 1);
    QCOMPARE(editorLook.size(), 2);
    QCOMPARE(currentEditor(*w)->font().pointSize(), 19);
}

void tst_settings_window::cancelledDialogChangesNothing_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("colour dialog") << 2;
    QTest::newRow("font dialog") << 6;
}

void tst_settings_window::cancelledDialogChangesNothing()
{
    QFETCH(int, button);
    auto w = startWindow();
    openSettings(*w);
    settingsButton(button)->click();
    QWidget *dialog = button == 6 ? static_cast<QWidget *>(fontDialog()) : colorDialog();
    if (button == 6)
        fontDialog()->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 29));
    else
        colorDialog()->setCurrentColor(QColor("#990099"));
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(storedKeys(), QStringList());
    QCOMPARE(w->styleSheet(), QString());
    QVERIFY(w->font().pointSize() != 29);
    QCOMPARE(currentEditor(*w)->styleSheet(), QString());
}

FEUILLON_TEST_MAIN(tst_settings_window)
#include "tst_settings_window.moc"
