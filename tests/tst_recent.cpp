// Recent files: Feuillon's "Fichiers récents" menu, kept from one run to the
// next, and the desktop's recently-used list shared with other programs.
#include "dialogs.h"
#include "files.h"
#include "testmain.h"
#include "window.h"

#include <QAction>
#include <QDomDocument>
#include <QMenu>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

using namespace feuillon_test;

namespace {
QMenu *recentMenu(fp &window)
{
    return window.findChild<QMenu *>(QStringLiteral("m_recent"));
}

// The entries as the user sees them when the menu opens, separators left out.
QStringList entries(fp &window)
{
    emit recentMenu(window)->aboutToShow();
    QStringList texts;
    for (QAction *a : recentMenu(window)->actions())
        if (!a->isSeparator())
            texts << a->text();
    return texts;
}

const QString bookmarkNs = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString mimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");

QString desktopList()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/recently-used.xbel");
}

// Another program's list, as the desktop's own library writes it.
const QByteArray otherProgram =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\" "
    "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\" "
    "xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
    "  <bookmark href=\"file:///srv/photo.png\" added=\"2025-01-02T03:04:05.000000Z\" "
    "modified=\"2025-01-02T03:04:05.000000Z\" visited=\"2025-01-02T03:04:05.000000Z\">\n"
    "    <info>\n"
    "      <metadata owner=\"http://freedesktop.org\">\n"
    "        <mime:mime-type type=\"image/png\"/>\n"
    "        <bookmark:applications>\n"
    "          <bookmark:application name=\"Visionneuse\" exec=\"&apos;visionneuse %u&apos;\" "
    "modified=\"2025-01-02T03:04:05.000000Z\" count=\"3\"/>\n"
    "        </bookmark:applications>\n"
    "      </metadata>\n"
    "    </info>\n"
    "  </bookmark>\n"
    "</xbel>\n";
} // namespace

class tst_recent : public QObject
{
    Q_OBJECT

private slots:
    void menuListsFilesOpenedAndSavedAcrossARestart();
    void desktopListGainsTheFileAndKeepsOtherEntries();
};

void tst_recent::menuListsFilesOpenedAndSavedAcrossARestart()
{
    QTemporaryDir dir;
    const QString a = makeFile(dir, "a.txt", "A");
    const QString b = makeFile(dir, "b.txt", "B");
    const QString c = dir.filePath("c & d.txt");
    auto w = startWindow({"feuillon", a});
    DialogAnswerer answers;
    answers.file(b).file(c);
    action(*w, "actionOuvrir_dans_un_Nouvelle_Onglet")->trigger();
    action(*w, "actionNouvelle_Onglet")->trigger();
    type(currentEditor(*w), "C");
    action(*w, "ac_enrs")->trigger();
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(entries(*w), (QStringList{"&1  " + QString(c).replace("&", "&&"), "&2  " + b,
                                       "&3  " + a, "Vider la liste"}));
    // A file gone is left out; the list survives the end of the run.
    QVERIFY(QFile::remove(b));
    w.reset();
    w = startWindow();
    QCOMPARE(entries(*w).mid(1, 1), QStringList{"&2  " + a});
    recentMenu(*w)->actions().at(1)->trigger();
    QCOMPARE(w->windowTitle(), "Feuillon | " + a);
    QCOMPARE(currentEditor(*w)->toPlainText(), QStringLiteral("A"));
    recentMenu(*w)->actions().last()->trigger();
    QCOMPARE(entries(*w), (QStringList{"Aucun fichier récent", "Vider la liste"}));
    QVERIFY(!recentMenu(*w)->actions().last()->isEnabled());
}

void tst_recent::desktopListGainsTheFileAndKeepsOtherEntries()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "lettre d'été.txt", "bonjour");
    QVERIFY(writeFileBytes(desktopList(), otherProgram));
    for (int run = 1; run <= 2; ++run) {
        auto w = startWindow({"feuillon", path});
        QDomDocument doc;
        QString error;
        QVERIFY2(doc.setContent(fileBytes(desktopList()), true, &error), qPrintable(error));
        const QDomNodeList marks = doc.documentElement().elementsByTagName("bookmark");
        QCOMPARE(marks.size(), 2);
        const QDomElement other = marks.at(0).toElement();
        QCOMPARE(other.attribute("href"), QStringLiteral("file:///srv/photo.png"));
        QCOMPARE(other.attribute("visited"), QStringLiteral("2025-01-02T03:04:05.000000Z"));
        const QDomElement otherApp =
            other.elementsByTagNameNS(bookmarkNs, "application").at(0).toElement();
        QCOMPARE(otherApp.attribute("exec"), QStringLiteral("'visionneuse %u'"));
        QCOMPARE(otherApp.attribute("count"), QStringLiteral("3"));
        const QDomElement mine = marks.at(1).toElement();
        QCOMPARE(mine.attribute("href"), QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
        QVERIFY(mine.attribute("href").startsWith("file:///") &&
                !mine.attribute("href").contains(' '));
        QCOMPARE(mine.elementsByTagNameNS(mimeNs, "mime-type").at(0).toElement().attribute("type"),
                 QStringLiteral("text/plain"));
        const QDomElement app =
            mine.elementsByTagNameNS(bookmarkNs, "application").at(0).toElement();
        QCOMPARE(app.attribute("name"), QStringLiteral("Feuillon"));
        QCOMPARE(app.attribute("count"), QString::number(run));
    }
}

FEUILLON_TEST_MAIN(tst_recent)
#include "tst_recent.moc"
