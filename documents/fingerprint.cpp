#include "fingerprint.h"

#include <QDateTime>
#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fingerprint {

namespace {

// File times move in ticks of the kernel clock, or of two seconds on some
// file systems: a file rewritten with the same size within the tick of the
// fingerprint keeps its time. Until that much has passed, only the bytes tell.
constexpr qint64 tick_ns = 2'000'000'000;

// Odd constants with well-spread bits, for multiplying.
constexpr quint64 k1 = 0x9E37'79B9'7F4A'7C15;
constexpr quint64 k2 = 0xC2B2'AE3D'27D4'EB4F;
constexpr quint64 k3 = 0x1656'67B1'9E37'79F9;

constexpr quint64 rotated(quint64 v, int bits)
{
    return (v << bits) | (v >> (64 - bits));
}

quint64 word_at(const uchar *p)
{
    return qFromLittleEndian<quint64>(p);
}

quint64 mixed(quint64 acc, quint64 word)
{
    return rotated(acc + word * k2, 31) * k1;
}

qint64 nowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1'000'000;
}

} // namespace

// The same in every process and on every run: a hash stored in the journal
// is compared with one taken by the next run, which Qt's own qHash, seeded
// anew in each process, would never match. Four independent lanes keep the
// processor busy: about as fast as reading the bytes from memory.
quint64 hash(QByteArrayView bytes)
{
    Hasher hasher;
    hasher.add(bytes);
    return hasher.value();
}

Hasher::Hasher() : lanes{k1, k2, k3, k1 ^ k2} {}

void Hasher::add(QByteArrayView bytes)
{
    const uchar *p = reinterpret_cast<const uchar *>(bytes.data());
    qsizetype left = bytes.size();
    if (left == 0)
        return;
    total += quint64(left);
    // A block begun by the bytes of an earlier call is completed first.
    if (pending > 0) {
        const qsizetype taken = qMin<qsizetype>(left, 32 - pending);
        memcpy(block + pending, p, size_t(taken));
        pending += int(taken);
        p += taken;
        left -= taken;
        if (pending < 32)
            return;
        mix_block(block);
        pending = 0;
    }
    for (; left >= 32; left -= 32, p += 32)
        mix_block(p);
    memcpy(block, p, size_t(left));
    pending = int(left);
}

void Hasher::mix_block(const uchar *p)
{
    for (int i = 0; i < 4; ++i)
        lanes[i] = mixed(lanes[i], word_at(p + 8 * i));
}

quint64 Hasher::value() const
{
    quint64 h = rotated(lanes[0], 1) + rotated(lanes[1], 7) + rotated(lanes[2], 12) +
                rotated(lanes[3], 18) + total * k3;
    const uchar *p = block;
    int left = pending;
    for (; left >= 8; left -= 8, p += 8)
        h = rotated(h ^ mixed(0, word_at(p)), 27) * k1 + k3;
    for (; left > 0; --left, ++p)
        h = rotated(h ^ (*p * k3), 11) * k1;
    h ^= h >> 33;
    h *= k2;
    h ^= h >> 29;
    h *= k3;
    return h ^ (h >> 32);
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
