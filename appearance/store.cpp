// The appearance settings: reading, writing and resetting the store.
#include "fp.h"
#include "look.h"
#include "ui_fp.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryFile>
#include <QTextEdit>

namespace {
void report_unreadable_store(QWidget *parent, int status, bool *told);

const QString organisation = QStringLiteral("vrel");
const QString application = QStringLiteral("Feuillon");

// The program writes only texts. Anything else (bytes, a list, a rectangle)
// comes from a damaged file: it reads as empty and counts as damage.
QString stored_text(const QSettings &store, const char *key, bool *damaged)
{
    const QVariant value = store.value(QLatin1String(key), QVariant());
    if (!value.isValid() || value.typeId() == QMetaType::QString)
        return value.toString();
    *damaged = true;
    return QString();
}

// The written keys as a second reader finds them in this file.
bool holds(const QString &file, const QSettings &store, const QStringList &keys)
{
    QSettings copy(file, QSettings::IniFormat);
    if (copy.status() != QSettings::NoError)
        return false;
    // Compared as bytes: the file holds a lone surrogate of a damaged value as
    // "?", the same as the encoder makes of it.
    for (const QString &key : keys)
        if (copy.value(key).toString().toUtf8() != store.value(key).toString().toUtf8())
            return false;
    return true;
}

// A format error is left over from reading a damaged file, which the load
// reports; the write itself then rewrites the file cleanly. On a nearly full
// disk the store may report success over a truncated file, so a copy of the
// file is read back; the settings object itself would answer from its cache.
bool reached(QSettings &store, const QStringList &keys)
{
    if (store.status() == QSettings::AccessError)
        return false;
    QFile written(store.fileName());
    if (!written.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = written.readAll();
    if (written.error() != QFileDevice::NoError)
        return false;
    // Without room for the copy the write cannot be checked; putting the old
    // file back then could undo a good write, so the store's word stands.
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        return true;
    return holds(copy.fileName(), store, keys);
}

// The store file as it was before a write, to be put back when the write
// does not hold: on a nearly full disk the toolkit leaves it truncated.
struct StoreFile {
    QString path;
    bool was_file = false;
    QByteArray bytes;
};

StoreFile snapshot(const QSettings &store)
{
    StoreFile before{store.fileName(), false, {}};
    QFile file(before.path);
    if (QFileInfo(before.path).isFile() && file.open(QIODevice::ReadOnly)) {
        before.bytes = file.readAll();
        before.was_file = file.error() == QFileDevice::NoError;
    }
    return before;
}

// Written in place: the truncated file's room is free again, while a new
// temporary file would need room of its own.
void put_back(const StoreFile &before)
{
    if (!QFileInfo(before.path).isFile())
        return;
    if (!before.was_file) {
        QFile::remove(before.path);
        return;
    }
    QFile file(before.path);
    if (file.open(QIODevice::WriteOnly))
        file.write(before.bytes);
}

bool sync_or_put_back(QSettings &store, const QStringList &keys, const StoreFile &before)
{
    store.sync();
    if (reached(store, keys))
        return true;
    put_back(before);
    return false;
}

} // namespace

void fp::load_appearance()
{
    QSettings store(organisation, application);
    bool damaged = false;
    const auto stored = [&](const char *key) { return stored_text(store, key, &damaged); };
    const QString tfont = stored("tfont");
    const QString afont = stored("afont");
    const QString tstyle = stored("tstyle");
    const QString astyle = stored("astyle");
    const QString text2 = stored("text2");
    const QString text2b = stored("text2b");
    // The pickers start from the colours shown; these are read for the
    // damage check only.
    for (const char *key : {"sa_bt1", "sa_bt2", "sa_bt4", "sa_bt5"})
        stored(key);
    load_name1 = stored("bt1");
    load_name2 = stored("bt2");
    load_name4 = stored("bt4");
    load_name5 = stored("bt5");
    const bool readable = store.status() == QSettings::NoError;
    report_unreadable_store(this, readable && damaged ? QSettings::FormatError : store.status(),
                            &store_error_told);

    edit_back = look::background_part(load_name2);
    app_back = look::background_part(load_name5);
    // A text colour is kept in text2 or text2b only with its name in bt1 or
    // bt4. A reset used to empty bt1 and bt4 and leave these: without the
    // name they are left-overs of a look the user dropped.
    edit_text = load_name1.isEmpty() ? QString() : text2;
    app_text = load_name4.isEmpty() ? QString() : text2b;
    edit_style = tstyle;
    app_style = astyle;
    edit_font = look::font_from_text(tfont);
    app_font = look::font_from_text(afont);

    if (QTextEdit *editor = cur_editor()) {
        look::set_font(editor, edit_font);
        look::set_style_sheet(editor, edit_style);
    }
    apply_app_look();
}

void fp::apply_app_look()
{
    look::set_style_sheet(this, app_style);
    look::set_font(this, app_font);
    QWidget *const font_only[] = {ui->onglet, ui->statusbar, ui->menubar,     ui->m_file,
                                  ui->m_ac,   ui->menuAide,  settings_window, find_window};
    for (QWidget *w : font_only)
        look::set_font(w, app_font);
    look::set_style_sheet(find_window, app_style);
    look::set_font(replace_window, app_font);
    look::set_style_sheet(replace_window, app_style);
    look::set_font(status_widget, app_font);
}

// A store that cannot be read is told once: every tab change reads it again.
namespace {
// Once a run: the default look is in use meanwhile.
void report_unreadable_store(QWidget *parent, int status, bool *told)
{
    if (status == QSettings::NoError || *told)
        return;
    *told = true;
    QMessageBox::critical(
        parent, QCoreApplication::translate("fp", "Erreur"),
        QCoreApplication::translate("fp", "Les réglages d'apparence n'ont pas pu être lus. "
                                          "L'apparence par défaut est utilisée."));
}
} // namespace

void fp::save_appearance()
{
    QSettings store(organisation, application);
    const StoreFile before = snapshot(store);
    QStringList written;
    const auto put = [&](const char *key, const QString &text) {
        store.setValue(QLatin1String(key), text);
        written << QLatin1String(key);
    };
    const auto put_if_not_empty = [&](const char *key, const QString &text) {
        if (!text.isEmpty())
            put(key, text);
    };
    if (picked1)
        put("sa_bt1", pick_color1.name());
    if (picked2)
        put("sa_bt2", pick_color2.name());
    if (picked4)
        put("sa_bt4", pick_color4.name());
    if (picked5)
        put("sa_bt5", pick_color5.name());
    put_if_not_empty("bt1", pick_name1);
    put_if_not_empty("bt2", pick_name2);
    put_if_not_empty("bt4", pick_name4);
    put_if_not_empty("bt5", pick_name5);
    put_if_not_empty("text2", edit_text);
    put_if_not_empty("text2b", app_text);
    put_if_not_empty("tstyle", edit_style);
    put("tfont", look::font_text(edit_font));
    put_if_not_empty("astyle", app_style);
    put("afont", look::font_text(app_font));
    if (!sync_or_put_back(store, written, before))
        QMessageBox::critical(this, tr("Erreur"),
                              tr("Les réglages d'apparence n'ont pas pu être enregistrés. "
                                 "Ils seront perdus à la fermeture de Feuillon."));
}

void fp::reset_opt()
{
    QSettings store(organisation, application);
    const StoreFile before = snapshot(store);
    // Every key: any colour or font left behind would come back with the
    // next pick.
    const QStringList keys = {"bt1",   "bt2",   "bt4",    "bt5",    "tstyle", "tfont",  "astyle",
                              "afont", "text2", "text2b", "sa_bt1", "sa_bt2", "sa_bt4", "sa_bt5"};
    for (const QString &key : keys)
        store.setValue(key, QString());
    // The new instance reads the store at once: the writes must be there first.
    if (!sync_or_put_back(store, keys, before)) {
        QMessageBox::critical(this, tr("Erreur"),
                              tr("Les options par défaut n'ont pas pu être enregistrées. "
                                 "Feuillon n'a pas été redémarré."));
        return;
    }
    // The restart itself waits for the normal end of this run, so every
    // document is offered for saving before the new instance opens the file.
    restart_pending = true;
    // A question of the quit left without an answer keeps this run going,
    // in the default look already stored.
    if (!close()) {
        restart_pending = false;
        load_appearance();
        return;
    }
    QCoreApplication::quit();
}

void fp::restart_if_asked()
{
    if (!restart_pending)
        return;
    const QString program = launch_arguments.value(0);
    if (!program.isEmpty() && QProcess::startDetached(program, launch_arguments.mid(1)))
        return;
    QMessageBox::critical(this, tr("Erreur"),
                          tr("Feuillon n'a pas pu être relancé (%1). Les options par défaut "
                             "sont enregistrées : relancez Feuillon vous-même.")
                              .arg(program));
}
