#include "bigfile.h"

#include <QFile>
#include <QLocale>

namespace bigfile {

Memory parse_meminfo(const QByteArray &meminfo)
{
    Memory memory;
    for (const QByteArray &line : meminfo.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() < 2)
            continue;
        bool ok = false;
        const qint64 kib = words.at(1).toLongLong(&ok);
        if (!ok)
            continue;
        if (words.at(0) == "MemAvailable:")
            memory.available = kib * 1024;
        else if (words.at(0) == "SwapFree:")
            memory.swap_free = kib * 1024;
    }
    return memory;
}

Memory memory()
{
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse_meminfo(file.readAll());
}

Room room_for(qint64 size, const Memory &memory)
{
    if (size > largest)
        return Room::Refuse;
    const qint64 needed = size * memory_per_byte;
    if (memory.available >= 0 && needed > memory.available + memory.swap_free)
        return Room::Refuse;
    if (size > ask_from || (memory.available >= 0 && needed > memory.available))
        return Room::Ask;
    return Room::Enough;
}

QString size_text(qint64 bytes)
{
    const QLocale french(QLocale::French, QLocale::France);
    const double mib = double(bytes) / (1024 * 1024);
    if (mib >= 1024)
        return french.toString(mib / 1024, 'f', 1) + QStringLiteral("\u00A0Go");
    if (mib >= 10)
        return french.toString(qRound64(mib)) + QStringLiteral("\u00A0Mo");
    return french.toString(mib, 'f', 1) + QStringLiteral("\u00A0Mo");
}

QString whole_lines(const QString &head)
{
    return head.left(head.lastIndexOf(QLatin1Char('\n')) + 1);
}

qsizetype slice_end(const QString &text, qsizetype from, qsizetype chars)
{
    const qsizetype wanted = qMin(text.size(), from + qMax<qsizetype>(chars, 1));
    if (wanted >= text.size())
        return text.size();
    const qsizetype line_end = text.indexOf(QLatin1Char('\n'), wanted - 1);
    return line_end < 0 ? text.size() : line_end + 1;
}

QStringList pieces(const QString &text, qsizetype chars)
{
    QStringList out;
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype end = slice_end(text, from, chars);
        out << text.mid(from, end - from);
        from = end;
    }
    return out;
}

void SlicePace::took(qint64 ms)
{
    constexpr qint64 low_ms = 15;
    constexpr qint64 high_ms = 40;
    // A slice taking this long is no ordinary slice.
    constexpr qint64 stalled_ms = 300;
    if (ms > stalled_ms) {
        all_at_once = probing || ms > 10 * stalled_ms;
        probing = true;
        chars = smallest;
    } else if (probing) {
        probing = false;
        chars = first;
    } else if (ms < low_ms) {
        chars = qMin(chars * 2, largest);
    } else if (ms > high_ms) {
        chars = qMax(chars / 2, smallest);
    }
}

} // namespace bigfile
