// Work on a document far bigger than the screen, each step to its painted
// frame: a zoom step (Feuillon beside the bare widget), and in the biggest
// document a keystroke in the middle and Ctrl+End (Feuillon alone: the bare
// widget takes minutes to lay such a document out).
#include "cases.h"
#include "fp.h"
#include "frame.h"
#include "textgen.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace bench {

namespace {

QTextEdit *editorIn(fp &window)
{
    return qobject_cast<QTextEdit *>(
        window.findChild<QTabWidget *>(QStringLiteral("onglet"))->currentWidget());
}

void press(QWidget *target, int key, Qt::KeyboardModifiers modifiers, const QString &text = {})
{
    QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &down);
    QApplication::sendEvent(target, &up);
}

void toMiddle(QTextEdit *editor)
{
    QTextCursor middle(editor->document());
    middle.setPosition(editor->document()->characterCount() / 2);
    editor->setTextCursor(middle);
}

void zoomStep(Report &report, fp &window, const QString &text, int runs)
{
    QTextEdit *ours = editorIn(window);
    QAction *zoomIn = window.findChild<QAction *>(QStringLiteral("actionZoom"));
    QTextEdit bare;
    bare.resize(ours->size());
    bare.setPlainText(text);
    bare.show();
    ours->setPlainText(text);
    toMiddle(ours);
    toMiddle(&bare);
    report.add({QStringLiteral("Zoom step in %1").arg(sizeName(text.size())),
                toFrame(runs, ours, {}, [&] { zoomIn->trigger(); }),
                toFrame(runs, &bare, {}, [&] { bare.zoomIn(1); }), QStringLiteral("≤ 50 ms"),
                QStringLiteral("frame")});
    ours->document()->setModified(false);
}

void farEdits(Report &report, fp &window, const QString &text, int runs)
{
    QTextEdit *ours = editorIn(window);
    ours->setPlainText(text);
    const QString name = sizeName(text.size());
    report.add({QStringLiteral("Keystroke in the middle of %1").arg(name),
                toFrame(
                    runs, ours, [&] { toMiddle(ours); },
                    [&] { press(ours, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")); }),
                {},
                QStringLiteral("≤ 16 ms"),
                QStringLiteral("frame")});
    report.add({QStringLiteral("Ctrl+End in %1").arg(name),
                toFrame(
                    runs, ours, [&] { ours->moveCursor(QTextCursor::Start); },
                    [&] { press(ours, Qt::Key_End, Qt::ControlModifier); }),
                {},
                QStringLiteral("≤ 50 ms"),
                QStringLiteral("frame")});
    ours->document()->setModified(false);
}

} // namespace

void bigEdits(Report &report, const Options &o)
{
    fp window(QStringList{QStringLiteral("feuillon")});
    window.show();
    QApplication::processEvents();
    const int runs = o.quick ? 1 : o.runs;
    zoomStep(report, window, frenchText(sizesOf(o, {10 << 20}).first()), runs);
    farEdits(report, window, frenchText(sizesOf(o, {100 << 20}).first()), runs);
}

} // namespace bench
