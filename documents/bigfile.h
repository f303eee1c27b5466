// Rules for files big enough that reading them is felt: whether the machine
// can hold one, what shows of it at once, and where each slice of its text
// ends. Pure functions, so they are checked without a window.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace bigfile {

// From this size on, a file goes into the editor slice by slice with the
// window answering between slices; below it, one call is quicker than the
// eye.
constexpr qint64 slice_from = 2 * 1024 * 1024;
// Bigger files are opened only once the user has said so.
constexpr qint64 ask_from = qint64(1) << 30;
// The editor holds about six bytes of memory for each byte of a file.
constexpr qint64 memory_per_byte = 6;
// The editor counts characters with an int.
constexpr qint64 largest = (qint64(1) << 31) - 2;

// Memory the system can give without killing anything, in bytes (-1: unknown).
struct Memory {
    qint64 available = -1;
    qint64 swap_free = 0;
};
Memory parse_meminfo(const QByteArray &meminfo);
Memory memory(); // from /proc/meminfo

enum class Room {
    Enough, // open it
    Ask,    // it fits, but slowly (swap) or is huge: the user decides
    Refuse  // it cannot be held: opening would end in the out-of-memory killer
};
Room room_for(qint64 size, const Memory &memory);

// "3,2 Go", "850 Mo": sizes as a French desktop writes them.
QString size_text(qint64 bytes);

// The whole lines of the text decoded from the first bytes of a file: its
// last line may be cut, and with it a character or a line end.
QString whole_lines(const QString &head);

// Where a slice of about `chars` characters from `from` ends: after a line
// end, so that every line goes in whole and is laid out once.
qsizetype slice_end(const QString &text, qsizetype from, qsizetype chars);

// The text cut after line ends into pieces of about `chars` characters.
QStringList pieces(const QString &text, qsizetype chars);

// How much text the next slice puts in: each slice should keep the window
// busy between 15 and 40 ms, its layout included. Past some size (about a
// million and a half lines), Qt's layout lays out far more than the
// inserted text on each insertion: a slice then costs seconds whatever its
// size. A slow slice is followed by the smallest one; if that one is slow
// too, or a slice took seconds, the rest goes in at once.
struct SlicePace {
    static constexpr qsizetype first = 64 * 1024;
    static constexpr qsizetype smallest = 4 * 1024;
    static constexpr qsizetype largest = 4 * 1024 * 1024;
    qsizetype chars = first;
    bool probing = false;     // the last slice was far too slow
    bool all_at_once = false; // slices have stopped paying off
    // The last slice took this long.
    void took(qint64 ms);
};

} // namespace bigfile
