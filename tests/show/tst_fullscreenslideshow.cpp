#include "show/Form6.h"
#include "show/Form7.h"
#include "show/FullScreenSlideShow.h"
#include "show/WindowSlideShow.h"
#include "show/WindowStacking.h"
#include "support/TestDesktop.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

class TestFullScreenSlideShow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void coversTheWindowsScreenAndShowsEachSlide();
    void clickOrEscapePausesWithTheOptionWindowOnTopAndContinuousPlaysOnTop();
    void cancelClosesBothAndEndClosesTheShow();
    void exitEndsTheProgram();
};

namespace {

struct Folder {
    QString path;
    QString wide, small;
};

// In list order: bad.jpg (not a picture, 500 bytes), small.bmp (40 x 30), wide.bmp (2560 x 800).
Folder makeFolder(TestDesktop &desktop)
{
    Folder f;
    f.path = desktop.makeFolder(desktop.home() + QStringLiteral("/Show"));
    desktop.makeFile(f.path + QStringLiteral("/bad.jpg"), QByteArray(500, 'x'));
    f.small = desktop.makePicture(f.path + QStringLiteral("/small.bmp"), 40, 30, Qt::green);
    f.wide = desktop.makePicture(f.path + QStringLiteral("/wide.bmp"), 2560, 800, Qt::yellow);
    return f;
}

QStringList captionsOf(const QMenu &menu)
{
    QStringList captions;
    for (const QAction *action : menu.actions())
        captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
}

} // namespace

void TestFullScreenSlideShow::coversTheWindowsScreenAndShowsEachSlide()
{
    TestDesktop desktop;
    desktop.screen.geometry = QRect(1920, 0, 1280, 1024); // a second screen
    const Folder f = makeFolder(desktop);
    Form1 &form = desktop.started(f.path);
    Form1Controls &c = form.controls();
    c.menus.fullscreen->click();
    FullScreenSlideShow &show = form.fullScreenShow();
    Form6 *window = show.showWindow();
    QVERIFY(window);
    QCOMPARE(window->geometry(), desktop.screen.geometry);
    QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(!isTopmost(*window));
    QVERIFY(c.Timer2->isEnabled());
    QCOMPARE(c.Timer2->interval(), 1500);
    // The main window stays usable behind it.
    QVERIFY(c.menus.optionmenu->isEnabled() && c.File1->isEnabled());

    // A file that cannot be shown: the error picture, fitted and centred, and no message.
    show.Timer2_Timer();
    QCOMPARE(window->Image1->picture(), c.Picture4->picture());
    QCOMPARE(window->Image1->rect(), QRectF(640 - 89.5, 512 - 18, 179, 36));
    QCOMPARE(window->Label3->text(), QStringLiteral("500bytes"));
    QCOMPARE(window->Label4->text(), QStringLiteral("bad.jpg"));
    QCOMPARE(form.slides().index, 2);
    QVERIFY(desktop.messages.shown.isEmpty());
    show.Timer2_Timer();
    QCOMPARE(window->Image1->rect(), QRectF(620, 497, 40, 30));
    QCOMPARE(window->Label2->text(), QStringLiteral("40 X 30"));
    show.Timer2_Timer();
    QCOMPARE(window->Image1->rect(), QRectF(0, 312, 1280, 400));
    QVERIFY(window->Image1->stretch());
    QCOMPARE(window->Label1->text(), f.wide);
    QCOMPARE(window->Label2->text(), QStringLiteral("2560 X 800"));
    QVERIFY(window->Label3->text().endsWith(QStringLiteral("KB")));
    QCOMPARE(window->Label4->text(), QStringLiteral("wide.bmp"));
    QVERIFY(window->Label4->isHidden());
    QVERIFY(!window->Label2->isHidden());
    QCOMPARE(window->Label1->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    // The main window is left alone by the ticks.
    QCOMPARE(form.windowTitle(), titleFor(f.path));
    QVERIFY(c.Label13->text().isEmpty());
}

void TestFullScreenSlideShow::clickOrEscapePausesWithTheOptionWindowOnTopAndContinuousPlaysOnTop()
{
    TestDesktop desktop;
    const Folder f = makeFolder(desktop);
    Form1 &form = desktop.started(f.path);
    Form1Controls &c = form.controls();
    FullScreenSlideShow &show = form.fullScreenShow();
    show.fullscreen_Click();
    show.Timer2_Timer();
    Form6 *window = show.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::mouseClick(window->Picture1, Qt::LeftButton, {}, QPoint(5, 300)); // the black area
    QCOMPARE(show.state(), FullScreenSlideShow::State::Paused);
    QVERIFY(!c.Timer2->isEnabled());
    QCOMPARE(form.slides().index, 2);
    Form7 *options = show.optionWindow();
    QVERIFY(options);
    QVERIFY(options->isVisible());
    QVERIFY(isTopmost(*options));
    QCOMPARE(options->copy1->caption(), QStringLiteral("C&opy -> VozeviZire"));
    QCOMPARE(captionsOf(*options->copy1->menu()),
             QStringList(
                 {"Temp", "-", "HomePage", "-", "For Work", "-", "Personal", "-", "Future Use"}));
    QCOMPARE(options->speed1->caption(), QStringLiteral("&Speed..."));
    QCOMPARE(captionsOf(*options->speed1->menu()),
             QStringList({"Fastest", "-", "Fast", "-", "Medium", "-", "Slow", "-", "Slowest"}));

    // The picture, Esc and a caption while paused: the same option window, nothing else.
    QTest::mouseClick(window->Picture1, Qt::LeftButton, {}, QPoint(512, 384));
    QTest::keyClick(window, Qt::Key_Escape);
    QTest::mouseClick(window->Label1, Qt::LeftButton);
    QCOMPARE(show.optionWindow(), options);
    QCOMPARE(show.state(), FullScreenSlideShow::State::Paused);
    QCOMPARE(form.slides().index, 2);

    // Continuous plays on with the show on top; a later pause lets it down while the
    // option window is up.
    QTest::mouseClick(options->Command2, Qt::LeftButton);
    QCOMPARE(show.state(), FullScreenSlideShow::State::Playing);
    QVERIFY(c.Timer2->isTicking());
    QVERIFY(isTopmost(*window));
    QTRY_VERIFY(!show.optionWindow());
    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(show.state(), FullScreenSlideShow::State::Paused);
    QVERIFY(show.optionWindow());
    QVERIFY(!isTopmost(*window));
    QVERIFY(isTopmost(*show.optionWindow()));
}

void TestFullScreenSlideShow::cancelClosesBothAndEndClosesTheShow()
{
    TestDesktop desktop;
    const Folder f = makeFolder(desktop);
    Form1 &form = desktop.started(f.path);
    Form1Controls &c = form.controls();
    c.File1->selectFile(QStringLiteral("small.bmp"));
    QVERIFY(!c.Label7->text().isEmpty());
    FullScreenSlideShow &show = form.fullScreenShow();
    show.fullscreen_Click();
    show.Timer2_Timer();
    show.pause();
    QTest::mouseClick(show.optionWindow()->Command1, Qt::LeftButton);
    QCOMPARE(show.state(), FullScreenSlideShow::State::Idle);
    QTRY_VERIFY(!show.optionWindow() && !show.showWindow());
    QCOMPARE(c.Image1->picture(), c.Picture3->picture());
    QVERIFY(c.Label7->text().isEmpty() && c.Label8->text().isEmpty() &&
            c.Label9->text().isEmpty() && c.Label13->text().isEmpty());
    QVERIFY(!c.Timer2->isEnabled());
    QCOMPARE(c.Timer2->interval(), 0);
    QCOMPARE(form.windowTitle(), titleFor(f.path));

    // Played to the end: the window closes by itself one tick after the last slide.
    show.fullscreen_Click();
    for (int tick = 0; tick < 3; ++tick)
        show.Timer2_Timer();
    QVERIFY(show.showWindow());
    show.Timer2_Timer();
    QTRY_VERIFY(!show.showWindow());
    QCOMPARE(show.state(), FullScreenSlideShow::State::Idle);
    QCOMPARE(c.Image1->picture(), c.Picture3->picture());
    QCOMPARE(c.Timer2->interval(), 0);
    // A window show may start now.
    c.menus.viewmenu->click();
    QCOMPARE(form.windowShow().state(), WindowSlideShow::State::Playing);
}

void TestFullScreenSlideShow::exitEndsTheProgram()
{
    TestDesktop desktop;
    Form1 &form = desktop.started(desktop.home());
    form.fullScreenShow().fullscreen_Click();
    form.fullScreenShow().pause();
    QTest::mouseClick(form.fullScreenShow().optionWindow()->Command3, Qt::LeftButton);
    QCOMPARE(desktop.application.quitCount, 1);
}

QTEST_MAIN(TestFullScreenSlideShow)
#include "tst_fullscreenslideshow.moc"
