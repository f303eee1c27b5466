// The form of a text file: its encoding, its byte-order mark and its line
// ends. Found when the file is read, so that a save writes the document back
// as it came and only the user's changes differ.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace textfile {

enum class Charset { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Windows1252 };
enum class LineEnd { LF, CRLF, CR };

struct Form {
    Charset charset = Charset::Utf8;
    bool mark = false; // a byte-order mark starts the file
    LineEnd line_end = LineEnd::LF;
    bool operator==(const Form &other) const
    {
        return charset == other.charset && mark == other.mark && line_end == other.line_end;
    }
};

// Decodes file bytes. A byte-order mark decides the encoding; else valid
// UTF-8 is UTF-8; else bytes without NUL are Windows-1252. Anything else is
// read as UTF-8 and said undecodable. CRLF and lone CR become LF; the line
// end met most often is the form's (CRLF, then LF, then CR on a tie).
QString decode(const QByteArray &bytes, bool *undecodable, Form *form = nullptr);

// Bytes of one code unit: 2 in UTF-16, 4 in UTF-32, else 1.
int unitBytes(Charset charset);

// Bytes known to be in this encoding, with no mark before them (the part of
// a file after its start): line ends are left as they are, and a U+FEFF is a
// character like any other.
QString decodeAs(QByteArrayView bytes, Charset charset, bool *undecodable);
// How many of these bytes, in this encoding, make whole characters: the
// rest may be a character still being written.
qsizetype wholeCharacters(QByteArrayView bytes, Charset charset);

// The usual big file, valid UTF-8 without a mark and with line feeds only,
// decoded in pieces of about `bytes_per_piece` bytes cut after line feeds:
// the text is never held whole, and each piece can be let go on its own.
// Their concatenation is what decode() gives, with the default form and
// nothing undecodable. False, and nothing in pieces, for any other file.
bool decodeInPieces(const QByteArray &bytes, qsizetype bytes_per_piece, QStringList *pieces);

// The bytes of the text in this form, its line feeds turned into the form's
// line ends. When the encoding cannot hold a character, *unencodable is the
// index of the first such character in text and the bytes are not to be used;
// otherwise it is -1.
QByteArray encode(const QString &text, const Form &form, qsizetype *unencodable);

// "UTF-8", "UTF-8 avec BOM", "Windows-1252", "UTF-16 LE"…
QString charsetName(const Form &form);
// What the status bar shows: "Windows-1252 · CRLF".
QString formName(const Form &form);

} // namespace textfile
