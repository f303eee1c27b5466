#include "cases.h"
#include "fp.h"
#include "textgen.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QSettings>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
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

// Waits until the widget has been painted once.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *w) { w->installEventFilter(this); }
    bool painted = false;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
    void wait()
    {
        QElapsedTimer t;
        t.start();
        while (!painted && t.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
};

void finishLayout(QTextEdit *editor)
{
    // pageCount() makes the layout run to the end of the document.
    editor->document()->documentLayout()->pageCount();
}

QString sizeName(qsizetype bytes)
{
    return bytes >= 1 << 20 ? QStringLiteral("%1 MB").arg(bytes >> 20)
                            : QStringLiteral("%1 KB").arg(bytes >> 10);
}

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

} // namespace

void startUp(Report &report, const Options &o)
{
    Row row{QStringLiteral("Start-up to first paint, no file (in process)"),
            {},
            {},
            QStringLiteral("ratio ≤ 1.2")};
    // The very first window of a process pays for loading fonts and styles;
    // neither side should carry that alone.
    {
        QTextEdit warm;
        PaintWatch watch(warm.viewport());
        warm.show();
        watch.wait();
    }
    std::unique_ptr<fp> w;
    row.feuillon = measure(
        o.runs, [&] { discard(w); },
        [&] {
            w = std::make_unique<fp>(QStringList{QStringLiteral("feuillon")});
            PaintWatch watch(editorOf(w.get())->viewport());
            w->show();
            watch.wait();
        });
    discard(w);
    std::unique_ptr<QMainWindow> bare;
    row.bare = measure(
        o.runs, [&] { bare.reset(); },
        [&] {
            bare = std::make_unique<QMainWindow>();
            bare->resize(1100, 600);
            auto *t = new QTabWidget;
            auto *e = new QTextEdit;
            e->setPlainText(QStringLiteral("A Propos de Feuillon 1.4.9"));
            t->addTab(e, QStringLiteral("A Propos de 1.4.9"));
            bare->setCentralWidget(t);
            PaintWatch watch(e->viewport());
            bare->show();
            watch.wait();
        });
    bare.reset();
    report.add(row);
}

void openFiles(Report &report, const Options &o)
{
    const QList<qsizetype> sizes =
        o.quick ? QList<qsizetype>{16 << 10} : QList<qsizetype>{1 << 20, 10 << 20, 50 << 20};
    for (qsizetype bytes : sizes) {
        const QString path = writeFile(o, QStringLiteral("open.txt"), frenchText(bytes));
        const int runs = bytes >= (50 << 20) ? 3 : o.runs;
        QList<double> paintF, layoutF, paintB, layoutB;
        for (int i = 0; i < runs; ++i) {
            auto w = newWindow();
            QTextEdit *e = editorOf(w.get());
            PaintWatch watch(e->viewport());
            QElapsedTimer t;
            t.start();
            if (w->load_file(path))
                w->set_path(path);
            e->viewport()->update();
            watch.wait();
            paintF << t.nsecsElapsed() / 1e6;
            finishLayout(e);
            layoutF << t.nsecsElapsed() / 1e6;
            discard(w);

            QTextEdit bare;
            bare.resize(1100, 560);
            bare.show();
            QApplication::processEvents();
            PaintWatch bareWatch(bare.viewport());
            t.restart();
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                bare.setPlainText(QString::fromUtf8(f.readAll()));
            bare.viewport()->update();
            bareWatch.wait();
            paintB << t.nsecsElapsed() / 1e6;
            finishLayout(&bare);
            layoutB << t.nsecsElapsed() / 1e6;
        }
        report.add({QStringLiteral("Open %1 file, to first paint").arg(sizeName(bytes)),
                    fromSamples(paintF), fromSamples(paintB), QStringLiteral("ratio ≤ 1.15")});
        report.add({QStringLiteral("Open %1 file, to end of layout").arg(sizeName(bytes)),
                    fromSamples(layoutF), fromSamples(layoutB), QStringLiteral("ratio ≤ 1.15")});
        QFile::remove(path);
    }
    report.note(QStringLiteral("Peak memory of the whole bench process after the open cases: "
                               "%1 MiB.")
                    .arg(peakMemoryMiB(), 0, 'f', 0));
}

void keystrokes(Report &report, const Options &o)
{
    const QString text = frenchText(o.quick ? 16 << 10 : 10 << 20);
    auto w = newWindow();
    QTextEdit *e = editorOf(w.get());
    e->setPlainText(text);
    finishLayout(e);
    QTextEdit bare;
    bare.resize(1100, 560);
    bare.setPlainText(text);
    bare.show();
    QApplication::processEvents();
    finishLayout(&bare);
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
        Row row{QStringLiteral("Keystroke at the %1 of %2, status bar live")
                    .arg(QLatin1String(place.where), sizeName(text.size())),
                measure(
                    o.runs * 4, [&] { at(e); }, [&] { sendKey(e, QLatin1Char('x')); }),
                measure(
                    o.runs * 4, [&] { at(&bare); }, [&] { sendKey(&bare, QLatin1Char('x')); }),
                QStringLiteral("ratio ≤ 1.1")};
        report.add(row);
    }
    discard(w);
}

void statusRefresh(Report &report, const Options &o)
{
    for (qsizetype bytes : {qsizetype(0), qsizetype(o.quick ? 16 << 10 : 10 << 20)}) {
        auto w = newWindow();
        editorOf(w.get())->setPlainText(frenchText(bytes));
        Row row{QStringLiteral("Status refresh alone, %1 document")
                    .arg(bytes ? sizeName(bytes) : QStringLiteral("empty")),
                measure(o.runs * 20, nullptr, [&] { w->changestatus(); }),
                {},
                QStringLiteral("< 0.1 ms")};
        report.add(row);
        discard(w);
    }
}

void findAndReplace(Report &report, const Options &o)
{
    const QList<qsizetype> sizes =
        o.quick ? QList<qsizetype>{16 << 10} : QList<qsizetype>{1 << 20, 10 << 20};
    for (qsizetype bytes : sizes) {
        const QString text = frenchText(bytes);
        const int runs = bytes >= (10 << 20) ? 3 : o.runs;
        auto w = newWindow();
        QTextEdit *e = editorOf(w.get());
        w->look();
        w->replace();
        auto *findField =
            qobject_cast<QLineEdit *>(topLevel("find_window")->findChild<QLineEdit *>());
        auto *replaceWindow = topLevel("replace_window");
        QList<QLineEdit *> replaceFields = replaceWindow->findChildren<QLineEdit *>();
        QTextEdit bare;
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
        if (findField)
            findField->setText(QStringLiteral("chat"));
        if (replaceFields.size() >= 2) {
            replaceFields.at(0)->setText(QStringLiteral("chat"));
            replaceFields.at(1)->setText(QStringLiteral("chien"));
        }
        const QString name = sizeName(bytes);
        report.add({QStringLiteral("Highlight all in %1").arg(name),
                    measure(
                        runs, [&] { fresh(e); }, [&] { w->makelook(); }),
                    measure(
                        runs, [&] { fresh(&bare); }, bareHighlight),
                    QStringLiteral("ratio ≤ 1.15")});
        report.add({QStringLiteral("Undo of highlight all in %1").arg(name),
                    measure(
                        runs,
                        [&] {
                            fresh(e);
                            w->makelook();
                        },
                        [&] { e->undo(); }),
                    measure(
                        runs,
                        [&] {
                            fresh(&bare);
                            bareHighlight();
                        },
                        [&] { bare.undo(); }),
                    QStringLiteral("ratio ≤ 1.15")});
        report.add({QStringLiteral("Replace all in %1").arg(name),
                    measure(
                        runs, [&] { fresh(e); }, [&] { w->makereplace(); }),
                    measure(
                        runs, [&] { fresh(&bare); }, bareReplace),
                    QStringLiteral("ratio ≤ 1.15")});
        report.add({QStringLiteral("Undo of replace all in %1").arg(name),
                    measure(
                        runs,
                        [&] {
                            fresh(e);
                            w->makereplace();
                        },
                        [&] { e->undo(); }),
                    measure(
                        runs,
                        [&] {
                            fresh(&bare);
                            bareReplace();
                        },
                        [&] { bare.undo(); }),
                    QStringLiteral("ratio ≤ 1.15")});
        topLevel("find_window")->hide();
        replaceWindow->hide();
        discard(w);
    }
}

void tabSwitching(Report &report, const Options &o)
{
    {
        QSettings s(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
        s.setValue(QStringLiteral("tstyle"),
                   QStringLiteral("background-color:#fdf6e3;color:#333333;"));
        s.setValue(QStringLiteral("astyle"),
                   QStringLiteral("background-color:#eeeeee;color:#111111;"));
        s.setValue(QStringLiteral("tfont"),
                   QFont(QStringLiteral("DejaVu Sans Mono"), 11).toString());
        s.setValue(QStringLiteral("afont"), QFont(QStringLiteral("DejaVu Sans"), 10).toString());
        s.setValue(QStringLiteral("bt2"), QStringLiteral("#fdf6e3"));
        s.setValue(QStringLiteral("bt5"), QStringLiteral("#eeeeee"));
    }
    const QList<int> counts = o.quick ? QList<int>{1, 5} : QList<int>{1, 20, 100};
    for (int count : counts) {
        auto w = newWindow();
        QTabWidget *t = tabsOf(w.get());
        for (int i = 1; i < count; ++i)
            w->newtab();
        QTabWidget bare;
        for (int i = 0; i < count; ++i)
            bare.addTab(new QTextEdit, QStringLiteral("Nouvelle Onglet"));
        bare.show();
        QApplication::processEvents();
        int next = 0;
        const auto step = [&](QTabWidget *tw) {
            next = (next + 1) % tw->count();
            tw->setCurrentIndex(next);
        };
        report.add({QStringLiteral("Tab switch among %1 tab(s), stored look").arg(count),
                    measure(o.runs * 4, nullptr, [&] { step(t); }),
                    measure(o.runs * 4, nullptr, [&] { step(&bare); }), QStringLiteral("< 16 ms")});
        discard(w);
    }
    QSettings(QStringLiteral("vrel"), QStringLiteral("Feuillon")).clear();
}

void saving(Report &report, const Options &o)
{
    const QString text = frenchText(o.quick ? 16 << 10 : 10 << 20);
    const QString path = o.workDir + QStringLiteral("/save.txt");
    auto w = newWindow();
    QTextEdit *e = editorOf(w.get());
    e->setPlainText(text);
    Row row{QStringLiteral("Save %1 (whole safe-save path)").arg(sizeName(text.size())),
            measure(o.runs, nullptr, [&] { w->write_file(path); }),
            measure(o.runs, nullptr,
                    [&] {
                        QFile f(path);
                        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                            f.write(e->toPlainText().toUtf8());
                    }),
            QStringLiteral("< 2 × bare")};
    report.add(row);
    discard(w);
    QFile::remove(path);
}

} // namespace bench
