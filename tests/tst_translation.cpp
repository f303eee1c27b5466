// Qt's standard buttons are French whatever the locale, as the program's own
// texts are; those do not change.
#include "dialogs.h"
#include "testmain.h"
#include "translation.h"
#include "window.h"

#include <QAbstractButton>
#include <QMessageBox>

using namespace feuillon_test;

class tst_translation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void standardButtonsAreFrench();
    void saveOfferOfTheWindowAnswersInFrench();
};

// As main() does, under an English locale (CTest runs under C.UTF-8 as well).
void tst_translation::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (!install_qt_translation(*qApp))
        QSKIP("Qt's French translation (qt6-translations-l10n) is not installed");
}

void tst_translation::standardButtonsAreFrench()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Enregistrer le fichier"),
                    QStringLiteral("Vouler vous enregistrer le fichier actuelle ?"),
                    QMessageBox::Save | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Save)->text().remove(QLatin1Char('&')),
             QStringLiteral("Enregistrer"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')),
             QStringLiteral("Annuler"));
    QCOMPARE(box.text(), QStringLiteral("Vouler vous enregistrer le fichier actuelle ?"));
}

void tst_translation::saveOfferOfTheWindowAnswersInFrench()
{
    auto w = startWindow();
    type(currentEditor(*w), QStringLiteral("abc"));
    DialogAnswerer answers;
    answers.button(QMessageBox::No);
    action(*w, "ac_new")->trigger();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(answers.seen().first().text,
             QStringLiteral("Vouler vous enregistrer le fichier actuelle ?"));
    QCOMPARE(QString(answers.seen().first().answeredWith).remove(QLatin1Char('&')),
             QStringLiteral("Non"));
}

FEUILLON_TEST_MAIN(tst_translation)
#include "tst_translation.moc"
