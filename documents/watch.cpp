// Files changed by other programs: the check before writing over a file,
// and what happens when an open file changes on disk.
#include "watch.h"
#include "docinfo.h"
#include "follow.h"
#include "fp.h"
#include "growth.h"
#include "questions.h"
#include "textfile.h"
#include "ui_fp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {
// Long enough for a program's burst of writes to end, short enough that a
// change shows at once.
constexpr int settle_ms = 150;
// Looking at files the system does not watch for us.
constexpr int poll_ms = 1500;
constexpr int message_ms = 6000;
// Changes of a file closer together than this are one burst, said once.
constexpr int burst_ms = 10000;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

// One message for a pass: what was reloaded and what was deleted.
static QString disk_message(const QStringList &reloaded, const QStringList &gone)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("fp", text); };
    QStringList said;
    if (reloaded.size() == 1)
        said << tr("Le fichier «\u00A0%1\u00A0» a été modifié par un autre programme\u00A0: il "
                   "est rechargé.")
                    .arg(shown(reloaded.first()));
    else if (reloaded.size() > 1)
        said << tr("%1 fichiers modifiés par un autre programme sont rechargés.")
                    .arg(reloaded.size());
    if (gone.size() == 1)
        said << tr("Le fichier «\u00A0%1\u00A0» a été supprimé ou déplacé\u00A0: son texte "
                   "n'est plus que dans Feuillon.")
                    .arg(shown(gone.first()));
    else if (gone.size() > 1)
        said << tr("%1 fichiers ont été supprimés ou déplacés\u00A0: leur texte n'est plus que "
                   "dans Feuillon.")
                    .arg(gone.size());
    return said.join(QLatin1Char(' '));
}

void tell_disk_changes(QStatusBar *bar, const QStringList &reloaded, const QStringList &gone)
{
    const QString message = disk_message(reloaded, gone);
    if (!message.isEmpty())
        bar->showMessage(message, message_ms);
}

namespace {

// The user kept their text against the file's version, and the file has
// only grown from it since (a log): not asked about again.
bool kept_against_growth(docinfo *doc)
{
    Fingerprint now;
    if (!doc->kept_against || !growth::extends(*doc->kept_against, &now))
        return false;
    doc->kept_against = now;
    return true;
}

void name_buttons(QMessageBox &box, const QString &yes, const QString &no)
{
    box.button(QMessageBox::Yes)->setText(yes);
    box.button(QMessageBox::No)->setText(no);
    box.setDefaultButton(QMessageBox::No);
}
} // namespace

DiskAction disk_action(fingerprint::Verdict verdict, bool unsaved, bool marked_gone)
{
    switch (verdict) {
    case fingerprint::Verdict::Same:
        return DiskAction::Settle;
    case fingerprint::Verdict::Gone:
        return marked_gone ? DiskAction::Nothing : DiskAction::MarkGone;
    case fingerprint::Verdict::Changed:
        return unsaved ? DiskAction::Ask : DiskAction::Reload;
    }
    return DiskAction::Nothing;
}

DiskWatch::DiskWatch(QObject *parent, std::function<void()> look) : QObject(parent)
{
    settle.setSingleShot(true);
    settle.setInterval(settle_ms);
    poll.setInterval(poll_ms);
    connect(&settle, &QTimer::timeout, this, look);
    connect(&poll, &QTimer::timeout, this, [this] { soon_all(); });
    connect(&watcher, &QFileSystemWatcher::fileChanged, this,
            [this](const QString &path) { soon(path); });
}

// Not put off by the next request: a file written to ten times a second
// is still looked at while that goes on.
void DiskWatch::soon(const QString &path)
{
    requested.insert(path);
    if (!settle.isActive())
        settle.start(settle_ms);
}

void DiskWatch::soon_all()
{
    requested_all = true;
    if (!settle.isActive())
        settle.start(settle_ms);
}

bool DiskWatch::first_of_burst(const QString &path)
{
    QElapsedTimer &last = changed[path];
    const bool first = !last.isValid() || last.elapsed() > burst_ms;
    last.start();
    return first;
}

void DiskWatch::later()
{
    settle.start(2 * settle_ms);
}

QSet<QString> DiskWatch::take(bool *all)
{
    *all = requested_all;
    requested_all = false;
    return std::exchange(requested, {});
}

void DiskWatch::follow(const QString &path)
{
    if (!watcher.files().contains(path) && !watcher.addPath(path))
        poll.start();
}

void DiskWatch::follow_only(const QSet<QString> &paths, const QSet<QString> &renew)
{
    const QStringList before = watcher.files();
    QStringList drop;
    for (const QString &path : before)
        if (!paths.contains(path) || renew.contains(path))
            drop << path;
    if (!drop.isEmpty())
        watcher.removePaths(drop);
    const QStringList kept = watcher.files();
    const QSet<QString> watched(kept.begin(), kept.end());
    QStringList add;
    for (const QString &path : paths)
        if (!watched.contains(path))
            add << path;
    const bool all_watched = add.isEmpty() || watcher.addPaths(add).isEmpty();
    if (all_watched)
        poll.stop();
    else if (!poll.isActive())
        poll.start();
}

// The document now matches the file as `print` describes it.
void fp::took_file(QTextEdit *editor, const Fingerprint &print)
{
    docinfo *doc = docinfo::of(editor);
    doc->disk = print;
    doc->disk_question = false;
    doc->kept_against.reset();
    doc->gone.reset();
    if (!disk_watch) {
        disk_watch = new DiskWatch(this, [this] { look_at_disk(); });
        // The tab the user turns to is looked at: a change may have come
        // while the system could not tell us.
        connect(ui->onglet, &QTabWidget::currentChanged, disk_watch, [this](int index) {
            if (QTextEdit *front = editor_at(index))
                disk_watch->soon(docinfo::of(front)->disk.path);
        });
    }
    disk_watch->follow(print.path);
}

void fp::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Coming back from another program, maybe the one that changed a file.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && disk_watch)
        disk_watch->soon_all();
}

// Before the text is written over the file it came from: the file must
// still hold what the document last matched, or the user says to go on.
// *overwrites tells that the user chose to write over another program's
// version.
bool fp::may_overwrite(QTextEdit *editor, const QString &path, bool *overwrites)
{
    *overwrites = false;
    docinfo *doc = docinfo::of(editor);
    if (doc->disk.path != path)
        return true;
    // A folder, a device or a FIFO there: the write refuses it and says why.
    const QFileInfo there(path);
    if (there.exists() && !there.isFile())
        return true;
    Fingerprint now;
    const fingerprint::Verdict verdict = fingerprint::compare(doc->disk, &now);
    if (verdict == fingerprint::Verdict::Same) {
        doc->disk = now;
        return true;
    }
    const bool gone = verdict == fingerprint::Verdict::Gone;
    QMessageBox box(QMessageBox::Warning, tr("Enregistrer le fichier"),
                    gone ? tr("Le fichier «\u00A0%1\u00A0» a été supprimé ou déplacé depuis "
                              "que vous l'avez ouvert ou enregistré.")
                               .arg(shown(path))
                         : tr("Le fichier «\u00A0%1\u00A0» a été modifié par un autre programme "
                              "depuis que vous l'avez ouvert ou enregistré.")
                               .arg(shown(path)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(gone ? tr("L'enregistrer de nouveau à cet emplacement\u00A0?")
                                : tr("Remplacer son contenu par votre texte\u00A0? Les "
                                     "modifications de l'autre programme seront perdues."));
    name_buttons(box, gone ? tr("Enregistrer") : tr("Écraser"), tr("Annuler"));
    if (answer(box) == QMessageBox::Yes) {
        *overwrites = !gone;
        return true;
    }
    // The user has seen this change: the watch does not ask about it again.
    doc->kept_against = fingerprint::read(path);
    return false;
}

// What changed on disk since the last look: untouched documents follow
// their files quietly; a document with unsaved changes is asked about
// once, when it is in front and the window active.
void fp::look_at_disk()
{
    if (run_ending)
        return;
    // Never inside another question or dialog: once it is answered.
    if (asking_about_disk || QApplication::activeModalWidget()) {
        disk_watch->later();
        return;
    }
    bool all = false;
    const QSet<QString> requested = disk_watch->take(&all);
    QSet<QString> open;
    QStringList reloaded, gone, busy;
    for (int i = 0; i < ui->onglet->count(); ++i) {
        QTextEdit *editor = editor_at(i);
        docinfo *doc = editor ? docinfo::of(editor) : nullptr;
        if (!doc || doc->disk.path.isEmpty())
            continue;
        open.insert(doc->disk.path);
        if (!all && !requested.contains(doc->disk.path))
            continue;
        // Looked at once its whole text is in, or what it gained.
        if (doc->busy()) {
            busy << doc->disk.path;
            continue;
        }
        // A text that follows its file has what it needs read on a worker:
        // the bytes of a big file, read here, would stall the window.
        if (!doc->gone && may_append(editor) && growth::may_have_grown(doc->disk)) {
            reload_from_disk(editor);
            continue;
        }
        Fingerprint now;
        const fingerprint::Verdict verdict = fingerprint::compare(doc->disk, &now);
        switch (disk_action(verdict, doc->unsaved(), doc->gone.has_value())) {
        case DiskAction::Nothing:
            break;
        case DiskAction::Settle:
            // Touched, or back as it was: nothing to tell.
            doc->file_back(now);
            break;
        case DiskAction::MarkGone:
            doc->file_gone();
            gone << doc->disk.path;
            break;
        case DiskAction::Reload:
            // What is read on a worker is said once in; a file that changes
            // every second is said once.
            if (may_append(editor))
                reload_from_disk(editor);
            else if (reload_from_disk(editor) && disk_watch->first_of_burst(doc->disk.path))
                reloaded << doc->disk.path;
            break;
        case DiskAction::Ask:
            doc->disk_question = !kept_against_growth(doc);
            break;
        }
    }
    disk_watch->follow_only(open, all ? open : requested);
    for (const QString &path : std::as_const(busy))
        disk_watch->soon(path);
    tell_disk_changes(statusBar(), reloaded, gone);
    QTextEdit *front = cur_editor();
    if (front && docinfo::of(front)->disk_question && isActiveWindow())
        ask_about_disk(front);
}

// One question, for the tab in front: the file's version, or the user's.
void fp::ask_about_disk(QTextEdit *editor)
{
    docinfo *doc = docinfo::of(editor);
    const QString path = doc->disk.path;
    QMessageBox box(QMessageBox::Warning, tr("Fichier modifié"),
                    tr("Le fichier «\u00A0%1\u00A0» a été modifié par un autre programme, "
                       "alors que votre texte a des modifications non enregistrées.")
                        .arg(shown(path)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(
        tr("Recharger remplace votre texte par celui du fichier\u00A0; la commande "
           "«\u00A0Annuler\u00A0» vous le rend. Garder votre texte laisse le fichier "
           "tel quel\u00A0; l'enregistrer demandera confirmation."));
    name_buttons(box, tr("Recharger"), tr("Garder mon texte"));
    asking_about_disk = true;
    const QPointer<QTextEdit> asked(editor);
    const int answered = answer(box);
    asking_about_disk = false;
    if (!asked)
        return;
    doc->disk_question = false;
    if (answered == QMessageBox::Yes) {
        if (!reload_from_disk(editor))
            disk_watch->soon(path);
        return;
    }
    // Escape too keeps the text; this change is not asked about again.
    doc->kept_against = fingerprint::read(path);
}
