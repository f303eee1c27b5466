#include "encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QUtf8StringView>

#include <algorithm>
#include <bitset>

namespace textfile {

namespace {

const char windows1252[] = "windows-1252";

struct Marked {
    Charset charset = Charset::Utf8;
    bool mark = false;
};

// Longest marks first: the UTF-32 LE mark begins with the UTF-16 LE one.
Marked markOf(const QByteArray &bytes)
{
    const struct {
        const char *mark;
        int size;
        Charset charset;
    } marks[] = {
        {"\xFF\xFE\x00\x00", 4, Charset::Utf32LE}, {"\x00\x00\xFE\xFF", 4, Charset::Utf32BE},
        {"\xEF\xBB\xBF", 3, Charset::Utf8},        {"\xFF\xFE", 2, Charset::Utf16LE},
        {"\xFE\xFF", 2, Charset::Utf16BE},
    };
    for (const auto &m : marks)
        if (bytes.startsWith(QByteArray::fromRawData(m.mark, m.size)))
            return {m.charset, true};
    return {};
}

QStringConverter::Encoding converterOf(Charset charset)
{
    switch (charset) {
    case Charset::Utf16LE:
        return QStringConverter::Utf16LE;
    case Charset::Utf16BE:
        return QStringConverter::Utf16BE;
    case Charset::Utf32LE:
        return QStringConverter::Utf32LE;
    case Charset::Utf32BE:
        return QStringConverter::Utf32BE;
    default:
        return QStringConverter::Utf8;
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

// Every line end becomes a line feed, counted on the way in one pass.
QString toLineFeeds(QString text, LineEnd *style)
{
    *style = LineEnd::LF;
    // Most files have none: one quick scan, and the text is not copied.
    const qsizetype first = text.indexOf(QLatin1Char('\r'));
    if (first < 0)
        return text;
    QChar *d = text.data();
    const qsizetype n = text.size();
    qsizetype lf = std::count(d, d + first, QLatin1Char('\n')), crlf = 0, cr = 0, out = first;
    for (qsizetype i = first; i < n; ++i) {
        const QChar c = d[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < n && d[i + 1] == QLatin1Char('\n')) {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
            d[out++] = QLatin1Char('\n');
            continue;
        }
        if (c == QLatin1Char('\n'))
            ++lf;
        d[out++] = c;
    }
    text.truncate(out);
    if (crlf >= lf && crlf >= cr)
        *style = LineEnd::CRLF;
    else if (cr > lf)
        *style = LineEnd::CR;
    return text;
}

// Windows-1252 by table, both ways: the system's converter took six times
// as long as UTF-8 to read a file, and on writing it says only that some
// character did not fit, not which. The table comes from that converter.
struct Windows1252 {
    bool valid = false;
    char16_t to_unicode[256] = {};
    std::bitset<0x10000> holds;
    uchar from_unicode[0x10000] = {};
};

const Windows1252 &windows1252Table()
{
    static const Windows1252 *const table = [] {
        auto *t = new Windows1252;
        QByteArray all(256, Qt::Uninitialized);
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        QStringDecoder decoder(windows1252, QStringConverter::Flag::Stateless);
        const QString chars = decoder.isValid() ? decoder.decode(all) : QString();
        t->valid = chars.size() == 256 && !decoder.hasError();
        for (int b = 0; t->valid && b < 256; ++b) {
            t->to_unicode[b] = chars.at(b).unicode();
            t->holds.set(chars.at(b).unicode());
            t->from_unicode[chars.at(b).unicode()] = uchar(b);
        }
        return t;
    }();
    return *table;
}

QString fromWindows1252(const QByteArray &bytes)
{
    const Windows1252 &table = windows1252Table();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *d = text.data();
    for (const char c : bytes)
        *d++ = QChar(table.to_unicode[uchar(c)]);
    return text;
}

// The index of the first character outside Windows-1252 goes to *outside.
QByteArray toWindows1252(const QString &text, qsizetype *outside)
{
    const Windows1252 &table = windows1252Table();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *d = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (!table.holds.test(c)) {
            *outside = i;
            return QByteArray();
        }
        *d++ = char(table.from_unicode[c]);
    }
    return bytes;
}

// Line feeds to CRLF in one pass: QString::replace moves the rest of the
// text once per thousand line ends, which cost a second on 10 MB.
QString withCrLf(const QString &text)
{
    const qsizetype feeds = text.count(QLatin1Char('\n'));
    QString out(text.size() + feeds, Qt::Uninitialized);
    QChar *d = out.data();
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            *d++ = QLatin1Char('\r');
        *d++ = c;
    }
    return out;
}

} // namespace

QString decode(const QByteArray &bytes, bool *undecodable, Form *form)
{
    Form found;
    const Marked marked = markOf(bytes);
    found.charset = marked.charset;
    found.mark = marked.mark;
    // Stateless: a sequence cut off at the end counts as an error too.
    QStringDecoder decoder(converterOf(marked.charset), QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    // The UTF-8 decoder reports encoded surrogates itself; the others let
    // lone ones through, so only their text needs the second scan.
    const int unit = unitBytes(marked.charset);
    const bool lone = unit > 1 && replaceLoneSurrogates(text);
    bool bad = decoder.hasError() || bytes.size() % unit != 0 || lone;
    // Not UTF-8 and no NUL: a letter from Windows, the usual case in French.
    // Binary data keeps the warning; a mark is never second-guessed.
    if (bad && !marked.mark && !bytes.contains('\0') && windows1252Table().valid) {
        text = fromWindows1252(bytes);
        found.charset = Charset::Windows1252;
        bad = false;
    }
    text = toLineFeeds(std::move(text), &found.line_end);
    if (undecodable)
        *undecodable = bad;
    if (form)
        *form = found;
    return text;
}

// The UTF-16 and UTF-32 decoders drop a trailing partial unit without
// reporting it, even stateless: the callers count units themselves.
int unitBytes(Charset charset)
{
    switch (charset) {
    case Charset::Utf16LE:
    case Charset::Utf16BE:
        return 2;
    case Charset::Utf32LE:
    case Charset::Utf32BE:
        return 4;
    default:
        return 1;
    }
}

QString decodeAs(QByteArrayView bytes, Charset charset, bool *undecodable)
{
    if (charset == Charset::Windows1252) {
        *undecodable = bytes.contains('\0') || !windows1252Table().valid;
        return fromWindows1252(bytes.toByteArray());
    }
    QStringDecoder decoder(converterOf(charset), QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    const int unit = unitBytes(charset);
    const bool lone = unit > 1 && replaceLoneSurrogates(text);
    *undecodable = decoder.hasError() || bytes.size() % unit != 0 || lone;
    return text;
}

qsizetype wholeCharacters(QByteArrayView bytes, Charset charset)
{
    const qsizetype n = bytes.size();
    const int unit = unitBytes(charset);
    if (unit == 4)
        return n - n % 4;
    if (unit == 2) {
        const qsizetype whole = n - n % 2;
        if (whole < 2)
            return whole;
        const uchar high = uchar(bytes[charset == Charset::Utf16LE ? whole - 1 : whole - 2]);
        // The first half of a surrogate pair waits for its second.
        return (high & 0xFC) == 0xD8 ? whole - 2 : whole;
    }
    if (charset == Charset::Windows1252)
        return n;
    // UTF-8: the last lead byte, and whether all of its sequence is there.
    for (qsizetype back = 1; back <= qMin<qsizetype>(n, 4); ++back) {
        const uchar b = uchar(bytes[n - back]);
        if ((b & 0xC0) == 0x80)
            continue;
        const int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return length > back ? n - back : n;
    }
    return n;
}

bool decodeInPieces(const QByteArray &bytes, qsizetype bytes_per_piece, QStringList *pieces)
{
    pieces->clear();
    if (markOf(bytes).mark || bytes.contains('\r'))
        return false;
    const QByteArrayView all(bytes);
    // U+FEFF at the start of a piece is a character of the file, no mark.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    for (qsizetype from = 0; from < all.size();) {
        qsizetype end = qMin(all.size(), from + qMax<qsizetype>(bytes_per_piece, 1));
        if (end < all.size()) {
            const qsizetype feed = bytes.indexOf('\n', end - 1);
            end = feed < 0 ? all.size() : feed + 1;
        }
        // A line feed byte never ends inside a UTF-8 character, so each
        // piece is checked and decoded on its own.
        const QByteArrayView piece = all.sliced(from, end - from);
        if (!QUtf8StringView(piece).isValidUtf8()) {
            pieces->clear();
            return false;
        }
        *pieces << decoder.decode(piece);
        from = end;
    }
    return true;
}

QByteArray encode(const QString &text, const Form &form, qsizetype *unencodable)
{
    *unencodable = -1;
    QString withEnds;
    if (form.line_end == LineEnd::CRLF)
        withEnds = withCrLf(text);
    else if (form.line_end == LineEnd::CR)
        withEnds = QString(text).replace(QLatin1Char('\n'), QLatin1Char('\r'));
    const QString &source = withEnds.isNull() ? text : withEnds;
    if (form.charset == Charset::Utf8 && !form.mark)
        return source.toUtf8();
    if (form.charset == Charset::Windows1252) {
        // Line ends add characters before the first one that does not fit.
        QByteArray bytes = toWindows1252(source, unencodable);
        if (*unencodable >= 0)
            toWindows1252(text, unencodable);
        return bytes;
    }
    QStringEncoder encoder(converterOf(form.charset), form.mark ? QStringConverter::Flag::WriteBom
                                                                : QStringConverter::Flag::Default);
    return encoder.encode(source);
}

QString charsetName(const Form &form)
{
    switch (form.charset) {
    case Charset::Utf8:
        return form.mark ? QStringLiteral("UTF-8 avec BOM") : QStringLiteral("UTF-8");
    case Charset::Utf16LE:
        return QStringLiteral("UTF-16 LE");
    case Charset::Utf16BE:
        return QStringLiteral("UTF-16 BE");
    case Charset::Utf32LE:
        return QStringLiteral("UTF-32 LE");
    case Charset::Utf32BE:
        return QStringLiteral("UTF-32 BE");
    case Charset::Windows1252:
        return QStringLiteral("Windows-1252");
    }
    return QString();
}

QString formName(const Form &form)
{
    const char *ends[] = {"LF", "CRLF", "CR"};
    return charsetName(form) + QStringLiteral(" · ") + QLatin1String(ends[int(form.line_end)]);
}

} // namespace textfile
