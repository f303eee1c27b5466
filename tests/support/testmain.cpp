#include "testmain.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>

namespace feuillon_test {

const QTemporaryDir &isolateEnvironment()
{
    static QTemporaryDir home;
    static bool done = false;
    if (done)
        return home;
    done = true;
    const QString root = home.path();
    for (const char *sub : {"config", "data", "cache", "runtime", "home"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/data"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root + "/cache"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + "/runtime"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A desktop theme plug-in would bring native dialogs the test cannot answer.
    qputenv("QT_QPA_PLATFORMTHEME", "");
    return home;
}

void watchForForgottenDialogs()
{
    static QPointer<QWidget> seen;
    static QElapsedTimer openFor;
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal != seen) {
            seen = modal;
            openFor.start();
            return;
        }
        if (!modal || openFor.elapsed() < 15000)
            return;
        qWarning("Unanswered dialog \"%s\" (%s): rejected so the test does not hang",
                 qPrintable(modal->windowTitle()), modal->metaObject()->className());
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        seen = nullptr;
    });
    timer->start(500);
}

} // namespace feuillon_test
