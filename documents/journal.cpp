#include "journal.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace journal {

namespace {
// 2: entries have generations and logs of edits. Version 1 entries are
// still read; a version 1 program leaves version 2 entries alone.
constexpr int format_version = 2;
const QString entry_suffix = QStringLiteral(".entry");
const QString lock_suffix = QStringLiteral(".lock");
const QString log_suffix = QStringLiteral(".log");

QString log_name(const QString &id, int generation)
{
    return QStringLiteral("%1.%2%3").arg(id).arg(generation).arg(log_suffix);
}

// The logs of this entry in the folder, but the one of `keep`.
void remove_logs(const QString &folder, const QString &id, int keep = -1)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList({id + QStringLiteral(".*") + log_suffix}, QDir::Files))
        if (name != log_name(id, keep))
            QFile::remove(dir.filePath(name));
}

QString data_root()
{
    // Beside where the settings store's names would put the program's data.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base + QStringLiteral("/vrel/Feuillon");
}

// A renamed file is on disk only once its folder is.
void sync_folder(const QString &folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Creates the folder, and any missing folder above it, readable by the
// user alone from the start; folders that exist already are left as they are.
bool make_folder(const QString &folder)
{
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) == 0 || errno == EEXIST)
        return QFileInfo(folder).isDir();
    const QString parent = QFileInfo(folder).absolutePath();
    if (errno != ENOENT || parent == folder || !make_folder(parent))
        return false;
    return ::mkdir(name.constData(), 0700) == 0 || (errno == EEXIST && QFileInfo(folder).isDir());
}

// A folder of the program's own holds the user's unsaved text: the user's
// alone, also when an older version made it readable by everyone.
bool own_folder(const QString &folder)
{
    return make_folder(folder) && ::chmod(QFile::encodeName(folder).constData(), 0700) == 0;
}

void make_private(const QString &file)
{
    ::chmod(QFile::encodeName(file).constData(), 0600);
}

// Lock files are made by QLockFile, which asks for the umask's mode.
class PrivateFiles
{
public:
    PrivateFiles() : before(::umask(077)) {}
    ~PrivateFiles() { ::umask(before); }
    PrivateFiles(const PrivateFiles &) = delete;
    PrivateFiles &operator=(const PrivateFiles &) = delete;

private:
    const mode_t before;
};

// What an older version left readable by others: folders 0700, files 0600.
void tighten(const QString &folder)
{
    if (!QFileInfo(folder).isDir() || !own_folder(folder))
        return;
    const QDir dir(folder);
    for (const QFileInfo &file : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
        make_private(file.filePath());
    for (const QFileInfo &sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        tighten(sub.filePath());
}

QByteArray read_all(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
    QByteArray bytes = *ok ? file.readAll() : QByteArray();
    *ok = *ok && file.error() == QFileDevice::NoError;
    return bytes;
}
} // namespace

QString journal_root()
{
    return data_root() + QStringLiteral("/journal");
}

QString discarded_root()
{
    return data_root() + QStringLiteral("/textes-abandonnés");
}

QByteArray encode(const Entry &entry)
{
    const QByteArray text = entry.text.toUtf8();
    QJsonObject header{{QStringLiteral("feuillon-journal"), format_version},
                       {QStringLiteral("path"), entry.path},
                       {QStringLiteral("title"), entry.title},
                       {QStringLiteral("written"), entry.written.toString(Qt::ISODateWithMs)},
                       {QStringLiteral("bytes"), double(text.size())},
                       {QStringLiteral("charset"), int(entry.form.charset)},
                       {QStringLiteral("mark"), entry.form.mark},
                       {QStringLiteral("line-end"), int(entry.form.line_end)},
                       {QStringLiteral("generation"), entry.generation}};
    // 64-bit numbers as text: JSON numbers are doubles.
    if (!entry.disk.path.isEmpty())
        header.insert(
            QStringLiteral("disk"),
            QJsonObject{{QStringLiteral("path"), entry.disk.path},
                        {QStringLiteral("exists"), entry.disk.exists},
                        {QStringLiteral("device"), QString::number(entry.disk.device)},
                        {QStringLiteral("inode"), QString::number(entry.disk.inode)},
                        {QStringLiteral("size"), QString::number(entry.disk.size)},
                        {QStringLiteral("modified"), QString::number(entry.disk.modified_ns)},
                        {QStringLiteral("hash"), QString::number(entry.disk.hash)},
                        {QStringLiteral("taken"), QString::number(entry.disk.taken_ns)}});
    return QJsonDocument(header).toJson(QJsonDocument::Compact) + '\n' + text;
}

bool decode(const QByteArray &bytes, Entry *entry, bool *newer)
{
    if (newer)
        *newer = false;
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0)
        return false;
    const QJsonObject header = QJsonDocument::fromJson(bytes.left(end)).object();
    const int version = header.value(QStringLiteral("feuillon-journal")).toInt(0);
    if (version > format_version && newer)
        *newer = true;
    const QByteArray text = bytes.mid(end + 1);
    if (version < 1 || version > format_version ||
        header.value(QStringLiteral("bytes")).toDouble(-1) != double(text.size()))
        return false;
    entry->generation = header.value(QStringLiteral("generation")).toInt(0);
    entry->path = header.value(QStringLiteral("path")).toString();
    entry->title = header.value(QStringLiteral("title")).toString();
    entry->written = QDateTime::fromString(header.value(QStringLiteral("written")).toString(),
                                           Qt::ISODateWithMs);
    entry->text = QString::fromUtf8(text);
    const int charset = header.value(QStringLiteral("charset")).toInt(0);
    const int line_end = header.value(QStringLiteral("line-end")).toInt(0);
    if (charset < 0 || charset > int(textfile::Charset::Windows1252) || line_end < 0 ||
        line_end > int(textfile::LineEnd::CR))
        return false;
    entry->form = {textfile::Charset(charset), header.value(QStringLiteral("mark")).toBool(),
                   textfile::LineEnd(line_end)};
    const QJsonObject disk = header.value(QStringLiteral("disk")).toObject();
    const auto number = [&disk](const char *key) {
        return disk.value(QLatin1String(key)).toString().toULongLong();
    };
    entry->disk = Fingerprint();
    if (!disk.isEmpty()) {
        entry->disk.path = disk.value(QStringLiteral("path")).toString();
        entry->disk.exists = disk.value(QStringLiteral("exists")).toBool();
        entry->disk.device = number("device");
        entry->disk.inode = number("inode");
        entry->disk.size = disk.value(QStringLiteral("size")).toString().toLongLong();
        entry->disk.modified_ns = qint64(number("modified"));
        entry->disk.hash = number("hash");
        entry->disk.taken_ns = qint64(number("taken"));
    }
    return true;
}

QByteArray encode(const Edit &edit)
{
    const QByteArray added = edit.added.toUtf8();
    return QByteArray::number(edit.at) + ' ' + QByteArray::number(edit.removed) + ' ' +
           QByteArray::number(added.size()) + ' ' + QByteArray::number(edit.length) + '\n' + added +
           '\n';
}

namespace {
// One record from `from`; false at the end or at a record cut short.
bool next_edit(const QByteArray &log, qsizetype *from, Edit *edit)
{
    const qsizetype end = log.indexOf('\n', *from);
    if (end < 0)
        return false;
    const QList<QByteArray> fields = log.mid(*from, end - *from).split(' ');
    if (fields.size() != 4)
        return false;
    bool ok[4] = {};
    edit->at = fields[0].toInt(&ok[0]);
    edit->removed = fields[1].toInt(&ok[1]);
    const int bytes = fields[2].toInt(&ok[2]);
    edit->length = fields[3].toInt(&ok[3]);
    if (!(ok[0] && ok[1] && ok[2] && ok[3]) || edit->at < 0 || edit->removed < 0 || bytes < 0 ||
        end + 1 + bytes >= log.size() || log.at(end + 1 + bytes) != '\n')
        return false;
    edit->added = QString::fromUtf8(log.constData() + end + 1, bytes);
    *from = end + 1 + bytes + 1;
    return true;
}
} // namespace

int replay(const QByteArray &log, QString *text)
{
    int applied = 0;
    qsizetype from = 0;
    Edit edit;
    while (next_edit(log, &from, &edit)) {
        if (edit.at > text->size())
            break;
        const qsizetype removed = qMin<qsizetype>(edit.removed, text->size() - edit.at);
        if (text->size() - removed + edit.added.size() != edit.length)
            break;
        text->replace(edit.at, removed, edit.added);
        ++applied;
    }
    return applied;
}

Run::Run()
{
    own_folder(data_root());
    tighten(journal_root());
    tighten(discarded_root());
    const QString root = journal_root();
    const QString name = QStringLiteral("run-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::global()->generate64(), 0, 36);
    folder = root + QLatin1Char('/') + name;
    auto held = std::make_unique<QLockFile>(root + QLatin1Char('/') + name + lock_suffix);
    held->setStaleLockTime(0);
    const PrivateFiles private_files;
    if (own_folder(root) && make_folder(folder) && held->tryLock(0))
        lock = std::move(held);
}

Run::~Run()
{
    // Left as it is: a run that ends without finish() keeps its entries.
}

bool Run::write(const Entry &entry)
{
    if (!usable())
        return false;
    // The folder may have been removed under a running program.
    if (!own_folder(journal_root()) || !make_folder(folder))
        return false;
    if (!textfile::writePrivate(folder + QLatin1Char('/') + entry.id + entry_suffix, encode(entry)))
        return false;
    remove_logs(folder, entry.id, entry.generation);
    sync_folder(folder);
    return true;
}

bool Run::append(const QString &id, int generation, const QByteArray &records)
{
    if (!usable())
        return false;
    const QByteArray name = QFile::encodeName(folder + QLatin1Char('/') + log_name(id, generation));
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    for (qsizetype done = 0; ok && done < records.size();) {
        const ssize_t n = ::write(fd, records.constData() + done, size_t(records.size() - done));
        ok = n > 0 || (n < 0 && errno == EINTR);
        done += qMax<ssize_t>(n, 0);
    }
    ok = ::fsync(fd) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

void Run::remove(const QString &id)
{
    if (!usable())
        return;
    QFile::remove(folder + QLatin1Char('/') + id + entry_suffix);
    remove_logs(folder, id);
    sync_folder(folder);
}

bool Run::empty() const
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty();
}

void Run::finish()
{
    if (!usable())
        return;
    if (empty())
        QDir().rmdir(folder);
    lock->unlock();
    lock.reset();
}

bool read_back(const QString &file, Entry *entry, bool *newer)
{
    bool ok = false;
    const QByteArray bytes = read_all(file, &ok);
    if (!ok || !decode(bytes, entry, newer))
        return false;
    entry->file = file;
    entry->id = QFileInfo(file).completeBaseName();
    // A log cut short by the end of its run ends where its last whole
    // record does.
    bool read = false;
    const QString folder = QFileInfo(file).path();
    const QByteArray log =
        read_all(folder + QLatin1Char('/') + log_name(entry->id, entry->generation), &read);
    if (read)
        replay(log, &entry->text);
    return true;
}

Orphans find_orphans()
{
    Orphans found;
    QDir root(journal_root());
    for (const QFileInfo &dir : root.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        auto lock = std::make_shared<QLockFile>(dir.filePath() + lock_suffix);
        // A lock whose process is gone is stale at once.
        lock->setStaleLockTime(0);
        const PrivateFiles private_files;
        if (!lock->tryLock(0))
            continue;
        const QStringList names =
            QDir(dir.filePath()).entryList({QLatin1Char('*') + entry_suffix}, QDir::Files);
        if (names.isEmpty()) {
            QDir().rmdir(dir.filePath());
            continue;
        }
        found.locks << lock;
        found.folders << dir.filePath();
        for (const QString &name : names) {
            const QString file = dir.filePath() + QLatin1Char('/') + name;
            bool newer = false;
            Entry entry;
            if (read_back(file, &entry, &newer))
                found.entries << entry;
            else if (!newer)
                found.damaged << file;
        }
    }
    std::sort(found.entries.begin(), found.entries.end(),
              [](const Entry &a, const Entry &b) { return a.written < b.written; });
    return found;
}

void drop_orphans(Orphans &orphans)
{
    for (const Entry &entry : std::as_const(orphans.entries)) {
        QFile::remove(entry.file);
        remove_logs(QFileInfo(entry.file).path(), entry.id);
    }
    for (const QString &folder : std::as_const(orphans.folders)) {
        sync_folder(folder);
        QDir().rmdir(folder); // kept when damaged or newer entries remain
    }
    orphans.entries.clear();
    orphans.locks.clear();
}

QString discard(const QString &name, const QByteArray &bytes)
{
    const QString root = discarded_root();
    if (!own_folder(data_root()) || !own_folder(root))
        return QString();
    QString safe = name;
    safe.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
    // "note (2).txt": the name keeps its ending, so the copy opens as the file did.
    const QFileInfo parts(safe);
    const QString suffix = parts.suffix().isEmpty() || parts.completeBaseName().isEmpty()
                               ? QString()
                               : QLatin1Char('.') + parts.suffix();
    const QString base = safe.chopped(suffix.size());
    QString path = QStringLiteral("%1/%2 %3").arg(root, stamp, safe);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QStringLiteral("%1/%2 %3 (%4)%5").arg(root, stamp, base).arg(n).arg(suffix);
    if (!textfile::writePrivate(path, bytes))
        return QString();
    sync_folder(root);
    return path;
}

void clean_discarded(qint64 cap, int days)
{
    QDir root(discarded_root());
    const QDateTime limit = QDateTime::currentDateTime().addDays(-days);
    qint64 total = 0;
    // Newest first: what is kept is the latest, up to the cap.
    for (const QFileInfo &file : root.entryInfoList(QDir::Files, QDir::Time)) {
        total += file.size();
        if (file.lastModified() < limit || total > cap)
            QFile::remove(file.filePath());
    }
}

} // namespace journal
