// Small helpers for tests that read and write real files.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

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

} // namespace feuillon_test
