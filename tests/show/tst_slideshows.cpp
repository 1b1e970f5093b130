#include "browse/FileInfoText.h"
#include "browse/Said.h"
#include "show/Form3.h"
#include "show/Form6.h"
#include "show/Form7.h"
#include "show/FullScreenSlideShow.h"
#include "show/SlideSpeed.h"
#include "show/WindowSlideShow.h"
#include "show/WindowStacking.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

// The window's state as a line: 1 for enabled or shown, 0 otherwise.
QString stateLine(Form1Controls &c)
{
    const Form1Menus &m = c.menus;
    QString line;
    for (const bool on :
         {m.filemenu->isEnabled(), m.optionmenu->isEnabled(), m.help1->isEnabled(),
          c.Drive1->isEnabled(), c.Dir1->isEnabled(), c.File1->isEnabled(), c.Combo1->isEnabled(),
          m.pause1->isVisible(), m.play1->isVisible(), m.copyf->isVisible(), m.speed3->isVisible(),
          m.Tray1->isVisible(), m.stop1->isVisible(), c.Timer1->isEnabled()})
        line += on ? QLatin1Char('1') : QLatin1Char('0');
    return line;
}

// Three menus, four browser controls; pause, resume, the paused show's three menus,
// cancel; the timer.
const QString kIdle = QStringLiteral("11111110000000");
const QString kPlaying = QStringLiteral("00000001000011");
const QString kPaused = QStringLiteral("00000000111110");

RecordedMessage speedSaid(const QString &speed)
{
    return said(QStringLiteral("The Speed of Slide Show is %1 Now").arg(speed));
}

// Which markers of the dialog are shown, by speed name.
QStringList shownMarkers(const Form3 &dialog)
{
    QStringList shown;
    for (const Speed speed : kAllSpeeds) {
        if (!dialog.markerOf(speed)->isHidden())
            shown.append(speedName(speed));
    }
    return shown;
}

QString captionsOf(const QMenu &menu)
{
    QStringList captions;
    for (const QAction *action : menu.actions())
        captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions.join(QLatin1Char('|'));
}

// The slide the window show says it shows: its picture's size and its name.
QString slideOf(Form1Controls &c)
{
    return c.Label9->text() + QLatin1Char('|') + c.Label13->text();
}

} // namespace

// The slide shows in the window and on the full screen, and their speed.
class TestSlideShows : public QObject {
    Q_OBJECT

    std::optional<TestDesktop> m_desktop;
    Form1 *m_form = nullptr;
    QString m_folder, m_a, m_b, m_wide;

    WindowSlideShow &show() { return m_form->windowShow(); }
    Form1Controls &start(const QString &folder = {})
    {
        m_form = &m_desktop->started(folder.isEmpty() ? m_folder : folder);
        return m_form->controls();
    }
    // In list order: bad.jpg (not a picture, 500 bytes), small.bmp (40 x 30), wide.bmp
    // (2560 x 800).
    QString fullScreenFolder()
    {
        const QString folder = m_folder =
            m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Show"));
        m_desktop->makeFile(folder + QStringLiteral("/bad.jpg"), QByteArray(500, 'x'));
        m_desktop->makePicture(folder + QStringLiteral("/small.bmp"), 40, 30, Qt::green);
        m_wide =
            m_desktop->makePicture(folder + QStringLiteral("/wide.bmp"), 2560, 800, Qt::yellow);
        return folder;
    }

private Q_SLOTS:
    // In list order: a.bmp (640 x 480), bad.bmp (not a picture, 1536 bytes), b.bmp
    // (20 x 10); and notes.txt, which no filter shows.
    void init()
    {
        m_desktop.emplace();
        m_folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Pictures"));
        m_a = m_desktop->makePicture(m_folder + QStringLiteral("/a.bmp"), 640, 480, Qt::red);
        m_desktop->makeFile(m_folder + QStringLiteral("/bad.bmp"), QByteArray(1536, 'x'));
        m_b = m_desktop->makePicture(m_folder + QStringLiteral("/b.bmp"), 20, 10, Qt::blue);
        m_desktop->makeFile(m_folder + QStringLiteral("/notes.txt"), "text");
    }

    void playsEverySlideThenEndsOnTheFolderAndAnEmptyFolderAtOnce()
    {
        Form1Controls &c = start();
        c.File1->selectFile(QStringLiteral("a.bmp"));
        c.menus.viewmenu->click();
        QCOMPARE(c.Image1->picture(), c.Picture1->picture());
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
        QVERIFY(c.Label3->text().isEmpty() && c.Label7->text().isEmpty());

        show().Timer1_Timer();
        QCOMPARE(c.Image1->width(), 449.f); // Auto-Fit shrinks it into the panel
        QCOMPARE(slideOf(c), "640 X 480|a.bmp");
        QCOMPARE(c.Label7->text(), sizeText(QFile(m_a).size()));
        QCOMPARE(c.Label8->text(), dateText(QFileInfo(m_a).lastModified()));
        QCOMPARE(m_form->windowTitle(), titleFor(m_a));
        QCOMPARE(c.Label12->text(), m_a);
        QVERIFY(c.Image1->isVisible());
        show().Timer1_Timer();
        QCOMPARE(slideOf(c), "20 X 10|b.bmp");
        show().Timer1_Timer();
        QCOMPARE(c.Image1->picture(), c.Picture4->picture());
        QCOMPARE(slideOf(c), "179 X 36|bad.bmp");
        QCOMPARE(c.Label7->text(), QStringLiteral("2KB"));
        QCOMPARE(m_form->slides().index, 4);
        QCOMPARE(show().state(), WindowSlideShow::State::Playing);
        show().Timer1_Timer();
        QCOMPARE(show().state(), WindowSlideShow::State::Idle);
        QCOMPARE(c.Image1->picture(), c.Picture3->picture());
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
        QVERIFY(c.Label9->text().isEmpty());
        QCOMPARE(stateLine(c), kIdle);
        QVERIFY(m_desktop->messages.shown.isEmpty());

        // An empty folder's show ends at its first tick.
        QVERIFY(c.Dir1->setPath(m_desktop->makeFolder(m_folder + QStringLiteral("/Empty"))));
        c.menus.viewmenu->click();
        QCOMPARE(c.Image1->picture(), c.Picture1->picture());
        show().Timer1_Timer();
        QCOMPARE(c.Image1->picture(), c.Picture3->picture());
        QCOMPARE(stateLine(c), kIdle);
    }

    void badVanishedAndFilteredFiles()
    {
        m_desktop->makeFile(m_folder + QStringLiteral("/c.jpg"), QByteArray(300, 'x'));
        Form1Controls &c = start();
        c.menus.Act1->click();
        c.Combo1->setText(QStringLiteral("*.bmp"));
        c.menus.viewmenu->click();
        QCOMPARE(m_form->slides().count, 3);
        show().Timer1_Timer();
        QCOMPARE(c.Label9->text(), QStringLiteral("640 X 480"));
        QVERIFY(QFile::remove(m_b));
        show().Timer1_Timer();
        // A vanished file: the error picture, and nothing of the slide before it.
        QCOMPARE(c.Image1->picture(), c.Picture4->picture());
        QCOMPARE(slideOf(c), "179 X 36|b.bmp");
        QVERIFY(c.Label7->text().isEmpty() && c.Label8->text().isEmpty());
        show().Timer1_Timer();
        QCOMPARE(slideOf(c), "179 X 36|bad.bmp");
        show().Timer1_Timer();
        QCOMPARE(show().state(), WindowSlideShow::State::Idle);
        QVERIFY(m_desktop->messages.shown.isEmpty());
        // Actual Size has its own cursors back after the show.
        QCOMPARE(c.Image1->cursorCode(), 99);
        QCOMPARE(c.Picture5->cursorCode(), 99);
    }

    void menusFollowPauseResumeAndCancel()
    {
        Form1Controls &c = start();
        QCOMPARE(stateLine(c), kIdle);
        c.menus.viewmenu->click();
        QCOMPARE(stateLine(c), kPlaying);
        // The panel stays usable while the rest is locked.
        QVERIFY(c.Picture5->isEnabled() && c.Image1->isEnabled());
        show().Timer1_Timer();
        c.menus.pause1->click();
        QCOMPARE(stateLine(c), kPaused);
        show().Timer1_Timer(); // a tick that was already on its way changes nothing
        QCOMPARE(m_form->slides().index, 2);
        QCOMPARE(c.Label13->text(), QStringLiteral("a.bmp"));
        c.menus.play1->click();
        QCOMPARE(stateLine(c), kPlaying);
        show().Timer1_Timer();
        QCOMPARE(c.Label13->text(), QStringLiteral("b.bmp"));
        c.menus.pause1->click();
        c.menus.stop1->click();
        QCOMPARE(show().state(), WindowSlideShow::State::Idle);
        QCOMPARE(c.Image1->picture(), c.Picture3->picture());
        QVERIFY(c.Label3->text().isEmpty());
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
        QCOMPARE(stateLine(c), kIdle);
        // Cancelled while playing, too.
        c.menus.viewmenu->click();
        c.menus.stop1->click();
        QCOMPARE(stateLine(c), kIdle);
        QCOMPARE(c.Timer1->interval(), 0);
    }

    void runsOnItsTimer()
    {
        Form1Controls &c = start();
        c.Label11->setText(QStringLiteral("300"));
        c.menus.viewmenu->click();
        QVERIFY(c.Timer1->isTicking());
        QTRY_COMPARE(c.Label13->text(), QStringLiteral("b.bmp"));
        QTRY_COMPARE(show().state(), WindowSlideShow::State::Idle);
        QVERIFY(!c.Timer1->isTicking());
    }

    void oneShowAtATime()
    {
        Form1Controls &c = start();
        FullScreenSlideShow &fullScreen = m_form->fullScreenShow();
        fullScreen.fullscreen_Click();
        c.menus.viewmenu->click();
        QCOMPARE(stateLine(c), kIdle);
        fullScreen.Command1_Click();

        c.menus.viewmenu->click();
        fullScreen.fullscreen_Click();
        QCOMPARE(fullScreen.state(), FullScreenSlideShow::State::Idle);
        QVERIFY(!fullScreen.showWindow());
        show().viewmenu_Click(); // starting it again does not start over
        show().Timer1_Timer();
        show().viewmenu_Click();
        QCOMPARE(m_form->slides().index, 2);
    }

    void countsPastSixteenBits()
    {
        QStringList names;
        for (int i = 0; i < 40'000; ++i)
            names.append(QStringLiteral("p%1.bmp").arg(i, 5, 10, QLatin1Char('0')));
        m_desktop->files.listed.insert(m_folder, names);
        Form1Controls &c = start();
        c.menus.viewmenu->click();
        QCOMPARE(m_form->slides().count, 40'000);
        m_form->slides().index = 32'768;
        show().Timer1_Timer();
        QCOMPARE(c.Label13->text(), QStringLiteral("p32767.bmp"));
        QCOMPARE(m_form->slides().index, 32'769);
        m_form->slides().index = 40'000;
        show().Timer1_Timer();
        QCOMPARE(c.Label13->text(), QStringLiteral("p39999.bmp"));
        show().Timer1_Timer();
        QCOMPARE(show().state(), WindowSlideShow::State::Idle);
    }

    void dialogMarksTheSpeedItOpensWith()
    {
        Form1Controls &c = start();
        c.menus.adjustmenu->click();
        Form3 *dialog = m_form->speed().dialog();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Adjust the Speed of Slide Show"));
        QCOMPARE(shownMarkers(*dialog), QStringList{"Medium"});
        QCOMPARE(dialog->markerOf(Speed::Medium)->toolTip(), QStringLiteral("Now is"));
        // The marker sits under its button.
        QVERIFY(dialog->Image3->geometry().left() >= dialog->Command2->geometry().left());
        QVERIFY(dialog->Image3->geometry().right() <= dialog->Command2->geometry().right());
        // A speed chosen elsewhere leaves the open dialog's marker; a new one shows it.
        m_form->speed().slow1_Click();
        c.menus.adjustmenu->click();
        QCOMPARE(m_form->speed().dialog(), dialog);
        QCOMPARE(shownMarkers(*dialog), QStringList{"Medium"});
        dialog->close();
        QTRY_VERIFY(!m_form->speed().dialog());
        c.menus.adjustmenu->click();
        QCOMPARE(shownMarkers(*m_form->speed().dialog()), QStringList{"Slow"});
        QVERIFY(!c.Timer1->isEnabled());
    }

    void dialogButtonSetsTheSpeedAndCloses_data()
    {
        QTest::addColumn<Speed>("speed");
        QTest::addColumn<int>("interval");
        QTest::newRow("fastest") << Speed::Fastest << 300;
        QTest::newRow("fast") << Speed::Fast << 700;
        QTest::newRow("medium, already current") << Speed::Medium << 1500;
        QTest::newRow("slow") << Speed::Slow << 3500;
        QTest::newRow("slowest") << Speed::Slowest << 5500;
    }
    void dialogButtonSetsTheSpeedAndCloses()
    {
        QFETCH(Speed, speed);
        QFETCH(int, interval);
        Form1Controls &c = start();
        c.menus.adjustmenu->click();
        QTest::mouseClick(m_form->speed().dialog()->buttonOf(speed), Qt::LeftButton);
        QCOMPARE(c.Label11->text(), QString::number(interval));
        QCOMPARE(c.Timer1->interval(), interval);
        QVERIFY(!c.Timer1->isEnabled());
        QCOMPARE(m_desktop->messages.shown, Said{speedSaid(speedName(speed))});
        QTRY_VERIFY(!m_form->speed().dialog());
    }

    void pausedShowsTakeTheirMenusSpeedAtOnce()
    {
        Form1Controls &c = start();
        c.menus.viewmenu->click();
        QCOMPARE(c.Timer1->interval(), 1500);
        c.menus.pause1->click();
        c.menus.fastest1->click();
        QVERIFY(c.Label11->text() == "300" && c.Timer1->interval() == 300);
        QVERIFY(!c.Timer1->isEnabled());
        c.menus.fastest1->click();
        QCOMPARE(m_desktop->messages.shown, Said({speedSaid("Fastest"), speedSaid("Fastest")}));
        c.menus.play1->click();
        QVERIFY(c.Timer1->isTicking() && c.Timer1->interval() == 300);
        QCOMPARE(c.Timer2->interval(), 0);

        // The paused full-screen show's option window sets its timer and the next show's.
        c.menus.stop1->click();
        m_desktop->messages.shown.clear();
        c.menus.fullscreen->click();
        FullScreenSlideShow &show = m_form->fullScreenShow();
        QCOMPARE(c.Timer2->interval(), 300); // the speed chosen above
        show.pause();
        show.optionWindow()->slowest1->click();
        QCOMPARE(c.Timer2->interval(), 5500);
        QVERIFY(!c.Timer2->isEnabled());
        QCOMPARE(c.Timer1->interval(), 0);
        QCOMPARE(c.Label11->text(), QStringLiteral("5500"));
        QCOMPARE(m_desktop->messages.shown, Said{speedSaid("Slowest")});
        show.Command1_Click();
        c.menus.viewmenu->click();
        QCOMPARE(c.Timer1->interval(), 5500);
    }

    void coversTheWindowsScreenAndShowsEachSlide()
    {
        m_desktop->screen.geometry = QRect(1920, 0, 1280, 1024); // a second screen
        Form1Controls &c = start(fullScreenFolder());
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
        Form1Controls &c = start(fullScreenFolder());
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
                 "Temp|-|HomePage|-|For Work|-|Personal|-|Future Use");
        QCOMPARE(options->speed1->caption(), QStringLiteral("&Speed..."));
        QCOMPARE(captionsOf(*options->speed1->menu()), "Fastest|-|Fast|-|Medium|-|Slow|-|Slowest");

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
        QVERIFY(c.Timer2->isTicking() && isTopmost(*window));
        QTRY_VERIFY(!show.optionWindow());
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(show.state(), FullScreenSlideShow::State::Paused);
        QVERIFY(!isTopmost(*window) && isTopmost(*show.optionWindow()));
        // Exit ends the program.
        QTest::mouseClick(show.optionWindow()->Command3, Qt::LeftButton);
        QCOMPARE(m_desktop->application.quitCount, 1);
    }

    void cancelClosesBothAndEndClosesTheShow()
    {
        Form1Controls &c = start(fullScreenFolder());
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

QTEST_MAIN(TestSlideShows)
#include "tst_slideshows.moc"
