#include "textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextDocument>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace textfile {

namespace {

Failure failureOf(int error)
{
    switch (error) {
    case ENOSPC:
        return Failure::NoSpace;
    case EACCES:
    case EPERM:
        return Failure::Permission;
    case EROFS:
        return Failure::ReadOnlyFileSystem;
    case EDQUOT:
        return Failure::Quota;
    case EFBIG:
        return Failure::TooLarge;
    case EISDIR:
        return Failure::NotRegularFile;
    case ENOENT:
    case ENOTDIR:
        return Failure::FolderMissing;
    default:
        return Failure::Other;
    }
}

// The cause of the first failure of one read or write, taken from errno
// right after the call that failed: a restore or a close that follows may
// change errno. Its setters return false, to end a failing step.
class Cause
{
public:
    bool set(Failure failure)
    {
        if (m_failure == Failure::None)
            m_failure = failure;
        return false;
    }
    bool fromErrno() { return set(failureOf(errno)); }
    Failure failure() const { return m_failure == Failure::None ? Failure::Other : m_failure; }

private:
    Failure m_failure = Failure::None;
};

// A system call that returns 0 on success.
bool call(int result, Cause &cause)
{
    return result == 0 || cause.fromErrno();
}

// Repeats a read or write until `size` bytes are through, going on after a
// short transfer or an interruption; one that makes no progress is a failure.
// A short write is carried on on purpose: the next call tells why it stops.
template <typename Transfer> bool transferAll(qint64 size, Cause &cause, Transfer transfer)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return cause.fromErrno();
        if (n == 0)
            return cause.set(Failure::Other);
        done += n;
    }
    return true;
}

bool writeAt(int fd, const QByteArray &bytes, Cause &cause)
{
    return transferAll(bytes.size(), cause, [&](qint64 done) {
        return ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
    });
}

bool readWhole(int fd, QByteArray *bytes, Cause &cause)
{
    struct stat st {
    };
    if (!call(::fstat(fd, &st), cause))
        return false;
    bytes->resize(qsizetype(st.st_size));
    return transferAll(bytes->size(), cause, [&](qint64 done) {
        return ::pread(fd, bytes->data() + done, size_t(bytes->size() - done), done);
    });
}

bool holds(int fd, const QByteArray &expected, Cause &cause)
{
    QByteArray now;
    return readWhole(fd, &now, cause) && (now == expected || cause.set(Failure::Other));
}

// Truncate, write, sync: every step checked, then read back.
bool overwrite(int fd, const QByteArray &bytes, Cause &cause)
{
    return call(::ftruncate(fd, 0), cause) && writeAt(fd, bytes, cause) &&
           call(::fsync(fd), cause) && holds(fd, bytes, cause);
}

// A copy of the old content next to the file, synced and read back before
// the file itself is touched. Returns its path, or nothing on failure.
QString makeBackup(const QString &path, const QByteArray &old, Cause &cause)
{
    QByteArray name = QFile::encodeName(path) + ".XXXXXX~";
    const int fd = ::mkostemps(name.data(), 1, O_CLOEXEC);
    if (fd < 0) {
        cause.fromErrno();
        return QString();
    }
    const bool ok = writeAt(fd, old, cause) && call(::fsync(fd), cause) && holds(fd, old, cause);
    if (!call(::close(fd), cause) || !ok) {
        ::unlink(name.constData());
        return QString();
    }
    return QFile::decodeName(name);
}

// Writes into the file itself, so that every name, the owner, the group and
// the mode stay as they were. The old content is restored if anything fails.
bool writeInPlace(const QString &path, const QByteArray &bytes, const struct stat &old,
                  QString *kept_backup, Cause &cause)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return cause.fromErrno();
    struct stat now {
    };
    QByteArray before;
    bool same = call(::fstat(fd, &now), cause);
    // Another program may have put a different file there since.
    if (same && (now.st_dev != old.st_dev || now.st_ino != old.st_ino))
        same = cause.set(Failure::ChangedUnderUs);
    const QString backup =
        same && readWhole(fd, &before, cause) ? makeBackup(path, before, cause) : QString();
    if (backup.isEmpty()) {
        ::close(fd);
        return false;
    }
    bool written = overwrite(fd, bytes, cause);
    // The backup was read back equal to these bytes: restore from memory.
    const bool intact = written || overwrite(fd, before, cause);
    written = call(::close(fd), cause) && written;
    if (!intact || !call(::unlink(QFile::encodeName(backup).constData()), cause)) {
        if (kept_backup)
            *kept_backup = backup;
        return false;
    }
    return written;
}

enum class Replace { Done, Failed, MetadataNotKept };

// The temporary file takes the owner, group and every mode bit of the old
// file before it replaces it (set-user-ID and the like included).
bool takeMetadata(int fd, const struct stat &old)
{
    struct stat now {
    };
    if (fd < 0 || ::fstat(fd, &now) != 0)
        return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    // After the owner: changing it clears the set-user-ID and set-group-ID bits.
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// After a failed commit() errno is 0 (measured), and after some failed
// open() it may not be one of ours: ask the file system what stands in the
// way of writing `size` bytes there.
Failure probe(const QString &path, qint64 size)
{
    const QFileInfo info(path);
    // QSaveFile writes a symbolic link's target, in the target's folder.
    const QFileInfo target(info.exists() ? info.canonicalFilePath() : info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    struct statvfs fs {
    };
    if (::statvfs(folder.constData(), &fs) != 0)
        return failureOf(errno);
    if (fs.f_flag & ST_RDONLY)
        return Failure::ReadOnlyFileSystem;
    if (::faccessat(AT_FDCWD, folder.constData(), W_OK, AT_EACCESS) != 0)
        return failureOf(errno);
    if (qint64(fs.f_bavail) * qint64(fs.f_frsize) < size)
        return Failure::NoSpace;
    struct rlimit limit {
    };
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(size) > limit.rlim_cur)
        return Failure::TooLarge;
    return Failure::Other;
}

Failure saveFileFailure(const QString &path, qint64 size)
{
    const Failure said = failureOf(errno);
    return said != Failure::Other ? said : probe(path, size);
}

Replace replaceByRename(const QString &path, const QByteArray &bytes, const struct stat *old,
                        Cause &cause)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // A successful call may leave a stale errno behind: cleared before each.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        cause.set(saveFileFailure(path, bytes.size()));
        return Replace::Failed;
    }
    if (old && !takeMetadata(file.handle(), *old)) {
        file.cancelWriting();
        return Replace::MetadataNotKept;
    }
    // Through the descriptor rather than QSaveFile::write(), which stops at a
    // short write without saying why (and then commit() may still succeed).
    const int fd = file.handle();
    if (!writeAt(fd, bytes, cause) || !call(::fsync(fd), cause)) {
        file.cancelWriting();
        return Replace::Failed;
    }
    errno = 0;
    if (!file.commit()) {
        cause.set(saveFileFailure(path, bytes.size()));
        return Replace::Failed;
    }
    // Renamed whole, yet of another size: some other program wrote there.
    if (QFileInfo(path).size() != bytes.size()) {
        cause.set(Failure::ChangedUnderUs);
        return Replace::Failed;
    }
    return Replace::Done;
}

// The file's bytes, or its first `head` bytes when head is 0 or more; the
// result tells why not when they cannot be read.
QByteArray readBytes(const QString &path, qint64 head, ReadResult &result, struct stat &st)
{
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            result.status = ReadStatus::Missing;
        else
            result.failure = failureOf(errno);
        return {};
    }
    result.failure = Failure::NotRegularFile;
    if (!S_ISREG(st.st_mode))
        return {};
    // Non-blocking: should a FIFO have taken the file's place meanwhile,
    // opening it must not wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.failure = errno == ENOENT ? Failure::ChangedUnderUs : failureOf(errno);
        return {};
    }
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    // No text mode: it would delete every carriage return, also lone ones.
    // readAll() rather than the size: /proc files say 0 and have content.
    errno = 0;
    QByteArray bytes = head < 0 ? file.readAll() : file.read(head);
    if (file.error() != QFileDevice::NoError) {
        result.failure = failureOf(errno);
        return {};
    }
    result.status = ReadStatus::Read;
    result.failure = Failure::None;
    return bytes;
}

} // namespace

ReadResult read(const QString &path, qint64 head)
{
    ReadResult result;
    struct stat st {
    };
    QByteArray bytes = readBytes(path, head, result, st);
    if (result.status != ReadStatus::Read)
        return result;
    // A head cut inside a character would look like bytes that are not
    // UTF-8, and be decoded as another encoding than the whole file's.
    if (head >= 0 && bytes.lastIndexOf('\n') > 0)
        bytes.truncate(bytes.lastIndexOf('\n') + 1);
    result.text = decode(bytes, &result.undecodable, &result.form);
    if (head < 0)
        result.fingerprint = fingerprint::of(path, st, bytes);
    return result;
}

ReadResult readInPieces(const QString &path, qsizetype bytes_per_piece, QStringList *pieces)
{
    ReadResult result;
    struct stat st {
    };
    const QByteArray bytes = readBytes(path, -1, result, st);
    if (result.status != ReadStatus::Read)
        return result;
    if (!decodeInPieces(bytes, bytes_per_piece, pieces))
        result.text = decode(bytes, &result.undecodable, &result.form);
    result.fingerprint = fingerprint::of(path, st, bytes);
    return result;
}

QString absolutePath(const QString &path)
{
    return path.isEmpty() ? path : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString documentText(const QTextDocument &document)
{
    // One copy of the raw text instead of one string per line: a block break
    // is U+2029 there, and typing or pasting never leaves one inside a block.
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

namespace {

bool writeKeepingCause(const QString &path, const QByteArray &bytes, QString *kept_backup,
                       Cause &cause)
{
    // Follows a symbolic link: its target is what gets written.
    struct stat old {
    };
    if (::stat(QFile::encodeName(path).constData(), &old) != 0) {
        if (errno != ENOENT)
            return cause.fromErrno();
        return replaceByRename(path, bytes, nullptr, cause) == Replace::Done;
    }
    // A device or FIFO would be replaced by a regular file.
    if (!S_ISREG(old.st_mode))
        return cause.set(Failure::NotRegularFile);
    // A rename would leave the other names of the file with the old text.
    if (old.st_nlink > 1)
        return writeInPlace(path, bytes, old, kept_backup, cause);
    switch (replaceByRename(path, bytes, &old, cause)) {
    case Replace::Done:
        return true;
    case Replace::Failed:
        return false;
    case Replace::MetadataNotKept:
        // The saver may not give the file back to its owner: writing into
        // the file itself keeps owner, group and mode untouched.
        return writeInPlace(path, bytes, old, kept_backup, cause);
    }
    return false;
}

} // namespace

bool write(const QString &path, const QByteArray &bytes, QString *kept_backup, Failure *failure)
{
    if (kept_backup)
        kept_backup->clear();
    Cause cause;
    const bool written = writeKeepingCause(path, bytes, kept_backup, cause);
    if (failure)
        *failure = written ? Failure::None : cause.failure();
    return written;
}

bool writePrivate(const QString &path, const QByteArray &bytes, Failure *failure)
{
    Cause cause;
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    // mkostemp makes the file 0600, whatever the umask.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    bool ok = fd >= 0 || cause.fromErrno();
    ok = ok && writeAt(fd, bytes, cause) && call(::fsync(fd), cause);
    if (fd >= 0)
        ok = call(::close(fd), cause) && ok;
    ok = ok && call(::rename(temporary.constData(), QFile::encodeName(path).constData()), cause);
    if (!ok && fd >= 0)
        ::unlink(temporary.constData());
    if (failure)
        *failure = ok ? Failure::None : cause.failure();
    return ok;
}

QString describe(Failure failure)
{
    const auto text = [](const char *sentence) {
        return QCoreApplication::translate("textfile", sentence);
    };
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::NoSpace:
        return text("Le disque est plein.");
    case Failure::Permission:
        return text("Vous n'avez pas les droits nécessaires sur ce fichier ou sur son dossier.");
    case Failure::ReadOnlyFileSystem:
        return text("Ce disque est en lecture seule\u00A0: rien ne peut y être écrit.");
    case Failure::Quota:
        return text("Votre quota d'espace disque est atteint.");
    case Failure::TooLarge:
        return text("Le fichier dépasse la taille maximale permise.");
    case Failure::NotRegularFile:
        return text("Ce nom ne désigne pas un fichier ordinaire, mais un dossier, un "
                    "périphérique ou un tube.");
    case Failure::FolderMissing:
        return text("Le dossier de ce fichier n'existe pas ou n'est pas un dossier.");
    case Failure::ChangedUnderUs:
        return text("Un autre programme a remplacé le fichier entre-temps.");
    case Failure::Other:
        break;
    }
    return text("Le système a signalé une erreur inattendue.");
}

} // namespace textfile
