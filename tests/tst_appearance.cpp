// The appearance settings: what the store holds after each pick, what a load
// applies, and that re-applying an unchanged look costs nothing.
#include "dialogs.h"
#include "pickers.h"
#include "testmain.h"
#include "window.h"

#include "appearance/look.h"

#include <QDir>
#include <QFileInfo>
#include <QFontInfo>

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

using namespace feuillon_test;

namespace {

QWidget *mainWindowPart(fp &w, const char *name)
{
    return w.findChild<QWidget *>(name);
}

void addTab(fp &w)
{
    action(w, "actionNouvelle_Onglet")->trigger();
}

// Counts the re-polishes and font changes that reach a set of widgets.
class RestyleCounter : public QObject
{
public:
    int count = 0;
    void watch(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange)
            ++count;
        return false;
    }
};

const QString emptyBackground = QStringLiteral("background-color:;");

} // namespace

class tst_appearance : public QObject
{
    Q_OBJECT

private slots:
    void init() { clearStore(); }
    void cleanup() { clearStore(); }

    void firstRunWithEmptyStoreGivesThePlatformLook();
    void pickingOneColourOnFirstRunWritesExactlyItsKeys_data();
    void pickingOneColourOnFirstRunWritesExactlyItsKeys();
    void secondRunPickingColourFourKeepsTheStoredEditorBackground();
    void confirmationForTheOtherKindOfButtonChangesNothing_data();
    void confirmationForTheOtherKindOfButtonChangesNothing();
    void fontPickChangesOnlyItsFont_data();
    void fontPickChangesOnlyItsFont();
    void startAppliesTheStoredLookToEditorAndApplication();
    void tabChangeAppliesTheStoredLookToTheNewlyCurrentEditorOnly();
    void loadNeverTouchesTheColoursPickedInThisRun();
    void pickAfterAnEarlierResetBringsNoOldColourBack();
    void corruptStoredValuesAreAppliedWithoutCrashing_data();
    void corruptStoredValuesAreAppliedWithoutCrashing();
    void tabChangeWithUnchangedStoreRestylesNothing_data();
    void tabChangeWithUnchangedStoreRestylesNothing();
    void storedFontTextGivesWhatTheFontParserGives_data();
    void storedFontTextGivesWhatTheFontParserGives();
    void storeThatCannotBeWrittenIsToldToTheUser();
    void damagedStoreIsToldOnceAndTheRestStillLoads();
};

void tst_appearance::firstRunWithEmptyStoreGivesThePlatformLook()
{
    auto w = startWindow();
    QCOMPARE(currentEditor(*w)->styleSheet(), QString());
    QCOMPARE(w->styleSheet(), QString());
    QCOMPARE(topLevel("find_window")->styleSheet(), QString());
    QCOMPARE(topLevel("replace_window")->styleSheet(), QString());
    QVERIFY2(storedKeys().isEmpty(), "a load never writes the store");

    QWidget *settings = openSettings(*w);
    QVERIFY(settings->isVisible());
    for (int n : {1, 2, 4, 5}) {
        QCOMPARE(settingsButton(n)->styleSheet(), emptyBackground);
        QCOMPARE(settingsButton(n)->text(), QString());
    }
    QCOMPARE(settingsButton(3)->text(), QStringLiteral("Abc"));
    QCOMPARE(settingsButton(6)->text(), QStringLiteral("Abc"));
    const QString desktop = QFontInfo(QApplication::font()).family();
    for (QWidget *part :
         {static_cast<QWidget *>(currentEditor(*w)), mainWindowPart(*w, "menubar"),
          mainWindowPart(*w, "statusbar"), settings, static_cast<QWidget *>(settingsButton(3))})
        QCOMPARE(QFontInfo(part->font()).family(), desktop);
    settingsButton(2)->click();
    QVERIFY(colorDialog()->isVisible());
    QVERIFY(!colorDialog()->isModal());
    colorDialog()->close();
}

void tst_appearance::pickingOneColourOnFirstRunWritesExactlyItsKeys_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("styleKey");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("applied");
    const QString c = QStringLiteral("#1a2b3c");
    QTest::newRow("editor text colour")
        << 1 << QStringList{"afont", "bt1", "sa_bt1", "text2", "tfont", "tstyle"} << "tstyle"
        << emptyBackground + "color:" + c + ";"
        << "color:" + c + ";";
    QTest::newRow("editor background colour")
        << 2 << QStringList{"afont", "bt2", "sa_bt2", "tfont", "tstyle"} << "tstyle"
        << "background-color:" + c + ";"
        << "background-color:" + c + ";";
    QTest::newRow("application text colour")
        << 4 << QStringList{"afont", "astyle", "bt4", "sa_bt4", "text2b", "tfont"} << "astyle"
        << emptyBackground + "color:" + c + ";"
        << "color:" + c + ";";
    QTest::newRow("application background colour")
        << 5 << QStringList{"afont", "astyle", "bt5", "sa_bt5", "tfont"} << "astyle"
        << "background-color:" + c + ";"
        << "background-color:" + c + ";";
}

void tst_appearance::pickingOneColourOnFirstRunWritesExactlyItsKeys()
{
    QFETCH(int, button);
    QFETCH(QStringList, keys);
    QFETCH(QString, styleKey);
    QFETCH(QString, style);
    QFETCH(QString, applied);
    auto w = startWindow();
    openSettings(*w);
    pickColour(button, QColor(0x1a, 0x2b, 0x3c));
    QCOMPARE(shownColour(*w, button), QColor(0x1a, 0x2b, 0x3c));

    QCOMPARE(storedKeys(), keys);
    QCOMPARE(stored("tfont") + stored("afont"), QString());
    QCOMPARE(stored(qPrintable(styleKey)), style);
    QCOMPARE(stored(qPrintable(QStringLiteral("sa_bt%1").arg(button))), QStringLiteral("#1a2b3c"));
    QCOMPARE(stored(qPrintable(QStringLiteral("bt%1").arg(button))), QStringLiteral("#1a2b3c"));
    QCOMPARE(settingsButton(button)->styleSheet(), QStringLiteral("background-color:#1a2b3c;"));
    if (button <= 2) {
        QCOMPARE(currentEditor(*w)->styleSheet(), applied);
        QCOMPARE(w->styleSheet(), QString());
    } else {
        QCOMPARE(w->styleSheet(), applied);
        QCOMPARE(topLevel("find_window")->styleSheet(), applied);
        QCOMPARE(topLevel("replace_window")->styleSheet(), applied);
        QCOMPARE(topLevel("settings_window")->styleSheet(), QString());
        QCOMPARE(currentEditor(*w)->styleSheet(), QString());
    }
}

void tst_appearance::secondRunPickingColourFourKeepsTheStoredEditorBackground()
{
    {
        auto first = startWindow();
        openSettings(*first);
        pickColour(2, QColor("#204060"));
        markAllSaved(*first);
    }
    auto second = startWindow();
    QCOMPARE(currentEditor(*second)->styleSheet(), QStringLiteral("background-color:#204060;"));
    openSettings(*second);
    QCOMPARE(settingsButton(2)->styleSheet(), QStringLiteral("background-color:#204060;"));
    pickColour(4, QColor("#ff8000"));
    QCOMPARE(stored("sa_bt2"), QStringLiteral("#204060"));
    QCOMPARE(stored("bt2"), QStringLiteral("#204060"));
    QCOMPARE(stored("tstyle"), QStringLiteral("background-color:#204060;"));
    QCOMPARE(stored("bt4"), QStringLiteral("#ff8000"));
    QCOMPARE(stored("astyle"), QStringLiteral("background-color:;color:#ff8000;"));
    QCOMPARE(shownColour(*second, 4), QColor("#ff8000"));
}

void tst_appearance::confirmationForTheOtherKindOfButtonChangesNothing_data()
{
    QTest::addColumn<int>("firstButton");
    QTest::addColumn<int>("lastButton");
    QTest::addColumn<bool>("confirmColour");
    QTest::newRow("colour while the editor font button was last") << 1 << 3 << true;
    QTest::newRow("colour while the application font button was last") << 5 << 6 << true;
    QTest::newRow("font while a colour button was last") << 3 << 2 << false;
}

void tst_appearance::confirmationForTheOtherKindOfButtonChangesNothing()
{
    QFETCH(int, firstButton);
    QFETCH(int, lastButton);
    QFETCH(bool, confirmColour);
    auto w = startWindow();
    openSettings(*w);
    const QFont editorFont = currentEditor(*w)->font();
    settingsButton(firstButton)->click();
    settingsButton(lastButton)->click();
    if (confirmColour)
        feuillon_test::confirmColour(QColor("#abcdef"));
    else
        confirmFont(QFont(QStringLiteral("DejaVu Sans"), 31));

    QCOMPARE(storedKeys(), QStringList());
    QCOMPARE(currentEditor(*w)->styleSheet(), QString());
    QCOMPARE(currentEditor(*w)->font(), editorFont);
    QCOMPARE(w->styleSheet(), QString());
    for (int n : {1, 2, 4, 5})
        QCOMPARE(settingsButton(n)->styleSheet(), emptyBackground);
    colorDialog()->close();
    fontDialog()->close();
}

void tst_appearance::fontPickChangesOnlyItsFont_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("key");
    QTest::newRow("editor font") << 3 << "tfont";
    QTest::newRow("application font") << 6 << "afont";
}

void tst_appearance::fontPickChangesOnlyItsFont()
{
    QFETCH(int, button);
    QFETCH(QString, key);
    auto w = startWindow();
    openSettings(*w);
    const QFont chosen(QStringLiteral("DejaVu Sans"), 17);
    pickFont(button, chosen);

    QCOMPARE(storedKeys(), (QStringList{"afont", "tfont"}));
    QCOMPARE(QFont().fromString(stored(qPrintable(key))), true);
    QFont back;
    back.fromString(stored(qPrintable(key)));
    QCOMPARE(back.pointSize(), 17);
    QCOMPARE(settingsButton(button)->font().pointSize(), 17);
    QCOMPARE(currentEditor(*w)->styleSheet(), QString());
    QCOMPARE(w->styleSheet(), QString());
    if (button == 3) {
        QCOMPARE(currentEditor(*w)->font().pointSize(), 17);
        QVERIFY(w->font().pointSize() != 17);
    } else {
        for (QWidget *part : {static_cast<QWidget *>(w.get()), mainWindowPart(*w, "onglet"),
                              mainWindowPart(*w, "menubar"), mainWindowPart(*w, "m_file"),
                              mainWindowPart(*w, "statusbar"), topLevel("find_window"),
                              topLevel("replace_window"), topLevel("settings_window")})
            QCOMPARE(part->font().pointSize(), 17);
    }
}

void tst_appearance::startAppliesTheStoredLookToEditorAndApplication()
{
    const QString appStyle = QStringLiteral("background-color:#102030;color:#405060;");
    const QString editStyle = QStringLiteral("background-color:#aaaaaa;color:#111111;");
    storeValues({{"astyle", appStyle},
                 {"afont", QFont(QStringLiteral("DejaVu Sans"), 13).toString()},
                 {"tstyle", editStyle},
                 {"tfont", QFont(QStringLiteral("DejaVu Sans Mono"), 15).toString()}});
    auto w = startWindow();
    QCOMPARE(currentEditor(*w)->styleSheet(), editStyle);
    QCOMPARE(currentEditor(*w)->font().pointSize(), 15);
    QCOMPARE(w->styleSheet(), appStyle);
    QCOMPARE(topLevel("find_window")->styleSheet(), appStyle);
    QCOMPARE(topLevel("replace_window")->styleSheet(), appStyle);
    QCOMPARE(topLevel("settings_window")->styleSheet(), QString());
    QCOMPARE(topLevel("settings_window")->font().pointSize(), 13);
    for (const char *name : {"onglet", "statusbar", "menubar", "m_file", "m_ac", "menuAide"})
        QCOMPARE(mainWindowPart(*w, name)->font().pointSize(), 13);
    QCOMPARE(w->findChild<QLabel *>("status_label")->font().pointSize(), 13);
}

void tst_appearance::tabChangeAppliesTheStoredLookToTheNewlyCurrentEditorOnly()
{
    auto w = startWindow();
    QTextEdit *first = currentEditor(*w);
    const QString look = QStringLiteral("background-color:#010203;");
    storeValues({{"tstyle", look}});
    addTab(*w);
    QTextEdit *second = currentEditor(*w);
    QVERIFY(second != first);
    QCOMPARE(second->styleSheet(), look);
    QCOMPARE(first->styleSheet(), QString());
    tabs(*w)->setCurrentIndex(0);
    QCOMPARE(first->styleSheet(), look);
}

void tst_appearance::loadNeverTouchesTheColoursPickedInThisRun()
{
    auto w = startWindow();
    openSettings(*w);
    pickColour(1, QColor("#aa0000"));
    storeValues({{"sa_bt1", "#000001"}, {"bt1", "#000001"}});
    addTab(*w); // a load
    settingsButton(1)->click();
    QCOMPARE(colorDialog()->currentColor(), QColor("#aa0000"));
    colorDialog()->close();
    pickColour(2, QColor("#00bb00"));
    QCOMPARE(stored("sa_bt1"), QStringLiteral("#aa0000"));
    QCOMPARE(stored("bt1"), QStringLiteral("#aa0000"));
    QCOMPARE(stored("tstyle"), QStringLiteral("background-color:#00bb00;color:#aa0000;"));
    // The swatches follow the store as read at the last load.
    openSettings(*w);
    QCOMPARE(settingsButton(1)->styleSheet(), QStringLiteral("background-color:#000001;"));
}

// A reset used to leave text2, text2b and the sa_bt keys as they were.
void tst_appearance::pickAfterAnEarlierResetBringsNoOldColourBack()
{
    storeValues({{"text2", "color:#aa0000;"}, {"text2b", "color:#00aa00;"}, {"bt1", ""}});
    auto w = startWindow();
    openSettings(*w);
    pickColour(2, QColor("#fafafa"));
    pickColour(5, QColor("#e0e0e0"));
    QCOMPARE(stored("tstyle"), QStringLiteral("background-color:#fafafa;"));
    QCOMPARE(stored("astyle"), QStringLiteral("background-color:#e0e0e0;"));
}

void tst_appearance::corruptStoredValuesAreAppliedWithoutCrashing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("huge text") << QString(200000, QLatin1Char('x'));
    QTest::newRow("unknown colour name") << QStringLiteral("#zzzzzz");
    QTest::newRow("broken font description") << QStringLiteral("a,b,c,d,e,f,g,h,i");
    QTest::newRow("only separators") << QStringLiteral(",,,,,,,,,,,,,,,,,,,,");
    QTest::newRow("unclosed style block") << QStringLiteral("QTextEdit { color:");
    QTest::newRow("control characters") << QString::fromUtf8("\x01\x02\x7f;\xc3\xa9");
}

void tst_appearance::corruptStoredValuesAreAppliedWithoutCrashing()
{
    QFETCH(QString, text);
    QList<QPair<QString, QString>> values;
    for (const char *key : {"sa_bt1", "sa_bt2", "sa_bt4", "sa_bt5", "bt1", "bt2", "bt4", "bt5",
                            "text2", "text2b", "tstyle", "tfont", "astyle", "afont"})
        values.append({QLatin1String(key), text});
    storeValues(values);
    auto w = startWindow();
    addTab(*w);
    tabs(*w)->setCurrentIndex(0);
    QCOMPARE(currentEditor(*w)->styleSheet(), text);
    QCOMPARE(w->styleSheet(), text);
    openSettings(*w);
    QCOMPARE(settingsButton(1)->styleSheet(), "background-color:" + text + ";");
    settingsButton(1)->click();
    QVERIFY(!colorDialog()->currentColor().isValid() || colorDialog()->isVisible());
    colorDialog()->close();
    pickFont(3, QFont(QStringLiteral("DejaVu Sans"), 11));
    QCOMPARE(currentEditor(*w)->font().pointSize(), 11);
    markAllSaved(*w);
}

void tst_appearance::tabChangeWithUnchangedStoreRestylesNothing_data()
{
    QTest::addColumn<bool>("withLook");
    QTest::newRow("empty store") << false;
    QTest::newRow("stored look") << true;
}

void tst_appearance::tabChangeWithUnchangedStoreRestylesNothing()
{
    QFETCH(bool, withLook);
    if (withLook)
        storeValues({{"astyle", "background-color:#102030;color:#405060;"},
                     {"afont", QFont(QStringLiteral("DejaVu Sans"), 13).toString()},
                     {"tstyle", "background-color:#aaaaaa;color:#111111;"},
                     {"tfont", QFont(QStringLiteral("DejaVu Sans Mono"), 15).toString()}});
    auto w = startWindow();
    addTab(*w);
    addTab(*w);
    RestyleCounter counter;
    counter.watch(w.get());
    counter.watch(topLevel("find_window"));
    counter.watch(topLevel("replace_window"));
    counter.watch(topLevel("settings_window"));
    for (int i = 0; i < tabs(*w)->count(); ++i)
        counter.watch(editorAt(*w, i));
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < tabs(*w)->count(); ++i)
            tabs(*w)->setCurrentIndex(i);
    QCOMPARE(counter.count, 0);
}

void tst_appearance::storedFontTextGivesWhatTheFontParserGives_data()
{
    QTest::addColumn<QString>("text");
    // The default font: nothing stored, or what a font never picked was stored as.
    QTest::newRow("empty") << QString();
    QTest::newRow("description of an empty family") << QFont(QString()).toString();
    QTest::newRow("family only") << QStringLiteral("DejaVu Sans");
    QTest::newRow("family and size") << QStringLiteral("DejaVu Sans,14");
    QTest::newRow("full description") << QFont(QStringLiteral("DejaVu Serif"), 9).toString();
    QTest::newRow("nine fields") << QStringLiteral("a,b,c,d,e,f,g,h,i");
    QTest::newRow("five fields") << QStringLiteral("a,1,2,3,4");
    QTest::newRow("eighteen fields") << QStringLiteral("a,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7");
    QTest::newRow("spaces around") << QStringLiteral("  DejaVu Sans,12  ");
}

namespace {
int fontWarnings = 0;
void countFontWarnings(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("QFont")))
        ++fontWarnings;
}
} // namespace

void tst_appearance::storedFontTextGivesWhatTheFontParserGives()
{
    QFETCH(QString, text);
    fontWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countFontWarnings);
    const QFont ours = look::font_from_text(text);
    const int oursWarned = fontWarnings;
    QFont parsed(text);
    parsed.fromString(text); // the parser's own complaint is not ours
    qInstallMessageHandler(previous);
    QCOMPARE(oursWarned, 0);
    if (text.section(QLatin1Char(','), 0, 0).isEmpty())
        parsed = QFont();
    QCOMPARE(ours, parsed);
    QCOMPARE(ours.families(), parsed.families());
    QCOMPARE(ours.resolveMask(), parsed.resolveMask());
}

// Root writes anywhere, so the folder of the store is made a plain file.
void tst_appearance::storeThatCannotBeWrittenIsToldToTheUser()
{
    auto w = startWindow();
    const QString folder =
        QFileInfo(QSettings(QStringLiteral("vrel"), QStringLiteral("Feuillon")).fileName())
            .absolutePath();
    QDir(folder).removeRecursively();
    {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    openSettings(*w);
    {
        DialogAnswerer answers;
        answers.button(QMessageBox::Ok);
        pickColour(2, QColor("#224466"));
        QVERIFY(answers.waitDone());
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.seen().size(), 1);
        QCOMPARE(answers.seen().first().title, QStringLiteral("Erreur"));
        QVERIFY(answers.seen().first().text.contains(QStringLiteral("pas pu être enregistrés")));
    }
    // The pick still shows for the rest of the run.
    QCOMPARE(currentEditor(*w)->styleSheet(), QStringLiteral("background-color:#224466;"));
    QFile::remove(folder);
}

void tst_appearance::damagedStoreIsToldOnceAndTheRestStillLoads()
{
    const QString path = QSettings(QStringLiteral("vrel"), QStringLiteral("Feuillon")).fileName();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nune ligne sans valeur\ntstyle=\"background-color:#123456;\"\n");
    }
    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    auto w = startWindow();
    addTab(*w);
    tabs(*w)->setCurrentIndex(0);
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.seen().size(), 1);
    QCOMPARE(answers.seen().first().title, QStringLiteral("Erreur"));
    QVERIFY(answers.seen().first().text.contains(QStringLiteral("pas pu être lus")));
    QCOMPARE(currentEditor(*w)->styleSheet(), QStringLiteral("background-color:#123456;"));

    // Saving rewrites the file in good form and is no failure.
    openSettings(*w);
    pickColour(5, QColor("#654321"));
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().size(), 1);
    QCOMPARE(stored("tstyle"), QStringLiteral("background-color:#123456;"));
    QCOMPARE(stored("bt5"), QStringLiteral("#654321"));
}

FEUILLON_TEST_MAIN(tst_appearance)
#include "tst_appearance.moc"
