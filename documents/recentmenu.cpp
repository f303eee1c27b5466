// "Fichiers récents" in the "Fichier" menu: the files last opened or saved,
// each reopened in a tab of its own (or brought to the front if a tab holds
// it already).
#include "docinfo.h"
#include "fp.h"
#include "recent.h"
#include "ui_fp.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>

namespace {
const int trouble_shown_ms = 30000;
} // namespace

void fp::set_up_recent_menu()
{
    recent_menu = new QMenu(tr("Fichiers récents"), this);
    recent_menu->setObjectName(QStringLiteral("m_recent"));
    // Read when it opens: another Feuillon may have added files meanwhile.
    connect(recent_menu, &QMenu::aboutToShow, this, &fp::fill_recent_menu);
    ui->m_file->insertMenu(ui->ac_enr, recent_menu);
}

void fp::fill_recent_menu()
{
    recent_menu->clear();
    const QStringList files = recent::files();
    for (int i = 0; i < files.size(); ++i) {
        QString label = QDir::toNativeSeparators(files.at(i));
        label.replace(QLatin1Char('&'), QStringLiteral("&&"));
        // The first nine are reached with their digit.
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QString::number(i + 1);
        QAction *entry = recent_menu->addAction(number + QStringLiteral("  ") + label);
        const QString path = files.at(i);
        connect(entry, &QAction::triggered, this, [this, path] { open_recent(path); });
    }
    if (files.isEmpty())
        recent_menu->addAction(tr("Aucun fichier récent"))->setEnabled(false);
    recent_menu->addSeparator();
    QAction *empty = recent_menu->addAction(tr("Vider la liste"));
    empty->setObjectName(QStringLiteral("ac_recent_clear"));
    empty->setEnabled(!files.isEmpty());
    connect(empty, &QAction::triggered, this, [this] {
        if (!recent::clear())
            QMessageBox::critical(this, tr("Erreur"),
                                  tr("La liste des fichiers récents n'a pas pu être vidée."));
    });
}

// The lists only help to find files again: trouble with them is told in the
// status bar, as the journal's is, without a box in the way of the open or
// save that caused it; once a run, since it comes back with every file.
void fp::remember_file(const QString &path)
{
    if (!desktop_list)
        desktop_list = new recent::DesktopList(
            [this](const QString &why) {
                tell_recent_trouble(
                    tr("Attention\u00A0: la liste des fichiers récents du bureau (%1) n'a pas pu "
                       "être mise à jour\u00A0: %2.")
                        .arg(QDir::toNativeSeparators(recent::desktop_list_path()), why));
            },
            this);
    desktop_list->add(path);
    if (!recent::add(path))
        tell_recent_trouble(
            tr("Attention\u00A0: la liste des fichiers récents n'a pas pu être enregistrée."));
}

void fp::tell_recent_trouble(const QString &text)
{
    if (recent_trouble_told)
        return;
    recent_trouble_told = true;
    statusBar()->showMessage(text, trouble_shown_ms);
}

void fp::open_recent(const QString &path)
{
    // A file named on the command line may have a relative path.
    for (int i = 0; i < ui->onglet->count(); ++i)
        if (QTextEdit *editor = editor_at(i);
            editor && QFileInfo(docinfo::of(editor)->path()).absoluteFilePath() == path) {
            ui->onglet->setCurrentIndex(i);
            return;
        }
    if (!QFileInfo(path).isFile()) {
        QMessageBox::warning(
            this, tr("Fichiers récents"),
            tr("Le fichier «\u00A0%1\u00A0» n'existe plus.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    open_in_new_tabs({path});
}
