#include "browse/FileInfoText.h"
#include "show/FullScreenSlideShow.h"
#include "show/WindowSlideShow.h"
#include "support/TestDesktop.h"

#include <QFile>
#include <QTest>

class TestWindowSlideShow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void playsEverySlideThenEndsOnTheFolderAndAnEmptyFolderAtOnce();
    void badVanishedAndFilteredFiles();
    void menusFollowPauseResumeAndCancel();
    void runsOnItsTimer();
    void oneShowAtATime();
    void countsPastSixteenBits();
};

namespace {

// The window's state as a line: 1 for enabled or shown, 0 otherwise.
QString stateLine(Form1Controls &c)
{
    const Form1Menus &m = c.menus;
    const auto on = [](bool b) {
        return b ? QStringLiteral("1") : QStringLiteral("0");
    };
    return QStringLiteral("menus %1%2%3 browser %4%5%6%7 pause %8 resume %9 paused %10%11%12 "
                          "cancel %13 timer %14")
        .arg(on(m.filemenu->isEnabled()), on(m.optionmenu->isEnabled()), on(m.help1->isEnabled()),
             on(c.Drive1->isEnabled()), on(c.Dir1->isEnabled()), on(c.File1->isEnabled()),
             on(c.Combo1->isEnabled()), on(m.pause1->isVisible()), on(m.play1->isVisible()))
        .arg(on(m.copyf->isVisible()), on(m.speed3->isVisible()), on(m.Tray1->isVisible()),
             on(m.stop1->isVisible()), on(c.Timer1->isEnabled()));
}

const QString kIdle =
    QStringLiteral("menus 111 browser 1111 pause 0 resume 0 paused 000 cancel 0 timer 0");
const QString kPlaying =
    QStringLiteral("menus 000 browser 0000 pause 1 resume 0 paused 000 cancel 1 timer 1");
const QString kPaused =
    QStringLiteral("menus 000 browser 0000 pause 0 resume 1 paused 111 cancel 1 timer 0");

struct Folder {
    QString path;
    QString a, b;
};

// In list order: a.bmp (640 x 480), b.bmp (20 x 10), bad.bmp (not a picture, 1536
// bytes); and notes.txt, which no filter shows.
Folder makeFolder(TestDesktop &desktop)
{
    Folder f;
    f.path = desktop.makeFolder(desktop.home() + QStringLiteral("/Pictures"));
    f.a = desktop.makePicture(f.path + QStringLiteral("/a.bmp"), 640, 480, Qt::red);
    desktop.makeFile(f.path + QStringLiteral("/bad.bmp"), QByteArray(1536, 'x'));
    f.b = desktop.makePicture(f.path + QStringLiteral("/b.bmp"), 20, 10, Qt::blue);
    desktop.makeFile(f.path + QStringLiteral("/notes.txt"), "text");
    return f;
}

} // namespace

void TestWindowSlideShow::playsEverySlideThenEndsOnTheFolderAndAnEmptyFolderAtOnce()
{
    TestDesktop desktop;
    const Folder f = makeFolder(desktop);
    Form1 &form = desktop.started(f.path);
    Form1Controls &c = form.controls();
    c.File1->selectFile(QStringLiteral("a.bmp"));
    c.menus.viewmenu->click();
    QCOMPARE(c.Image1->picture(), c.Picture1->picture());
    QCOMPARE(form.windowTitle(), titleFor(f.path));
    QVERIFY(c.Label3->text().isEmpty());
    QVERIFY(c.Label7->text().isEmpty());

    WindowSlideShow &show = form.windowShow();
    show.Timer1_Timer();
    QCOMPARE(c.Image1->width(), 449.f); // Auto-Fit shrinks it into the panel
    QCOMPARE(c.Label9->text(), QStringLiteral("640 X 480"));
    QCOMPARE(c.Label7->text(), sizeText(QFile(f.a).size()));
    QCOMPARE(c.Label8->text(), dateText(QFileInfo(f.a).lastModified()));
    QCOMPARE(form.windowTitle(), titleFor(f.a));
    QCOMPARE(c.Label12->text(), f.a);
    QCOMPARE(c.Label13->text(), QStringLiteral("a.bmp"));
    QVERIFY(c.Image1->isVisible());

    show.Timer1_Timer();
    QCOMPARE(c.Label9->text(), QStringLiteral("20 X 10"));
    QCOMPARE(c.Label13->text(), QStringLiteral("b.bmp"));

    show.Timer1_Timer();
    QCOMPARE(c.Image1->picture(), c.Picture4->picture());
    QCOMPARE(c.Label9->text(), QStringLiteral("179 X 36"));
    QCOMPARE(c.Label7->text(), QStringLiteral("2KB"));
    QCOMPARE(c.Label13->text(), QStringLiteral("bad.bmp"));
    QCOMPARE(form.slides().index, 4);
    QCOMPARE(show.state(), WindowSlideShow::State::Playing);

    show.Timer1_Timer();
    QCOMPARE(show.state(), WindowSlideShow::State::Idle);
    QCOMPARE(c.Image1->picture(), c.Picture3->picture());
    QCOMPARE(form.windowTitle(), titleFor(f.path));
    QVERIFY(c.Label9->text().isEmpty());
    QCOMPARE(stateLine(c), kIdle);
    QVERIFY(desktop.messages.shown.isEmpty());

    // An empty folder's show ends at its first tick.
    QVERIFY(c.Dir1->setPath(desktop.makeFolder(f.path + QStringLiteral("/Empty"))));
    c.menus.viewmenu->click();
    QCOMPARE(c.Image1->picture(), c.Picture1->picture());
    show.Timer1_Timer();
    QCOMPARE(show.state(), WindowSlideShow::State::Idle);
    QCOMPARE(c.Image1->picture(), c.Picture3->picture());
    QCOMPARE(stateLine(c), kIdle);
}

void TestWindowSlideShow::badVanishedAndFilteredFiles()
{
    TestDesktop desktop;
    const Folder f = makeFolder(desktop);
    desktop.makeFile(f.path + QStringLiteral("/c.jpg"), QByteArray(300, 'x'));
    Form1 &form = desktop.started(f.path);
    Form1Controls &c = form.controls();
    c.menus.Act1->click();
    c.Combo1->setText(QStringLiteral("*.bmp"));
    c.menus.viewmenu->click();
    QCOMPARE(form.slides().count, 3);
    WindowSlideShow &show = form.windowShow();
    show.Timer1_Timer();
    QCOMPARE(c.Label9->text(), QStringLiteral("640 X 480"));
    QVERIFY(!c.Label8->text().isEmpty());
    QVERIFY(QFile::remove(f.b));
    show.Timer1_Timer();
    // A vanished file: the error picture, and nothing of the slide before it.
    QCOMPARE(c.Image1->picture(), c.Picture4->picture());
    QCOMPARE(c.Label13->text(), QStringLiteral("b.bmp"));
    QVERIFY(c.Label7->text().isEmpty());
    QVERIFY(c.Label8->text().isEmpty());
    show.Timer1_Timer();
    QCOMPARE(c.Label13->text(), QStringLiteral("bad.bmp"));
    show.Timer1_Timer();
    QCOMPARE(show.state(), WindowSlideShow::State::Idle);
    QVERIFY(desktop.messages.shown.isEmpty());
    // Actual Size has its own cursors back after the show.
    QCOMPARE(c.Image1->cursorCode(), 99);
    QCOMPARE(c.Picture5->cursorCode(), 99);
}

void TestWindowSlideShow::menusFollowPauseResumeAndCancel()
{
    TestDesktop desktop;
    const Folder f = makeFolder(desktop);
    Form1 &form = desktop.started(f.path);
    Form1Controls &c = form.controls();
    QCOMPARE(stateLine(c), kIdle);
    c.menus.viewmenu->click();
    QCOMPARE(stateLine(c), kPlaying);
    // The panel stays usable while the rest is locked.
    QVERIFY(c.Picture5->isEnabled() && c.Image1->isEnabled());
    WindowSlideShow &show = form.windowShow();
    show.Timer1_Timer();
    c.menus.pause1->click();
    QCOMPARE(stateLine(c), kPaused);
    show.Timer1_Timer(); // a tick that was already on its way changes nothing
    QCOMPARE(form.slides().index, 2);
    QCOMPARE(c.Label13->text(), QStringLiteral("a.bmp"));
    c.menus.play1->click();
    QCOMPARE(stateLine(c), kPlaying);
    show.Timer1_Timer();
    QCOMPARE(c.Label13->text(), QStringLiteral("b.bmp"));
    c.menus.pause1->click();
    c.menus.stop1->click();
    QCOMPARE(show.state(), WindowSlideShow::State::Idle);
    QCOMPARE(c.Image1->picture(), c.Picture3->picture());
    QVERIFY(c.Label3->text().isEmpty());
    QCOMPARE(form.windowTitle(), titleFor(f.path));
    QCOMPARE(stateLine(c), kIdle);
    // Cancelled while playing, too.
    c.menus.viewmenu->click();
    c.menus.stop1->click();
    QCOMPARE(stateLine(c), kIdle);
    QCOMPARE(c.Timer1->interval(), 0);
}

void TestWindowSlideShow::runsOnItsTimer()
{
    TestDesktop desktop;
    const Folder f = makeFolder(desktop);
    Form1 &form = desktop.started(f.path);
    Form1Controls &c = form.controls();
    c.Label11->setText(QStringLiteral("300"));
    c.menus.viewmenu->click();
    QVERIFY(c.Timer1->isTicking());
    QTRY_COMPARE(c.Label13->text(), QStringLiteral("b.bmp"));
    QTRY_COMPARE(form.windowShow().state(), WindowSlideShow::State::Idle);
    QVERIFY(!c.Timer1->isTicking());
}

void TestWindowSlideShow::oneShowAtATime()
{
    TestDesktop desktop;
    const Folder f = makeFolder(desktop);
    Form1 &form = desktop.started(f.path);
    Form1Controls &c = form.controls();
    form.fullScreenShow().fullscreen_Click();
    c.menus.viewmenu->click();
    QCOMPARE(form.windowShow().state(), WindowSlideShow::State::Idle);
    QCOMPARE(stateLine(c), kIdle);
    form.fullScreenShow().Command1_Click();

    c.menus.viewmenu->click();
    form.fullScreenShow().fullscreen_Click();
    QCOMPARE(form.fullScreenShow().state(), FullScreenSlideShow::State::Idle);
    QVERIFY(!form.fullScreenShow().showWindow());
    form.windowShow().viewmenu_Click(); // starting it again does not start over
    form.windowShow().Timer1_Timer();
    form.windowShow().viewmenu_Click();
    QCOMPARE(form.slides().index, 2);
}

void TestWindowSlideShow::countsPastSixteenBits()
{
    TestDesktop desktop;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/Many"));
    QStringList names;
    for (int i = 0; i < 40'000; ++i)
        names.append(QStringLiteral("p%1.bmp").arg(i, 5, 10, QLatin1Char('0')));
    desktop.files.listed.insert(folder, names);
    Form1 &form = desktop.started(folder);
    Form1Controls &c = form.controls();
    c.menus.viewmenu->click();
    QCOMPARE(form.slides().count, 40'000);
    form.slides().index = 32'768;
    form.windowShow().Timer1_Timer();
    QCOMPARE(c.Label13->text(), QStringLiteral("p32767.bmp"));
    QCOMPARE(form.slides().index, 32'769);
    form.slides().index = 40'000;
    form.windowShow().Timer1_Timer();
    QCOMPARE(c.Label13->text(), QStringLiteral("p39999.bmp"));
    form.windowShow().Timer1_Timer();
    QCOMPARE(form.windowShow().state(), WindowSlideShow::State::Idle);
}

QTEST_MAIN(TestWindowSlideShow)
#include "tst_windowslideshow.moc"
