#include "app/CommandLine.h"
#include "app/PathArgument.h"
#include "browse/PictureLoading.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/HandOverChannel.h"
#include "show/Form8.h"
#include "show/FullScreenSlideShow.h"
#include "show/FullScreenView.h"
#include "show/WindowSlideShow.h"
#include "support/TestDesktop.h"
#include "tray/TrayIcon.h"

#include <QDialog>
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

// The folder, drive, filter, files, selected file, path in the title and picture size, with the
// sandbox's home as ~ and the other volume as @; seenIn() adds the rest the user sees.
QStringList browserIn(Form1 &form, TestDesktop &desktop)
{
    const Form1Controls &c = form.controls();
    QStringList seen{c.Dir1->path(),      c.Drive1->drive().root,
                     c.Combo1->text(),    entriesOf(*c.File1).join(','),
                     c.File1->fileName(), form.windowTitle().remove(titleFor({})),
                     c.Label9->text()};
    for (QString &text : seen)
        text.replace(desktop.home(), u"~"_s).replace(desktop.otherVolume(), u"@"_s);
    return seen;
}

QStringList seenIn(Form1 &form, TestDesktop &desktop)
{
    const Form1Controls &c = form.controls();
    const QRectF r = c.Image1->rect();
    return browserIn(form, desktop)
           << c.Label3->text() << c.Label7->text() << c.Label8->text()
           << u"%1,%2 %3x%4"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())
           << QString::number(c.Image1->isVisible())
           << QString::number(c.HScroll1->isVisibleTo(&form) || c.VScroll1->isVisibleTo(&form));
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowHasItsMenusSizeStockPicturesAndAccessKeys()
    {
        TestDesktop desktop;
        Form1 &form = desktop.window(desktop.home());
        QCOMPARE(form.windowTitle(), u"Quorvel 1.36"_s);
        const Form1Controls &c = form.controls();
        const Form1Menus &m = c.menus;
        const QList<MenuItem *> showItems{m.pause1, m.play1, m.copyf, m.speed3, m.Tray1, m.stop1};
        for (const MenuItem *item : showItems)
            QVERIFY2(!item->isVisible(), qPrintable(item->objectName()));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.centralWidget()->size(), QSize(632, 409));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        // The stock pictures come from the program's resources.
        for (const PictureBox *stock : {c.Picture1, c.Picture2, c.Picture3, c.Picture4})
            QVERIFY(stock->isHidden() && stock->picture() &&
                    !stock->picture()->naturalSize().isEmpty());

        // "C&opy" shares its key with "&Option   View": hidden, it must not take its turn.
        QMenu *options = form.findChild<QMenu *>(u"optionmenu"_s);
        for (int press = 0; press < 3; ++press) {
            QTest::keyClick(&form, Qt::Key_O, Qt::AltModifier);
            QTRY_VERIFY2(options->isVisible(), qPrintable(QString::number(press)));
            options->close();
            QTRY_VERIFY(!options->isVisible());
        }

        // The slide-show entries show their access keys once they are on the bar.
        for (MenuItem *item : showItems)
            item->setVisible(true);
        QStringList rows;
        walkMenu(form.menuBar()->actions(), 1, rows);
        const QString expected =
            u"1 filemenu &File|2 Copyto Copy Pic To ...|3 clip1 ClipBoard..|"
            "2 copy1 Copy File To  ...|3 temp1 Temp |3 home1 HomePage |3 work1 For Work|"
            "3 per1 Personal |3 future1 Future Use |2 view2 Paste To View|2 line4 -|"
            "2 run1 Run File Now...|2 delete Delete File...|2 line8 -|"
            "2 refresh1 Refresh Folder...|2 systray Minimize to SysTray...|2 line5 -|"
            "2 exitmenu Exit|1 optionmenu &Option   View|2 zoom1 Zoom Picture|3 In1 Zoom in +|"
            "3 Out1 Zoom out -|3 normal1 UnZoom...|2 fullscreen1 Full Screen View...|2 line -|"
            "2 St1 Stretched Size|2 auto1 Auto-Fit Size|2 Act1 Actual Size|2 line2 -|"
            "2 fullscreen Full Screen SlideShow...|2 viewmenu Win Mode SlideShow...|"
            "2 adjustmenu Adjust Speed...|2 line3 -|2 startup Loading Option..|"
            "3 Jump1 Go to \"Folder\"|3 TrayMin1 Minimize to \"SysTray\"|2 line20 -|"
            "2 go1 View My \"VozeviZire\"|2 goto1 Go to \"Folder\" Now|1 help1 &Help|"
            "2 tip Tips...|2 About1 About...|1 pause1 &Pause|1 play1 &Resume|"
            "1 copyf C&opy -> VozeviZire|2 temp2 Temp|2 line15 -|2 home2 HomePage|2 line16 -|"
            "2 work2 For Work|2 line13 -|2 per2 Personal|2 line14 -|2 future2 Future Use|"
            "1 speed3 S&peed..|2 fastest1 Fastest|2 line11 -|2 fast1 Fast|2 line6 -|"
            "2 medium1 Medium|2 line7 -|2 slow1 Slow|2 line12 -|2 slowest1 Slowest|"
            "1 Tray1 SysTr&ay...|1 stop1 &Cancel"_s;
        QCOMPARE(rows.join('|'), expected);
        for (const QAction *action : form.findChildren<QAction *>())
            QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->text()));
    }

    void storedFolderDecidesWhereToStart_data()
    {
        // ~: the home volume, @: the other one; an empty stored folder is a first run.
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *tag, QString stored, QString start, QString expected) {
            QTest::newRow(tag) << stored << start << expected;
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
        const auto real = [&](QString path) {
            return path.replace('~', desktop.home()).replace('@', desktop.otherVolume());
        };
        for (const QString &folder : {stored, start, expected})
            for (const char *name : {"/b.bmp", "/.hidden.gif", "/notes.txt"})
                if (!folder.endsWith(u"Gone"_s) && !folder.isEmpty())
                    desktop.makeFile(real(folder) + name);
        if (!stored.isEmpty())
            QVERIFY(desktop.registry->RegistryWriteString(Registry::kSettingsKey,
                                                          Registry::kAutoJump, real(stored)));

        Form1 &form = desktop.started(real(start));
        const Form1Controls &c = form.controls();
        QCOMPARE(
            browserIn(form, desktop).join('|'),
            u"%1|%2|ALL Readable Format|.hidden.gif,b.bmp||%1|"_s.arg(expected, expected.left(1)));
        QCOMPARE(QDir::currentPath(), real(expected));
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
        if (fork() == 0) { // nobody listens, tells it is ready, then whether anything arrived
            const int server = ::setuid(65534) == 0 ? rawSocket(theirs, true) : -1;
            (void)::write(report[1], server >= 0 ? "r" : "x", 1);
            pollfd wait{server, POLLIN, 0};
            char buffer[64], received = 0;
            if (server >= 0 && ::poll(&wait, 1, 3000) == 1) {
                wait.fd = ::accept(server, nullptr, nullptr);
                received = ::poll(&wait, 1, 3000) == 1 && ::read(wait.fd, buffer, 64) > 0;
            }
            (void)::write(report[1], &received, 1);
            ::_exit(0);
        }
        char ready = 0, received = 1;
        QVERIFY(::read(report[0], &ready, 1) == 1 && ready == 'r');
        QVERIFY(!HandOverChannel::send(theirs, u"/secret.bmp"_s, 2000));
        QVERIFY(::read(report[0], &received, 1) == 1 && received == 0);
        ::wait(nullptr);
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
    void commandLineIsRead_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QString>("text"); // the path of a start, else the line printed
        using enum CommandLine::Action;
        const auto row = [](const char *tag, const QStringList &arguments,
                            CommandLine::Action action, const QString &text) {
            QTest::newRow(tag) << arguments << action << text;
        };
        const auto refused = [](const char *why) {
            return u"quorvel: %1 (quorvel --help tells more)"_s.arg(why);
        };
        const QString here = u"/home/ann/Pictures"_s;
        row("nothing: a plain start", {}, Start, {});
        row("relative name", {"cat.jpg"}, Start, here + "/cat.jpg");
        row("dot and dot-dot steps go", {"../Holidays/./2024/"}, Start,
            u"/home/ann/Holidays/2024"_s);
        row("current folder", {"."}, Start, here);
        row("absolute name kept", {"/srv/Shared Photos/100% ünï 写真.gif"}, Start,
            u"/srv/Shared Photos/100% ünï 写真.gif"_s);
        row("a lone dash is a name", {"-"}, Start, here + "/-");
        row("after --, dashes start names", {"--", "-rotated.jpg"}, Start, here + "/-rotated.jpg");
        row("after --, options are names", {"--", "--version"}, Start, here + "/--version");
        row("version", {"--version"}, PrintVersion, u"Quorvel 1.36"_s);
        row("version wins over a name", {"cat.jpg", "--version"}, PrintVersion, u"Quorvel 1.36"_s);
        row("help", {"--help"}, PrintHelp, CommandLine::kHelpLine);
        row("short help", {"-h"}, PrintHelp, CommandLine::kHelpLine);
        row("unknown option", {"-rotated.jpg"}, Refuse, refused("unknown option -rotated.jpg"));
        row("two names", {"a.jpg", "b.jpg"}, Refuse, refused("one picture or folder at a time"));
        row("empty name", {""}, Refuse, refused("an empty name names no picture or folder"));
    }

    void commandLineIsRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, text);
        const CommandLine read = CommandLine::parse(arguments, u"/home/ann/Pictures"_s);
        QCOMPARE(read.action, action);
        const bool start = action == CommandLine::Action::Start;
        QCOMPARE(start ? read.path : read.line, text);
        QCOMPARE(start ? read.line : read.path, QString());
    }

    void namedPictureShowsAsIfClicked_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("arguments");
        for (const QString name : {"sunset.bmp", "  two  blanks.bmp", "100% %20sure.bmp",
                                   "Ünïcødé – 写真.bmp", ".Secret.BMP"})
            QTest::newRow(qPrintable(name)) << name << QStringList{name};
        QTest::newRow("leading dash") << "-rotated.bmp" << QStringList{"--", "-rotated.bmp"};
        QTest::newRow("semicolon") << "a;b.bmp" << QStringList{"./a;b.bmp"};
    }

    void namedPictureShowsAsIfClicked()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, arguments);
        TestDesktop desktop;
        const QString folder = desktop.makeFolder(desktop.home() + u"/Pictures"_s);
        // Larger than the panel, so that the fit shrinks it.
        desktop.makePicture(folder + '/' + name, 900, 600, Qt::red);
        desktop.makePicture(folder + u"/other.bmp"_s, 20, 20, Qt::blue);

        Form1 &clicked = desktop.started(desktop.home());
        QVERIFY(clicked.controls().Dir1->setPath(folder));
        clicked.controls().File1->selectFile(name);
        const QStringList afterClick = seenIn(clicked, desktop);
        QCOMPARE(afterClick[7], folder + '/' + name);

        // Started from the picture's folder, as a shell would run it.
        const CommandLine commandLine = CommandLine::parse(arguments, folder);
        QCOMPARE(commandLine.action, CommandLine::Action::Start);
        Form1 &named = desktop.started(desktop.otherVolume(), commandLine.path);
        QCOMPARE(seenIn(named, desktop), afterClick);
        QCOMPARE(named.controls().Image1->picture()->naturalSize(), QSize(900, 600));
        QCOMPARE(named.controls().Drive1->drive().root, desktop.home());
        QVERIFY(desktop.messages.shown.isEmpty());
    }

    void pathOpensWhereItLiesOrIsReported_data()
    {
        // The path named (~: home, @: the other volume), the message it gives (%1: ~/Start)
        // and its style, and what browserIn() sees then, "|" apart. A folder stored for the
        // start is passed over for this one run; none is stored where the browser ends at ~.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("seen");
        const auto opens = [](const char *tag, const char *path, const char *seen) {
            QTest::newRow(tag) << QString::fromUtf8(path) << QString() << 0 << QString(seen);
        };
        const auto missing = [](const char *tag, const QString &name, const char *seen) {
            QTest::newRow(tag) << "~/Start/" + name
                               << "The picture or folder \"%1/" + name + "\" does not exist." << 16
                               << QString(seen);
        };
        opens("a name the filter leaves out gets its own filter", "~/Pictures/photo.jpg_large",
              "~/Pictures|~|*.jpg_large|photo.jpg_large|photo.jpg_large|~/Pictures/photo.jpg_large|"
              "40 X 30");
        opens("a name without a suffix is its own filter", "~/Pictures/scan",
              "~/Pictures|~|scan|scan|scan|~/Pictures/scan|50 X 20");
        opens("a link to a picture opens where the link lies", "~/Links/link.bmp",
              "~/Links|~|ALL Readable Format|link.bmp|link.bmp|~/Links/link.bmp|30 X 20");
        opens("a link to a folder opens as the link", "~/Links/Album",
              "~/Links/Album|~|ALL Readable Format|photo.bmp||~/Links/Album|");
        opens("a folder on another volume, with a trailing slash", "@/DCIM/",
              "@/DCIM|@|ALL Readable Format|a.bmp||@/DCIM|");
        opens("a picture on another volume", "@/DCIM/a.bmp",
              "@/DCIM|@|ALL Readable Format|a.bmp|a.bmp|@/DCIM/a.bmp|20 X 10");
        // A file that cannot be shown is refused as a click on it is; the browser
        // starts over in its folder.
        for (const QString name : {"broken.jpg", "notes.txt", "pipe.bmp"})
            QTest::newRow(qPrintable(name))
                << "~/Start/" + name << PictureLoading::kNotSupported << 0
                << "~/Start|~|ALL Readable Format|broken.jpg,other.bmp||~/Start|";
        missing("missing", u"Gone/cat.jpg"_s, "~|~|ALL Readable Format|||~|");
        missing("missing, with a stored folder", u"Gone"_s,
                "~/Stored|~|ALL Readable Format|||~/Stored|");
        missing("link to nothing", u"dangling.jpg"_s, "~|~|ALL Readable Format|||~|");
        QTest::newRow("folder that cannot be read")
            << "~/Start/Locked/cat.bmp" << u"The folder \"%1/Locked\" cannot be opened."_s << 16
            << "~|~|ALL Readable Format|||~|";
    }

    void pathOpensWhereItLiesOrIsReported()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        QFETCH(int, style);
        QFETCH(QString, seen);
        TestDesktop desktop;
        const QString pictures = desktop.makeFolder(desktop.home() + u"/Pictures"_s);
        desktop.makePicture(pictures + u"/photo.jpg_large"_s, 40, 30, Qt::green);
        desktop.makePicture(pictures + u"/scan"_s, 50, 20, Qt::green);
        const QString album = desktop.makeFolder(desktop.home() + u"/Album"_s);
        const QString real = desktop.makePicture(album + u"/photo.bmp"_s, 30, 20, Qt::red);
        const QString links = desktop.makeFolder(desktop.home() + u"/Links"_s);
        QVERIFY(QFile::link(real, links + u"/link.bmp"_s));
        QVERIFY(QFile::link(album, links + u"/Album"_s));
        desktop.makePicture(desktop.otherVolume() + u"/DCIM/a.bmp"_s, 20, 10, Qt::blue);
        const QString start = desktop.makeFolder(desktop.home() + u"/Start"_s);
        desktop.makeFile(start + u"/broken.jpg"_s, "not a picture");
        desktop.makeFile(start + u"/notes.txt"_s, "not a picture");
        desktop.makePicture(start + u"/other.bmp"_s, 20, 20, Qt::blue);
        QCOMPARE(::mkfifo(QFile::encodeName(start + u"/pipe.bmp"_s).constData(), 0600), 0);
        QVERIFY(QFile::link(start + u"/gone.jpg"_s, start + u"/dangling.jpg"_s));
        desktop.makePicture(start + u"/Locked/cat.bmp"_s, 10, 10, Qt::red);
        desktop.files.unreadable.insert(start + u"/Locked"_s);
        const QString stored = seen.startsWith(u"~|"_s)
                                   ? QString()
                                   : desktop.makeFolder(desktop.home() + u"/Stored"_s);
        if (!stored.isEmpty())
            QVERIFY(desktop.registry->RegistryWriteString(Registry::kSettingsKey,
                                                          Registry::kAutoJump, stored));

        path.replace('~', desktop.home()).replace('@', desktop.otherVolume());
        Form1 &form = desktop.started(desktop.home(), path);
        const RecordedMessage said{message.replace(u"%1"_s, start), style, u"Quorvel"_s};
        QCOMPARE(desktop.messages.shown,
                 message.isEmpty() ? QList<RecordedMessage>() : QList<RecordedMessage>{said});
        QCOMPARE(browserIn(form, desktop).join('|'), seen);
        if (form.controls().File1->fileName().isEmpty())
            QCOMPARE(form.controls().Image1->picture(), form.controls().Picture2->picture());
        QCOMPARE(form.controls().menus.goto1->isEnabled(), !stored.isEmpty());
        QCOMPARE(desktop.registry->RegistryReadString(Registry::kSettingsKey, Registry::kAutoJump),
                 stored);
        if (!stored.isEmpty())
            QCOMPARE(desktop.started(desktop.home()).controls().Dir1->path(), stored);
    }

    void secondCopyHandsItsPathOver_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("message");
        QTest::newRow("no path: the message") << "" << true << true;
        QTest::newRow("taken: ends quietly") << "/pictures/a.bmp" << true << false;
        QTest::newRow("not taken: the message") << "/pictures/a.bmp" << false << true;
    }

    void secondCopyHandsItsPathOver()
    {
        QFETCH(QString, path);
        QFETCH(bool, taken);
        QFETCH(bool, message);
        TestDesktop desktop;
        desktop.application.anotherInstance = true;
        desktop.application.otherCopyTakes = taken;
        Form1 &form = desktop.window(desktop.home());
        QVERIFY(!form.Form_Load(path));
        QCOMPARE(desktop.application.handedOver,
                 path.isEmpty() ? QStringList() : QStringList{path});
        const RecordedMessage running{u"The program is already running!"_s, 0, u"Quorvel 1.36"_s};
        QCOMPARE(desktop.messages.shown,
                 message ? QList<RecordedMessage>{running} : QList<RecordedMessage>{});
        QVERIFY(!desktop.application.accepting);
        QCOMPARE(form.windowTitle(), u"Quorvel 1.36"_s);
        QVERIFY(!form.isVisible());
    }

    void runningCopyOpensAHandedPathAsAStartWould_data()
    {
        QTest::addColumn<QString>("before");
        for (const char *before :
             {"shown", "hidden in the tray", "minimised", "window show playing",
              "full-screen show paused", "full-screen view", "its folder, the picture saved since",
              "a filter leaving it out"})
            QTest::newRow(before) << QString::fromLatin1(before);
    }

    void runningCopyOpensAHandedPathAsAStartWould()
    {
        QFETCH(QString, before);
        TestDesktop desktop;
        const QString start = desktop.makeFolder(desktop.home() + u"/Start"_s);
        desktop.makePicture(start + u"/a.bmp"_s, 20, 20, Qt::blue);
        desktop.makePicture(start + u"/b.bmp"_s, 20, 20, Qt::blue);
        const QString folder = before.startsWith(u"its folder"_s)
                                   ? start
                                   : desktop.makeFolder(desktop.otherVolume() + u"/Trip"_s);
        const QString picture = folder + u"/beach.bmp"_s;
        desktop.makePicture(picture, 900, 600, Qt::red);
        Form1 &started = desktop.started(desktop.home(), picture);
        started.show();
        const QStringList atStart = seenIn(started, desktop);
        const QString away = picture + u".away"_s;
        QVERIFY(QFile::rename(picture, away));

        Form1 &form = desktop.started(start);
        QVERIFY(desktop.application.accepting);
        form.show();
        Form1Controls &c = form.controls();
        if (before == "hidden in the tray")
            form.trayIcon().systray_Click();
        if (before == "minimised")
            form.showMinimized();
        if (before == "window show playing")
            c.menus.viewmenu->click();
        if (before == "full-screen show paused") {
            form.fullScreenShow().fullscreen_Click();
            form.fullScreenShow().pause();
        }
        if (before == "full-screen view") {
            c.File1->selectFile(u"a.bmp"_s);
            form.fullScreen().File1_DblClick();
            QVERIFY(form.fullScreen().form());
        }
        if (before.startsWith(u"a filter"_s))
            c.Combo1->setText(u"*.gif"_s);
        QVERIFY(QFile::rename(away, picture));
        desktop.application.deliver(picture);

        QTRY_COMPARE(seenIn(form, desktop), atStart);
        QCOMPARE(c.Image1->picture()->naturalSize(), QSize(900, 600));
        QVERIFY(form.isVisible() && !form.isMinimized());
        QVERIFY(!desktop.tray.shown && !form.trayIcon().isInTray());
        QCOMPARE(form.windowShow().state(), WindowSlideShow::State::Idle);
        QCOMPARE(form.fullScreenShow().state(), FullScreenSlideShow::State::Idle);
        QVERIFY(!form.fullScreenShow().showWindow() && !form.fullScreenShow().optionWindow());
        QVERIFY(!form.fullScreen().form());
        QVERIFY(c.Dir1->isEnabled() && c.menus.filemenu->isEnabled());
        QVERIFY(desktop.messages.shown.isEmpty());
    }

    void messageBoxIsAnsweredFirstThenTheLastHandedPathOpens()
    {
        TestDesktop desktop;
        const QString start = desktop.makeFolder(desktop.home() + u"/Start"_s);
        const QString first = desktop.makePicture(start + u"/a.bmp"_s, 20, 20, Qt::blue);
        const QString last = desktop.makePicture(start + u"/b.bmp"_s, 30, 20, Qt::blue);
        Form1 &form = desktop.started(desktop.home());
        form.show();
        QDialog box(&form);
        box.setModal(true);
        box.show();
        desktop.application.deliver(first);
        desktop.application.deliver(last);
        QTest::qWait(300);
        QCOMPARE(form.windowTitle(), titleFor(desktop.home()));
        box.close();
        QTRY_COMPARE(form.windowTitle(), titleFor(last));
        QCOMPARE(form.controls().Label9->text(), u"30 X 20"_s);

        // What cannot be opened gets the message a start would give, and nothing moves.
        const QString missing = start + u"/Gone/c.bmp"_s;
        desktop.application.deliver(missing);
        QTRY_COMPARE(
            desktop.messages.shown,
            (QList<RecordedMessage>{{PathArgument::kNotFound.arg(missing), 16, u"Quorvel"_s}}));
        QCOMPARE(form.windowTitle(), titleFor(last));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
