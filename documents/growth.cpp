#include "growth.h"

#include <QFile>
#include <QScopeGuard>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace growth {

namespace {

constexpr qsizetype piece_bytes = 1024 * 1024;

// Line ends of the added text made line feeds, when they are the form's.
bool to_line_feeds(QString &text, textfile::LineEnd end)
{
    using textfile::LineEnd;
    if (end == LineEnd::LF)
        return !text.contains(QLatin1Char('\r'));
    if (end == LineEnd::CR) {
        if (text.contains(QLatin1Char('\n')))
            return false;
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return true;
    }
    const qsizetype feeds = text.count(QLatin1Char('\n'));
    if (text.count(QLatin1Char('\r')) != feeds || text.count(QLatin1String("\r\n")) != feeds)
        return false;
    text.remove(QLatin1Char('\r'));
    return true;
}

// Reads `size` bytes at `at`, fewer when the file ends first; false on an
// error.
bool read_at(int fd, qint64 at, qsizetype size, QByteArray *bytes)
{
    bytes->resize(size);
    qsizetype got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes->data() + got, size_t(size - got), off_t(at + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += n;
    }
    bytes->truncate(got);
    return true;
}

// The hash of the bytes from `from` to `to`, read piece by piece so
// that a big file is never held whole; false when they cannot all be read.
bool hash_range(int fd, qint64 from, qint64 to, fingerprint::Hasher *hasher)
{
    QByteArray piece;
    for (qint64 at = from; at < to; at += piece.size()) {
        if (!read_at(fd, at, qsizetype(qMin<qint64>(piece_bytes, to - at)), &piece) ||
            piece.isEmpty())
            return false;
        hasher->add(piece);
    }
    return true;
}

// The file at `path`, open for reading if it is a regular file: a FIFO
// put there must not hang us.
int open_regular(const QString &path, struct stat *st)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0 && (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

qsizetype added_text(QByteArrayView added, const textfile::Form &form, QString *text)
{
    qsizetype taken = textfile::wholeCharacters(added, form.charset);
    bool undecodable = false;
    *text = textfile::decodeAs(added.first(taken), form.charset, &undecodable);
    if (undecodable)
        return -1;
    // A carriage return may be the first half of a CRLF still being written.
    if (text->endsWith(QLatin1Char('\r'))) {
        text->chop(1);
        taken -= textfile::unitBytes(form.charset);
    }
    return to_line_feeds(*text, form.line_end) ? taken : -1;
}

Growth read_appended(const Fingerprint &was, const textfile::Form &form)
{
    Growth growth;
    struct stat st {
    };
    const int fd = open_regular(was.path, &st);
    if (fd < 0)
        return growth;
    const auto done = qScopeGuard([fd] { ::close(fd); });
    const qint64 added = qint64(st.st_size) - was.size;
    growth.found = Found::Rewritten;
    // An empty text had no bytes to say its form: the whole file decides.
    if (!was.exists || was.size <= 0 || added < 0 || added > most_appended)
        return growth;
    fingerprint::Hasher hasher;
    QByteArray bytes;
    if (!hash_range(fd, 0, was.size, &hasher) || !read_at(fd, was.size, added, &bytes)) {
        growth.found = Found::Unreadable;
        return growth;
    }
    if (hasher.value() != was.hash)
        return growth;
    growth.found = added == 0 ? Found::Same : Found::Appended;
    const qsizetype taken = added_text(bytes, form, &growth.text);
    if (taken < 0) {
        growth.found = Found::Rewritten;
        return growth;
    }
    hasher.add(QByteArrayView(bytes).first(taken));
    growth.fingerprint = fingerprint::of(was.path, st, {});
    growth.fingerprint.size = was.size + taken;
    growth.fingerprint.hash = hasher.value();
    return growth;
}

bool may_have_grown(const Fingerprint &was)
{
    const Fingerprint now = fingerprint::look(was.path);
    return now.exists && now.size >= was.size && !fingerprint::unchanged(was, now);
}

bool extends(const Fingerprint &was, Fingerprint *now)
{
    struct stat st {
    };
    const int fd = open_regular(was.path, &st);
    *now = fingerprint::look(was.path);
    if (fd < 0)
        return false;
    const auto done = qScopeGuard([fd] { ::close(fd); });
    fingerprint::Hasher hasher;
    if (qint64(st.st_size) < was.size || !hash_range(fd, 0, was.size, &hasher))
        return false;
    const bool same_start = hasher.value() == was.hash;
    if (!hash_range(fd, was.size, qint64(st.st_size), &hasher))
        return false;
    *now = fingerprint::of(was.path, st, {});
    now->hash = hasher.value();
    return same_start;
}

} // namespace growth
