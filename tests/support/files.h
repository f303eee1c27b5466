// Small helpers for tests that read and write real files.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace feuillon_test {

// The whole content of a file, or a marker that cannot be file content.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Writes a file of this name in the folder and returns its path.
inline QString makeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    if (!writeFileBytes(path, bytes))
        qWarning("could not write %s", qPrintable(path));
    return path;
}

} // namespace feuillon_test
