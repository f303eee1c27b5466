// The program's own message boxes, shared by the documents' subsystems:
// each has the main window as its parent and French texts.
#include "questions.h"
#include "bigfile.h"
#include "docinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>

namespace {
QString tr_fp(const char *text)
{
    return QCoreApplication::translate("fp", text);
}

// On a Yes/No box Qt takes Escape and the title bar's close button for No,
// which drops the text: here they give no answer at all.
class NoAnswerOnEscape : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool escape = event->type() == QEvent::KeyPress &&
                            static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel);
        if (!escape && event->type() != QEvent::Close)
            return false;
        static_cast<QMessageBox *>(watched)->done(QMessageBox::NoButton);
        return true;
    }
};
} // namespace

// Yes, No, or no answer.
int answer(QMessageBox &box)
{
    NoAnswerOnEscape filter;
    box.installEventFilter(&filter);
    return box.exec();
}

bool confirm_replacement(QWidget *parent, const QString &name, const textfile::Form &form)
{
    QMessageBox box(
        QMessageBox::Warning, tr_fp("Enregistrer le fichier"),
        tr_fp("Ce document contient des octets qui n'étaient pas du texte %1 valide\u00A0: "
              "ils seront remplacés par «\u00A0\uFFFD\u00A0» dans le fichier enregistré. "
              "Enregistrer quand même\u00A0?")
            .arg(textfile::charsetName(form)),
        QMessageBox::Yes | QMessageBox::No, parent);
    // Only a deliberate answer changes the file's bytes.
    box.setDefaultButton(QMessageBox::No);
    box.setInformativeText(name);
    return answer(box) == QMessageBox::Yes;
}

// The box says what failed, why, and which file; Qt's own reasons are in
// English, so the cause is the program's French sentence.
void tell_file_error(QWidget *parent, const QString &what, textfile::Failure failure,
                     const QString &path, const QString &more)
{
    QMessageBox box(QMessageBox::Critical, tr_fp("Erreur"), what, QMessageBox::Ok, parent);
    QStringList details{textfile::describe(failure),
                        tr_fp("Fichier\u00A0: %1").arg(QDir::toNativeSeparators(path)), more};
    details.removeAll(QString());
    box.setInformativeText(details.join(QLatin1Char('\n')));
    box.exec();
}

// Asks before a file that would crowd the memory out, or is huge; refuses
// one that cannot be held at all. True when the file may be read.
bool room_to_open(QWidget *parent, const QString &path, qint64 size)
{
    const bigfile::Memory memory = bigfile::memory();
    const bigfile::Room room = bigfile::room_for(size, memory);
    if (room == bigfile::Room::Enough)
        return true;
    const QString name = QFileInfo(path).fileName();
    const QString needed = bigfile::size_text(size * bigfile::memory_per_byte);
    const QString available =
        memory.available < 0 ? tr_fp("inconnue") : bigfile::size_text(memory.available);
    if (room == bigfile::Room::Refuse) {
        QMessageBox box(
            QMessageBox::Critical, tr_fp("Erreur"),
            tr_fp("Le fichier «\u00A0%1\u00A0» est trop gros pour être ouvert.").arg(name),
            QMessageBox::Ok, parent);
        box.setInformativeText(
            tr_fp("Il fait %1\u00A0; l'ouvrir demanderait environ %2 de mémoire, et seuls %3 sont "
                  "disponibles. Les documents ouverts ne sont pas touchés.\nFichier\u00A0: %4")
                .arg(bigfile::size_text(size), needed, available, QDir::toNativeSeparators(path)));
        box.exec();
        return false;
    }
    QMessageBox box(QMessageBox::Question, tr_fp("Fichier volumineux"),
                    tr_fp("Le fichier «\u00A0%1\u00A0» fait %2. Voulez-vous l'ouvrir\u00A0?")
                        .arg(name, bigfile::size_text(size)),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setInformativeText(tr_fp("L'ouvrir demandera environ %1 de mémoire (%2 disponibles) et "
                                 "peut ralentir tout l'ordinateur.")
                               .arg(needed, available));
    box.setDefaultButton(QMessageBox::No);
    return answer(box) == QMessageBox::Yes;
}

// Named, since a file read in slices may end while another tab is in front
// and two files may be opened at once; the encoding said is the one the file
// was taken to be.
void warn_undecodable(QWidget *parent, const QString &path, const textfile::Form &form)
{
    QMessageBox box(
        QMessageBox::Warning, tr_fp("Attention"),
        tr_fp("Ce fichier contient des octets qui ne sont pas du texte %1 "
              "valide. Ils sont affichés comme «\u00A0\uFFFD\u00A0» et seront remplacés "
              "si vous enregistrez le fichier.")
            .arg(textfile::charsetName(form)),
        QMessageBox::Ok, parent);
    box.setInformativeText(tr_fp("Fichier\u00A0: %1").arg(QDir::toNativeSeparators(path)));
    box.exec();
}

QString document_name(QTabWidget *tabs, QTextEdit *editor)
{
    const QString path = docinfo::of(editor)->path();
    if (!path.isEmpty())
        return QDir::toNativeSeparators(path);
    // Several tabs may share a title such as "Nouvelle Onglet".
    const int index = tabs->indexOf(editor);
    return tr_fp("%1 (onglet %2)").arg(tabs->tabText(index)).arg(index + 1);
}

// Asks Yes or No; a document other than the current one is named in the
// question itself, since "actuelle" would point at the wrong tab.
int ask_to_save(QWidget *parent, QTabWidget *tabs, QTextEdit *editor, bool may_cancel)
{
    const QString text = editor == tabs->currentWidget()
                             ? QStringLiteral("Vouler vous enregistrer le fichier actuelle ?")
                             : tr_fp("Voulez-vous enregistrer le fichier «\u00A0%1\u00A0»\u00A0?")
                                   .arg(document_name(tabs, editor));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Enregistrer le fichier"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setInformativeText(document_name(tabs, editor));
    // While the window can still stay, turning back is offered as a button.
    if (may_cancel)
        box.addButton(QMessageBox::Cancel)->setText(tr_fp("Annuler"));
    return answer(box);
}
