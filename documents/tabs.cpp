// Editor tabs, the current editor, document paths and the window title.
#include "tabs.h"
#include "docinfo.h"
#include "filedrop.h"
#include "fp.h"
#include "lazylayout.h"
#include "loading.h"
#include "recoveryjournal.h"
#include "status/busycursor.h"
#include "status/position.h"
#include "ui_fp.h"

#include <QStatusBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {
const QString app_title = QStringLiteral("Feuillon");
const QString path_title_prefix = QStringLiteral("Feuillon | ");
} // namespace

QTextEdit *fp::cur_editor()
{
    return editor_at(ui->onglet->currentIndex());
}

QTextEdit *fp::editor_at(int index) const
{
    return qobject_cast<QTextEdit *>(ui->onglet->widget(index));
}

void fp::reset_doc()
{
    QTextEdit *editor = cur_editor();
    DocumentLoad::stop_in(editor);
    editor->clear();
    editor->document()->setModified(false);
    docinfo::of(editor)->forget();
    mirror_path();
    show_form();
}

void fp::set_path(QString path)
{
    docinfo::of(cur_editor())->set_path(path);
    mirror_path();
}

// The mirror of the current tab's path and the window title, both rebuilt
// from the current document's record.
void fp::mirror_path()
{
    current_path = docinfo::of(cur_editor())->path();
    has_path = !current_path.isEmpty();
    setWindowTitle(has_path ? path_title_prefix + current_path : app_title);
}

void fp::newtab()
{
    auto *editor = new QTextEdit;
    // Files hold plain text: pasted formatting or pictures would show here
    // and then vanish, or turn into stray characters, on saving.
    editor->setAcceptRichText(false);
    if (LazyLayout::in_editors)
        LazyLayout::install(editor);
    editor->viewport()->installEventFilter(file_drops);
    follow_modified(ui->onglet, editor);
    // The cursor of the editor in front is shown in the status bar.
    connect(editor, &QTextEdit::cursorPositionChanged, this, [this, editor] {
        if (editor == cur_editor())
            show_position(position_label, editor);
    });
    recovery->track(editor);
    const int at = ui->onglet->currentIndex() + 1;
    ui->onglet->insertTab(at, editor, QStringLiteral("Nouvelle Onglet"));
    ui->onglet->setCurrentIndex(at);
    reset_doc();
}

void fp::newfile()
{
    if (!offer_save())
        return;
    // The text is saved or the user chose to drop it: either way it goes.
    reset_doc();
    ui->onglet->setTabText(ui->onglet->currentIndex(), QStringLiteral("Nouveau Fichier"));
}

void fp::closetab(int cli)
{
    QTextEdit *closing = editor_at(cli);
    if (!closing)
        return;
    // A background tab is offered and closed on its own; the tab the user is
    // looking at stays as it is.
    if (closing != cur_editor()) {
        if (!may_text_go(closing, Offer::Background))
            return;
        DocumentLoad::stop_in(closing);
        recovery->forget(closing);
        ui->onglet->removeTab(cli);
        closing->deleteLater();
        return;
    }
    if (!offer_save())
        return;
    reset_doc();
    recovery->forget(closing);
    if (ui->onglet->currentIndex() != 0 || cli != 0) {
        ui->onglet->removeTab(cli);
    } else {
        // The tab widget is never left empty: the about page takes tab 0.
        apropos();
        ui->onglet->removeTab(ui->onglet->currentIndex() - 1);
    }
    // Nothing refers to a closed editor any more; give its memory back.
    closing->deleteLater();
}

void fp::changetab()
{
    QTextEdit *editor = cur_editor();
    if (!editor)
        return;
    mirror_path();
    show_form();
    show_position(position_label, editor);
    show_load_progress();
    // Unique: switching back and forth must not make every keystroke cost more.
    connect(editor, SIGNAL(textChanged()), this, SLOT(changestatus()), Qt::UniqueConnection);
    settle_zoom(editor);
    load_appearance();
    // Typing goes to the document the user is looking at.
    editor->setFocus(Qt::OtherFocusReason);
    zoom_level = 100;
    changestatus();
}

// "Suprimer Tout" empties the document as one undoable edit, so "Annuler"
// brings the text back.
void clear_all(QStatusBar *bar, QTextEdit *editor)
{
    if (!editor || busy_loading(bar, editor))
        return;
    const BusyCursor busy(editor->document());
    docinfo *doc = docinfo::of(editor);
    doc->cleared_characters = qMax(doc->cleared_characters, editor->document()->characterCount());
    QTextCursor cursor(editor->document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
}
