// Feuillon's own list of recent files, in the settings store. Like every
// other value there it is written as texts, one per file.
#include "recent.h"

#include <QFileInfo>
#include <QSettings>

namespace {
const QString array_name = QStringLiteral("recent");
const QString path_key = QStringLiteral("path");

QStringList stored()
{
    QSettings store(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
    QStringList paths;
    const int size = store.beginReadArray(array_name);
    for (int i = 0; i < size; ++i) {
        store.setArrayIndex(i);
        const QVariant value = store.value(path_key);
        // Anything but a text comes from a damaged file: left out.
        if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
            paths << value.toString();
    }
    store.endArray();
    return paths;
}

bool store_list(const QStringList &paths)
{
    QSettings store(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
    store.remove(array_name);
    store.beginWriteArray(array_name, int(paths.size()));
    for (int i = 0; i < paths.size(); ++i) {
        store.setArrayIndex(i);
        store.setValue(path_key, paths.at(i));
    }
    store.endArray();
    store.sync();
    // A format error is left from reading a damaged file, which this write
    // has replaced.
    return store.status() != QSettings::AccessError;
}
} // namespace

namespace recent {

QStringList files()
{
    QStringList existing;
    for (const QString &path : stored())
        if (QFileInfo(path).isFile())
            existing << path;
    return existing;
}

bool add(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = stored();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    return store_list(paths.mid(0, kept));
}

bool clear()
{
    return store_list({});
}

} // namespace recent
