// The recovery journal as the user feels it: after a keystroke, the window
// must not stall while the copy of a big document is made.
#include "documents/journal.h"
#include "cases.h"
#include "fp.h"
#include "textgen.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>

namespace bench {

namespace {
// The longest gap between two ticks of a 1 ms timer over this long: how long
// the window could not answer a key or paint.
double longestPause(int forMs)
{
    QElapsedTimer clock;
    clock.start();
    const PauseWatch pauses;
    while (clock.elapsed() < forMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return pauses.longest();
}

void typeOne(QTextEdit *editor)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(editor, &press);
}

// The newest journal entry's time of change.
QDateTime newestEntry()
{
    QDateTime newest;
    QDir root(journal::journal_root());
    for (const QString &run : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QFileInfo &entry : QDir(root.filePath(run)).entryInfoList(QDir::Files))
            newest = qMax(newest, entry.fileTime(QFileDevice::FileModificationTime));
    return newest;
}
} // namespace

void journalCopies(Report &report, const Options &o)
{
    for (qsizetype size : sizesOf(o, {1 << 20, 10 << 20})) {
        const QString text = frenchText(size);
        fp window(QStringList{QStringLiteral("feuillon")});
        window.show();
        auto *editor =
            qobject_cast<QTextEdit *>(window.findChild<QTabWidget *>("onglet")->currentWidget());
        editor->setPlainText(text);
        editor->document()->documentLayout()->pageCount();
        QTextEdit bare;
        bare.resize(editor->size());
        bare.setPlainText(text);
        bare.show();
        bare.document()->documentLayout()->pageCount();
        // The copy comes 2 s after the keystroke: 3 s of watching see it whole.
        QList<double> withJournal, without;
        for (int run = 0; run < o.runs; ++run) {
            typeOne(editor);
            withJournal << longestPause(o.quick ? 2500 : 3000);
            typeOne(&bare);
            without << longestPause(o.quick ? 2500 : 3000);
        }
        report.add({QStringLiteral("Longest pause of the window while a %1 document is copied "
                                   "to the journal (bare: same wait, no journal)")
                        .arg(sizeName(size)),
                    fromSamples(withJournal), fromSamples(without), QStringLiteral("≤ 50 ms"),
                    QStringLiteral("pause")});
        const QDateTime before = newestEntry();
        QElapsedTimer onDisk;
        typeOne(editor);
        onDisk.start();
        while (newestEntry() <= before && onDisk.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        report.note(QStringLiteral("Journal copy of %1 on disk %2 ms after the keystroke (2000 ms "
                                   "of it is the wait for typing to pause).")
                        .arg(sizeName(size))
                        .arg(onDisk.elapsed()));
        editor->document()->setModified(false);
    }
}

} // namespace bench
