// What a file was like when a document last matched it, so that a change
// made by another program can be told from a mere touch.
#pragma once

#include <QByteArrayView>
#include <QString>

struct stat;

struct Fingerprint {
    QString path;        // the path it was taken for; empty: none taken
    bool exists = false; // false: nothing stood at the path then
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modified_ns = 0;
    quint64 hash = 0;    // of the bytes: decides whether the content changed
    qint64 taken_ns = 0; // wall clock when the hash was known to match
};

namespace fingerprint {

// Fast and non-cryptographic: it guards against accidents, not attackers,
// and must cost little next to reading or writing the bytes.
quint64 hash(QByteArrayView bytes);

// The same hash taken over bytes that come in several parts: a file's, read
// piece by piece, or grown since it was last hashed.
class Hasher
{
public:
    Hasher();
    void add(QByteArrayView bytes);
    // The hash of all the bytes added so far; more may be added after.
    quint64 value() const;
    quint64 size() const { return total; }

private:
    void mix_block(const uchar *p);
    quint64 lanes[4];
    uchar block[32] = {};
    int pending = 0; // bytes of `block` waiting for the rest of their block
    quint64 total = 0;
};

// The file facts of a stat, with the hash of its bytes.
Fingerprint of(const QString &path, const struct stat &st, QByteArrayView bytes);

// The facts the system gives about the path now, without reading it; the
// hash is left at 0.
Fingerprint look(const QString &path);

// Reads the file whole to hash it; exists stays false when it cannot be
// read as a regular file.
Fingerprint read(const QString &path);

// Whether `now` (from look) shows the very file `was` describes, untouched,
// in a way that can be trusted without reading the bytes.
bool unchanged(const Fingerprint &was, const Fingerprint &now);

enum class Verdict {
    Same,    // the bytes are those of `was` (perhaps touched or moved back)
    Changed, // other bytes, or a file where there was none, or unreadable
    Gone     // the file was there and is no longer
};

// Compares the file at was.path with `was`, reading it only when its facts
// differ or are too recent to be trusted. `now` receives the fresh facts
// (with the hash when it was read).
Verdict compare(const Fingerprint &was, Fingerprint *now);

} // namespace fingerprint
