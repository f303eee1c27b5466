#include "environment.h"

#include <QDir>
#include <QFile>

namespace feuillon_test {

const QTemporaryDir &isolateEnvironment()
{
    static QTemporaryDir home;
    static bool done = false;
    if (done)
        return home;
    done = true;
    const QString root = home.path();
    const struct {
        const char *variable;
        const char *folder;
    } homes[] = {{"XDG_CONFIG_HOME", "config"},
                 {"XDG_DATA_HOME", "data"},
                 {"XDG_CACHE_HOME", "cache"},
                 {"XDG_STATE_HOME", "state"},
                 {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto &h : homes) {
        QDir(root).mkpath(QString::fromLatin1(h.folder));
        qputenv(h.variable, QFile::encodeName(root + QLatin1Char('/') + h.folder));
    }
    // Qt warns about a runtime folder that others may enter.
    QFile::setPermissions(root + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A desktop theme plug-in would bring native dialogs the test cannot answer.
    qputenv("QT_QPA_PLATFORMTHEME", "");
    return home;
}

} // namespace feuillon_test
