// Feuillon's benchmarks: each operation a user sees, through Feuillon's own
// code and through the bare Qt widgets, in the same run.
// Usage: feuillon_bench [--quick] [--runs N] [--count] [--markdown FILE] [case ...]
// The bench starts itself as a child with --bare-window, --form-window,
// --open-child or --big-child.
#include "cases.h"
#include "environment.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

int main(int argc, char **argv)
{
    // Under a display (Xvfb from scripts/bench.sh) the real window system is
    // measured; the shared test home keeps the user's settings out of reach.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    const QTemporaryDir &home = feuillon_test::isolateEnvironment();
    QApplication app(argc, argv);
    // The baselines of the start-up case: nothing but the bare window.
    if (QCoreApplication::arguments().contains(QStringLiteral("--bare-window")))
        return bench::bareWindow(false);
    if (QCoreApplication::arguments().contains(QStringLiteral("--form-window")))
        return bench::bareWindow(true);

    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption quick(QStringLiteral("quick"), QStringLiteral("Tiny sizes, one run each."));
    QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Runs per measurement."),
                            QStringLiteral("N"), QStringLiteral("5"));
    QCommandLineOption markdown(QStringLiteral("markdown"), QStringLiteral("Write the table here."),
                                QStringLiteral("FILE"));
    QCommandLineOption openChild(QStringLiteral("open-child"),
                                 QStringLiteral("Child run: open FILE, side feuillon or bare."),
                                 QStringLiteral("side"));
    QCommandLineOption size(QStringLiteral("kb"),
                            QStringLiteral("One document size for every case (to profile)."),
                            QStringLiteral("KB"));
    QCommandLineOption bigChild(QStringLiteral("big-child"),
                                QStringLiteral("Child run: open FILE of N characters in Feuillon."),
                                QStringLiteral("N"));
    QCommandLineOption count(QStringLiteral("count"),
                             QStringLiteral("Count instructions under callgrind instead of "
                                            "timing (in-process cases only)."));
    parser.addOptions({quick, runs, markdown, openChild, bigChild, size, count});
    parser.addPositionalArgument(
        QStringLiteral("case"),
        QStringLiteral("startup open keys status search tabs save journal encodings fingerprint "
                       "watch bigfiles bigedits growth peers (only when named)"));
    parser.process(app);

    bench::Options options;
    options.quick = parser.isSet(quick);
    options.runs = options.quick ? 1 : qMax(1, parser.value(runs).toInt());
    options.workDir = home.path();
    options.size = qsizetype(parser.value(size).toLongLong()) << 10;

    if (parser.isSet(bigChild))
        return bench::bigChild(parser.positionalArguments().value(0),
                               qsizetype(parser.value(bigChild).toLongLong()));
    if (parser.isSet(count)) {
        bench::setCounting(true);
        if (!bench::counting()) {
            std::fprintf(stderr, "bench: --count needs the bench to run under valgrind "
                                 "--tool=callgrind --instr-atstart=no\n");
            return 1;
        }
    }
    if (bench::counting())
        options.runs = 1;
    if (parser.isSet(openChild))
        return bench::openChild(parser.value(openChild), parser.positionalArguments().value(0),
                                options.runs);

    QStringList wanted = parser.positionalArguments();
    if (wanted.isEmpty())
        wanted = {"startup", "open",     "keys",     "status",    "search",
                  "tabs",    "save",     "journal",  "encodings", "fingerprint",
                  "watch",   "bigfiles", "bigedits", "growth"};
    // Counted, only the cases timed inside this process mean anything; the
    // others start processes, wait for the disk or watch the clock.
    if (bench::counting())
        wanted = QStringList{"startup", "keys", "status", "search", "tabs", "save"}.filter(
            QRegularExpression(QStringLiteral("^(") + wanted.join(QLatin1Char('|')) +
                               QStringLiteral(")$")));
    bench::Report report;
    const struct {
        const char *name;
        void (*run)(bench::Report &, const bench::Options &);
    } cases[] = {{"startup", bench::startUp},
                 {"open", bench::openFiles},
                 {"keys", bench::keystrokes},
                 {"status", bench::statusRefresh},
                 {"search", bench::findAndReplace},
                 {"tabs", bench::tabSwitching},
                 {"save", bench::saving},
                 {"journal", bench::journalCopies},
                 {"encodings", bench::encodings},
                 {"fingerprint", bench::fingerprints},
                 {"watch", bench::watching},
                 {"bigfiles", bench::bigFiles},
                 {"bigedits", bench::bigEdits},
                 {"growth", bench::growingLogs},
                 {"peers", bench::peers}};
    for (const auto &c : cases) {
        if (!wanted.contains(QLatin1String(c.name)))
            continue;
        std::fprintf(stderr, "bench: %s…\n", c.name);
        c.run(report, options);
    }
    std::fputs(report.plain().toUtf8().constData(), stdout);
    if (parser.isSet(markdown)) {
        QFile out(parser.value(markdown));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write((bench::counting() ? report.countsMarkdown() : report.markdown()).toUtf8()) <
                0) {
            std::fprintf(stderr, "bench: cannot write %s\n", qPrintable(parser.value(markdown)));
            return 1;
        }
    }
    return 0;
}
