// The settings window and its colour and font pickers.
#include "app/toolwindows.h"
#include "fp.h"
#include "look.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

namespace {
// The pickers start from what the user sees, also where nothing is stored.
QColor shown_colour(const QWidget *widget, QPalette::ColorRole role)
{
    return widget ? widget->palette().color(role) : QApplication::palette().color(role);
}

// Under the family really drawn: the default font names an alias ("Sans
// Serif") that the font dialog does not list.
QFont shown_font(const QWidget *widget, const QFont &otherwise)
{
    QFont font = widget ? widget->font() : otherwise;
    font.setFamily(QFontInfo(font).family());
    return font;
}

// Makes a picker the first time it is needed.
template <class Dialog> Dialog *made(Dialog *&dialog, const char *name)
{
    if (!dialog) {
        dialog = new Dialog;
        dialog->setObjectName(QLatin1String(name));
    }
    return dialog;
}
} // namespace

void fp::settings()
{
    // The swatches show what the store held at the last load.
    set_bt1->setStyleSheet(look::background_part(load_name1));
    set_bt2->setStyleSheet(look::background_part(load_name2));
    set_bt4->setStyleSheet(look::background_part(load_name4));
    set_bt5->setStyleSheet(look::background_part(load_name5));
    set_bt3->setFont(edit_font);
    set_bt6->setFont(app_font);
    if (!settings_window->layout())
        build_settings_window();
    // The pickers come with the settings window, not at start-up: the font
    // dialog alone reads the whole font database.
    made(color_dialog, "color_dialog");
    made(font_dialog, "font_dialog");
    show_tool_window(settings_window, this);
}

void fp::build_settings_window()
{
    const struct {
        int row;
        const char *label;
        QPushButton *button;
    } rows[] = {
        {0, "Couleur du Texte de l'éditeur", set_bt1}, {1, "Couleur de Fond de l'éditeur", set_bt2},
        {2, "Police de l'éditeur", set_bt3},           {4, "Couleur du Texte de Feuillon", set_bt4},
        {5, "Couleur de Fond de Feuillon", set_bt5},   {6, "Police de Feuillon", set_bt6},
    };
    auto *grid = new QGridLayout;
    for (const auto &row : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(row.label)), row.row, 0);
        grid->addWidget(row.button, row.row, 1);
    }
    set_bt3->setText(QStringLiteral("Abc"));
    set_bt6->setText(QStringLiteral("Abc"));
    auto *ok = new QPushButton(QStringLiteral("Ok"));
    ok->setObjectName(QStringLiteral("settings_ok"));
    grid->addWidget(ok, 7, 0, 7, 2);
    connect(set_bt1, SIGNAL(clicked()), this, SLOT(passcol()));
    connect(set_bt2, SIGNAL(clicked()), this, SLOT(passcol2()));
    connect(set_bt3, SIGNAL(clicked()), this, SLOT(passcol3()));
    connect(set_bt4, SIGNAL(clicked()), this, SLOT(passcol4()));
    connect(set_bt5, SIGNAL(clicked()), this, SLOT(passcol5()));
    connect(set_bt6, SIGNAL(clicked()), this, SLOT(passcol6()));
    connect(ok, SIGNAL(clicked()), settings_window, SLOT(close()));
    settings_window->setLayout(grid);
}

void fp::open_color_dialog(const QColor &preset, int target)
{
    made(color_dialog, "color_dialog");
    color_dialog->setCurrentColor(preset);
    color_dialog->show();
    color_dialog->raise();
    color_dialog->activateWindow();
    // Unique: a second click must not make one confirmation count twice.
    connect(color_dialog, SIGNAL(colorSelected(QColor)), this, SLOT(opencolor(QColor)),
            Qt::UniqueConnection);
    pick_target = target;
}

void fp::open_font_dialog(const QFont &preset, int target)
{
    made(font_dialog, "font_dialog");
    font_dialog->setCurrentFont(preset);
    font_dialog->show();
    font_dialog->raise();
    font_dialog->activateWindow();
    connect(font_dialog, SIGNAL(fontSelected(QFont)), this, SLOT(openfont(QFont)),
            Qt::UniqueConnection);
    pick_target = target;
}

void fp::passcol()
{
    open_color_dialog(shown_colour(cur_editor(), QPalette::Text), 1);
}
void fp::passcol2()
{
    open_color_dialog(shown_colour(cur_editor(), QPalette::Base), 2);
}
void fp::passcol3()
{
    open_font_dialog(shown_font(cur_editor(), edit_font), 3);
}
void fp::passcol4()
{
    open_color_dialog(shown_colour(this, QPalette::WindowText), 4);
}
void fp::passcol5()
{
    open_color_dialog(shown_colour(this, QPalette::Window), 5);
}
void fp::passcol6()
{
    open_font_dialog(shown_font(this, app_font), 6);
}

namespace {
void remember_pick(const QColor &picked, QColor &colour, QString &name, bool &flag)
{
    colour = picked;
    name = picked.name();
    flag = true;
}
} // namespace

void fp::opencolor(QColor ccol)
{
    const QString swatch = look::background_part(ccol.name());
    switch (pick_target) {
    case 1:
        remember_pick(ccol, pick_color1, pick_name1, picked1);
        edit_text = look::text_part(ccol.name());
        break;
    case 2:
        remember_pick(ccol, pick_color2, pick_name2, picked2);
        edit_back = swatch;
        break;
    case 4:
        remember_pick(ccol, pick_color4, pick_name4, picked4);
        app_text = look::text_part(ccol.name());
        break;
    case 5:
        remember_pick(ccol, pick_color5, pick_name5, picked5);
        app_back = swatch;
        break;
    default:
        // The colour dialog was left open while a font button was clicked last.
        return;
    }
    QPushButton *const swatches[] = {set_bt1, set_bt2, nullptr, set_bt4, set_bt5};
    swatches[pick_target - 1]->setStyleSheet(swatch);
    if (pick_target <= 2) {
        edit_style = edit_back + edit_text;
        emit si_tab();
    } else {
        app_style = app_back + app_text;
        emit si_all();
    }
}

void fp::openfont(QFont cfont)
{
    if (pick_target == 3) {
        edit_font = cfont;
        set_bt3->setFont(cfont);
        emit si_tab();
    } else if (pick_target == 6) {
        app_font = cfont;
        set_bt6->setFont(cfont);
        emit si_all();
    }
}

void fp::ch_tab()
{
    // A new look puts the configured font back on a zoomed editor: the
    // status must not go on showing the old level. The zoom goes first, so a
    // font confirmed as the zoomed editor shows it is not shrunk afterwards.
    reset_zoom();
    apply_editor_look();
    save_appearance();
}

void fp::apply_editor_look()
{
    if (QTextEdit *editor = cur_editor()) {
        look::set_style_sheet(editor, edit_style);
        look::set_font(editor, edit_font);
    }
}

void fp::ch_all()
{
    apply_app_look();
    save_appearance();
}
