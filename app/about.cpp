// The about page: an ordinary, unsaved editor tab holding a fixed text.
#include "fp.h"
#include "ui_fp.h"

#include <QTextEdit>

namespace {
const char *const about_body =
    "\n"
    "Feuillon est réalisé avec le framework Qt 6.2.2 le 2022-02-15.\n"
    " \n"
    "Feuillon est un éditeur de texte simple avec des onglets : il offre tout ce qu'offre un "
    "éditeur de texte brut de base, et y ajoute les onglets et davantage de personnalisation.\n"
    "L'on peut personaliser la zone de texte (couleur et police), et aussi l'apparence de toute "
    "l'application (couleur et police). Feuillon reste donc un éditeur\n"
    "simple et léger pour écrire du texte brut. La simplicité reste, mais les onglets le rendent "
    "plus pratique, et il devient plus beau avec le sytème de personalistion. ";
}

void fp::apropos()
{
    newtab();
    QTextEdit *editor = cur_editor();
    editor->setPlainText(QStringLiteral("A Propos de Feuillon ") + version +
                         QString::fromUtf8(about_body));
    // A page the program wrote has nothing of the user's to save.
    editor->document()->setModified(false);
    ui->onglet->setTabText(ui->onglet->currentIndex(), QStringLiteral("A Propos de ") + version);
}
