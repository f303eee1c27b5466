#include "textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextDocument>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace textfile {

namespace {

// Longest marks first: the UTF-32 LE mark begins with the UTF-16 LE one.
QStringConverter::Encoding encodingOf(const QByteArray &bytes)
{
    const struct {
        const char *mark;
        int size;
        QStringConverter::Encoding encoding;
    } marks[] = {
        {"\xFF\xFE\x00\x00", 4, QStringConverter::Utf32LE},
        {"\x00\x00\xFE\xFF", 4, QStringConverter::Utf32BE},
        {"\xEF\xBB\xBF", 3, QStringConverter::Utf8},
        {"\xFF\xFE", 2, QStringConverter::Utf16LE},
        {"\xFE\xFF", 2, QStringConverter::Utf16BE},
    };
    for (const auto &m : marks)
        if (bytes.startsWith(QByteArray::fromRawData(m.mark, m.size)))
            return m.encoding;
    return QStringConverter::Utf8;
}

// The UTF-16 and UTF-32 decoders drop a trailing partial unit without
// reporting it, even stateless, and UTF-16 lets lone surrogates through.
int unitSize(QStringConverter::Encoding encoding)
{
    switch (encoding) {
    case QStringConverter::Utf16LE:
    case QStringConverter::Utf16BE:
        return 2;
    case QStringConverter::Utf32LE:
    case QStringConverter::Utf32BE:
        return 4;
    default:
        return 1;
    }
}

// The UTF-16 and UTF-32 decoders let unpaired surrogates through. The editor
// would hold them as they are while a save writes "?" for each: they become
// the replacement character at once, as every other undecodable unit does.
bool replaceLoneSurrogates(QString &text)
{
    bool replaced = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            text[i] = QChar::ReplacementCharacter;
            replaced = true;
        }
    }
    return replaced;
}

QString toLineFeeds(QString text)
{
    // Most files have none: one quick scan instead of two searches.
    if (!text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// Repeats a read or write until `size` bytes are through, going on after a
// short transfer or an interruption; one that makes no progress is a failure.
template <typename Transfer> bool transferAll(qint64 size, Transfer transfer)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool writeAt(int fd, const QByteArray &bytes)
{
    return transferAll(bytes.size(), [&](qint64 done) {
        return ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
    });
}

bool readWhole(int fd, QByteArray *bytes)
{
    struct stat st {
    };
    if (::fstat(fd, &st) != 0)
        return false;
    bytes->resize(qsizetype(st.st_size));
    return transferAll(bytes->size(), [&](qint64 done) {
        return ::pread(fd, bytes->data() + done, size_t(bytes->size() - done), done);
    });
}

bool holds(int fd, const QByteArray &expected)
{
    QByteArray now;
    return readWhole(fd, &now) && now == expected;
}

// Truncate, write, sync: every step checked, then read back.
bool overwrite(int fd, const QByteArray &bytes)
{
    return ::ftruncate(fd, 0) == 0 && writeAt(fd, bytes) && ::fsync(fd) == 0 && holds(fd, bytes);
}

// A copy of the old content next to the file, synced and read back before
// the file itself is touched. Returns its path, or nothing on failure.
QString makeBackup(const QString &path, const QByteArray &old)
{
    QByteArray name = QFile::encodeName(path) + ".XXXXXX~";
    const int fd = ::mkostemps(name.data(), 1, O_CLOEXEC);
    if (fd < 0)
        return QString();
    const bool ok = writeAt(fd, old) && ::fsync(fd) == 0 && holds(fd, old);
    if (::close(fd) != 0 || !ok) {
        ::unlink(name.constData());
        return QString();
    }
    return QFile::decodeName(name);
}

// Writes into the file itself, so that every name, the owner, the group and
// the mode stay as they were. The old content is restored if anything fails.
bool writeInPlace(const QString &path, const QByteArray &bytes, const struct stat &old,
                  QString *kept_backup)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat now {
    };
    QByteArray before;
    // Another program may have put a different file there since.
    const bool same = ::fstat(fd, &now) == 0 && now.st_dev == old.st_dev &&
                      now.st_ino == old.st_ino && readWhole(fd, &before);
    const QString backup = same ? makeBackup(path, before) : QString();
    if (backup.isEmpty()) {
        ::close(fd);
        return false;
    }
    bool written = overwrite(fd, bytes);
    // The backup was read back equal to these bytes: restore from memory.
    const bool intact = written || overwrite(fd, before);
    written = ::close(fd) == 0 && written;
    if (!intact || !QFile::remove(backup)) {
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

Replace replaceByRename(const QString &path, const QByteArray &bytes, const struct stat *old)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return Replace::Failed;
    if (old && !takeMetadata(file.handle(), *old)) {
        file.cancelWriting();
        return Replace::MetadataNotKept;
    }
    // commit() alone may report success after a short write on a full disk.
    if (file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return Replace::Failed;
    }
    if (!file.commit() || QFileInfo(path).size() != bytes.size())
        return Replace::Failed;
    return Replace::Done;
}

} // namespace

QString decode(const QByteArray &bytes, bool *undecodable)
{
    // Stateless: a sequence cut off at the end counts as an error too.
    const QStringConverter::Encoding encoding = encodingOf(bytes);
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    // The UTF-8 decoder reports encoded surrogates itself; the others let
    // lone ones through, so only their text needs the second scan.
    const int unit = unitSize(encoding);
    const bool lone = unit > 1 && replaceLoneSurrogates(text);
    if (undecodable)
        *undecodable = decoder.hasError() || bytes.size() % unit != 0 || lone;
    return toLineFeeds(text);
}

ReadResult read(const QString &path)
{
    ReadResult result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.status = ReadStatus::Missing;
        return result;
    }
    if (!info.isFile())
        return result;
    QFile file(path);
    // No text mode: it would delete every carriage return, also lone ones.
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return result;
    result.text = decode(bytes, &result.undecodable);
    result.status = ReadStatus::Read;
    return result;
}

QString documentText(const QTextDocument &document)
{
    // One copy of the raw text instead of one string per line: a block break
    // is U+2029 there, and typing or pasting never leaves one inside a block.
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

bool write(const QString &path, const QByteArray &bytes, QString *kept_backup)
{
    if (kept_backup)
        kept_backup->clear();
    // Follows a symbolic link: its target is what gets written.
    struct stat old {
    };
    if (::stat(QFile::encodeName(path).constData(), &old) != 0)
        return errno == ENOENT && replaceByRename(path, bytes, nullptr) == Replace::Done;
    // A device or FIFO would be replaced by a regular file.
    if (!S_ISREG(old.st_mode))
        return false;
    // A rename would leave the other names of the file with the old text.
    if (old.st_nlink > 1)
        return writeInPlace(path, bytes, old, kept_backup);
    switch (replaceByRename(path, bytes, &old)) {
    case Replace::Done:
        return true;
    case Replace::Failed:
        return false;
    case Replace::MetadataNotKept:
        // The saver may not give the file back to its owner: writing into
        // the file itself keeps owner, group and mode untouched.
        return writeInPlace(path, bytes, old, kept_backup);
    }
    return false;
}

} // namespace textfile
