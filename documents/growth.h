// A file that grew while open, as a log does: only the bytes it gained are
// read and put in, so following it costs what was appended, not the file.
// The file reading runs on any thread; nothing here touches a window.
#pragma once

#include "encoding.h"
#include "fingerprint.h"

#include <QString>

namespace growth {

// More than this at once is read again whole, slice by slice: one insertion
// that big would stall the window.
constexpr qint64 most_appended = 4 * 1024 * 1024;

// The text of bytes added after a text in this form, with line feeds only,
// and how many of the bytes it holds: whole characters, and a carriage
// return waits for the line feed that may follow it. -1 when the bytes do
// not read cleanly in this form, or end their lines otherwise than it.
qsizetype added_text(QByteArrayView added, const textfile::Form &form, QString *text);

enum class Found {
    Same,      // the very bytes the text came from: only touched
    Appended,  // the file is the text's bytes and more: `text` is the more
    Rewritten, // anything else: the whole file must be read again
    Unreadable // not readable now: looked at again later
};

struct Growth {
    Found found = Found::Unreadable;
    QString text;            // the text appended, may be empty
    Fingerprint fingerprint; // of the file up to the last byte taken
};

// Reads the file at was.path: whether it begins with the very bytes `was`
// describes (hashed again, piece by piece) and, if so, what follows them.
Growth read_appended(const Fingerprint &was, const textfile::Form &form);

// Whether, from what the system tells without reading it, the file at
// was.path may hold the bytes `was` describes and more (or the same bytes,
// touched): only reading can tell.
bool may_have_grown(const Fingerprint &was);

// Whether the file now begins with the bytes `was` describes (or is them);
// `now` gets the fingerprint of the whole file as it is.
bool extends(const Fingerprint &was, Fingerprint *now);

} // namespace growth
