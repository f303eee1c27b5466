// The main window of Feuillon. One class carries the whole behaviour; its
// member definitions live in the folder of the subsystem they belong to.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class DiskWatch;
class EndSignals;
class FileDropFilter;
class QCloseEvent;
struct Fingerprint;
class QColorDialog;
class QFontDialog;
class QGridLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QPushButton;
class QTextCursor;
class QTextEdit;
class QWheelEvent;

namespace textfile {
enum class Failure;
struct Form;
struct ReadResult;
} // namespace textfile
class NoteLabel;
class RecentMenu;
namespace journal {
struct Entry;
} // namespace journal
class RecoveryJournal;

QT_BEGIN_NAMESPACE
namespace Ui {
class fp;
}
QT_END_NAMESPACE

class fp : public QMainWindow
{
    Q_OBJECT

public:
    explicit fp(QWidget *parent = nullptr);
    ~fp() override;

    // Arguments as given on the command line; the first one after the
    // program is the file to open. Tests pass their own list.
    fp(const QStringList &arguments, QWidget *parent = nullptr);

    // documents/tabs.cpp
    QTextEdit *cur_editor();
    void reset_doc();
    void set_path(QString path);

    // documents/files.cpp. Each returns whether the caller may go on:
    // the file was read or written, or the user chose to drop the text.
    bool load_file(QString path);
    bool write_file(QString path);
    bool offer_save();

    // documents/recovery.cpp: a desktop log-out, a kill or a closed terminal
    // keeps every unsaved text in the recovery journal and ends the run.
    void end_on_signals();

    // appearance/store.cpp
    void load_appearance();
    void save_appearance();

signals:
    void besaveas();
    void si_tab();
    void si_all();

public slots:
    void changestatus();
    void makelook();
    void look();
    void makereplace();
    void replace();
    void apropos();
    void saveas();
    void saving();
    void open();
    void newfile();
    void openatab();
    void newtab();
    void closetab(int cli);
    void changetab();
    void ch_tab();
    void ch_all();
    void settings();
    void opencolor(QColor ccol);
    void openfont(QFont cfont);
    void passcol();
    void passcol2();
    void passcol3();
    void passcol4();
    void passcol5();
    void passcol6();
    void reset_opt();
    void reset_zoom();

protected:
    void closeEvent(QCloseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Ui::fp *ui;
    bool ctrl_held = false;
    int zoom_level = 100;
    QString version;
    QString current_path;
    bool has_path = false;
    QWidget *status_widget;
    QLabel *status_label;
    QGridLayout *status_layout;
    QString search_text;
    bool first_run = true;
    bool match_found = false;
    QWidget *find_window;
    QLineEdit *find_field;
    QWidget *settings_window;
    QString replace_search_text;
    QString replacement_text;
    QWidget *replace_window;
    QLineEdit *replace_search_field;
    QLineEdit *replacement_field;
    QColorDialog *color_dialog;
    QFontDialog *font_dialog;
    int pick_target = 0;
    QPushButton *set_bt1;
    QPushButton *set_bt2;
    QPushButton *set_bt3;
    QPushButton *set_bt4;
    QPushButton *set_bt5;
    QPushButton *set_bt6;
    QString edit_style, app_style, edit_back, edit_text, app_back, app_text;
    QFont edit_font, app_font;
    QString pick_name1, pick_name2, pick_name4, pick_name5;
    QString load_name1, load_name2, load_name4, load_name5;
    QColor pick_color1, pick_color2, pick_color4, pick_color5;
    bool picked1 = false, picked2 = false, picked4 = false, picked5 = false;

    // --- app (app/fp.cpp) ---
    QStringList launch_arguments;
    void createMemberWidgets();
    void connectEditActions();
    void assembleStatusBar();
    void deleteMemberWidgets();
    // app/keys.cpp, app/toolwindows.cpp
    void connectKeys();

    // --- documents: private helpers ---
    // A tab's document facts (path, encoding trouble, zoom) live in its
    // record, docinfo::of(editor) (documents/docinfo.h).
    QTextEdit *editor_at(int index) const;
    void mirror_path();
    // Why a document's text is about to go; may_text_go decides whether it
    // may, for every caller (documents/saveoffer.cpp).
    enum class Offer {
        Current,    // "Nouveau", "Ouvrir", closing the current tab
        Background, // closing a tab the user is not looking at
        EndOfRun,   // the window goes: a failed write asks for another name
        Quit        // as EndOfRun, but the window is still there: no answer
                    // keeps it, and a "Non" takes effect once every tab is asked
    };
    bool may_text_go(QTextEdit *editor, Offer offer);
    void offer_save_at_exit();
    bool save_at_end(QTextEdit *editor, bool failed);
    bool run_ending = false; // the window is going: nothing new is looked at
    // Failed: nothing was written, after an error or because the user would
    // not write over a file another program changed.
    enum class WriteOutcome { Written, Failed, Declined };
    WriteOutcome write_editor(QTextEdit *editor, const QString &path, bool keep_previous = false);
    // documents/saveform.cpp
    WriteOutcome save_under_new_name(QTextEdit *editor, const QString &filter, bool adopt);
    void adopt_path(QTextEdit *editor, const QString &path);
    void choose_and_load();
    void open_in_new_tabs(const QStringList &paths);
    FileDropFilter *file_drops = nullptr;

    // --- documents: the recovery journal (documents/recovery.cpp) ---
    RecoveryJournal *recovery = nullptr;
    bool ending_by_signal = false;
    void start_journal();
    void offer_recovery();
    void restore_entry(const journal::Entry &entry);

    // --- documents: big files, put in slice by slice (documents/loading.cpp) ---
    QLabel *load_label = nullptr;
    using ReloadEnd = std::function<void(const textfile::ReadResult &)>;
    bool begin_load(QTextEdit *editor, const QString &path, const ReloadEnd &again = {});
    void load_ended(QTextEdit *editor, const QString &path, const textfile::ReadResult &read);
    void show_load_progress();

    // --- documents: files changed by other programs (documents/watch.cpp) ---
    DiskWatch *disk_watch = nullptr;
    bool asking_about_disk = false;
    void took_file(QTextEdit *editor, const Fingerprint &print);
    bool may_overwrite(QTextEdit *editor, const QString &path, bool *overwrites);
    void look_at_disk();
    bool reload_from_disk(QTextEdit *editor, bool whole = false);
    void ask_about_disk(QTextEdit *editor);

    // --- search: private helpers ---
    class highlight_trace;
    highlight_trace *trace = nullptr;
    void build_find_window();
    void build_replace_window();
    void highlight_matches(QTextEdit *editor);
    void replace_matches(QTextEdit *editor);
    void take_highlight_away();

    // --- appearance: private helpers ---
    bool restart_pending = false;
    bool store_error_told = false;
    void apply_app_look();
    void apply_editor_look();
    void restart_if_asked();
    void build_settings_window();
    void open_color_dialog(const QColor &preset, int target);
    void open_font_dialog(const QFont &preset, int target);

    // --- status: private helpers ---
    void zoom_step(int direction);
    void settle_zoom(QTextEdit *editor);
    void wheel_zoom(QWheelEvent *event);
    // status/formlabel.cpp: the current document's encoding and line ends.
    QLabel *form_label = nullptr;
    void show_form();

    // --- finding one's way: matches, lines, unsaved marks, recent files,
    // and the questions of the quit ---
    // search/matches.cpp: F3 and Shift+F3 go from match to match.
    void set_up_match_keys();
    void go_to_match(bool backward);
    void match_from_find_window(bool backward);
    // status/notes.cpp: a short note beside the status text.
    NoteLabel *note_label = nullptr;
    // status/position.cpp: where the cursor is, and "Aller à la ligne".
    QLabel *position_label = nullptr;
    // documents/modmark.cpp: the tab of a modified document carries a mark.
    // documents/recentmenu.cpp: "Fichiers récents".
    RecentMenu *recent_menu = nullptr;
    // app/quit.cpp: the questions asked while the window is still on screen.
    QList<QTextEdit *> quit_drops; // answered "Non", dropped once the quit goes on
    bool settle_before_quit();
};
