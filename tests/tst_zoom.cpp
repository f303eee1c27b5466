// Zoom by Control and the wheel, the zoom entries of the menu, their reset
// and the zoom on a change of tab.
#include "pickers.h"
#include "testmain.h"
#include "window.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

using namespace feuillon_test;

namespace {
struct SavedOnExit {
    fp &window;
    ~SavedOnExit() { markAllSaved(window); }
};

QString status(fp &window)
{
    return window.findChild<QLabel *>(QStringLiteral("status_label"))->text();
}

QString levelOf(fp &window)
{
    return status(window).section(QLatin1Char(','), 0, 0).trimmed();
}

QTextEdit *openNewTab(fp &window)
{
    action(window, "actionNouvelle_Onglet")->trigger();
    return currentEditor(window);
}

// Far more lines than the window shows, scrolled to the middle so that the
// editor could take the wheel either way.
QTextEdit *openLongDocument(fp &window)
{
    QTextEdit *editor = openNewTab(window);
    QStringList lines;
    for (int i = 0; i < 500; ++i)
        lines << QStringLiteral("ligne %1").arg(i);
    editor->setPlainText(lines.join(QLatin1Char('\n')));
    QScrollBar *bar = editor->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    return editor;
}

// A wheel notch as the windowing system delivers it: spontaneous, sent to
// the widget under the pointer and passed on to its parents when ignored.
void wheel(QWidget *target, int dy, Qt::KeyboardModifiers modifiers, int dx = 0)
{
    const QPointF local = QRectF(target->rect()).center();
    QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(dx, dy), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(target, &event);
}

void notches(QWidget *target, int count, int dy, Qt::KeyboardModifiers modifiers)
{
    for (int i = 0; i < count; ++i)
        wheel(target, dy, modifiers);
}

qreal pointSize(QTextEdit *editor)
{
    return editor->font().pointSizeF();
}
} // namespace

class tst_zoom : public QObject
{
    Q_OBJECT

private slots:
    void controlWheelZoomsWhereverThePointerIs_data();
    void controlWheelZoomsWhereverThePointerIs();
    void oneStepPerEventWhateverTheDelta();
    void horizontalWheelChangesNothing();
    void wheelDownStopsAtTheFloor();
    void levelFollowsOnlyRealChangesOfSize();
    void wheelWithoutControlScrollsAndZoomsNothing();
    void controlKeyAloneDoesNotMakeTheWheelZoom();
    void resetZoomBringsTheSizeBack_data();
    void resetZoomBringsTheSizeBack();
    void zoomEntriesActOnTheCurrentTab();
    void zoomEntriesRespectTheFloor();
    void shortcutsTypedInTheEditorZoomAndReset();
    void tabSwitchShowsEditorsAtTheirOwnSize();
    void fontSetAgainIsNotShrunkTwice();
    void editorLookPickedWhileZoomedShowsLevel100_data();
    void editorLookPickedWhileZoomedShowsLevel100();
};

void tst_zoom::controlWheelZoomsWhereverThePointerIs_data()
{
    QTest::addColumn<QString>("where");
    for (const char *where :
         {"long document", "vertical scroll bar", "short document", "tab bar", "status bar"})
        QTest::newRow(where) << QString::fromLatin1(where);
}

void tst_zoom::controlWheelZoomsWhereverThePointerIs()
{
    QFETCH(QString, where);
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor =
        where == QLatin1String("short document") ? openNewTab(*w) : openLongDocument(*w);
    QVERIFY(editor->verticalScrollBar()->maximum() > 0 || where == QLatin1String("short document"));
    QWidget *target = editor->viewport();
    if (where == QLatin1String("vertical scroll bar"))
        target = editor->verticalScrollBar();
    else if (where == QLatin1String("tab bar"))
        target = tabs(*w)->findChild<QTabBar *>();
    else if (where == QLatin1String("status bar"))
        target = w->findChild<QLabel *>(QStringLiteral("status_label"));
    const qreal before = pointSize(editor);
    const auto topLine = [editor] { return editor->cursorForPosition(QPoint(4, 4)).blockNumber(); };
    const int top = topLine();
    const int currentTab = tabs(*w)->currentIndex();

    notches(target, 3, 120, Qt::ControlModifier);

    QVERIFY(status(*w).startsWith(QStringLiteral("Zoom: 103% , ")));
    QCOMPARE(pointSize(editor), before + 3);
    // The zoom took the wheel: no page scroll, no tab switch; the line at
    // the top of the view stays there at the new size.
    QCOMPARE(topLine(), top);
    QCOMPARE(tabs(*w)->currentIndex(), currentTab);
}

void tst_zoom::oneStepPerEventWhateverTheDelta()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openLongDocument(*w);
    const qreal before = pointSize(editor);
    wheel(editor->viewport(), 960, Qt::ControlModifier);
    wheel(editor->viewport(), 15, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 102%"));
    QCOMPARE(pointSize(editor), before + 2);
}

void tst_zoom::horizontalWheelChangesNothing()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openLongDocument(*w);
    const QString statusBefore = status(*w);
    const qreal before = pointSize(editor);
    wheel(editor->viewport(), 0, Qt::ControlModifier, 120);
    QCOMPARE(status(*w), statusBefore);
    QCOMPARE(pointSize(editor), before);
}

void tst_zoom::wheelDownStopsAtTheFloor()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openLongDocument(*w);
    editor->setFont(QFont(editor->font().family(), 20));
    notches(editor->viewport(), 10, -120, Qt::ControlModifier);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 90%"));
    QCOMPARE(pointSize(editor), 10.0);
    notches(editor->viewport(), 3, -120, Qt::ControlModifier);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 90%"));
    QCOMPARE(pointSize(editor), 10.0);
    wheel(editor->viewport(), 120, Qt::ControlModifier);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 91%"));
    QCOMPARE(pointSize(editor), 11.0);
}

void tst_zoom::levelFollowsOnlyRealChangesOfSize()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    editor->setFont(QFont(editor->font().family(), 2));
    // One point is the smallest size there is: the level stops with the text.
    notches(editor->viewport(), 4, -120, Qt::ControlModifier);
    QCOMPARE(pointSize(editor), 1.0);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 99%"));
    action(*w, "actionR_tablir_Zoom")->trigger();
    QCOMPARE(pointSize(editor), 2.0);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 100%"));
}

void tst_zoom::wheelWithoutControlScrollsAndZoomsNothing()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openLongDocument(*w);
    const QString statusBefore = status(*w);
    const qreal before = pointSize(editor);
    const int scrolled = editor->verticalScrollBar()->value();
    notches(editor->viewport(), 3, -120, Qt::NoModifier);
    QVERIFY(editor->verticalScrollBar()->value() > scrolled);
    QCOMPARE(status(*w), statusBefore);
    QCOMPARE(pointSize(editor), before);
    // Over the status bar the wheel reaches the main window itself.
    wheel(w->statusBar(), 120, Qt::NoModifier);
    QCOMPARE(status(*w), statusBefore);
    QCOMPARE(pointSize(editor), before);
}

void tst_zoom::controlKeyAloneDoesNotMakeTheWheelZoom()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    editor->setFocus();
    const qreal before = pointSize(editor);
    // Control pressed, then the wheel turned after it was let go elsewhere:
    // the release never reached the window, the event has no Control.
    QTest::keyPress(w->windowHandle(), Qt::Key_Control);
    wheel(editor->viewport(), 120, Qt::NoModifier);
    wheel(w->statusBar(), 120, Qt::NoModifier);
    QTest::keyRelease(w->windowHandle(), Qt::Key_Control);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 100%"));
    QCOMPARE(pointSize(editor), before);
}

void tst_zoom::resetZoomBringsTheSizeBack_data()
{
    QTest::addColumn<int>("notchCount");
    QTest::addColumn<int>("dy");
    QTest::addColumn<QString>("zoomed");
    QTest::newRow("from 103") << 3 << 120 << QStringLiteral("Zoom: 103%");
    QTest::newRow("from 95") << 5 << -120 << QStringLiteral("Zoom: 95%");
    QTest::newRow("at 100") << 0 << 120 << QStringLiteral("Zoom: 100%");
}

void tst_zoom::resetZoomBringsTheSizeBack()
{
    QFETCH(int, notchCount);
    QFETCH(int, dy);
    QFETCH(QString, zoomed);
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openLongDocument(*w);
    editor->setFont(QFont(editor->font().family(), 12));
    notches(editor->viewport(), notchCount, dy, Qt::ControlModifier);
    QCOMPARE(levelOf(*w), zoomed);
    QCOMPARE(pointSize(editor), 12.0 + (dy > 0 ? notchCount : -notchCount));
    action(*w, "actionR_tablir_Zoom")->trigger();
    QCOMPARE(pointSize(editor), 12.0);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 100%"));
}

void tst_zoom::zoomEntriesActOnTheCurrentTab()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *startup = currentEditor(*w);
    const qreal startupSize = pointSize(startup);
    QTextEdit *second = openNewTab(*w);
    type(second, QStringLiteral("abc"));
    const qreal before = pointSize(second);

    action(*w, "actionZoom")->trigger();
    action(*w, "actionZoom")->trigger();
    QCOMPARE(pointSize(second), before + 2);
    QCOMPARE(status(*w), QStringLiteral("Zoom: 102% , 3 Caractère , 1 Ligne"));
    QCOMPARE(pointSize(startup), startupSize);

    action(*w, "actionD_Zoom")->trigger();
    QCOMPARE(pointSize(second), before + 1);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 101%"));

    action(*w, "actionR_tablir_Zoom")->trigger();
    QCOMPARE(pointSize(second), before);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 100%"));
}

void tst_zoom::zoomEntriesRespectTheFloor()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    editor->setFont(QFont(editor->font().family(), 30));
    for (int i = 0; i < 12; ++i)
        action(*w, "actionD_Zoom")->trigger();
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 90%"));
    QCOMPARE(pointSize(editor), 20.0);
}

void tst_zoom::shortcutsTypedInTheEditorZoomAndReset()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    const qreal before = pointSize(editor);
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(status(*w), QStringLiteral("Zoom: 102% , 0 Caractère , 1 Ligne"));
    QCOMPARE(pointSize(editor), before + 2);
    QTest::keyClick(editor, Qt::Key_Asterisk, Qt::ControlModifier);
    QCOMPARE(status(*w), QStringLiteral("Zoom: 100% , 0 Caractère , 1 Ligne"));
    QCOMPARE(pointSize(editor), before);
}

void tst_zoom::tabSwitchShowsEditorsAtTheirOwnSize()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *first = openLongDocument(*w);
    const qreal firstSize = pointSize(first);
    QTextEdit *second = openNewTab(*w);
    type(second, QStringLiteral("x\ny"));
    const qreal secondSize = pointSize(second);
    tabs(*w)->setCurrentWidget(first);

    notches(first->viewport(), 3, 120, Qt::ControlModifier);
    QCOMPARE(pointSize(first), firstSize + 3);

    tabs(*w)->setCurrentWidget(second);
    QCOMPARE(status(*w), QStringLiteral("Zoom: 100% , 3 Caractère , 2 Ligne"));
    QCOMPARE(pointSize(second), secondSize);

    notches(second->viewport(), 2, -120, Qt::ControlModifier);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 98%"));

    // Back on the first tab: its own size again, and the level says so.
    tabs(*w)->setCurrentWidget(first);
    QCOMPARE(pointSize(first), firstSize);
    QVERIFY(status(*w).startsWith(QStringLiteral("Zoom: 100% , ")));
    tabs(*w)->setCurrentWidget(second);
    QCOMPARE(pointSize(second), secondSize);
}

void tst_zoom::fontSetAgainIsNotShrunkTwice()
{
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *first = openNewTab(*w);
    const QFont configured = first->font();
    openNewTab(*w);
    tabs(*w)->setCurrentWidget(first);
    notches(first->viewport(), 3, 120, Qt::ControlModifier);
    // New appearance settings put the configured font back on the editor.
    first->setFont(configured);
    tabs(*w)->setCurrentIndex(tabs(*w)->indexOf(first) + 1);
    tabs(*w)->setCurrentWidget(first);
    QCOMPARE(pointSize(first), configured.pointSizeF());
    action(*w, "actionR_tablir_Zoom")->trigger();
    QCOMPARE(pointSize(first), configured.pointSizeF());
}

void tst_zoom::editorLookPickedWhileZoomedShowsLevel100_data()
{
    QTest::addColumn<bool>("font");
    QTest::newRow("background colour") << false;
    QTest::newRow("font confirmed at once") << true;
}

void tst_zoom::editorLookPickedWhileZoomedShowsLevel100()
{
    QFETCH(bool, font);
    auto w = startWindow();
    SavedOnExit saved{*w};
    QTextEdit *editor = openNewTab(*w);
    const qreal configured = pointSize(editor) + (font ? 2 : 0);
    notches(editor->viewport(), 2, 120, Qt::ControlModifier);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 102%"));
    openSettings(*w);
    if (font) {
        settingsButton(3)->click();
        pressOk(fontDialog()); // the font as shown, zoomed
    } else {
        pickColour(2, QColor(QStringLiteral("#fdf6e3")));
    }
    QCOMPARE(pointSize(editor), configured);
    QCOMPARE(levelOf(*w), QStringLiteral("Zoom: 100%"));
    action(*w, "actionR_tablir_Zoom")->trigger();
    QCOMPARE(pointSize(editor), configured);
    topLevel("settings_window")->close();
    colorDialog()->close();
    clearStore();
}

FEUILLON_TEST_MAIN(tst_zoom)
#include "tst_zoom.moc"
