// Thousands of generated files, valid and damaged, through the real window:
// an untouched file stays byte for byte what it was, an edited one is saved
// as the editor shows it in the file's own encoding and line ends (with one
// end style, every byte outside the edit stays), and undecodable bytes are
// never replaced silently.
#include "testmain.h"

#include "dialogs.h"
#include "files.h"
#include "reliability.h"
#include "window.h"

#include <QAction>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

using namespace feuillon_test;

namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Windows1252 };
enum class Ends { LF, CRLF, CR, Mixed };

struct Sample {
    QByteArray bytes;
    QString raw;   // the text before line ends become line feeds
    QString shown; // what the editor must hold; meaningful when decodable
    bool undecodable = false;
    Encoding savedAs = Encoding::Utf8; // the encoding a save keeps
    bool exact = false;                // one line-end style and no paragraph separator
};

// Builds one file from random pieces. The generator knows what each piece
// means, so the expected editor text comes from it, not from the program.
class SampleMaker
{
public:
    explicit SampleMaker(quint32 seed) : rng(seed) {}
    Sample make();

private:
    int below(int n) { return int(rng.bounded(n)); }
    QString validPiece(bool first, bool longLine);
    QByteArray encodePiece(const QString &piece) const;
    QByteArray invalidPiece();

public:
    QByteArray mark() const;

    QRandomGenerator rng;
    Encoding encoding = Encoding::Utf8;
    Ends ends = Ends::LF;
};

QStringEncoder encoderFor(Encoding encoding, bool mark)
{
    const auto flags = mark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Stateless;
    switch (encoding) {
    case Encoding::Utf16LE:
        return QStringEncoder(QStringConverter::Utf16LE, flags);
    case Encoding::Utf16BE:
        return QStringEncoder(QStringConverter::Utf16BE, flags);
    case Encoding::Utf32LE:
        return QStringEncoder(QStringConverter::Utf32LE, flags);
    case Encoding::Utf32BE:
        return QStringEncoder(QStringConverter::Utf32BE, flags);
    case Encoding::Windows1252:
        return QStringEncoder("windows-1252", flags);
    default:
        return QStringEncoder(QStringConverter::Utf8, flags);
    }
}

// The line end met most often, CRLF then LF then CR on a tie: the one a save
// writes for every line.
QString majorityEnd(const QString &raw)
{
    const qsizetype crlf = raw.count(QLatin1String("\r\n"));
    const qsizetype cr = raw.count(QLatin1Char('\r')) - crlf;
    const qsizetype lf = raw.count(QLatin1Char('\n')) - crlf;
    if (crlf >= lf && crlf >= cr)
        return crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    return cr > lf ? QStringLiteral("\r") : QStringLiteral("\n");
}

QString SampleMaker::validPiece(bool first, bool longLine)
{
    static const char16_t *const specials[] = {
        u"\u00A0",  u"\u2028",     u"\u2029",        u"\n",           u"\r\n",
        u"\r",      u"\t",         u"\u00E9t\u00E9", u"\u00AB\u00A0", u"\u00A0\u00BB",
        u"\u00A0:", u"\u0153uvre", u"\u4E2D\u6587",  u"\U0001F600",   u"\x0001",
        u"\x007F",  u" "};
    if (longLine) {
        const int length = 10000 + below(90000);
        QString line(length, QLatin1Char('a'));
        for (int i = 0; i < length; i += 1 + below(12))
            line[i] = QLatin1Char(i % 7 ? 'a' + char(below(26)) : ' ');
        return line;
    }
    const int kind = below(100);
    // A NUL makes a Windows-1252 file binary: only its damaged ones have one.
    if (kind < 4 && !(first && encoding == Encoding::Utf16LE) && encoding != Encoding::Windows1252)
        return QString(QChar(0)); // after FF FE, a NUL would read as the UTF-32 mark
    if (kind < 50) {
        QString piece = QString::fromUtf16(specials[below(int(std::size(specials)))]);
        const bool lineEnd = piece == u"\n" || piece == u"\r\n" || piece == u"\r";
        if (lineEnd && ends != Ends::Mixed)
            piece = ends == Ends::LF     ? QStringLiteral("\n")
                    : ends == Ends::CRLF ? QStringLiteral("\r\n")
                                         : QStringLiteral("\r");
        QStringEncoder check = encoderFor(encoding, false);
        const QByteArray bytes = check.encode(piece);
        return check.hasError() ? QStringLiteral("€") : piece;
    }
    QString word;
    for (int i = 0, n = 1 + below(10); i < n; ++i)
        word += QLatin1Char('a' + char(below(26)));
    return word;
}

QByteArray SampleMaker::encodePiece(const QString &piece) const
{
    QStringEncoder encoder = encoderFor(encoding, false);
    return encoder.encode(piece);
}

// Bytes that no decoder of the file's encoding accepts. None contains FE,
// so they never form a byte-order mark at the start of a file.
QByteArray SampleMaker::invalidPiece()
{
    static const char *const utf8[] = {"\x80",
                                       "\xBF",
                                       "\xC3",
                                       "\xC0\x80",
                                       "\xE2\x82",
                                       "\xED\xA0\x80",
                                       "\xF4\x90\x80\x80",
                                       "\xFF",
                                       "\xF8\x88\x80\x80\x80",
                                       "\xE9"};
    const auto unit = [this](quint32 value, int size) {
        QByteArray bytes;
        for (int i = 0; i < size; ++i) {
            const int shift =
                8 * ((encoding == Encoding::Utf16BE || encoding == Encoding::Utf32BE) ? size - 1 - i
                                                                                      : i);
            bytes += char((value >> shift) & 0xFF);
        }
        return bytes;
    };
    switch (encoding) {
    case Encoding::Windows1252:
        return QByteArray(1, '\0'); // every other byte is a character
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        return unit(below(2) ? 0xD800 : 0xDC00, 2); // a lone surrogate
    case Encoding::Utf32LE:
    case Encoding::Utf32BE:
        return unit(below(2) ? 0x110000 : 0xD800, 4); // beyond Unicode, or a surrogate
    default:
        return utf8[below(int(std::size(utf8)))];
    }
}

QByteArray SampleMaker::mark() const
{
    switch (encoding) {
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF";
    case Encoding::Utf16LE:
        return "\xFF\xFE";
    case Encoding::Utf16BE:
        return "\xFE\xFF";
    case Encoding::Utf32LE:
        return QByteArray("\xFF\xFE\x00\x00", 4);
    case Encoding::Utf32BE:
        return QByteArray("\x00\x00\xFE\xFF", 4);
    default:
        return {};
    }
}

Sample SampleMaker::make()
{
    static const Encoding encodings[] = {
        Encoding::Utf8,    Encoding::Utf8,        Encoding::Utf8,       Encoding::Utf8,
        Encoding::Utf8Bom, Encoding::Utf16LE,     Encoding::Utf16BE,    Encoding::Utf32LE,
        Encoding::Utf32BE, Encoding::Windows1252, Encoding::Windows1252};
    encoding = encodings[below(int(std::size(encodings)))];
    ends = Ends(below(4));
    Sample sample;
    sample.savedAs = encoding;
    sample.bytes = mark();
    const bool damaged = below(4) == 0;
    const int pieces = below(20) == 0 ? 0 : below(40);
    // Long lines are few: laying one out costs as much as a hundred files.
    const int longLineAt = below(25) == 0 ? below(pieces + 1) : -1;
    bool lastInvalid = false;
    for (int i = 0; i < pieces; ++i) {
        if (damaged && !lastInvalid && below(6) == 0) {
            sample.bytes += invalidPiece();
            sample.raw += QChar::ReplacementCharacter;
            lastInvalid = sample.undecodable = true;
            continue;
        }
        const QString piece = validPiece(sample.bytes.size() == mark().size(), i == longLineAt);
        sample.raw += piece;
        sample.bytes += encodePiece(piece);
        lastInvalid = false;
    }
    // A unit cut off at the end of a UTF-16 or UTF-32 file.
    if (damaged && !sample.undecodable && encoding >= Encoding::Utf16LE &&
        encoding <= Encoding::Utf32BE) {
        sample.bytes += 'z';
        sample.undecodable = true;
    }
    // Without a high byte the file would be plain ASCII, read as UTF-8.
    const auto high = [](char c) { return uchar(c) >= 0x80; };
    if (encoding == Encoding::Windows1252 &&
        std::none_of(sample.bytes.begin(), sample.bytes.end(), high)) {
        sample.bytes += encodePiece(QStringLiteral("é"));
        sample.raw += QStringLiteral("é");
    }
    // Not UTF-8 and without NUL: Windows-1252 reads every byte.
    if (sample.undecodable && mark().isEmpty() && !sample.bytes.contains('\0')) {
        sample.undecodable = false;
        sample.raw = QStringDecoder("windows-1252").decode(sample.bytes);
        sample.savedAs = Encoding::Windows1252;
    }
    // A damaged Windows-1252 file is binary: read and saved as UTF-8.
    if (sample.undecodable && encoding == Encoding::Windows1252)
        sample.savedAs = Encoding::Utf8;
    sample.exact = !sample.undecodable && !sample.raw.contains(QChar::ParagraphSeparator) &&
                   (ends != Ends::Mixed || !sample.raw.contains(QLatin1Char('\r')));
    sample.shown = sample.raw;
    sample.shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    sample.shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    sample.shown.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return sample;
}

// The editor's text as the user sees it: every character, paragraph breaks
// as line feeds.
QString heldText(QTextEdit *editor)
{
    QStringList blocks;
    for (QTextBlock b = editor->document()->begin(); b.isValid(); b = b.next())
        blocks << b.text();
    return blocks.join(QLatin1Char('\n'));
}

// The bytes a save must write for this editor text: the file's encoding
// and mark, its most frequent line end on every line.
QByteArray expectedSave(const Sample &sample, const QString &held, const QByteArray &mark)
{
    QString text = held;
    text.replace(QLatin1Char('\n'), majorityEnd(sample.raw));
    QStringEncoder encoder = encoderFor(sample.savedAs, false);
    return mark + QByteArray(encoder.encode(text));
}

const QString warningTitle = QStringLiteral("Attention");
const QString confirmTitle = QStringLiteral("Enregistrer le fichier");

} // namespace

class tst_fuzzfiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void generatedFilesSurviveOpenEditAndSave_data();
    void generatedFilesSurviveOpenEditAndSave();

private:
    void open(const QString &path, bool throughDialog, bool undecodable);
    void closeCurrentTab();

    std::unique_ptr<fp> window;
    std::unique_ptr<DialogAnswerer> answers;
};

void tst_fuzzfiles::initTestCase()
{
    window = startWindow();
    answers = std::make_unique<DialogAnswerer>();
}

void tst_fuzzfiles::cleanupTestCase()
{
    markAllSaved(*window);
    window.reset();
    answers.reset();
}

// Through "Ouvrir" and its dialog now and then; otherwise straight through
// the window's own loading, which is what the dialog leads to, so that two
// thousand files take seconds.
void tst_fuzzfiles::open(const QString &path, bool throughDialog, bool undecodable)
{
    action(*window, "actionNouvelle_Onglet")->trigger();
    if (throughDialog)
        answers->file(path);
    if (undecodable)
        answers->button(QMessageBox::Ok);
    if (throughDialog) {
        action(*window, "ac_open")->trigger();
    } else if (window->load_file(path)) {
        window->set_path(path);
    }
}

void tst_fuzzfiles::closeCurrentTab()
{
    emit tabs(*window)->tabCloseRequested(tabs(*window)->currentIndex());
}

void tst_fuzzfiles::generatedFilesSurviveOpenEditAndSave_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("count");
    QTest::newRow("2000 files, seed 9") << 9u << 2000;
}

void tst_fuzzfiles::generatedFilesSurviveOpenEditAndSave()
{
    QFETCH(quint32, seed);
    QFETCH(int, count);
    QTemporaryDir dir;
    SampleMaker maker(seed);
    int identical = 0, savedAsShown = 0, shownAsWritten = 0, damaged = 0, askedFirst = 0;
    int exact = 0, exactKept = 0;
    for (int i = 0; i < count; ++i) {
        const Sample sample = maker.make();
        const QString path = dir.filePath(QStringLiteral("f%1.txt").arg(i));
        QVERIFY(writeFileBytes(path, sample.bytes));
        const int seenBefore = int(answers->seen().size());

        // Opened and closed untouched.
        open(path, i % 100 == 0, sample.undecodable);
        QTextEdit *editor = currentEditor(*window);
        if (!sample.undecodable && heldText(editor) == sample.shown)
            ++shownAsWritten;
        closeCurrentTab();
        if (fileBytes(path) == sample.bytes)
            ++identical;

        // Opened, edited at the start, saved.
        open(path, false, sample.undecodable);
        editor = currentEditor(*window);
        editor->moveCursor(QTextCursor::Start);
        type(editor, QStringLiteral("x"));
        const bool refuse = sample.undecodable && i % 2;
        if (sample.undecodable) {
            ++damaged;
            answers->button(refuse ? QMessageBox::No : QMessageBox::Yes);
        }
        action(*window, "ac_enr")->trigger();
        const QByteArray saved = fileBytes(path);
        const QByteArray mark = maker.mark();
        if (refuse) {
            // Refused: the file keeps its bytes, the document its edit.
            if (fileBytes(path) == sample.bytes && editor->document()->isModified())
                ++savedAsShown;
            editor->document()->setModified(false);
        } else if (saved == expectedSave(sample, heldText(editor), mark) &&
                   (sample.undecodable || heldText(editor) == QLatin1Char('x') + sample.shown)) {
            ++savedAsShown;
        } else {
            qWarning("f%d.txt: the saved text is not what the editor held", i);
        }
        // One letter typed at the start: the rest of the file is as it was.
        if (sample.exact) {
            ++exact;
            QStringEncoder encoder = encoderFor(sample.savedAs, false);
            if (saved == mark + QByteArray(encoder.encode(u"x")) + sample.bytes.mid(mark.size()))
                ++exactKept;
            else
                qWarning("f%d.txt: bytes outside the edit changed", i);
        }
        closeCurrentTab();

        QCOMPARE(answers->pending(), 0);
        QCOMPARE(answers->unexpected(), 0);
        // The warning on each load of a damaged file and the question before
        // its save; nothing for a sound one.
        QList<DialogAnswerer::Seen> seen;
        for (const auto &s : answers->seen().mid(seenBefore))
            if (s.kind == QLatin1String("message"))
                seen << s;
        QCOMPARE(seen.size(), sample.undecodable ? 3 : 0);
        if (sample.undecodable) {
            QCOMPARE(seen.at(0).title, warningTitle);
            QCOMPARE(seen.at(2).title, confirmTitle);
            ++askedFirst;
        }
    }
    reliability(
        QStringLiteral("generated files opened and closed unedited"), count,
        QStringLiteral("%1 byte-identical, %2 mismatches").arg(identical).arg(count - identical));
    reliability(QStringLiteral("generated files opened: editor shows the decoded text"),
                count - damaged,
                QStringLiteral("%1 as written, %2 mismatches")
                    .arg(shownAsWritten)
                    .arg(count - damaged - shownAsWritten));
    reliability(QStringLiteral("generated files edited and saved"), count,
                QStringLiteral("%1 saved as shown (or kept when refused), %2 mismatches")
                    .arg(savedAsShown)
                    .arg(count - savedAsShown));
    reliability(
        QStringLiteral("files with undecodable bytes: warned on load, asked before save"), damaged,
        QStringLiteral("%1 asked, %2 written silently").arg(askedFirst).arg(damaged - askedFirst));
    reliability(QStringLiteral("generated files with one line-end style, a letter typed at the "
                               "start and saved"),
                exact,
                QStringLiteral("%1 identical outside the letter, %2 mismatches")
                    .arg(exactKept)
                    .arg(exact - exactKept));
    QCOMPARE(identical, count);
    QCOMPARE(exactKept, exact);
    QCOMPARE(shownAsWritten, count - damaged);
    QCOMPARE(savedAsShown, count);
}

FEUILLON_TEST_MAIN(tst_fuzzfiles)
#include "tst_fuzzfiles.moc"
