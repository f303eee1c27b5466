// A big file on its way into an editor: its first lines show at once, the
// whole file is read on a worker thread, then put in slice by slice while
// the window goes on answering. Until the whole text is in, the tab is
// read-only and nothing writes it.
#pragma once

#include "bigfile.h"
#include "lazylayout.h"
#include "textfile.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>

class QStatusBar;
class QTextEdit;

// What the worker hands over: the file's facts, and its text in pieces of
// whole lines, so that the memory of each piece goes once it is in; or the
// document it already built of them.
struct LoadedFile {
    // A document nobody took (the load stopped) may go with the last copy of
    // this on the worker: it is deleted on the window's thread, whose it is.
    struct LaterDelete {
        void operator()(QObject *object) const { object->deleteLater(); }
    };
    textfile::ReadResult read; // its text is in pieces
    QStringList pieces;
    qsizetype length = 0; // characters in all
    std::unique_ptr<QTextDocument, LaterDelete> document;
};

// How far the worker is, told to the window's thread while it reads.
struct LoadProgress {
    std::atomic<qsizetype> built{0};
    std::atomic<qsizetype> total{0};
    std::atomic<bool> stopped{false}; // nobody waits for the document any more
};

class DocumentLoad : public QObject
{
    Q_OBJECT

public:
    // Shows `shown` (the file's first whole lines, in this form) and starts
    // reading the file. The load is the editor's record's (docinfo::load)
    // until it ends.
    DocumentLoad(QTextEdit *editor, const QString &path, const QString &shown,
                 const textfile::Form &form);
    // Reads the file again into an editor that holds an older text of it:
    // that text stays shown while the file is read, then the new one
    // replaces it slice by slice, as one step that "Annuler" takes back.
    DocumentLoad(QTextEdit *editor, const QString &path);

    const QString path;
    // 0 to 100: how much of the text is in.
    int percent() const;
    // Ends the load where it is, leaving in the editor what is in: the
    // caller empties the tab, closes it or reads another file into it.
    void stop();
    // The load of this editor, if any, stopped.
    static void stop_in(QTextEdit *editor);

signals:
    // Another slice went in.
    void progress();
    // The whole text is in, and `read` has the file's facts (its text is
    // empty); or the file could not be read whole (its status says so) and
    // the tab holds only part of it. The load is stopped either way.
    void ended(const textfile::ReadResult &read);
    // The load ended or was stopped: the tab is editable.
    void stopped();
    // A key that would change the text, refused while it loads; once.
    void refused_key();
    // The editor has a new document, built off the window's thread: what
    // followed the old one follows this one now.
    void replaced();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void start();
    void read_file();
    void hand_over(QTextDocument *document);
    void put_in(const QString &slice);
    void arrived();
    void next_slice();
    QString take_slice();

    QTextEdit *editor;
    const bool again = false; // the editor held an older text of the file
    QFutureWatcher<std::shared_ptr<LoadedFile>> reading;
    QTimer next;
    // The worker starts after the first paint, or after this long without one
    // (a tab not shown).
    QTimer read_soon;
    QPointer<QWidget> first_paint; // the viewport, until its first paint
    static constexpr int first_paint_wait_ms = 50;
    static constexpr int progress_ms = 250;
    // A file read anew into an editor with the lazy layout is built into a
    // document of its own on the worker; without, it goes in slice by slice.
    std::optional<LazyLayout::Measure> measure;
    std::shared_ptr<LoadProgress> worker = std::make_shared<LoadProgress>();
    textfile::ReadResult facts; // of the whole file, once read
    bool read = false;          // the whole text has arrived
    QString shown;              // the first lines, shown while the file is read
    QStringList pieces;         // the text not in the editor yet
    qsizetype offset = 0;       // characters of the first piece already in
    qsizetype length = 0;       // characters of the whole text
    qsizetype in = 0;           // characters in the editor
    bigfile::SlicePace pace;
    bool told = false;
};

// True, after telling the user in the status bar, when the document cannot
// be changed or written yet.
bool busy_loading(QStatusBar *bar, QTextEdit *editor);
