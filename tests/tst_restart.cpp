// "Option Par Default": the reset of the stored look and the restart of the
// program with the same arguments.
#include "dialogs.h"
#include "pickers.h"
#include "testmain.h"
#include "window.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace feuillon_test;

namespace {

const char *const resetKeys[] = {"bt1",    "bt2",    "bt4",    "bt5",   "tstyle",
                                 "tfont",  "astyle", "afont",  "text2", "text2b",
                                 "sa_bt1", "sa_bt2", "sa_bt4", "sa_bt5"};

void seedEveryKey(QSettings &store)
{
    for (const char *key : resetKeys)
        store.setValue(QLatin1String(key), QStringLiteral("old %1").arg(QLatin1String(key)));
    store.sync();
}

void checkResetStore(QSettings &store)
{
    for (const char *key : resetKeys) {
        QVERIFY2(store.contains(QLatin1String(key)), key);
        QCOMPARE(store.value(QLatin1String(key)).toString(), QString());
    }
}

QString writeDocument(const QTemporaryDir &dir, const QString &name = QStringLiteral("lettre.txt"))
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("Bonjour\n");
    return path;
}

QList<pid_t> childrenOf(pid_t parent)
{
    QList<pid_t> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toInt() == parent)
            found.append(pid);
    }
    return found;
}

void endProcess(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) != 0)
            return;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Everything the real-program test starts, ended whatever the test's outcome:
// the X server, the program, and the restarted program that the detached
// start hands over to this process (made a subreaper for that).
struct RunningProcesses {
    QProcess xvfb;
    QProcess program;
    QProcessEnvironment env;
    ~RunningProcesses()
    {
        for (QProcess *p : {&program}) {
            p->kill();
            p->waitForFinished(5000);
        }
        for (pid_t orphan : childrenOf(::getpid()))
            if (orphan != xvfb.processId())
                endProcess(orphan);
        xvfb.closeWriteChannel();
        if (!xvfb.waitForFinished(10000)) {
            xvfb.kill();
            xvfb.waitForFinished(5000);
        }
        for (pid_t orphan : childrenOf(::getpid()))
            endProcess(orphan);
    }

    QString xdotool(const QStringList &arguments, int seconds = 20)
    {
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("timeout"),
                   QStringList{QString::number(seconds), QStringLiteral("xdotool")} + arguments);
        tool.waitForFinished((seconds + 10) * 1000);
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }

    // Waits for a line "DISPLAY XAUTHORITY" from the command run by xvfb-run.
    bool startServer()
    {
        xvfb.start(QStringLiteral("xvfb-run"),
                   {QStringLiteral("-a"), QStringLiteral("-s"),
                    QStringLiteral("-screen 0 1280x800x24"), QStringLiteral("sh"),
                    QStringLiteral("-c"),
                    QStringLiteral("echo \"$DISPLAY $XAUTHORITY\"; read line")});
        QByteArray line;
        while (!line.contains('\n') && xvfb.waitForReadyRead(20000))
            line += xvfb.readAllStandardOutput();
        const QStringList parts = QString::fromLocal8Bit(line).trimmed().split(QLatin1Char(' '));
        if (parts.size() != 2)
            return false;
        env.insert(QStringLiteral("DISPLAY"), parts.at(0));
        env.insert(QStringLiteral("XAUTHORITY"), parts.at(1));
        return true;
    }
};

QStringList commandLineOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList parts;
    for (const QByteArray &part : file.readAll().split('\0'))
        if (!part.isEmpty())
            parts.append(QString::fromLocal8Bit(part));
    return parts;
}

qint64 parentOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

} // namespace

class tst_restart : public QObject
{
    Q_OBJECT

private slots:
    void init() { clearStore(); }
    void cleanup() { clearStore(); }

    void resetEmptiesEveryKeyAndTellsWhenTheProgramCannotStart();
    void resetThatCannotReachTheStoreKeepsTheWindowOpen();
    void resetRestartsTheRealProgramWithTheSameFiles();
};

void tst_restart::resetEmptiesEveryKeyAndTellsWhenTheProgramCannotStart()
{
    {
        QSettings store(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
        seedEveryKey(store);
    }
    QTemporaryDir dir;
    const QString document = writeDocument(dir);
    // A program that cannot start: the test binary itself must never be run again.
    auto w = startWindow({QStringLiteral("/nonexistent/feuillon"), document});
    markAllSaved(*w);
    action(*w, "ac_reset")->trigger();
    {
        QSettings store(QStringLiteral("vrel"), QStringLiteral("Feuillon"));
        checkResetStore(store);
    }
    QVERIFY2(!w->isVisible(), "the run ends through the normal close of the main window");

    DialogAnswerer answers;
    answers.button(QMessageBox::Ok);
    w.reset();
    QVERIFY(answers.waitDone());
    QCOMPARE(answers.unexpected(), 0);
    QCOMPARE(answers.seen().size(), 1);
    QCOMPARE(answers.seen().first().title, QStringLiteral("Erreur"));
    QVERIFY(answers.seen().first().text.contains(QStringLiteral("/nonexistent/feuillon")));
    QVERIFY(answers.seen().first().text.contains(QStringLiteral("relancez Feuillon vous-même")));
}

// Root writes anywhere, so the folder of the store is made a plain file.
void tst_restart::resetThatCannotReachTheStoreKeepsTheWindowOpen()
{
    auto w = startWindow({QStringLiteral("/nonexistent/feuillon")});
    markAllSaved(*w);
    const QString folder =
        QFileInfo(QSettings(QStringLiteral("vrel"), QStringLiteral("Feuillon")).fileName())
            .absolutePath();
    QDir(folder).removeRecursively();
    {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    {
        DialogAnswerer answers;
        answers.button(QMessageBox::Ok);
        action(*w, "ac_reset")->trigger();
        QVERIFY(answers.waitDone());
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.seen().size(), 1);
        QCOMPARE(answers.seen().first().title, QStringLiteral("Erreur"));
        QVERIFY(answers.seen().first().text.contains(QStringLiteral("n'a pas été redémarré")));
    }
    QVERIFY(w->isVisible());
    QFile::remove(folder);
    DialogAnswerer none;
    w.reset();
    QCOMPARE(none.unexpected(), 0);
    QCOMPARE(none.seen().size(), 0);
}

void tst_restart::resetRestartsTheRealProgramWithTheSameFiles()
{
    for (const char *tool : {"xvfb-run", "Xvfb", "xdotool", "timeout"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    QVERIFY(::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0);

    QTemporaryDir dir;
    const QString document = writeDocument(dir);
    const QString second = writeDocument(dir, QStringLiteral("suite.txt"));
    const QString config = dir.filePath(QStringLiteral("config"));
    const QString storeFile = config + QStringLiteral("/vrel/Feuillon.conf");
    {
        QSettings store(storeFile, QSettings::IniFormat);
        seedEveryKey(store);
    }

    RunningProcesses run;
    run.env = QProcessEnvironment::systemEnvironment();
    QVERIFY2(run.startServer(), "xvfb-run did not start an X server");
    run.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run.env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    run.program.setProcessEnvironment(run.env);
    run.program.start(QStringLiteral(FEUILLON_EXECUTABLE), {document, second});
    QVERIFY(run.program.waitForStarted());

    // The last file opened is the one shown.
    const QString title = QStringLiteral("Feuillon | ") + second;
    const QString window =
        run.xdotool({"search", "--sync", "--onlyvisible", "--name", "^Feuillon"});
    QVERIFY2(!window.isEmpty(), "the program's window did not appear");
    QCOMPARE(run.xdotool({"getwindowname", window}), title);
    run.xdotool({"windowfocus", "--sync", window});
    // No window manager: click the first menu title, then walk to
    // "Outils" > "Option Par Default" with the arrow keys.
    run.xdotool({"mousemove", "--window", window, "15", "8", "click", "1"});
    const QString menuWindows = QStringLiteral("--pid");
    QVERIFY(QTest::qWaitFor(
        [&] {
            return run.xdotool({"search", "--onlyvisible", menuWindows,
                                QString::number(run.program.processId())})
                       .split(QLatin1Char('\n'))
                       .size() > 1;
        },
        10000));
    run.xdotool({"key", "Right", "Right", "Down", "Return"});

    QVERIFY2(run.program.waitForFinished(30000), "the first instance did not end");
    QCOMPARE(run.program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.program.exitCode(), 0);

    // A whole new process, slow to start under the sanitizers on a busy machine.
    const QString restarted =
        run.xdotool({"search", "--sync", "--onlyvisible", "--name", "^Feuillon"}, 60);
    QVERIFY2(!restarted.isEmpty(), "no restarted window appeared");
    QCOMPARE(run.xdotool({"getwindowname", restarted}), title);
    const qint64 pid = run.xdotool({"getwindowpid", restarted}).toLongLong();
    QVERIFY(pid > 0);
    QCOMPARE(parentOf(pid), qint64(::getpid()));
    QCOMPARE(commandLineOf(pid),
             (QStringList{QStringLiteral(FEUILLON_EXECUTABLE), document, second}));

    QSettings store(storeFile, QSettings::IniFormat);
    store.sync();
    checkResetStore(store);
}

FEUILLON_TEST_MAIN(tst_restart)
#include "tst_restart.moc"
