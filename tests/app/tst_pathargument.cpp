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

namespace {

// What the user sees of the window after start-up.
struct Seen {
    QString title, folder, selected, filter, lastLoaded, size, date, pictureSize;
    QRectF picture;
    bool pictureShown = false;
    bool scrollBars = false;
    bool operator==(const Seen &) const = default;
};

QDebug operator<<(QDebug debug, const Seen &s)
{
    return debug << s.title << s.folder << s.selected << s.filter << s.lastLoaded << s.size
                 << s.date << s.pictureSize << s.picture << s.pictureShown << s.scrollBars;
}

Seen seenIn(Form1 &form)
{
    const Form1Controls &c = form.controls();
    return {form.windowTitle(),
            c.Dir1->path(),
            c.File1->fileName(),
            c.Combo1->text(),
            c.Label3->text(),
            c.Label7->text(),
            c.Label8->text(),
            c.Label9->text(),
            c.Image1->rect(),
            c.Image1->isVisible(),
            c.HScroll1->isVisibleTo(&form) || c.VScroll1->isVisibleTo(&form)};
}

const RecordedMessage kNotSupported{PictureLoading::kNotSupported, 0, QStringLiteral("Quorvel")};

// The running copy's state when a later start hands it a picture.
enum class Before {
    Shown,
    InTray,
    Minimised,
    WindowShow,
    FullScreenShowPaused,
    FullScreenView,
    SavedInItsFolder,
    FilterLeavingItOut
};

} // namespace

class TestPathArgument : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namedPictureShowsAsIfClicked_data();
    void namedPictureShowsAsIfClicked();
    void nameTheFilterLeavesOutGetsItsOwnFilter();
    void fileThatCannotBeShownIsRefusedAsOnAClick();
    void foldersAndLinksOpenWhereTheyLie();
    void pathThatCannotBeOpenedIsReportedThenTheUsualStart_data();
    void pathThatCannotBeOpenedIsReportedThenTheUsualStart();
    void pathWinsOverTheStoredFolderForOneRun();
    void secondCopyHandsItsPathOver_data();
    void secondCopyHandsItsPathOver();
    void runningCopyOpensAHandedPathAsAStartWould_data();
    void runningCopyOpensAHandedPathAsAStartWould();
    void messageBoxIsAnsweredFirstThenTheLastHandedPathOpens();
};

void TestPathArgument::namedPictureShowsAsIfClicked_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << "sunset.bmp" << QStringList{"sunset.bmp"};
    QTest::newRow("blanks") << "  two  blanks.bmp" << QStringList{"  two  blanks.bmp"};
    QTest::newRow("percent signs") << "100% %20sure.bmp" << QStringList{"100% %20sure.bmp"};
    QTest::newRow("non-ASCII letters") << "Ünïcødé – 写真.bmp" << QStringList{"Ünïcødé – 写真.bmp"};
    QTest::newRow("leading dash") << "-rotated.bmp" << QStringList{"--", "-rotated.bmp"};
    QTest::newRow("hidden, capital suffix") << ".Secret.BMP" << QStringList{".Secret.BMP"};
    QTest::newRow("semicolon") << "a;b.bmp" << QStringList{"./a;b.bmp"};
}

void TestPathArgument::namedPictureShowsAsIfClicked()
{
    QFETCH(QString, name);
    QFETCH(QStringList, arguments);
    TestDesktop desktop;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/Pictures"));
    // Larger than the panel, so that the fit shrinks it.
    desktop.makePicture(folder + '/' + name, 900, 600, Qt::red);
    desktop.makePicture(folder + QStringLiteral("/other.bmp"), 20, 20, Qt::blue);

    Form1 &clicked = desktop.started(desktop.home());
    QVERIFY(clicked.controls().Dir1->setPath(folder));
    clicked.controls().File1->selectFile(name);
    const Seen afterClick = seenIn(clicked);
    QCOMPARE(afterClick.lastLoaded, folder + '/' + name);
    QVERIFY(desktop.messages.shown.isEmpty());

    // Started from the picture's folder, as a shell would run it.
    const CommandLine commandLine = CommandLine::parse(arguments, folder);
    QCOMPARE(commandLine.action, CommandLine::Action::Start);
    Form1 &named = desktop.started(desktop.otherVolume(), commandLine.path);
    QCOMPARE(seenIn(named), afterClick);
    QCOMPARE(named.controls().Image1->picture()->naturalSize(), QSize(900, 600));
    QCOMPARE(named.controls().Drive1->drive().root, desktop.home());
    QVERIFY(desktop.messages.shown.isEmpty());
}

void TestPathArgument::nameTheFilterLeavesOutGetsItsOwnFilter()
{
    TestDesktop desktop;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/Pictures"));
    desktop.makePicture(folder + QStringLiteral("/photo.jpg_large"), 40, 30, Qt::green);
    desktop.makePicture(folder + QStringLiteral("/scan"), 50, 20, Qt::green);
    desktop.makePicture(folder + QStringLiteral("/other.bmp"), 20, 20, Qt::blue);

    Form1 &form = desktop.started(desktop.home(), folder + QStringLiteral("/photo.jpg_large"));
    const Form1Controls &c = form.controls();
    QCOMPARE(c.Combo1->text(), QStringLiteral("*.jpg_large"));
    QCOMPARE(entriesOf(*c.File1), QStringList{"photo.jpg_large"});
    QCOMPARE(form.windowTitle(), titleFor(folder + QStringLiteral("/photo.jpg_large")));
    QCOMPARE(c.Label9->text(), QStringLiteral("40 X 30"));

    Form1 &bare = desktop.started(desktop.home(), folder + QStringLiteral("/scan"));
    QCOMPARE(bare.controls().Combo1->text(), QStringLiteral("scan"));
    QCOMPARE(bare.controls().Label9->text(), QStringLiteral("50 X 20"));
    QVERIFY(desktop.messages.shown.isEmpty());
}

void TestPathArgument::fileThatCannotBeShownIsRefusedAsOnAClick()
{
    TestDesktop desktop;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/Pictures"));
    desktop.makeFile(folder + QStringLiteral("/broken.jpg"), "not a picture");
    desktop.makeFile(folder + QStringLiteral("/notes.txt"), "not a picture");
    desktop.makePicture(folder + QStringLiteral("/other.bmp"), 20, 20, Qt::blue);
    const QString pipe = folder + QStringLiteral("/pipe.bmp");
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    for (const QString name : {"broken.jpg", "notes.txt", "pipe.bmp"}) {
        desktop.messages.shown.clear();
        Form1 &form = desktop.started(desktop.home(), folder + '/' + name);
        const Form1Controls &c = form.controls();
        QCOMPARE(desktop.messages.shown, QList<RecordedMessage>{kNotSupported});
        // The browser starts over in the folder with the usual filter.
        QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
        QCOMPARE(c.Dir1->path(), folder);
        QCOMPARE(entriesOf(*c.File1), (QStringList{"broken.jpg", "other.bmp"}));
        QCOMPARE(form.windowTitle(), titleFor(folder));
        QCOMPARE(c.Image1->picture(), c.Picture2->picture());
    }
}

void TestPathArgument::foldersAndLinksOpenWhereTheyLie()
{
    TestDesktop desktop;
    const QString pictures = desktop.makeFolder(desktop.home() + QStringLiteral("/Pictures"));
    const QString real =
        desktop.makePicture(pictures + QStringLiteral("/real.bmp"), 30, 20, Qt::red);
    const QString links = desktop.makeFolder(desktop.home() + QStringLiteral("/Links"));
    QVERIFY(QFile::link(real, links + QStringLiteral("/link.bmp")));
    QVERIFY(QFile::link(pictures, links + QStringLiteral("/Album")));

    Form1 &toFile = desktop.started(desktop.home(), links + QStringLiteral("/link.bmp"));
    QCOMPARE(toFile.controls().Dir1->path(), links);
    QCOMPARE(toFile.windowTitle(), titleFor(links + QStringLiteral("/link.bmp")));
    QCOMPARE(toFile.controls().Label9->text(), QStringLiteral("30 X 20"));

    Form1 &toFolder = desktop.started(desktop.home(), links + QStringLiteral("/Album"));
    QCOMPARE(toFolder.controls().Dir1->path(), links + QStringLiteral("/Album"));
    QCOMPARE(entriesOf(*toFolder.controls().File1), QStringList{"real.bmp"});

    // A folder on another volume, named with a trailing slash: opened there, nothing shown.
    const QString folder = desktop.makeFolder(desktop.otherVolume() + QStringLiteral("/DCIM"));
    desktop.makePicture(folder + QStringLiteral("/a.bmp"), 20, 20, Qt::blue);
    Form1 &form = desktop.started(desktop.home(), folder + QStringLiteral("/"));
    const Form1Controls &c = form.controls();
    QCOMPARE(c.Dir1->path(), folder);
    QCOMPARE(c.Drive1->drive().root, desktop.otherVolume());
    QCOMPARE(form.windowTitle(), titleFor(folder));
    QCOMPARE(entriesOf(*c.File1), QStringList{"a.bmp"});
    QCOMPARE(c.File1->fileName(), QString());
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
    QVERIFY(desktop.messages.shown.isEmpty());
}

void TestPathArgument::pathThatCannotBeOpenedIsReportedThenTheUsualStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("stored");
    QTest::newRow("missing") << "Gone/cat.jpg"
                             << "The picture or folder \"%1/Gone/cat.jpg\" does not exist."
                             << false;
    QTest::newRow("missing, with a stored folder")
        << "Gone"
        << "The picture or folder \"%1/Gone\" does not exist." << true;
    QTest::newRow("link to nothing")
        << "dangling.jpg"
        << "The picture or folder \"%1/dangling.jpg\" does not exist." << false;
    QTest::newRow("folder that cannot be read")
        << "Locked/cat.bmp"
        << "The folder \"%1/Locked\" cannot be opened." << false;
}

void TestPathArgument::pathThatCannotBeOpenedIsReportedThenTheUsualStart()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QFETCH(bool, stored);
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Start"));
    const QString storedFolder = desktop.makeFolder(desktop.home() + QStringLiteral("/Stored"));
    if (stored)
        QVERIFY(desktop.registry->RegistryWriteString(Registry::kSettingsKey, Registry::kAutoJump,
                                                      storedFolder));
    QVERIFY(
        QFile::link(start + QStringLiteral("/gone.jpg"), start + QStringLiteral("/dangling.jpg")));
    desktop.makePicture(start + QStringLiteral("/Locked/cat.bmp"), 10, 10, Qt::red);
    desktop.files.unreadable.insert(start + QStringLiteral("/Locked"));

    Form1 &form = desktop.started(start, start + '/' + name);
    QCOMPARE(desktop.messages.shown,
             (QList<RecordedMessage>{{message.arg(start), 16, QStringLiteral("Quorvel")}}));
    const QString expected = stored ? storedFolder : start;
    QCOMPARE(form.controls().Dir1->path(), expected);
    QCOMPARE(form.windowTitle(), titleFor(expected));
    QCOMPARE(form.controls().Combo1->text(), QStringLiteral("ALL Readable Format"));
    QCOMPARE(form.controls().menus.goto1->isEnabled(), stored);
}

void TestPathArgument::pathWinsOverTheStoredFolderForOneRun()
{
    TestDesktop desktop;
    const QString stored = desktop.makeFolder(desktop.home() + QStringLiteral("/Stored"));
    const QString picture = desktop.makePicture(
        desktop.otherVolume() + QStringLiteral("/Trip/beach.bmp"), 30, 20, Qt::red);
    QVERIFY(
        desktop.registry->RegistryWriteString(Registry::kSettingsKey, Registry::kAutoJump, stored));

    Form1 &named = desktop.started(desktop.home(), picture);
    QCOMPARE(named.windowTitle(), titleFor(picture));
    QCOMPARE(named.controls().Drive1->drive().root, desktop.otherVolume());
    QVERIFY(named.controls().menus.goto1->isEnabled());
    QCOMPARE(desktop.registry->RegistryReadString(Registry::kSettingsKey, Registry::kAutoJump),
             stored);

    Form1 &next = desktop.started(desktop.home());
    QCOMPARE(next.controls().Dir1->path(), stored);
    QVERIFY(desktop.messages.shown.isEmpty());
}

void TestPathArgument::secondCopyHandsItsPathOver_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<bool>("message");
    QTest::newRow("no path: the message") << "" << true << true;
    QTest::newRow("taken: ends quietly") << "/pictures/a.bmp" << true << false;
    QTest::newRow("not taken: the message") << "/pictures/a.bmp" << false << true;
}

void TestPathArgument::secondCopyHandsItsPathOver()
{
    QFETCH(QString, path);
    QFETCH(bool, taken);
    QFETCH(bool, message);
    TestDesktop desktop;
    desktop.application.anotherInstance = true;
    desktop.application.otherCopyTakes = taken;
    Form1 &form = desktop.window(desktop.home());
    QVERIFY(!form.Form_Load(path));
    QCOMPARE(desktop.application.handedOver, path.isEmpty() ? QStringList() : QStringList{path});
    const RecordedMessage running{QStringLiteral("The program is already running!"), 0,
                                  QStringLiteral("Quorvel 1.36")};
    QCOMPARE(desktop.messages.shown,
             message ? QList<RecordedMessage>{running} : QList<RecordedMessage>{});
    QVERIFY(!desktop.application.accepting);
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel 1.36"));
    QVERIFY(!form.isVisible());
}

void TestPathArgument::runningCopyOpensAHandedPathAsAStartWould_data()
{
    QTest::addColumn<Before>("before");
    QTest::newRow("shown") << Before::Shown;
    QTest::newRow("hidden in the tray") << Before::InTray;
    QTest::newRow("minimised") << Before::Minimised;
    QTest::newRow("window show playing") << Before::WindowShow;
    QTest::newRow("full-screen show paused") << Before::FullScreenShowPaused;
    QTest::newRow("full-screen view") << Before::FullScreenView;
    QTest::newRow("its folder, the picture saved since") << Before::SavedInItsFolder;
    QTest::newRow("a filter leaving it out") << Before::FilterLeavingItOut;
}

void TestPathArgument::runningCopyOpensAHandedPathAsAStartWould()
{
    QFETCH(Before, before);
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Start"));
    desktop.makePicture(start + QStringLiteral("/a.bmp"), 20, 20, Qt::blue);
    desktop.makePicture(start + QStringLiteral("/b.bmp"), 20, 20, Qt::blue);
    const QString folder =
        before == Before::SavedInItsFolder
            ? start
            : desktop.makeFolder(desktop.otherVolume() + QStringLiteral("/Trip"));
    const QString picture = folder + QStringLiteral("/beach.bmp");
    desktop.makePicture(picture, 900, 600, Qt::red);
    Form1 &started = desktop.started(desktop.home(), picture);
    started.show();
    const Seen atStart = seenIn(started);
    const QString drive = started.controls().Drive1->drive().root;
    const QString away = picture + QStringLiteral(".away");
    QVERIFY(QFile::rename(picture, away));

    Form1 &form = desktop.started(start);
    QVERIFY(desktop.application.accepting);
    form.show();
    Form1Controls &c = form.controls();
    switch (before) {
    case Before::InTray:
        form.trayIcon().systray_Click();
        break;
    case Before::Minimised:
        form.showMinimized();
        break;
    case Before::WindowShow:
        c.menus.viewmenu->click();
        break;
    case Before::FullScreenShowPaused:
        form.fullScreenShow().fullscreen_Click();
        form.fullScreenShow().pause();
        break;
    case Before::FullScreenView:
        c.File1->selectFile(QStringLiteral("a.bmp"));
        form.fullScreen().File1_DblClick();
        QVERIFY(form.fullScreen().form());
        break;
    case Before::FilterLeavingItOut:
        c.Combo1->setText(QStringLiteral("*.gif"));
        break;
    default:
        break;
    }
    QVERIFY(QFile::rename(away, picture));
    desktop.application.deliver(picture);

    QTRY_COMPARE(seenIn(form), atStart);
    QCOMPARE(c.Drive1->drive().root, drive);
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

void TestPathArgument::messageBoxIsAnsweredFirstThenTheLastHandedPathOpens()
{
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Start"));
    const QString first = desktop.makePicture(start + QStringLiteral("/a.bmp"), 20, 20, Qt::blue);
    const QString last = desktop.makePicture(start + QStringLiteral("/b.bmp"), 30, 20, Qt::blue);
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
    QCOMPARE(form.controls().Label9->text(), QStringLiteral("30 X 20"));

    // What cannot be opened gets the message a start would give, and nothing moves.
    const QString missing = start + QStringLiteral("/Gone/c.bmp");
    desktop.application.deliver(missing);
    QTRY_COMPARE(desktop.messages.shown,
                 (QList<RecordedMessage>{
                     {PathArgument::kNotFound.arg(missing), 16, QStringLiteral("Quorvel")}}));
    QCOMPARE(form.windowTitle(), titleFor(last));
}

QTEST_MAIN(TestPathArgument)
#include "tst_pathargument.moc"
