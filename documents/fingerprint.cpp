#include "fingerprint.h"

#include <QDateTime>
#include <QFile>
#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fingerprint {

namespace {

// File times move in ticks of the kernel clock, or of two seconds on some
// file systems: a file rewritten with the same size within the tick of the
// fingerprint keeps its time. Until that much has passed, only the bytes tell.
constexpr qint64 tick_ns = 2'000'000'000;

// A fixed seed: hashes of one run must compare equal.
constexpr size_t seed = 0x5eed'f11e;

qint64 nowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1'000'000;
}

} // namespace

quint64 hash(QByteArrayView bytes)
{
    return quint64(qHash(bytes, seed));
}

Fingerprint of(const QString &path, const struct stat &st, QByteArrayView bytes)
{
    Fingerprint f;
    f.path = path;
    f.exists = true;
    f.device = quint64(st.st_dev);
    f.inode = quint64(st.st_ino);
    f.size = qint64(st.st_size);
    f.modified_ns = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    f.hash = hash(bytes);
    f.taken_ns = nowNs();
    return f;
}

Fingerprint look(const QString &path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        Fingerprint none;
        none.path = path;
        none.taken_ns = nowNs();
        return none;
    }
    Fingerprint f = of(path, st, {});
    f.hash = 0;
    return f;
}

Fingerprint read(const QString &path)
{
    Fingerprint f;
    f.path = path;
    f.taken_ns = nowNs();
    // Non-blocking and only regular files: a FIFO put there must not hang us.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return f;
    QFile file;
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return f;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() == QFileDevice::NoError)
        f = of(path, st, bytes);
    return f;
}

bool unchanged(const Fingerprint &was, const Fingerprint &now)
{
    return was.exists && now.exists && was.device == now.device && was.inode == now.inode &&
           was.size == now.size && was.modified_ns == now.modified_ns &&
           was.modified_ns + tick_ns < was.taken_ns;
}

Verdict compare(const Fingerprint &was, Fingerprint *now)
{
    *now = look(was.path);
    if (!now->exists)
        return was.exists ? Verdict::Gone : Verdict::Same;
    if (!was.exists)
        return Verdict::Changed;
    if (unchanged(was, *now)) {
        now->hash = was.hash;
        now->taken_ns = was.taken_ns;
        return Verdict::Same;
    }
    // A different size is a different content, without reading a byte.
    if (now->size != was.size)
        return Verdict::Changed;
    *now = read(was.path);
    if (!now->exists)
        return Verdict::Changed;
    return now->hash == was.hash ? Verdict::Same : Verdict::Changed;
}

} // namespace fingerprint
