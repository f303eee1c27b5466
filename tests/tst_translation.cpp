// Qt's standard buttons follow the user's language; our own texts do not change.
#include "testmain.h"
#include "translation.h"

#include <QAbstractButton>
#include <QMessageBox>

class tst_translation : public QObject
{
    Q_OBJECT

private slots:
    // English first: translators stay installed for the rest of the run.
    void englishLocaleKeepsQtTexts();
    void frenchLocaleTranslatesStandardButtons();
};

void tst_translation::frenchLocaleTranslatesStandardButtons()
{
    if (!install_qt_translation(*qApp, QLocale(QLocale::French, QLocale::France)))
        QSKIP("Qt's French translation (qt6-translations-l10n) is not installed");
    QMessageBox box(QMessageBox::Question, QStringLiteral("Enregistrer le fichier"),
                    QStringLiteral("Vouler vous enregistrer le fichier actuelle ?"),
                    QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Oui"));
    QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Non"));
    QCOMPARE(box.text(), QStringLiteral("Vouler vous enregistrer le fichier actuelle ?"));
    QCOMPARE(box.windowTitle(), QStringLiteral("Enregistrer le fichier"));
}

void tst_translation::englishLocaleKeepsQtTexts()
{
    install_qt_translation(*qApp, QLocale(QLocale::English, QLocale::UnitedStates));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Enregistrer le fichier"),
                    QStringLiteral("Vouler vous enregistrer le fichier actuelle ?"),
                    QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Yes"));
    QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("No"));
}

FEUILLON_TEST_MAIN(tst_translation)
#include "tst_translation.moc"
