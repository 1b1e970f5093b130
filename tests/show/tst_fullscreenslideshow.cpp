#include "browse/Said.h"
#include "show/Form6.h"
#include "show/Form7.h"
#include "show/FullScreenSlideShow.h"
#include "show/WindowSlideShow.h"
#include "show/WindowStacking.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

QStringList captionsOf(const QMenu &menu)
{
    QStringList captions;
    for (const QAction *action : menu.actions())
        captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
}

} // namespace

class TestFullScreenSlideShow : public QObject {
    Q_OBJECT

    std::optional<TestDesktop> m_desktop;
    Form1 *m_form = nullptr;
    QString m_folder, m_wide;

    // In list order: bad.jpg (not a picture, 500 bytes), small.bmp (40 x 30), wide.bmp
    // (2560 x 800).
    Form1Controls &start()
    {
        m_folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Show"));
        m_desktop->makeFile(m_folder + QStringLiteral("/bad.jpg"), QByteArray(500, 'x'));
        m_desktop->makePicture(m_folder + QStringLiteral("/small.bmp"), 40, 30, Qt::green);
        m_wide =
            m_desktop->makePicture(m_folder + QStringLiteral("/wide.bmp"), 2560, 800, Qt::yellow);
        m_form = &m_desktop->started(m_folder);
        return m_form->controls();
    }

private Q_SLOTS:
    void init() { m_desktop.emplace(); }
    void coversTheWindowsScreenAndShowsEachSlide()
    {
        m_desktop->screen.geometry = QRect(1920, 0, 1280, 1024); // a second screen
        Form1Controls &c = start();
        c.menus.fullscreen->click();
        FullScreenSlideShow &show = m_form->fullScreenShow();
        Form6 *window = show.showWindow();
        QCOMPARE(window->geometry(), m_desktop->screen.geometry);
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!isTopmost(*window));
        QVERIFY(c.Timer2->isEnabled() && c.Timer2->interval() == 1500);
        // The main window stays usable behind it.
        QVERIFY(c.menus.optionmenu->isEnabled() && c.File1->isEnabled());

        // A file that cannot be shown: the error picture, fitted and centred, and no message.
        show.Timer2_Timer();
        QCOMPARE(window->Image1->picture(), c.Picture4->picture());
        QCOMPARE(window->Image1->rect(), QRectF(640 - 89.5, 512 - 18, 179, 36));
        QCOMPARE(window->Label3->text(), QStringLiteral("500bytes"));
        QCOMPARE(window->Label4->text(), QStringLiteral("bad.jpg"));
        QCOMPARE(m_form->slides().index, 2);
        QVERIFY(m_desktop->messages.shown.isEmpty());
        show.Timer2_Timer();
        QCOMPARE(window->Image1->rect(), QRectF(620, 497, 40, 30));
        QCOMPARE(window->Label2->text(), QStringLiteral("40 X 30"));
        show.Timer2_Timer();
        QCOMPARE(window->Image1->rect(), QRectF(0, 312, 1280, 400));
        QVERIFY(window->Image1->stretch());
        QCOMPARE(window->Label1->text(), m_wide);
        QCOMPARE(window->Label2->text(), QStringLiteral("2560 X 800"));
        QVERIFY(window->Label3->text().endsWith(QStringLiteral("KB")));
        QCOMPARE(window->Label4->text(), QStringLiteral("wide.bmp"));
        QVERIFY(window->Label4->isHidden() && !window->Label2->isHidden());
        QCOMPARE(window->Label1->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        // The main window is left alone by the ticks.
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
        QVERIFY(c.Label13->text().isEmpty());
    }

    void clickOrEscapePausesWithTheOptionWindowOnTopAndContinuousPlaysOnTop()
    {
        Form1Controls &c = start();
        FullScreenSlideShow &show = m_form->fullScreenShow();
        show.fullscreen_Click();
        show.Timer2_Timer();
        Form6 *window = show.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(window->Picture1, Qt::LeftButton, {}, QPoint(5, 300)); // the black area
        QCOMPARE(show.state(), FullScreenSlideShow::State::Paused);
        QVERIFY(!c.Timer2->isEnabled());
        QCOMPARE(m_form->slides().index, 2);
        Form7 *options = show.optionWindow();
        QVERIFY(options && options->isVisible() && isTopmost(*options));
        QCOMPARE(options->copy1->caption(), QStringLiteral("C&opy -> VozeviZire"));
        QCOMPARE(captionsOf(*options->copy1->menu()),
                 QStringList({"Temp", "-", "HomePage", "-", "For Work", "-", "Personal", "-",
                              "Future Use"}));
        QCOMPARE(options->speed1->caption(), QStringLiteral("&Speed..."));
        QCOMPARE(captionsOf(*options->speed1->menu()),
                 QStringList({"Fastest", "-", "Fast", "-", "Medium", "-", "Slow", "-", "Slowest"}));

        // The picture, Esc and a caption while paused: the same option window, nothing else.
        QTest::mouseClick(window->Picture1, Qt::LeftButton, {}, QPoint(512, 384));
        QTest::keyClick(window, Qt::Key_Escape);
        QTest::mouseClick(window->Label1, Qt::LeftButton);
        QCOMPARE(show.optionWindow(), options);
        QCOMPARE(show.state(), FullScreenSlideShow::State::Paused);
        QCOMPARE(m_form->slides().index, 2);

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
        // Exit ends the program.
        QTest::mouseClick(show.optionWindow()->Command3, Qt::LeftButton);
        QCOMPARE(m_desktop->application.quitCount, 1);
    }

    void cancelClosesBothAndEndClosesTheShow()
    {
        Form1Controls &c = start();
        c.File1->selectFile(QStringLiteral("small.bmp"));
        QVERIFY(!c.Label7->text().isEmpty());
        FullScreenSlideShow &show = m_form->fullScreenShow();
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
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));

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
        QCOMPARE(m_form->windowShow().state(), WindowSlideShow::State::Playing);
    }
};

QTEST_MAIN(TestFullScreenSlideShow)
#include "tst_fullscreenslideshow.moc"
