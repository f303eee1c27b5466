// The window icon: "logo.ico" from the working directory when it is there,
// otherwise the application's icon (the theme's or the one built in).
#include "appicon.h"
#include "testmain.h"
#include "window.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWindow>

using namespace feuillon_test;

namespace {

// Starts the main window with the given folder as working directory.
std::unique_ptr<fp> startIn(const QString &folder)
{
    const QString before = QDir::currentPath();
    if (!QDir::setCurrent(folder))
        return nullptr;
    auto w = startWindow();
    QDir::setCurrent(before);
    return w;
}

QIcon plainIcon(Qt::GlobalColor color)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(color);
    return QIcon(pixmap);
}

} // namespace

class tst_windowicon : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void builtInIconHoldsEverySize_data();
    void builtInIconHoldsEverySize();
    void unusableLogoLeavesTheApplicationIcon_data();
    void unusableLogoLeavesTheApplicationIcon();
    void logoInWorkingDirectoryIsTheWindowIcon();
};

void tst_windowicon::cleanup()
{
    QApplication::setWindowIcon(QIcon());
}

void tst_windowicon::builtInIconHoldsEverySize_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void tst_windowicon::builtInIconHoldsEverySize()
{
    QFETCH(int, size);
    const QIcon icon = application_icon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    QCOMPARE(icon.pixmap(QSize(size, size)).size(), QSize(size, size));
}

void tst_windowicon::unusableLogoLeavesTheApplicationIcon_data()
{
    QTest::addColumn<QString>("logo");
    QTest::newRow("no logo.ico") << QString();
    QTest::newRow("logo.ico is not a picture") << QStringLiteral("file");
    QTest::newRow("logo.ico is a folder") << QStringLiteral("folder");
}

void tst_windowicon::unusableLogoLeavesTheApplicationIcon()
{
    QFETCH(QString, logo);
    const QIcon application = application_icon();
    QApplication::setWindowIcon(application);
    QTemporaryDir folder;
    const QString logoPath = folder.filePath(QStringLiteral("logo.ico"));
    if (logo == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(logoPath));
    if (logo == QLatin1String("file")) {
        QFile file(logoPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("pas une icone\n") > 0);
    }
    auto w = startIn(folder.path());
    QVERIFY(w);
    QCOMPARE(w->windowIcon().cacheKey(), application.cacheKey());
    // What the platform shows for the window.
    QVERIFY(w->windowHandle());
    QCOMPARE(w->windowHandle()->icon().cacheKey(), application.cacheKey());
}

void tst_windowicon::logoInWorkingDirectoryIsTheWindowIcon()
{
    const QIcon application = plainIcon(Qt::red);
    QApplication::setWindowIcon(application);
    QTemporaryDir folder;
    QVERIFY(QFile::copy(QStringLiteral(FEUILLON_SOURCE_DIR "/resources/logo.ico"),
                        folder.filePath(QStringLiteral("logo.ico"))));
    auto w = startIn(folder.path());
    QVERIFY(w);
    const QIcon shown = w->windowIcon();
    QVERIFY(!shown.isNull());
    QVERIFY(shown.cacheKey() != application.cacheKey());
    QVERIFY(shown.availableSizes().contains(QSize(256, 256)));
    QVERIFY(shown.availableSizes().contains(QSize(16, 16)));
}

FEUILLON_TEST_MAIN(tst_windowicon)
#include "tst_windowicon.moc"
