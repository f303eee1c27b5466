// Construction and destruction of the main window: the constructor reads as
// the start-up sequence, the destructor as the shut-down sequence.
#include "fp.h"
#include "documents/docinfo.h"
#include "documents/filedrop.h"
#include "documents/recent.h"
#include "documents/recoveryjournal.h"
#include "documents/tabs.h"
#include "documents/watch.h"
#include "status/busycursor.h"
#include "status/notes.h"
#include "status/position.h"
#include "ui_fp.h"

#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFontDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QThreadPool>
#include <QTimer>

fp::fp(QWidget *parent) : fp(QCoreApplication::arguments(), parent) {}

fp::fp(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::fp), launch_arguments(arguments)
{
    // The first tab change already uses the windows, the status label and the
    // appearance members, so they all exist before the form is built.
    createMemberWidgets();
    version = QStringLiteral("1.4.9");
    zoom_level = 100;
    ui->setupUi(this);
    // Qt 6.4 keeps an empty icon for a missing or unreadable "logo.ico",
    // which would show no icon at all: the application's icon stays then.
    if (windowIcon().availableSizes().isEmpty())
        setWindowIcon(QApplication::windowIcon());

    start_journal();
    recent_menu = new RecentMenu(
        this, ui->onglet, [this](const QString &path) { open_in_new_tabs({path}); },
        [this](const QString &text) { statusBar()->showMessage(text, 30000); });
    ui->m_file->insertMenu(ui->ac_enr, recent_menu);
    // Files dropped from the desktop open in tabs of their own.
    file_drops =
        new FileDropFilter([this](const QStringList &paths) { open_in_new_tabs(paths); }, this);
    installEventFilter(file_drops);
    setAcceptDrops(true);

    apropos();
    if (arguments.size() > 1 && load_file(arguments.at(1))) {
        set_path(arguments.at(1));
        recent_menu->remember(arguments.at(1));
    }
    // Every further file given, as a desktop passes all the selected ones.
    open_in_new_tabs(arguments.mid(2));

    connect(ui->actionR_tablir_Zoom, SIGNAL(triggered()), this, SLOT(reset_zoom()));
    connect(ui->onglet, SIGNAL(tabCloseRequested(int)), this, SLOT(closetab(int)));
    connectEditActions();
    connect(this, SIGNAL(si_tab()), this, SLOT(ch_tab()));
    connect(this, SIGNAL(si_all()), this, SLOT(ch_all()));
    connectKeys();
    set_up_match_keys();
    // Named after the menu entry that opens it.
    settings_window->setWindowTitle(ui->actionOption->iconText());

    load_appearance();
    assembleStatusBar();
    changestatus();
}

fp::~fp()
{
    run_ending = true;
    // Ended by a signal, nobody is there to answer: the journal keeps it all.
    if (!ending_by_signal)
        offer_save_at_exit();
    recovery->finish();
    // Nothing is looked at once the window goes.
    delete disk_watch;
    disk_watch = nullptr;
    restart_if_asked();
    deleteMemberWidgets();
    delete ui;
}

void fp::createMemberWidgets()
{
    status_widget = new QWidget;
    status_label = new QLabel;
    status_label->setObjectName(QStringLiteral("status_label"));
    status_layout = new QGridLayout;
    find_window = new QWidget;
    find_window->setObjectName(QStringLiteral("find_window"));
    find_field = new QLineEdit;
    find_field->setObjectName(QStringLiteral("find_field"));
    settings_window = new QWidget;
    settings_window->setObjectName(QStringLiteral("settings_window"));
    replace_window = new QWidget;
    replace_window->setObjectName(QStringLiteral("replace_window"));
    replace_search_field = new QLineEdit;
    replace_search_field->setObjectName(QStringLiteral("replace_search_field"));
    replacement_field = new QLineEdit;
    replacement_field->setObjectName(QStringLiteral("replacement_field"));
    // The pickers are made with the settings window (appearance).
    color_dialog = nullptr;
    font_dialog = nullptr;
    QPushButton **buttons[] = {&set_bt1, &set_bt2, &set_bt3, &set_bt4, &set_bt5, &set_bt6};
    for (int i = 0; i < 6; ++i) {
        *buttons[i] = new QPushButton;
        (*buttons[i])->setObjectName(QStringLiteral("set_bt%1").arg(i + 1));
    }
}

void fp::deleteMemberWidgets()
{
    // Fields and buttons belong to their window once it has been laid out;
    // until then they are ours alone.
    QWidget *loose[] = {find_field,
                        replace_search_field,
                        replacement_field,
                        set_bt1,
                        set_bt2,
                        set_bt3,
                        set_bt4,
                        set_bt5,
                        set_bt6};
    for (QWidget *w : loose)
        if (!w->parent())
            delete w;
    delete find_window;
    delete replace_window;
    delete settings_window;
    delete color_dialog;
    delete font_dialog;
}

// The edit entries of the menu act on the document the user is looking at.
void fp::connectEditActions()
{
    const auto route = [this](QAction *action, void (QTextEdit::*command)()) {
        connect(action, &QAction::triggered, this, [this, command] {
            if (QTextEdit *editor = cur_editor()) {
                const BusyCursor busy(editor->document(), docinfo::of(editor)->cleared_characters);
                (editor->*command)();
            }
        });
    };
    route(ui->ac_couper, &QTextEdit::cut);
    route(ui->ac_copier, &QTextEdit::copy);
    route(ui->ac_coller, &QTextEdit::paste);
    route(ui->ac_can, &QTextEdit::undo);
    route(ui->ac_selectall, &QTextEdit::selectAll);
    route(ui->ac_res, &QTextEdit::redo);
    connect(ui->ac_del, &QAction::triggered, this,
            [this] { clear_all(statusBar(), cur_editor()); });
    connect(ui->actionZoom, &QAction::triggered, this, [this] { zoom_step(+1); });
    connect(ui->actionD_Zoom, &QAction::triggered, this, [this] { zoom_step(-1); });
}

void fp::assembleStatusBar()
{
    status_layout->addWidget(status_label);
    status_widget->setLayout(status_layout);
    ui->statusbar->addWidget(status_widget, 0);
    show_form();
    note_label = new NoteLabel;
    status_layout->addWidget(note_label, 0, 1);
    // Where the cursor is: left of the encoding, which stays at the right end.
    position_label = new QLabel;
    position_label->setObjectName(QStringLiteral("position_label"));
    position_label->setContentsMargins(0, 0, 8, 0);
    ui->statusbar->removeWidget(form_label);
    ui->statusbar->addPermanentWidget(position_label);
    ui->statusbar->addPermanentWidget(form_label);
    form_label->show();

    auto *go = new QAction(tr("Aller à la ligne"), this);
    go->setObjectName(QStringLiteral("ac_goto"));
    go->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(go, &QAction::triggered, this, [this] { go_to_line(this, cur_editor()); });
    // With the other ways of going somewhere in the text, after "Remplacer".
    const QList<QAction *> entries = ui->m_ac->actions();
    ui->m_ac->insertAction(entries.value(entries.indexOf(ui->ac_remplacer) + 1), go);
    show_position(position_label, cur_editor());
}
