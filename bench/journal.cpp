// The recovery journal as the user feels it: while typing goes on, the
// window must not stall while the journal copies and logs the document.
#include "cases.h"
#include "fp.h"
#include "textgen.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLocale>
#include <QTabWidget>
#include <QTextEdit>

namespace bench {

namespace {
void typeOne(QTextEdit *editor)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(editor, &press);
}

// Bytes this process has handed to write() so far: the journal's, as
// nothing else writes while the case types.
qint64 bytesWritten()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

// Steady typing, a key every 100 ms, in a document of this size; the longest
// pause of the window meanwhile and what the journal wrote.
void typeSteadily(QTextEdit *editor, int forMs, QList<double> *pauses, qint64 *written)
{
    const qint64 before = bytesWritten();
    QElapsedTimer clock;
    clock.start();
    const PauseWatch watch;
    for (int key = 0; clock.elapsed() < forMs; ++key) {
        typeOne(editor);
        // At least once: a key that takes longer than 100 ms is a pause too.
        do
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        while (clock.elapsed() < (key + 1) * 100);
    }
    *pauses << watch.longest();
    *written += bytesWritten() - before;
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
        // The first key makes the first copy; the rest of the typing is
        // logged edit by edit.
        const int typingMs = o.quick ? 1500 : 10000;
        QList<double> withJournal, without;
        qint64 written = 0, unused = 0;
        for (int run = 0; run < o.runs; ++run) {
            typeSteadily(editor, typingMs, &withJournal, &written);
            typeSteadily(&bare, typingMs, &without, &unused);
        }
        report.add({QStringLiteral("Longest pause of the window while typing steadily (10 keys a "
                                   "second) in a %1 document kept in the journal (bare: the same "
                                   "typing, no journal)")
                        .arg(sizeName(size)),
                    fromSamples(withJournal), fromSamples(without), QStringLiteral("≤ 16 ms"),
                    QStringLiteral("pause")});
        report.note(QStringLiteral("Journal of a %1 document: %2 written per minute of steady "
                                   "typing (its first copy included).")
                        .arg(sizeName(size))
                        .arg(QLocale(QLocale::French)
                                 .formattedDataSize(written * 60000 / (typingMs * o.runs))));
        editor->document()->setModified(false);
    }
}

} // namespace bench
