// Ways to make a save fail that work for root too, and a child process that
// saves a document so that a test can kill it in the middle.
#pragma once

#include "documents/textfile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace feuillon_test {

// A small tmpfs mounted on a folder while alive (needs root and mount
// rights); read-only, it makes every write fail with EROFS.
class SmallDisk
{
public:
    SmallDisk(const QString &mountPoint, int kib, bool readOnly = false) : path(mountPoint)
    {
        const QByteArray size = "size=" + QByteArray::number(kib) + 'k';
        ok = QDir().mkpath(path) && ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs",
                                            readOnly ? MS_RDONLY : 0, size.constData()) == 0;
    }
    ~SmallDisk()
    {
        // Detached: a file the program still holds open must not keep it.
        if (ok)
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    qint64 freeBytes() const
    {
        struct statvfs st {
        };
        return statvfs(QFile::encodeName(path).constData(), &st) == 0
                   ? qint64(st.f_bavail) * qint64(st.f_frsize)
                   : -1;
    }
    // Fills the disk with a file named "filler" until exactly this much is free.
    bool leaveFree(qint64 bytes)
    {
        QFile filler(path + "/filler");
        const qint64 fill = freeBytes() - bytes;
        return fill >= 0 && filler.open(QIODevice::WriteOnly) &&
               filler.write(QByteArray(fill, 'f')) == fill && filler.flush() &&
               freeBytes() == bytes;
    }

    const QString path;
    bool ok = false;
};

// Lowers the file-size limit of this process while alive; the signal it
// would raise is ignored so that write() fails instead.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        old_handler = std::signal(SIGXFSZ, SIG_IGN);
        ok = getrlimit(RLIMIT_FSIZE, &old) == 0;
        rlimit lowered = old;
        lowered.rlim_cur = bytes;
        ok = ok && setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, old_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool ok = false;

private:
    rlimit old{};
    void (*old_handler)(int) = nullptr;
};

// Root ignores permission bits: while alive, this process acts as the user
// nobody (effective ids only, so root comes back after).
class AsNobody
{
public:
    AsNobody()
    {
        ok = ::getegid() == 0 && ::geteuid() == 0 && ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~AsNobody()
    {
        if (ok && (::seteuid(0) != 0 || ::setegid(0) != 0))
            std::abort();
    }
    AsNobody(const AsNobody &) = delete;
    AsNobody &operator=(const AsNobody &) = delete;
    bool ok = false;
};

// A text of exactly this many bytes, in numbered lines, so that a file cut
// anywhere differs from it.
inline QByteArray numberedText(qsizetype bytes)
{
    QByteArray text(bytes + 32, Qt::Uninitialized);
    qsizetype at = 0;
    for (int line = 0; at < bytes; ++line)
        at += std::snprintf(text.data() + at, 32, "ligne %d du document\n", line);
    text.truncate(bytes);
    return text;
}

inline const char save_child_path[] = "FEUILLON_SAVE_CHILD";
inline const char save_child_size[] = "FEUILLON_SAVE_SIZE";

// In a test binary started by startSaveChild(): saves numberedText(size) to
// the path through the program's own write, says "go" just before, and ends
// the process with 0 when the save succeeded. Call early in initTestCase().
inline void runSaveChildIfAsked()
{
    if (!qEnvironmentVariableIsSet(save_child_path))
        return;
    const QByteArray bytes = numberedText(qEnvironmentVariableIntValue(save_child_size));
    std::fputs("go\n", stdout);
    std::fflush(stdout);
    const bool written = textfile::write(qEnvironmentVariable(save_child_path), bytes);
    std::fflush(stdout);
    std::_Exit(written ? 0 : 1);
}

// Starts this test binary again (optionally through a launcher such as
// setpriv) as a child that saves a document; returns once it says "go".
inline bool startSaveChild(QProcess &child, const QString &path, qsizetype bytes,
                           const QStringList &launcher = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(save_child_path, path);
    env.insert(save_child_size, QString::number(bytes));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QStringList arguments = launcher.mid(1);
    arguments << QCoreApplication::applicationFilePath();
    child.start(launcher.isEmpty() ? arguments.takeLast() : launcher.first(), arguments);
    if (!child.waitForStarted())
        return false;
    QByteArray said;
    while (!said.contains("go\n") && child.waitForReadyRead(30000))
        said += child.readAllStandardOutput();
    return said.contains("go\n");
}

} // namespace feuillon_test
