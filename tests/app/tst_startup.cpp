#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/HandOverChannel.h"
#include "show/Form8.h"
#include "show/FullScreenView.h"
#include "support/TestDesktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
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

// Every entry of the menu tree as "level name caption", in order; separators read
// "-" only when they carry no text of their own.
void walkMenu(const QList<QAction *> &actions, int level, QStringList &rows)
{
    for (const QAction *action : actions) {
        const QString caption =
            action->isSeparator() ? QLatin1Char('-') + action->text() : action->text();
        rows.append(u"%1 %2 %3"_s.arg(level).arg(action->objectName(), caption));
        if (action->menu())
            walkMenu(action->menu()->actions(), level + 1, rows);
    }
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void menusAreBuiltFromTheTree()
    {
        TestDesktop desktop;
        Form1 &form = desktop.window(desktop.home());
        QCOMPARE(form.windowTitle(), u"Quorvel 1.36"_s);

        // The slide-show entries show their access keys once they are on the bar.
        const Form1Menus &m = form.controls().menus;
        for (MenuItem *item : {m.pause1, m.play1, m.copyf, m.speed3, m.Tray1, m.stop1})
            item->setVisible(true);
        QStringList rows;
        walkMenu(form.menuBar()->actions(), 1, rows);
        // The entries, "|" apart.
        const QString expected =
            u"1 filemenu &File|2 Copyto Copy Pic To ...|3 clip1 ClipBoard..|"
            "2 copy1 Copy File To  ...|3 temp1 Temp |3 home1 HomePage |3 work1 For Work|"
            "3 per1 Personal |3 future1 Future Use |2 view2 Paste To View|2 line4 -|"
            "2 run1 Run File Now...|2 delete Delete File...|2 line8 -|"
            "2 refresh1 Refresh Folder...|2 systray Minimize to SysTray...|2 line5 -|"
            "2 exitmenu Exit|1 optionmenu &Option   View|2 zoom1 Zoom Picture|3 In1 Zoom in +|"
            "3 Out1 Zoom out -|3 normal1 UnZoom...|2 fullscreen1 Full Screen View...|"
            "2 line -|2 St1 Stretched Size|2 auto1 Auto-Fit Size|2 Act1 Actual Size|"
            "2 line2 -|2 fullscreen Full Screen SlideShow...|"
            "2 viewmenu Win Mode SlideShow...|2 adjustmenu Adjust Speed...|2 line3 -|"
            "2 startup Loading Option..|3 Jump1 Go to \"Folder\"|"
            "3 TrayMin1 Minimize to \"SysTray\"|2 line20 -|2 go1 View My \"VozeviZire\"|"
            "2 goto1 Go to \"Folder\" Now|"
            "1 help1 &Help|2 tip Tips...|2 About1 About...|"
            "1 pause1 &Pause|1 play1 &Resume|"
            "1 copyf C&opy -> VozeviZire|2 temp2 Temp|2 line15 -|2 home2 HomePage|2 line16 -|"
            "2 work2 For Work|2 line13 -|2 per2 Personal|2 line14 -|2 future2 Future Use|"
            "1 speed3 S&peed..|2 fastest1 Fastest|2 line11 -|2 fast1 Fast|2 line6 -|"
            "2 medium1 Medium|2 line7 -|2 slow1 Slow|2 line12 -|2 slowest1 Slowest|"
            "1 Tray1 SysTr&ay...|1 stop1 &Cancel"_s;
        QCOMPARE(rows.join('|'), expected);
        for (const QAction *action : form.findChildren<QAction *>())
            QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->text()));
    }

    void windowHasItsSizeStockPicturesAndAccessKeys()
    {
        TestDesktop desktop;
        Form1 &form = desktop.window(desktop.home());
        const Form1Controls &c = form.controls();
        const Form1Menus &m = c.menus;
        for (const MenuItem *item : {m.pause1, m.play1, m.copyf, m.speed3, m.Tray1, m.stop1})
            QVERIFY2(!item->isVisible(), qPrintable(item->objectName()));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.centralWidget()->size(), QSize(632, 409));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        // The stock pictures come from the program's resources.
        for (const PictureBox *stock : {c.Picture1, c.Picture2, c.Picture3, c.Picture4}) {
            QVERIFY(stock->isHidden());
            QVERIFY(stock->picture() && !stock->picture()->naturalSize().isEmpty());
        }

        // "C&opy" shares its key with "&Option   View": hidden, it must not take its turn.
        QMenu *options = form.findChild<QMenu *>(u"optionmenu"_s);
        for (int press = 0; press < 3; ++press) {
            QTest::keyClick(&form, Qt::Key_O, Qt::AltModifier);
            QTRY_VERIFY2(options->isVisible(), qPrintable(QString::number(press)));
            options->close();
            QTRY_VERIFY(!options->isVisible());
        }
    }

    void storedFolderDecidesWhereToStart_data()
    {
        // ~: the home volume, @: the other one; an empty stored folder is a first run.
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *tag, const char *stored, const char *start,
                            const char *expected) {
            QTest::newRow(tag) << QString::fromUtf8(stored) << QString::fromUtf8(start)
                               << QString::fromUtf8(expected);
        };
        row("first run: the start folder", "", "~/Start", "~/Start");
        row("stored folder", "~/Stored", "~/Start", "~/Stored");
        row("stored on another volume: the drive list follows", "@/Stored", "~/Start", "@/Stored");
        row("deleted, started on the home volume: the start folder", "~/Gone", "~/Start",
            "~/Start");
        row("deleted, started elsewhere: the home volume's folder", "~/Gone", "@/Start", "~");
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
