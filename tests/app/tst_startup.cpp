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

using namespace Qt::StringLiterals;

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
    void storedFolderDecidesWhereToStart_data()
    {
        // ~: the home volume, @: the other one; an empty stored folder is a first run.
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first run: the start folder") << ""
                                                     << "~/Start"
                                                     << "~/Start";
        QTest::newRow("stored folder") << "~/Stored"
                                       << "~/Start"
                                       << "~/Stored";
        QTest::newRow("stored on another volume: the drive list follows") << "@/Stored"
                                                                          << "~/Start"
                                                                          << "@/Stored";
        QTest::newRow("deleted, started on the home volume: the start folder") << "~/Gone"
                                                                               << "~/Start"
                                                                               << "~/Start";
        QTest::newRow("deleted, started elsewhere: the home volume's folder") << "~/Gone"
                                                                              << "@/Start"
                                                                              << "~";
    }

    void storedFolderDecidesWhereToStart()
    {
        QFETCH(QString, stored);
        QFETCH(QString, start);
        QFETCH(QString, expected);
        TestDesktop desktop;
        for (QString *path : {&stored, &start, &expected}) {
            path->replace('~', desktop.home()).replace('@', desktop.otherVolume());
            if (!path->endsWith(u"Gone"_s) && !path->isEmpty()) {
                desktop.makeFile(*path + u"/b.bmp"_s);
                desktop.makeFile(*path + u"/.hidden.gif"_s);
                desktop.makeFile(*path + u"/notes.txt"_s);
            }
        }
        if (!stored.isEmpty())
            QVERIFY(desktop.registry->RegistryWriteString(Registry::kSettingsKey,
                                                          Registry::kAutoJump, stored));

        Form1 &form = desktop.started(start);
        const Form1Controls &c = form.controls();
        QCOMPARE(c.Dir1->path(), expected);
        QCOMPARE(c.Drive1->drive().root, expected.startsWith(desktop.otherVolume())
                                             ? desktop.otherVolume()
                                             : desktop.home());
        QCOMPARE(QDir::currentPath(), expected);
        QCOMPARE(form.windowTitle(), titleFor(expected));
        QCOMPARE(c.Combo1->text(), u"ALL Readable Format"_s);
        QCOMPARE(entriesOf(*c.File1), (QStringList{".hidden.gif", "b.bmp"}));
        QCOMPARE(entriesOf(*c.File2), entriesOf(*c.File1));
        QCOMPARE(c.menus.goto1->isEnabled(), !stored.isEmpty());
        QCOMPARE(c.Image1->picture(), c.Picture2->picture());
        QVERIFY(!c.HScroll1->isVisibleTo(&form) && !c.VScroll1->isVisibleTo(&form));
        QVERIFY(desktop.messages.shown.isEmpty());
    }

    void oneCopyRunsAndTakesWhatLaterStartsHandOver()
    {
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString lock = RunningApplication::lockFilePath();
        const QString socket = RunningApplication::handOverSocketPath();
        QCOMPARE(lock, runtime.filePath(u"quorvel.lock"_s));
        QCOMPARE(socket, runtime.filePath(u"quorvel.socket"_s));

        // A copy that was killed leaves its lock behind.
        const pid_t killed = fork();
        if (killed == 0) {
            QLockFile held(lock);
            held.tryLock(0);
            ::kill(::getpid(), SIGKILL);
        }
        int status = 0;
        ::waitpid(killed, &status, 0);
        QVERIFY(WIFSIGNALED(status) && QFile::exists(lock));
        // Nobody answers on a socket a crashed copy left, nor on one that never replies:
        // the later start gives up in its time.
        const QString silent = runtime.filePath(u"silent"_s);
        const int listening = rawSocket(silent, true);
        QVERIFY(listening >= 0);
        QCOMPARE(rawSocket(socket, false), -1);
        for (const QString &path : {socket, silent}) {
            QElapsedTimer waited;
            waited.start();
            QVERIFY(!HandOverChannel::send(path, u"/a.bmp"_s, 300));
            QVERIFY(waited.elapsed() < 2000);
        }
        ::close(listening);

        // The next copy takes lock and socket over; a path of any characters arrives whole.
        RunningApplication first;
        QVERIFY(!first.isAnotherInstanceRunning());
        first.acceptHandOvers();
        QSignalSpy handed(&first, &ApplicationServices::PathHandedOver);
        RunningApplication second;
        QVERIFY(second.isAnotherInstanceRunning());
        QVERIFY(second.isAnotherInstanceRunning()); // the answer does not change
        const QString path =
            u"/tmp/a\nb\t\"c\" ;%20 Ünï 写真 "_s + QFile::decodeName("\xff\xfe.bmp");
        std::future<bool> sent =
            std::async(std::launch::async, [&] { return second.handOver(path); });
        QTRY_COMPARE(handed.count(), 1);
        QVERIFY(sent.get());
        QCOMPARE(handed.at(0).at(0).toString(), path);

        // Without a usable runtime folder (the stand-in under the temporary folder is not
        // a folder) the shared temporary folder holds one lock per user.
        QTemporaryDir temporary;
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        qunsetenv("XDG_RUNTIME_DIR");
        const QString userName = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
        QFile blocker(temporary.filePath(u"runtime-"_s + userName));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QCOMPARE(RunningApplication::lockFilePath(),
                 temporary.path() + u"/quorvel-%1.lock"_s.arg(::getuid()));
        qunsetenv("TMPDIR");

        // Another user's socket in the way is told nothing.
        if (::geteuid() != 0)
            return;
        QTemporaryDir shared;
        QCOMPARE(::chmod(QFile::encodeName(shared.path()).constData(), 0777), 0);
        const QString theirs = shared.filePath(u"quorvel.socket"_s);
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
        QVERIFY(!HandOverChannel::send(theirs, u"/secret.bmp"_s, 2000));
        char received = 1;
        QCOMPARE(::read(report[0], &received, 1), 1);
        QCOMPARE(received, 0);
        ::waitpid(child, nullptr, 0);
        ::close(report[0]);
        ::close(report[1]);
    }

    void exitOrClosingTheMainWindowEndsTheProgram()
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
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
