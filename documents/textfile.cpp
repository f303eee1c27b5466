#include "textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextDocument>

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

QString toLineFeeds(QString text)
{
    // Most files have none: one quick scan instead of two searches.
    if (!text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

QString decode(const QByteArray &bytes, bool *undecodable)
{
    // Stateless: a sequence cut off at the end counts as an error too.
    const QStringConverter::Encoding encoding = encodingOf(bytes);
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    // The UTF-8 decoder reports encoded surrogates as errors; the others
    // may let lone ones through, so only their text needs a second scan.
    const int unit = unitSize(encoding);
    if (undecodable)
        *undecodable =
            decoder.hasError() || bytes.size() % unit != 0 || (unit > 1 && !text.isValidUtf16());
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

bool write(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    // A device or FIFO would be replaced by a regular file.
    if (target.exists() && !target.isFile())
        return false;
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // commit() alone may report success after a short write on a full disk.
    if (file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    return QFileInfo(path).size() == bytes.size();
}

} // namespace textfile
