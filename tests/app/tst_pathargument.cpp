#include "app/CommandLine.h"
#include "app/PathArgument.h"
#include "browse/PictureLoading.h"
#include "show/FullScreenSlideShow.h"
#include "show/FullScreenView.h"
#include "show/WindowSlideShow.h"
#include "support/TestDesktop.h"
#include "tray/TrayIcon.h"

#include <QDialog>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

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

class TestPathArgument : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandLineIsRead_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("line");
        using enum CommandLine::Action;
        const auto start = [](const char *row, const QStringList &arguments, const QString &path) {
            QTest::newRow(row) << arguments << Start << path << QString();
        };
        const auto refuse = [](const char *row, const QStringList &arguments, const char *why) {
            QTest::newRow(row) << arguments << Refuse << QString()
                               << u"quorvel: %1 (quorvel --help tells more)"_s.arg(why);
        };
        const QString here = u"/home/ann/Pictures"_s;
        start("nothing: a plain start", {}, {});
        start("relative name", {"cat.jpg"}, here + "/cat.jpg");
        start("dot and dot-dot steps go", {"../Holidays/./2024/"}, u"/home/ann/Holidays/2024"_s);
        start("current folder", {"."}, here);
        start("absolute name kept", {"/srv/Shared Photos/100% ünï 写真.gif"},
              u"/srv/Shared Photos/100% ünï 写真.gif"_s);
        start("a lone dash is a name", {"-"}, here + "/-");
        start("after --, dashes start names", {"--", "-rotated.jpg"}, here + "/-rotated.jpg");
        start("after --, options are names", {"--", "--version"}, here + "/--version");
        QTest::newRow("version") << QStringList{"--version"} << PrintVersion << QString()
                                 << u"Quorvel 1.36"_s;
        QTest::newRow("version wins over a name") << QStringList{"cat.jpg", "--version"}
                                                  << PrintVersion << QString() << u"Quorvel 1.36"_s;
        QTest::newRow("help") << QStringList{"--help"} << PrintHelp << QString()
                              << CommandLine::kHelpLine;
        QTest::newRow("short help")
            << QStringList{"-h"} << PrintHelp << QString() << CommandLine::kHelpLine;
        refuse("unknown option", {"-rotated.jpg"}, "unknown option -rotated.jpg");
        refuse("two names", {"a.jpg", "b.jpg"}, "one picture or folder at a time");
        refuse("empty name", {""}, "an empty name names no picture or folder");
    }

    void commandLineIsRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, path);
        QFETCH(QString, line);

        const CommandLine read = CommandLine::parse(arguments, u"/home/ann/Pictures"_s);
        QCOMPARE(read.action, action);
        QCOMPARE(read.path, path);
        QCOMPARE(read.line, line);
        QVERIFY(!read.line.contains('\n'));
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

    void pathOpensWhereItLiesForOneRun_data()
    {
        // The path named, then what browserIn() sees, "|" apart.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("seen");
        QTest::newRow("a name the filter leaves out gets its own filter")
            << "~/Pictures/photo.jpg_large"
            << "~/Pictures|~|*.jpg_large|photo.jpg_large|photo.jpg_large|~/Pictures/"
               "photo.jpg_large|40 X 30";
        QTest::newRow("a name without a suffix is its own filter")
            << "~/Pictures/scan"
            << "~/Pictures|~|scan|scan|scan|~/Pictures/scan|50 X 20";
        QTest::newRow("a link to a picture opens where the link lies")
            << "~/Links/link.bmp"
            << "~/Links|~|ALL Readable Format|link.bmp|link.bmp|~/Links/link.bmp|30 X 20";
        QTest::newRow("a link to a folder opens as the link")
            << "~/Links/Album"
            << "~/Links/Album|~|ALL Readable Format|photo.bmp||~/Links/Album|";
        QTest::newRow("a folder on another volume, with a trailing slash")
            << "@/DCIM/"
            << "@/DCIM|@|ALL Readable Format|a.bmp||@/DCIM|";
        QTest::newRow("a picture on another volume")
            << "@/DCIM/a.bmp"
            << "@/DCIM|@|ALL Readable Format|a.bmp|a.bmp|@/DCIM/a.bmp|20 X 10";
    }

    void pathOpensWhereItLiesForOneRun()
    {
        QFETCH(QString, path);
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
        // A folder stored for the start is passed over for this one run.
        const QString stored = desktop.makeFolder(desktop.home() + u"/Stored"_s);
        QVERIFY(desktop.registry->RegistryWriteString(Registry::kSettingsKey, Registry::kAutoJump,
                                                      stored));

        path.replace('~', desktop.home()).replace('@', desktop.otherVolume());
        Form1 &named = desktop.started(desktop.home(), path);
        QCOMPARE(browserIn(named, desktop).join('|'), seen);
        if (named.controls().File1->fileName().isEmpty())
            QCOMPARE(named.controls().Image1->picture(), named.controls().Picture2->picture());
        QVERIFY(named.controls().menus.goto1->isEnabled());
        QVERIFY(desktop.messages.shown.isEmpty());
        QCOMPARE(desktop.registry->RegistryReadString(Registry::kSettingsKey, Registry::kAutoJump),
                 stored);
        QCOMPARE(desktop.started(desktop.home()).controls().Dir1->path(), stored);
    }

    void refusedPathIsReportedThenTheBrowserStartsAsUsual_data()
    {
        // The path below the start folder, the message (%1: the start folder) and its
        // style, and what browserIn() sees then, "|" apart.
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("seen");
        const QString atHome = u"~|~|ALL Readable Format|||~|"_s;
        const auto missing = [](const char *row, const QString &name, const QString &seen) {
            QTest::newRow(row) << name
                               << "The picture or folder \"%1/" + name + "\" does not exist." << 16
                               << seen;
        };
        // A file that cannot be shown is refused as a click on it is; the browser
        // starts over in its folder.
        for (const QString name : {"broken.jpg", "notes.txt", "pipe.bmp"})
            QTest::newRow(qPrintable(name))
                << name << PictureLoading::kNotSupported << 0
                << "~/Start|~|ALL Readable Format|broken.jpg,other.bmp||~/Start|";
        missing("missing", u"Gone/cat.jpg"_s, atHome);
        missing("missing, with a stored folder", u"Gone"_s,
                u"~/Stored|~|ALL Readable Format|||~/Stored|"_s);
        missing("link to nothing", u"dangling.jpg"_s, atHome);
        QTest::newRow("folder that cannot be read")
            << "Locked/cat.bmp" << u"The folder \"%1/Locked\" cannot be opened."_s << 16 << atHome;
    }

    void refusedPathIsReportedThenTheBrowserStartsAsUsual()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(int, style);
        QFETCH(QString, seen);
        TestDesktop desktop;
        const QString start = desktop.makeFolder(desktop.home() + u"/Start"_s);
        desktop.makeFile(start + u"/broken.jpg"_s, "not a picture");
        desktop.makeFile(start + u"/notes.txt"_s, "not a picture");
        desktop.makePicture(start + u"/other.bmp"_s, 20, 20, Qt::blue);
        QCOMPARE(::mkfifo(QFile::encodeName(start + u"/pipe.bmp"_s).constData(), 0600), 0);
        QVERIFY(QFile::link(start + u"/gone.jpg"_s, start + u"/dangling.jpg"_s));
        desktop.makePicture(start + u"/Locked/cat.bmp"_s, 10, 10, Qt::red);
        desktop.files.unreadable.insert(start + u"/Locked"_s);
        const bool stored = seen.startsWith(u"~/Stored"_s);
        if (stored)
            QVERIFY(desktop.registry->RegistryWriteString(
                Registry::kSettingsKey, Registry::kAutoJump,
                desktop.makeFolder(desktop.home() + u"/Stored"_s)));

        Form1 &form = desktop.started(desktop.home(), start + '/' + name);
        QCOMPARE(desktop.messages.shown,
                 (QList<RecordedMessage>{{message.replace(u"%1"_s, start), style, u"Quorvel"_s}}));
        QCOMPARE(browserIn(form, desktop).join('|'), seen);
        QCOMPARE(form.controls().Image1->picture(), form.controls().Picture2->picture());
        QCOMPARE(form.controls().menus.goto1->isEnabled(), stored);
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

QTEST_MAIN(TestPathArgument)
#include "tst_pathargument.moc"
