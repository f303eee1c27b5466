// Small helpers for tests that read and write real files.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
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

// The SHA-256 of a file's content; empty when it cannot be read.
inline QByteArray fileHash(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

// Lines of French text with accents and no-break spaces, `size` bytes in
// all, written to path; returns the file's hash (empty on failure).
inline QByteArray writeLargeFile(const QString &path, qint64 size)
{
    const QByteArray line =
        QStringLiteral("Ligne de texte accentu\u00E9e\u00A0: \u00AB\u00A0\u00E0 lire\u00A0\u00BB, "
                       "encore un peu de texte pour la longueur.\n")
            .toUtf8();
    QByteArray chunk;
    while (chunk.size() < (1 << 20))
        chunk += line;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (qint64 left = size; left > 0; left -= chunk.size())
        file.write(chunk.left(qMin<qint64>(left, chunk.size())));
    file.close();
    return fileHash(path);
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
