// What Feuillon knows about the document of one editor tab.
#pragma once

#include "encoding.h"
#include "fingerprint.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <optional>

class DocumentLoad;
class GrowthRead;
class QTabWidget;
class QTextEdit;

// Kept as a child of the editor, so it lives and dies with its tab: nothing
// to update when a tab is moved, closed or deleted, and any code that holds
// an editor reaches its facts without asking the window.
class docinfo : public QObject
{
    Q_OBJECT

public:
    // The record of this editor, made on first use.
    static docinfo *of(QTextEdit *editor);
    // The editors of the tabs, the current one first: the one the user is
    // looking at is asked about first.
    static QList<QTextEdit *> editors_current_first(QTabWidget *tabs);
    // The editor of the tab holding this file (an absolute path), if any:
    // a file named on the command line may have a relative path.
    static QTextEdit *holding(QTabWidget *tabs, const QString &file);

    // The path is held as the editor's accessible name, the one per-tab
    // record of it; these read and write it there, no copy is kept.
    QString path() const;
    void set_path(const QString &path);
    bool has_path() const { return !path().isEmpty(); }
    // The last component of the path, as tab titles show it.
    QString file_name() const;

    // Back to a new, empty document's facts. The zoom belongs to the
    // editor, not to the document, and stays.
    void forget();

    // The file held bytes that could not be decoded: saving would replace
    // them, so the text is never written without telling the user.
    bool undecodable = false;

    // Put back from the recovery journal: its file may hold something else
    // by now, so it is never written there without asking, until saved.
    bool restored = false;
    // The name a save offers for a text without a path (an entry of an older
    // version that named its file relatively).
    QString suggested_name;

    // Encoding, byte-order mark and line ends the file is written back in.
    textfile::Form form;

    // --- The file on disk, watched for other programs (documents/watch.cpp) ---
    // The file as the text last matched it, taken at load and after every
    // save; a write to that path first checks that it still is so.
    Fingerprint disk;
    // Another program changed the file while the text had unsaved changes:
    // asked about once the tab is in front.
    bool disk_question = false;
    // The file as it was when the user chose to keep their text against it:
    // neither that change nor a file that only grows from it is asked about
    // again.
    std::optional<Fingerprint> kept_against;
    // What the file gained, being read (documents/follow.cpp), and when it
    // was last read.
    GrowthRead *growth = nullptr;
    QElapsedTimer growth_read;
    // The document's revision and undo steps just after the file's text last
    // went in: what the file appends right after joins that undo step.
    std::pair<int, int> followed{-1, -1};
    // The file was deleted: the document counts as modified from then on.
    // The revision at which the text was still the file's, if it was.
    struct Gone {
        std::optional<int> matched_at;
    };
    std::optional<Gone> gone;
    // Being read into or followed: looked at again once that ends.
    bool busy() const { return load != nullptr || growth != nullptr; }
    // Text that the user edited since the file was last read or written; a
    // document marked modified only because its file was deleted has none.
    bool unsaved() const;
    // The file holds the text's bytes (again): a text marked modified only
    // because its file was deleted is not any more.
    void file_back(const Fingerprint &now);
    // Its text exists nowhere else now: every save offer offers it.
    void file_gone();

    // A big file going into the editor slice by slice (documents/loading.cpp),
    // a child of this record: until the whole text is in, the tab is
    // read-only and nothing writes it.
    DocumentLoad *load = nullptr;
    bool loading() const { return load != nullptr; }

    // The longest text "Suprimer Tout" emptied: its undo brings that much
    // back.
    int cleared_characters = 0;

    // Zoom steps the editor carries and the font size they gave it, so it
    // can be brought back to its own size when it becomes current again.
    int zoom_steps = 0;
    qreal zoomed_size = 0;

private:
    explicit docinfo(QTextEdit *editor);
    QTextEdit *editor;
};
