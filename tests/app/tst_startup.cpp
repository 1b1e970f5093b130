#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/HandOverChannel.h"
#include "show/Form8.h"
#include "show/FullScreenView.h"
#include "support/TestDesktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <future>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A socket made by hand at path: listening but never answering, or closed at once, as a
// crashed copy leaves it. Returns the listening one's descriptor.
int rawSocket(const QString &path, bool listening)
{
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), name.size());
    if (::bind(descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        !listening || ::listen(descriptor, 4) != 0) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstRunOpensTheStartFolder();
    void storedFolderDecidesWhereToStart_data();
    void storedFolderDecidesWhereToStart();
    void lockAdmitsOneCopyAndOutlivesAKilledOne();
    void pathIsHandedOnlyToTheRunningCopyOfTheSameUser();
    void exitOrClosingTheMainWindowEndsTheProgram();
};

void TestStartup::firstRunOpensTheStartFolder()
{
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Pictures"));
    desktop.makeFile(start + QStringLiteral("/b.bmp"));
    desktop.makeFile(start + QStringLiteral("/.hidden.gif"));
    desktop.makeFile(start + QStringLiteral("/notes.txt"));
    Form1 &form = desktop.started(start);
    const Form1Controls &c = form.controls();

    QCOMPARE(form.windowTitle(), titleFor(start));
    QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
    QCOMPARE(entriesOf(*c.File1), (QStringList{".hidden.gif", "b.bmp"}));
    QCOMPARE(entriesOf(*c.File2), entriesOf(*c.File1));
    QVERIFY(!c.menus.goto1->isEnabled());
    QCOMPARE(c.Drive1->drive().root, desktop.home());
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
    QVERIFY(!c.HScroll1->isVisibleTo(&form) && !c.VScroll1->isVisibleTo(&form));
    QCOMPARE(QDir::currentPath(), start);
    QVERIFY(desktop.messages.shown.isEmpty());
}

void TestStartup::storedFolderDecidesWhereToStart_data()
{
    QTest::addColumn<bool>("onOtherVolume");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("startOnHome");
    QTest::newRow("stored folder") << false << true << true;
    QTest::newRow("stored on another volume: the drive list follows") << true << true << true;
    QTest::newRow("deleted, started on the home volume: the start folder")
        << false << false << true;
    QTest::newRow("deleted, started elsewhere: the home volume's folder")
        << false << false << false;
}

void TestStartup::storedFolderDecidesWhereToStart()
{
    QFETCH(bool, onOtherVolume);
    QFETCH(bool, exists);
    QFETCH(bool, startOnHome);
    TestDesktop desktop;
    const QString volume = onOtherVolume ? desktop.otherVolume() : desktop.home();
    const QString stored = volume + QStringLiteral("/Stored");
    if (exists)
        desktop.makeFolder(stored);
    const QString start = desktop.makeFolder(
        (startOnHome ? desktop.home() : desktop.otherVolume()) + QStringLiteral("/Start"));
    QVERIFY(
        desktop.registry->RegistryWriteString(Registry::kSettingsKey, Registry::kAutoJump, stored));

    Form1 &form = desktop.started(start);
    const QString expected = exists ? stored : startOnHome ? start : desktop.home();
    QCOMPARE(form.controls().Dir1->path(), expected);
    QCOMPARE(form.controls().Drive1->drive().root, exists ? volume : desktop.home());
    QCOMPARE(QDir::currentPath(), expected);
    QCOMPARE(form.windowTitle(), titleFor(expected));
    QVERIFY(form.controls().menus.goto1->isEnabled());
    QVERIFY(desktop.messages.shown.isEmpty());
}

void TestStartup::lockAdmitsOneCopyAndOutlivesAKilledOne()
{
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QCOMPARE(RunningApplication::lockFilePath(), runtime.filePath(QStringLiteral("quorvel.lock")));

    // A copy that was killed leaves its lock behind.
    const pid_t child = fork();
    if (child == 0) {
        QLockFile lock(RunningApplication::lockFilePath());
        lock.tryLock(0);
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    QVERIFY(WIFSIGNALED(status));
    QVERIFY(QFile::exists(RunningApplication::lockFilePath()));

    RunningApplication first;
    QVERIFY(!first.isAnotherInstanceRunning());
    RunningApplication second;
    QVERIFY(second.isAnotherInstanceRunning());
    QVERIFY(second.isAnotherInstanceRunning()); // the answer does not change

    // Without a usable runtime folder (the stand-in under the temporary folder is not
    // a folder) the shared temporary folder holds one lock per user.
    QTemporaryDir temporary;
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    qunsetenv("XDG_RUNTIME_DIR");
    const QString userName = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
    QFile blocker(temporary.filePath(QStringLiteral("runtime-") + userName));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QCOMPARE(RunningApplication::lockFilePath(),
             temporary.path() + QStringLiteral("/quorvel-%1.lock").arg(::getuid()));
    qunsetenv("TMPDIR");
}

void TestStartup::pathIsHandedOnlyToTheRunningCopyOfTheSameUser()
{
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString socket = RunningApplication::handOverSocketPath();
    QCOMPARE(socket, runtime.filePath(QStringLiteral("quorvel.socket")));

    // Nobody answers on a socket a crashed copy left, nor on one that never replies:
    // the later start gives up in its time.
    const QString silent = runtime.filePath(QStringLiteral("silent"));
    const int listening = rawSocket(silent, true);
    QVERIFY(listening >= 0);
    QCOMPARE(rawSocket(socket, false), -1);
    for (const QString &path : {socket, silent}) {
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!HandOverChannel::send(path, QStringLiteral("/a.bmp"), 300));
        QVERIFY(waited.elapsed() < 2000);
    }
    ::close(listening);

    // The next copy takes the socket over; a path of any characters arrives whole.
    RunningApplication first;
    QVERIFY(!first.isAnotherInstanceRunning());
    first.acceptHandOvers();
    QSignalSpy handed(&first, &ApplicationServices::PathHandedOver);
    RunningApplication second;
    QVERIFY(second.isAnotherInstanceRunning());
    const QString path =
        QStringLiteral("/tmp/a\nb\t\"c\" ;%20 Ünï 写真 ") + QFile::decodeName("\xff\xfe.bmp");
    std::future<bool> sent = std::async(std::launch::async, [&] { return second.handOver(path); });
    QTRY_COMPARE(handed.count(), 1);
    QVERIFY(sent.get());
    QCOMPARE(handed.at(0).at(0).toString(), path);

    // Another user's socket in the way is told nothing.
    if (::geteuid() != 0)
        return;
    QTemporaryDir shared;
    QCOMPARE(::chmod(QFile::encodeName(shared.path()).constData(), 0777), 0);
    const QString theirs = shared.filePath(QStringLiteral("quorvel.socket"));
    int report[2];
    QCOMPARE(::pipe(report), 0);
    const pid_t child = fork();
    if (child == 0) {
        char received = 0;
        const int server = ::setuid(65534) == 0 ? rawSocket(theirs, true) : -1;
        (void)::write(report[1], server >= 0 ? "r" : "x", 1);
        pollfd wait{server, POLLIN, 0};
        if (server >= 0 && ::poll(&wait, 1, 3000) == 1) {
            wait.fd = ::accept(server, nullptr, nullptr);
            char buffer[64];
            if (::poll(&wait, 1, 3000) == 1)
                received = static_cast<char>(::read(wait.fd, buffer, sizeof buffer) > 0);
        }
        (void)::write(report[1], &received, 1);
        ::_exit(0);
    }
    char ready = 0;
    QCOMPARE(::read(report[0], &ready, 1), 1);
    QCOMPARE(ready, 'r');
    QVERIFY(!HandOverChannel::send(theirs, QStringLiteral("/secret.bmp"), 2000));
    char received = 1;
    QCOMPARE(::read(report[0], &received, 1), 1);
    QCOMPARE(received, 0);
    ::waitpid(child, nullptr, 0);
    ::close(report[0]);
    ::close(report[1]);
}

void TestStartup::exitOrClosingTheMainWindowEndsTheProgram()
{
    TestDesktop desktop;
    Form1 &form = desktop.started(desktop.home());
    form.controls().menus.exitmenu->click();
    QCOMPARE(desktop.application.quitCount, 1);
    // Closing the window does too, even with the full-screen view still open: nothing
    // may outlive the main window.
    form.show();
    form.fullScreen().File1_DblClick();
    QVERIFY(form.fullScreen().form()->isVisible());
    QVERIFY(form.close());
    QCOMPARE(desktop.application.quitCount, 2);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
