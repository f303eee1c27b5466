// Reading and writing the bytes of a text file. Kept apart from the window so
// that the encoding rules and the careful save can be checked on their own.
#pragma once

#include "encoding.h"
#include "fingerprint.h"

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace textfile {

// Why a read or a write failed, as far as the system said.
enum class Failure {
    None,
    NoSpace,            // the disk is full
    Permission,         // the user may not write (or read) there
    ReadOnlyFileSystem, // the disk is mounted read-only
    Quota,              // the user's disk quota is used up
    TooLarge,           // the file would exceed the size allowed (RLIMIT_FSIZE, file system)
    NotRegularFile,     // a folder, a device or a FIFO stands at that path
    FolderMissing,      // the folder of the file does not exist (or is not a folder)
    ChangedUnderUs,     // another program put a different file there meanwhile
    Other
};

// A French sentence that tells the user the cause; a general one for Other.
QString describe(Failure failure);

enum class ReadStatus {
    Read,      // the file was read whole
    Missing,   // nothing exists at that path
    Unreadable // something exists but is not a readable regular file
};

struct ReadResult {
    ReadStatus status = ReadStatus::Unreadable;
    QString text;
    bool undecodable = false;        // some bytes did not form valid text
    Form form;                       // encoding, mark and line ends found
    Failure failure = Failure::None; // set when status is Unreadable
    Fingerprint fingerprint;         // of the file and the bytes read, when Read
};

// Reads a regular file whole, or only its first `head` bytes, up to their
// last line feed, when head is 0 or more (then without a fingerprint). Folders, devices and FIFOs
// are refused before anything is opened, so a read never blocks.
ReadResult read(const QString &path, qint64 head = -1);
// The same, for a big file: its text comes in pieces cut after line feeds
// when decodeInPieces() takes it, else whole in the result as read() gives.
ReadResult readInPieces(const QString &path, qsizetype bytes_per_piece, QStringList *pieces);

// The path made absolute and clean, from the working folder as it is now.
QString absolutePath(const QString &path);

// The text the user sees, every character kept; only paragraph breaks
// become line feeds.
QString documentText(const QTextDocument &document);

// Replaces the file only once every byte is known to be written; on any
// failure the old file stays as it was. A symbolic link stays a link (its
// target is written); owner, group, mode bits and hard links are kept. A
// file whose owner cannot be kept, or that has several names, is written in
// place behind a verified backup copy; should that backup still hold the
// only good copy after a failure, its path is put in kept_backup. The cause
// of a failure goes to failure (Failure::None after a success).
bool write(const QString &path, const QByteArray &bytes, QString *kept_backup = nullptr,
           Failure *failure = nullptr);

// For the program's own copies of the user's text: readable by the user alone
// from the first byte (mode 0600 whatever the umask), synced, then renamed
// over `path`, so a reader finds the old copy or the new one whole.
bool writePrivate(const QString &path, const QByteArray &bytes, Failure *failure = nullptr);

} // namespace textfile
