// "Fichiers récents" in the "Fichier" menu: the files last opened or saved,
// each reopened in a tab of its own (or brought to the front if a tab holds
// it already).
#include "docinfo.h"
#include "recent.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QTextEdit>

RecentMenu::RecentMenu(QWidget *window, QTabWidget *tabs, Path open, Tell tell)
    : QMenu(QCoreApplication::translate("fp", "Fichiers récents"), window), open(std::move(open)),
      tell(std::move(tell)), tabs(tabs)
{
    setObjectName(QStringLiteral("m_recent"));
    connect(this, &QMenu::aboutToShow, this, &RecentMenu::fill);
}

void RecentMenu::fill()
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("fp", text); };
    clear();
    const QStringList files = recent::files();
    for (int i = 0; i < files.size(); ++i) {
        QString label = QDir::toNativeSeparators(files.at(i));
        label.replace(QLatin1Char('&'), QStringLiteral("&&"));
        // The first nine are reached with their digit.
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QString::number(i + 1);
        QAction *entry = addAction(number + QStringLiteral("  ") + label);
        const QString path = files.at(i);
        connect(entry, &QAction::triggered, this, [this, path] { choose(path); });
    }
    if (files.isEmpty())
        addAction(tr("Aucun fichier récent"))->setEnabled(false);
    addSeparator();
    QAction *empty = addAction(tr("Vider la liste"));
    empty->setObjectName(QStringLiteral("ac_recent_clear"));
    empty->setEnabled(!files.isEmpty());
    connect(empty, &QAction::triggered, this, [this, tr] {
        if (!recent::clear())
            QMessageBox::critical(parentWidget(), tr("Erreur"),
                                  tr("La liste des fichiers récents n'a pas pu être vidée."));
    });
}

// The lists only help to find files again: trouble with them is told in the
// status bar, as the journal's is, without a box in the way of the open or
// save that caused it; once a run, since it comes back with every file.
void RecentMenu::remember(const QString &path)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("fp", text); };
    if (!desktop)
        desktop = new recent::DesktopList(
            [this, tr](const QString &why) {
                tell_once(tr("Attention\u00A0: la liste des fichiers récents du bureau (%1) n'a "
                             "pas pu être mise à jour\u00A0: %2.")
                              .arg(QDir::toNativeSeparators(recent::desktop_list_path()), why));
            },
            this);
    desktop->add(path);
    if (!recent::add(path))
        tell_once(
            tr("Attention\u00A0: la liste des fichiers récents n'a pas pu être enregistrée."));
}

void RecentMenu::tell_once(const QString &text)
{
    if (!std::exchange(told, true))
        tell(text);
}

// A file open in a tab already is brought to the front; one that is gone
// is said; any other opens in a tab of its own.
void RecentMenu::choose(const QString &path)
{
    if (QTextEdit *open_already = docinfo::holding(tabs, path)) {
        tabs->setCurrentWidget(open_already);
        return;
    }
    if (!QFileInfo(path).isFile()) {
        QMessageBox::warning(parentWidget(), QCoreApplication::translate("fp", "Fichiers récents"),
                             QCoreApplication::translate("fp", "Le fichier «\u00A0%1\u00A0» "
                                                               "n'existe plus.")
                                 .arg(QDir::toNativeSeparators(path)));
        return;
    }
    open(path);
}
