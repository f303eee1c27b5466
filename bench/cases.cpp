#include "cases.h"
#include "documents/fingerprint.h"
#include "documents/textfile.h"
#include "fp.h"
#include "frame.h"
#include "screen.h"
#include "textgen.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>
#include <cstdio>
#include <iterator>
#include <memory>

namespace bench {

namespace {

QTabWidget *tabsOf(QMainWindow *w)
{
    return w->findChild<QTabWidget *>(QStringLiteral("onglet"));
}

QTextEdit *editorOf(QMainWindow *w)
{
    return qobject_cast<QTextEdit *>(tabsOf(w)->currentWidget());
}

QWidget *topLevel(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name))
            return w;
    return nullptr;
}

// Marks every document saved, so that closing asks nothing, then closes.
void discard(std::unique_ptr<fp> &window)
{
    if (!window)
        return;
    QTabWidget *t = tabsOf(window.get());
    for (int i = 0; i < t->count(); ++i)
        if (auto *e = qobject_cast<QTextEdit *>(t->widget(i)))
            e->document()->setModified(false);
    window.reset();
    QApplication::processEvents();
}

std::unique_ptr<fp> newWindow()
{
    auto w = std::make_unique<fp>(QStringList{QStringLiteral("feuillon")});
    w->show();
    QApplication::processEvents();
    return w;
}

;

} // namespace

// The document sizes of a case: tiny in a smoke run, one chosen size when
// profiling, the case's own sizes otherwise.
QList<qsizetype> sizesOf(const Options &o, const QList<qsizetype> &usual)
{
    if (o.quick)
        return {16 << 10};
    if (o.size > 0)
        return {o.size};
    return usual;
}

QString sizeName(qsizetype bytes)
{
    return bytes >= 1 << 20 ? QStringLiteral("%1 MB").arg(bytes >> 20)
                            : QStringLiteral("%1 KB").arg(bytes >> 10);
}

namespace {

QString writeFile(const Options &o, const QString &name, const QString &text)
{
    const QString path = o.workDir + QLatin1Char('/') + name;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text.toUtf8());
    return path;
}

void sendKey(QWidget *target, QChar c)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QString(c));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// The bare baseline of the main window: what Feuillon shows at start-up,
// built with the widgets alone.
std::unique_ptr<QMainWindow> bareMainWindow()
{
    auto window = std::make_unique<QMainWindow>();
    window->resize(1100, 600);
    auto *t = new QTabWidget;
    auto *e = new QTextEdit;
    // French text, as on the about page: accented letters load fonts too.
    e->setPlainText(QStringLiteral("A Propos de Feuillon 1.4.9\n") + frenchText(600));
    t->addTab(e, QStringLiteral("A Propos de 1.4.9"));
    window->setCentralWidget(t);
    return window;
}

// The fair baseline of the start-up: the widgets of Feuillon's form
// (app/fp.ui) built in code, with the about text in its tab, and nothing
// else: no settings, look, icon, translation, journal or file watch.
std::unique_ptr<QMainWindow> formMainWindow()
{
    auto window = std::make_unique<QMainWindow>();
    window->resize(1100, 600);
    window->setWindowTitle(QStringLiteral("Feuillon"));
    auto *central = new QWidget;
    auto *row = new QHBoxLayout(central);
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    auto *grid = new QGridLayout;
    grid->setSpacing(1);
    row->addLayout(grid);
    auto *tabs = new QTabWidget;
    tabs->setTabsClosable(true);
    tabs->setMovable(true);
    grid->addWidget(tabs, 0, 0);
    window->setCentralWidget(central);
    const struct {
        const char *menu;
        QList<QPair<const char *, const char *>> actions; // text, shortcut; null: separator
    } menus[] = {
        {"&Fichier",
         {{"Nouveau", "Ctrl+N"},
          {"Nouvelle Onglet", "Ctrl+Shift+N"},
          {nullptr, nullptr},
          {"Ouvrir", "Ctrl+O"},
          {"Ouvrir dans un Nouvelle Onglet", "Ctrl+Shift+O"},
          {"Enregistrer", "Ctrl+S"},
          {"Enregistrer Sous", "Ctrl+Shift+S"},
          {nullptr, nullptr},
          {"Quitter", "Ctrl+Q"}}},
        {"&Action",
         {{"Couper", "Ctrl+X"},
          {"Copier", "Ctrl+C"},
          {"Coller", "Ctrl+V"},
          {"Suprimer Tout", "Ctrl+Del"},
          {"Selectioner Tout", "Ctrl+A"},
          {nullptr, nullptr},
          {"Rechercher", "Ctrl+F"},
          {"Remplacer", "Ctrl+H"},
          {nullptr, nullptr},
          {"Annuler", "Ctrl+Z"},
          {"Rétablir", "Ctrl+Y"},
          {nullptr, nullptr},
          {"Zoomer", "Ctrl++"},
          {"Dézoomer", "Ctrl+-"},
          {"Rétablir Zoom", "Ctrl+*"}}},
        {"&Outils",
         {{"Option", "Ctrl+#"},
          {"Option Par Default", "Ctrl+Shift+#"},
          {"A Propos", "Ctrl+Shift+6"}}},
    };
    for (const auto &m : menus) {
        QMenu *menu = window->menuBar()->addMenu(QString::fromUtf8(m.menu));
        for (const auto &a : m.actions) {
            if (!a.first) {
                menu->addSeparator();
                continue;
            }
            QAction *action = menu->addAction(QString::fromUtf8(a.first));
            action->setShortcut(QKeySequence(QString::fromUtf8(a.second)));
        }
    }
    window->setStatusBar(new QStatusBar);
    auto *about = new QTextEdit;
    about->setPlainText(QStringLiteral("A Propos de Feuillon 1.4.9\n") + frenchText(600));
    tabs->addTab(about, QStringLiteral("A Propos de 1.4.9"));
    return window;
}

// Starts a program and waits until its window shows on the screen; the
// program is then killed and the screen left as it was.
double spawnToPaint(const ScreenWatch &screen, const QString &program, const QStringList &args)
{
    const QByteArray before = screen.sample();
    QProcess process;
    QElapsedTimer t;
    t.start();
    startQuietly(process, program, args);
    double ms = -1;
    while (t.elapsed() < 30000) {
        if (ScreenWatch::covered(before, screen.sample())) {
            ms = t.nsecsElapsed() / 1e6;
            break;
        }
        QThread::usleep(1000);
    }
    endAndClear(process, screen, before);
    return ms;
}

void startUpProcess(Report &report, const Options &o)
{
    const ScreenWatch screen;
    if (!screen.available()) {
        report.note(QStringLiteral("Start-up of a new process was not measured: no X display "
                                   "(run under Xvfb, as scripts/bench.sh does)."));
        return;
    }
    QList<double> feuillon, bare, form;
    const int runs = o.quick ? 1 : o.runs * 3;
    // Alternated, so that a neighbour's load falls on all sides alike.
    for (int i = 0; i < runs; ++i) {
        feuillon << spawnToPaint(screen, QStringLiteral(FEUILLON_EXECUTABLE), {});
        bare << spawnToPaint(screen, QApplication::applicationFilePath(),
                             {QStringLiteral("--bare-window")});
        form << spawnToPaint(screen, QApplication::applicationFilePath(),
                             {QStringLiteral("--form-window")});
    }
    const Stats ours = fromSamples(feuillon);
    report.add({QStringLiteral("Start-up of a new process to its painted window, no file "
                               "(bare: a tab widget and the about text)"),
                ours, fromSamples(bare), QStringLiteral("–"), QStringLiteral("screen")});
    report.add({QStringLiteral("Start-up of a new process to its painted window, no file "
                               "(bare: the widgets of fp.ui built in code)"),
                ours, fromSamples(form), QStringLiteral("ratio ≤ 1.1"), QStringLiteral("screen")});
}

} // namespace

int bareWindow(bool form)
{
    auto window = form ? formMainWindow() : bareMainWindow();
    window->show();
    return QApplication::exec();
}

void startUp(Report &report, const Options &o)
{
    // Informative: fonts and styles are loaded already, so only the building
    // of the window is compared; the new-process row holds the target.
    Row row{QStringLiteral("Start-up to first paint, no file, in a warm process (bare: the "
                           "widgets of fp.ui)"),
            {},
            {},
            QStringLiteral("–"),
            QStringLiteral("frame")};
    // The very first window of a process pays for loading fonts and styles;
    // neither side should carry that alone.
    QElapsedTimer clock;
    clock.start();
    const auto showPainted = [&](QWidget *window, QTextEdit *editor) {
        FrameWatch watch(editor->viewport());
        watch.arm(clock);
        window->show();
        watch.wait();
    };
    {
        QTextEdit warm;
        warm.setPlainText(frenchText(200));
        showPainted(&warm, &warm);
    }
    std::unique_ptr<fp> w;
    row.feuillon = measure(
        o.runs, [&] { discard(w); },
        [&] {
            w = std::make_unique<fp>(QStringList{QStringLiteral("feuillon")});
            showPainted(w.get(), editorOf(w.get()));
        });
    discard(w);
    std::unique_ptr<QMainWindow> bare;
    row.bare = measure(
        o.runs, [&] { bare.reset(); },
        [&] {
            bare = formMainWindow();
            showPainted(bare.get(), bare->findChild<QTextEdit *>());
        });
    bare.reset();
    report.add(row);
    if (!counting())
        startUpProcess(report, o);
}

// One side of the open case, in a process of its own so that its peak
// memory is that of this size and side alone. Prints one line per run with
// the times to the first paint and to the end of layout, then the peak.
int openChild(const QString &side, const QString &path, int runs)
{
    const bool ours = side == QLatin1String("feuillon");
    for (int i = 0; i < runs; ++i) {
        std::unique_ptr<fp> w;
        std::unique_ptr<QTextEdit> bare;
        QTextEdit *e = nullptr;
        if (ours) {
            w = newWindow();
            e = editorOf(w.get());
        } else {
            bare = std::make_unique<QTextEdit>();
            e = bare.get();
            e->resize(1100, 560);
            e->show();
            QApplication::processEvents();
        }
        settle(e);
        FrameWatch watch(e->viewport());
        QElapsedTimer t;
        t.start();
        watch.arm(t);
        if (ours) {
            // What "Ouvrir" does once the dialog has given the name.
            if (w->load_file(path))
                w->set_path(path);
        } else {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                e->setPlainText(QString::fromUtf8(f.readAll()));
        }
        const double paint = watch.wait();
        // The rest of the layout runs in the background, with the event
        // loop going, as it does for the user.
        // A big file goes in slice by slice: the tab is read-only until then.
        while ((e->isReadOnly() || !layoutFinished(e)) && t.elapsed() < 600000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::printf("sample %f %f\n", paint, t.nsecsElapsed() / 1e6);
        discard(w);
    }
    std::printf("peak %f\n", peakMemoryMiB());
    return 0;
}

namespace {
struct OpenSide {
    QList<double> paint, layout;
    double peak = 0;
};

OpenSide runOpenChild(const QString &side, const QString &path, int runs)
{
    OpenSide result;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QApplication::applicationFilePath(),
                {QStringLiteral("--open-child"), side, QStringLiteral("--runs"),
                 QString::number(runs), path});
    child.waitForFinished(-1);
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f[0] == "sample") {
            result.paint << f[1].toDouble();
            result.layout << f[2].toDouble();
        } else if (f.size() == 2 && f[0] == "peak") {
            result.peak = f[1].toDouble();
        }
    }
    if (result.paint.isEmpty())
        std::fprintf(stderr, "bench: the %s open child gave no result\n", qPrintable(side));
    return result;
}
} // namespace

void openFiles(Report &report, const Options &o)
{
    const QList<qsizetype> sizes = sizesOf(o, {1 << 20, 10 << 20, 50 << 20});
    for (qsizetype bytes : sizes) {
        const QString path = writeFile(o, QStringLiteral("open.txt"), frenchText(bytes));
        const int runs = bytes >= (50 << 20) ? 3 : o.runs;
        const OpenSide ours = runOpenChild(QStringLiteral("feuillon"), path, runs);
        const OpenSide bare = runOpenChild(QStringLiteral("bare"), path, runs);
        report.add({QStringLiteral("Open %1 file, to first paint").arg(sizeName(bytes)),
                    fromSamples(ours.paint), fromSamples(bare.paint),
                    QStringLiteral("ratio ≤ 1.15"), QStringLiteral("frame")});
        report.add({QStringLiteral("Open %1 file, to end of layout").arg(sizeName(bytes)),
                    fromSamples(ours.layout), fromSamples(bare.layout),
                    QStringLiteral("ratio ≤ 1.15"), QStringLiteral("layout")});
        report.note(QStringLiteral("Peak memory, opening %1 (whole process, %2 run(s)): "
                                   "Feuillon %3 MiB, bare %4 MiB.")
                        .arg(sizeName(bytes))
                        .arg(runs)
                        .arg(ours.peak, 0, 'f', 0)
                        .arg(bare.peak, 0, 'f', 0));
        QFile::remove(path);
    }
}

void keystrokes(Report &report, const Options &o)
{
    const QString text = frenchText(sizesOf(o, {10 << 20}).first());
    auto w = newWindow();
    QTextEdit *e = editorOf(w.get());
    e->setPlainText(text);
    QTextEdit bare;
    // The same width: the cost of a keystroke depends on the line layout.
    bare.resize(e->size());
    bare.setPlainText(text);
    bare.show();
    const struct {
        const char *where;
        double fraction;
    } places[] = {{"start", 0.0}, {"middle", 0.5}, {"end", 1.0}};
    for (const auto &place : places) {
        const auto at = [&](QTextEdit *editor) {
            QTextCursor c(editor->document());
            c.setPosition(int((editor->document()->characterCount() - 1) * place.fraction));
            editor->setTextCursor(c);
        };
        // To the frame that shows the letter and, in Feuillon, the counts of
        // the status bar, with the whole document laid out beforehand.
        const int runs = counting() ? 1 : o.runs * 4;
        report.add({QStringLiteral("Keystroke at the %1 of %2, status bar live")
                        .arg(QLatin1String(place.where), sizeName(text.size())),
                    toFrame(
                        runs, e, [&] { at(e); }, [&] { sendKey(e, QLatin1Char('x')); }),
                    toFrame(
                        runs, &bare, [&] { at(&bare); }, [&] { sendKey(&bare, QLatin1Char('x')); }),
                    QStringLiteral("ratio ≤ 1.1"), QStringLiteral("frame")});
    }
    discard(w);
}

void statusRefresh(Report &report, const Options &o)
{
    for (qsizetype bytes : {qsizetype(0), sizesOf(o, {10 << 20}).first()}) {
        auto w = newWindow();
        QTextEdit *e = editorOf(w.get());
        e->setPlainText(frenchText(bytes));
        // Each refresh follows a change of the counts, as after a keystroke;
        // the change itself is made with the refresh held off and not timed.
        bool added = false;
        const auto change = [&] {
            const QSignalBlocker quiet(e);
            QTextCursor c(e->document());
            c.movePosition(QTextCursor::End);
            if (added)
                c.deletePreviousChar();
            else
                c.insertText(QStringLiteral("x"));
            added = !added;
        };
        Row row{QStringLiteral("Status refresh alone, %1 document")
                    .arg(bytes ? sizeName(bytes) : QStringLiteral("empty")),
                measure(o.runs * 20, change, [&] { w->changestatus(); }),
                {},
                QStringLiteral("< 0.1 ms")};
        report.add(row);
        discard(w);
    }
}

void findAndReplace(Report &report, const Options &o)
{
    // Under callgrind the 10 MB rows would take most of an hour.
    const QList<qsizetype> sizes =
        sizesOf(o, counting() ? QList<qsizetype>{1 << 20} : QList<qsizetype>{1 << 20, 10 << 20});
    for (qsizetype bytes : sizes) {
        const QString text = frenchText(bytes);
        const int runs = counting() ? 1 : bytes >= (10 << 20) ? 3 : o.runs;
        auto w = newWindow();
        QTextEdit *e = editorOf(w.get());
        w->look();
        w->replace();
        auto *findField =
            qobject_cast<QLineEdit *>(topLevel("find_window")->findChild<QLineEdit *>());
        auto *replaceWindow = topLevel("replace_window");
        QList<QLineEdit *> replaceFields = replaceWindow->findChildren<QLineEdit *>();
        const auto action = [&](const char *name) {
            return w->findChild<QAction *>(QLatin1String(name));
        };
        QAction *undo = action("ac_can");
        QAction *clearAll = action("ac_del");
        QTextEdit bare;
        bare.resize(e->size());
        bare.show();

        const auto fresh = [&](QTextEdit *editor) {
            editor->setPlainText(text);
            editor->document()->setModified(false);
        };
        const auto bareHighlight = [&] {
            QTextDocument *doc = bare.document();
            QTextCursor edit(doc);
            edit.beginEditBlock();
            QTextCharFormat format;
            format.setBackground(QColor(22, 122, 200));
            QTextCursor found(doc);
            while (
                !(found = doc->find(QStringLiteral("chat"), found, QTextDocument::FindWholeWords))
                     .isNull())
                found.mergeCharFormat(format);
            edit.endEditBlock();
        };
        const auto bareReplace = [&] {
            QTextDocument *doc = bare.document();
            QTextCursor edit(doc);
            edit.beginEditBlock();
            QTextCursor found(doc);
            while (
                !(found = doc->find(QStringLiteral("chat"), found, QTextDocument::FindWholeWords))
                     .isNull())
                found.insertText(QStringLiteral("chien"));
            edit.endEditBlock();
        };
        const auto bareClear = [&] {
            QTextCursor all(bare.document());
            all.select(QTextCursor::Document);
            all.removeSelectedText();
        };
        if (findField)
            findField->setText(QStringLiteral("chat"));
        if (replaceFields.size() >= 2) {
            replaceFields.at(0)->setText(QStringLiteral("chat"));
            replaceFields.at(1)->setText(QStringLiteral("chien"));
        }
        const QString name = sizeName(bytes);
        report.note(QStringLiteral("Search in %1: %2 whole-word matches of \"chat\".")
                        .arg(name)
                        .arg(text.count(QRegularExpression(QStringLiteral("\\bchat\\b")))));
        // One session a user could have, each step to its painted frame: find,
        // undo, replace, undo, clear all, undo. Feuillon through the slot the
        // find and replace buttons run and the menu's own actions.
        struct Step {
            QString name;
            std::function<void()> ours, theirs;
        } const steps[] = {
            {QStringLiteral("Highlight all in %1").arg(name), [&] { w->makelook(); },
             bareHighlight},
            {QStringLiteral("Undo of highlight all in %1").arg(name), [&] { undo->trigger(); },
             [&] { bare.undo(); }},
            {QStringLiteral("Replace all in %1").arg(name), [&] { w->makereplace(); }, bareReplace},
            {QStringLiteral("Undo of replace all in %1").arg(name), [&] { undo->trigger(); },
             [&] { bare.undo(); }},
            {QStringLiteral("Clear all (\"Suprimer Tout\") in %1").arg(name),
             [&] { clearAll->trigger(); }, bareClear},
            {QStringLiteral("Undo of clear all in %1").arg(name), [&] { undo->trigger(); },
             [&] { bare.undo(); }},
        };
        constexpr int stepCount = int(std::size(steps));
        QList<double> ms[stepCount][2], instructions[stepCount][2];
        for (int run = 0; run < runs; ++run) {
            for (int side = 0; side < 2; ++side) {
                QTextEdit *editor = side == 0 ? e : &bare;
                fresh(editor);
                for (int i = 0; i < stepCount; ++i) {
                    const Timed t = frameAfter(editor, side == 0 ? steps[i].ours : steps[i].theirs);
                    if (t.ms >= 0)
                        ms[i][side] << t.ms;
                    instructions[i][side] << t.instructions;
                }
            }
        }
        for (int i = 0; i < stepCount; ++i)
            report.add({steps[i].name, fromSamples(ms[i][0], instructions[i][0]),
                        fromSamples(ms[i][1], instructions[i][1]), QStringLiteral("ratio ≤ 1.15"),
                        QStringLiteral("frame")});
        topLevel("find_window")->hide();
        replaceWindow->hide();
        discard(w);
    }
}

void tabSwitching(Report &report, const Options &o)
{
    const QString editorSheet = QStringLiteral("background-color:#fdf6e3;color:#333333;");
    const QFont editorFont(QStringLiteral("DejaVu Sans Mono"), 11);
    const QString appSheet = QStringLiteral("background-color:#eeeeee;color:#111111;");
    {
        QSettings s(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
        s.setValue(QStringLiteral("tstyle"), editorSheet);
        s.setValue(QStringLiteral("astyle"), appSheet);
        s.setValue(QStringLiteral("tfont"), editorFont.toString());
        s.setValue(QStringLiteral("afont"), QFont(QStringLiteral("DejaVu Sans"), 10).toString());
        s.setValue(QStringLiteral("bt2"), QStringLiteral("#fdf6e3"));
        s.setValue(QStringLiteral("bt5"), QStringLiteral("#eeeeee"));
    }
    const QList<int> counts = o.quick ? QList<int>{1, 5} : QList<int>{1, 20, 100};
    const int runs = counting() ? 2 : o.runs * 4;
    for (int count : counts) {
        auto w = newWindow();
        QTabWidget *t = tabsOf(w.get());
        for (int i = 1; i < count; ++i)
            w->newtab();
        QApplication::processEvents();
        // The bare tab widget, as large, carries the same look, set once.
        QTabWidget bare;
        bare.resize(w->size());
        bare.setStyleSheet(appSheet);
        for (int i = 0; i < count; ++i) {
            auto *e = new QTextEdit;
            e->setStyleSheet(editorSheet);
            e->setFont(editorFont);
            bare.addTab(e, QStringLiteral("Nouvelle Onglet"));
        }
        bare.show();
        QApplication::processEvents();
        if (count == 1) {
            // Nothing to switch to: what a switch runs is timed alone.
            report.add({QStringLiteral("Tab switch among 1 tab, what a switch runs"),
                        measure(runs, nullptr, [&] { w->changetab(); }),
                        {},
                        QStringLiteral("< 16 ms")});
            discard(w);
            continue;
        }
        // To the frame that shows the new page, as a click on its tab does.
        const auto switching = [&](QTabWidget *tw) {
            QList<double> ms, instructions;
            for (int i = 0; i < runs; ++i) {
                const int next = (tw->currentIndex() + 1) % tw->count();
                auto *page = qobject_cast<QTextEdit *>(tw->widget(next));
                const Timed timed = frameAfter(page, [&] { tw->setCurrentIndex(next); });
                if (timed.ms >= 0)
                    ms << timed.ms;
                instructions << timed.instructions;
            }
            return fromSamples(ms, instructions);
        };
        report.add({QStringLiteral("Tab switch among %1 tabs, stored look").arg(count),
                    switching(t), switching(&bare), QStringLiteral("< 16 ms"),
                    QStringLiteral("frame")});
        discard(w);
    }
    QSettings(QStringLiteral("vrel"), QStringLiteral("Feuillon")).clear();
}

void saving(Report &report, const Options &o)
{
    const QString text = frenchText(sizesOf(o, {10 << 20}).first());
    auto w = newWindow();
    QTextEdit *e = editorOf(w.get());
    e->setPlainText(text);
    // Both sides write a new file: a file system may flush on replacing an
    // existing one, which would time the disk and not the program. A file
    // taken away behind Feuillon's back would be asked about, so each run
    // has a name of its own and all go at the end.
    int serial = 0;
    const auto next = [&] { return o.workDir + QStringLiteral("/save-%1.txt").arg(++serial); };
    // A save shows nothing new in the editor: the time runs until the window
    // can paint its next frame, which the update asks for on both sides.
    const int runs = counting() ? 1 : o.runs;
    Row row{QStringLiteral("Save %1 (whole safe-save path)").arg(sizeName(text.size())),
            toFrame(runs, e, nullptr,
                    [&] {
                        w->write_file(next());
                        e->viewport()->update();
                    }),
            toFrame(runs, e, nullptr,
                    [&] {
                        QFile f(next());
                        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                            f.write(e->toPlainText().toUtf8());
                        e->viewport()->update();
                    }),
            QStringLiteral("< 2 × bare"), QStringLiteral("frame")};
    report.add(row);
    discard(w);
    for (int i = 1; i <= serial; ++i)
        QFile::remove(o.workDir + QStringLiteral("/save-%1.txt").arg(i));
}

// Reading, loading and saving one document in each form a French user
// meets. The first read is compared with the way files were read before
// their form was kept (strict UTF-8, line ends by two replacements); every
// other form with the first, Feuillon's own UTF-8 path.
void encodings(Report &report, const Options &o)
{
    const QString text = frenchText(sizesOf(o, {10 << 20}).first());
    const struct {
        const char *name;
        const char *codec;
        bool mark;
        const char *lineEnd;
    } forms[] = {{"UTF-8, LF", "UTF-8", false, "\n"},
                 {"UTF-8, CRLF", "UTF-8", false, "\r\n"},
                 {"Windows-1252, CRLF", "windows-1252", false, "\r\n"},
                 {"UTF-16 LE with mark, CRLF", "UTF-16LE", true, "\r\n"}};
    const QString path = o.workDir + QStringLiteral("/form.txt");
    // Each save under a name of its own: a file taken away behind Feuillon's
    // back would be asked about before the next save.
    int serial = 0;
    const auto saved = [&](int n) {
        return o.workDir + QStringLiteral("/form-saved-%1.txt").arg(n);
    };
    const QString size = sizeName(text.size());
    Stats utf8Read, utf8Load, utf8Save;
    for (const auto &form : forms) {
        QStringEncoder encoder(form.codec, form.mark ? QStringConverter::Flag::WriteBom
                                                     : QStringConverter::Flag::Default);
        QString lines = text;
        lines.replace(QLatin1Char('\n'), QLatin1String(form.lineEnd));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(encoder.encode(lines)) < 0)
            return;
        f.close();
        const bool first = form.name == forms[0].name;
        // Decoding alone, from bytes in memory: the file system stays out of it.
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        f.close();
        if (first)
            utf8Read = measure(o.runs, nullptr, [&] {
                QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
                QString decoded = utf8.decode(bytes);
                if (decoded.contains(QLatin1Char('\r'))) {
                    decoded.replace(QLatin1String("\r\n"), QLatin1String("\n"));
                    decoded.replace(QLatin1Char('\r'), QLatin1Char('\n'));
                }
            });
        // After the baseline: the first run of a process pays for warming up.
        const Stats read = measure(o.runs, nullptr, [&] { textfile::decode(bytes, nullptr); });
        auto w = newWindow();
        // To the whole text in the tab: a big file goes in slice by slice,
        // and until then it may not be saved.
        const Stats load = measure(o.runs, nullptr, [&] {
            w->load_file(path);
            while (editorOf(w.get())->isReadOnly())
                QApplication::processEvents(QEventLoop::AllEvents, 5);
        });
        const Stats save = measure(o.runs, nullptr, [&] { w->write_file(saved(++serial)); });
        discard(w);
        const QString against = first ? QStringLiteral("before") : QStringLiteral("UTF-8, LF");
        report.add({QStringLiteral("Decode %1 %2 (vs %3)").arg(size, form.name, against), read,
                    utf8Read, first ? QStringLiteral("ratio ≤ 1.1") : QStringLiteral("–")});
        report.add({QStringLiteral("Load %1 %2 into a tab (vs UTF-8, LF)").arg(size, form.name),
                    load, first ? Stats{} : utf8Load, QStringLiteral("ratio ≤ 1.5")});
        report.add({QStringLiteral("Save %1 %2 (vs UTF-8, LF)").arg(size, form.name), save,
                    first ? Stats{} : utf8Save, QStringLiteral("ratio ≤ 1.5")});
        if (first) {
            utf8Read = read;
            utf8Load = load;
            utf8Save = save;
        }
    }
    QFile::remove(path);
    for (int n = 1; n <= serial; ++n)
        QFile::remove(saved(n));
}

namespace {

// The inotify watches this process holds, as the kernel lists them.
int inotifyWatches()
{
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fdinfo"));
    for (const QString &fd : fds.entryList(QDir::Files)) {
        QFile info(fds.filePath(fd));
        if (info.open(QIODevice::ReadOnly))
            count += int(info.readAll().count("inotify wd:"));
    }
    return count;
}

} // namespace

void fingerprints(Report &report, const Options &o)
{
    report.note(QStringLiteral("Fingerprint rows: the first column is the fingerprint alone "
                               "(hash of the bytes, and a stat at save), the second the whole "
                               "read or save pass of textfile that includes it."));
    for (qsizetype bytes : sizesOf(o, {1 << 20, 10 << 20, 100 << 20})) {
        const QByteArray utf8 = frenchText(bytes).toUtf8();
        const QString path = o.workDir + QStringLiteral("/fingerprint.txt");
        const int runs = bytes >= (100 << 20) ? 3 : o.runs;
        QFile::remove(path);
        textfile::write(path, utf8);
        volatile quint64 sink = 0;
        const QString name = sizeName(bytes);
        report.add({QStringLiteral("Fingerprint at load of %1").arg(name),
                    measure(runs * 4, nullptr, [&] { sink = fingerprint::hash(utf8); }),
                    measure(runs, nullptr, [&] { sink = textfile::read(path).fingerprint.hash; }),
                    QStringLiteral("ratio < 0.10")});
        // A new file each time, as in the save case: replacing one may flush.
        report.add({QStringLiteral("Fingerprint at save of %1").arg(name),
                    measure(runs * 4, nullptr,
                            [&] {
                                Fingerprint f = fingerprint::look(path);
                                f.hash = fingerprint::hash(utf8);
                                sink = f.hash;
                            }),
                    measure(
                        runs, [&] { QFile::remove(path); }, [&] { textfile::write(path, utf8); }),
                    QStringLiteral("ratio < 0.10")});
        QFile::remove(path);
    }
}

void watching(Report &report, const Options &o)
{
    const int count = o.quick ? 20 : 1000;
    QDir(o.workDir).mkpath(QStringLiteral("watched"));
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << writeFile(o, QStringLiteral("watched/%1.txt").arg(i), QStringLiteral("ligne\n"));
    // The watcher alone, as the window uses it.
    double before = residentMiB();
    int watches = inotifyWatches();
    {
        QFileSystemWatcher watcher;
        QElapsedTimer timer;
        timer.start();
        for (const QString &file : std::as_const(files))
            watcher.addPath(file);
        const qint64 ms = timer.elapsed();
        report.note(QStringLiteral("Watcher for %1 files alone: %2 inotify watches, resident "
                                   "memory +%3 MiB, %4 ms to add them one by one.")
                        .arg(count)
                        .arg(inotifyWatches() - watches)
                        .arg(residentMiB() - before, 0, 'f', 2)
                        .arg(ms));
    }
    // The window with one tab per file: what the watch costs in it.
    before = residentMiB();
    watches = inotifyWatches();
    auto w = std::make_unique<fp>(QStringList{QStringLiteral("feuillon")} + files);
    w->show();
    QApplication::processEvents();
    report.note(QStringLiteral("Window with %1 files in tabs: %2 inotify watches; resident "
                               "memory +%3 MiB for the whole window, tabs included.")
                    .arg(count)
                    .arg(inotifyWatches() - watches)
                    .arg(residentMiB() - before, 0, 'f', 1));
    discard(w);
    QDir(o.workDir + QStringLiteral("/watched")).removeRecursively();
}

} // namespace bench
