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
        line += on ? u'1' : u'0';
    return line;
}

// Three menus, four browser controls; pause, resume, three paused menus, cancel; the timer.
const QString kIdle = u"11111110000000"_s;
const QString kPlaying = u"00000001000011"_s;
const QString kPaused = u"00000000111110"_s;

RecordedMessage speedSaid(const QString &speed)
{
    return said(u"The Speed of Slide Show is %1 Now"_s.arg(speed));
}

// Which markers of the dialog are shown, by speed name.
QStringList shownMarkers(const Form3 &dialog)
{
    QStringList shown;
    for (const Speed speed : kAllSpeeds)
        if (!dialog.markerOf(speed)->isHidden())
            shown.append(speedName(speed));
    return shown;
}

QString captionsOf(const QMenu &menu)
{
    QStringList captions;
    for (const QAction *action : menu.actions())
        captions.append(action->isSeparator() ? u"-"_s : action->text());
    return captions.join(u'|');
}

} // namespace

class TestSlideShows : public FeatureTest {
    Q_OBJECT

    QString m_a, m_show, m_wide;

    WindowSlideShow &show() { return m_form->windowShow(); }
    // Ended or cancelled: the end picture, no file's information, the folder, all unlocked.
    void verifyEnded(Form1Controls &c, const QString &folder)
    {
        QCOMPARE(c.Image1->picture(), c.Picture3->picture());
        QCOMPARE(textsOf(c.Label3, c.Label7, c.Label8, c.Label9), QStringList(4));
        QVERIFY(m_form->windowTitle() == titleFor(folder) && stateLine(c) == kIdle);
    }

private Q_SLOTS:
    // Pictures: a.bmp, b.bmp, bad.bmp, notes.txt (in no filter); Show: bad.jpg, small, wide.
    void init()
    {
        makeDesktop(u"Pictures"_s);
        m_a = m_desktop->makePicture(m_folder + u"/a.bmp"_s, 640, 480, Qt::red);
        m_desktop->makeFile(m_folder + u"/bad.bmp"_s, QByteArray(1536, 'x'));
        m_desktop->makePicture(m_folder + u"/b.bmp"_s, 20, 10, Qt::blue);
        m_desktop->makeFile(m_folder + u"/notes.txt"_s, "text");
        m_show = m_desktop->makeFolder(m_desktop->home() + u"/Show"_s);
        m_desktop->makeFile(m_show + u"/bad.jpg"_s, QByteArray(500, 'x'));
        m_desktop->makePicture(m_show + u"/small.bmp"_s, 40, 30, Qt::green);
        m_wide = m_desktop->makePicture(m_show + u"/wide.bmp"_s, 2560, 800, Qt::yellow);
    }

    void playsTheFiltersSlidesThenEndsOnTheFolderAndAnEmptyFolderAtOnce()
    {
        m_desktop->makeFile(m_folder + u"/c.jpg"_s, QByteArray(300, 'x'));
        const QString vanishing = m_desktop->makePicture(m_folder + u"/c.bmp"_s, 5, 5, Qt::red);
        Form1Controls &c = start();
        c.Combo1->setText(u"*.bmp"_s);
        c.File1->selectFile(u"a.bmp"_s);
        c.menus.viewmenu->click();
        QVERIFY(m_form->slides().count == 4 && c.Image1->picture() == c.Picture1->picture());
        QVERIFY(m_form->windowTitle() == titleFor(m_folder) &&
                textsOf(c.Label3, c.Label7) == QStringList(2));

        show().Timer1_Timer();
        QCOMPARE(c.Image1->width(), 449.f); // Auto-Fit shrinks it into the panel
        QCOMPARE(textsOf(c.Label9, c.Label13, c.Label7, c.Label8, c.Label12),
                 (QStringList{"640 X 480", "a.bmp", sizeText(QFile(m_a).size()),
                              dateText(QFileInfo(m_a).lastModified()), m_a}));
        QVERIFY(m_form->windowTitle() == titleFor(m_a) && c.Image1->isVisible());
        show().Timer1_Timer();
        QCOMPARE(textsOf(c.Label9, c.Label13), (QStringList{"20 X 10", "b.bmp"}));
        show().Timer1_Timer();
        QCOMPARE(c.Image1->picture(), c.Picture4->picture());
        QCOMPARE(textsOf(c.Label9, c.Label13, c.Label7),
                 (QStringList{"179 X 36", "bad.bmp", "2KB"}));
        // A vanished file: the error picture, and nothing of the slide before it.
        QVERIFY(QFile::remove(vanishing));
        show().Timer1_Timer();
        QCOMPARE(c.Image1->picture(), c.Picture4->picture());
        QCOMPARE(textsOf(c.Label9, c.Label13, c.Label7, c.Label8),
                 (QStringList{"179 X 36", "c.bmp", "", ""}));
        QCOMPARE(show().state(), WindowSlideShow::State::Playing);
        show().Timer1_Timer();
        QCOMPARE(show().state(), WindowSlideShow::State::Idle);
        verifyEnded(c, m_folder);
        QVERIFY(shown().isEmpty());

        QVERIFY(c.Dir1->setPath(m_desktop->makeFolder(m_folder + u"/Empty"_s)));
        c.menus.viewmenu->click();
        QCOMPARE(c.Image1->picture(), c.Picture1->picture());
        show().Timer1_Timer();
        verifyEnded(c, m_folder + u"/Empty"_s);
    }

    void menusFollowPauseResumeCancelAndTheTimer()
    {
        Form1Controls &c = start();
        c.menus.Act1->click();
        QCOMPARE(stateLine(c), kIdle);
        c.menus.viewmenu->click();
        QCOMPARE(stateLine(c), kPlaying);
        // The panel stays usable while the rest is locked.
        QVERIFY(c.Picture5->isEnabled() && c.Image1->isEnabled());
        show().Timer1_Timer();
        c.menus.pause1->click();
        QCOMPARE(stateLine(c), kPaused);
        show().Timer1_Timer(); // a tick that was already on its way changes nothing
        QVERIFY(m_form->slides().index == 2 && c.Label13->text() == "a.bmp");
        c.menus.play1->click();
        QCOMPARE(stateLine(c), kPlaying);
        show().Timer1_Timer();
        QCOMPARE(c.Label13->text(), u"b.bmp"_s);
        c.menus.pause1->click();
        c.menus.stop1->click();
        QCOMPARE(show().state(), WindowSlideShow::State::Idle);
        verifyEnded(c, m_folder);
        // Cancelled while playing, too.
        c.menus.viewmenu->click();
        c.menus.stop1->click();
        QVERIFY(stateLine(c) == kIdle && c.Timer1->interval() == 0);
        // Actual Size has its own cursors back after the show.
        QVERIFY(c.Image1->cursorCode() == 99 && c.Picture5->cursorCode() == 99);

        c.Label11->setText(u"300"_s);
        c.menus.viewmenu->click();
        QVERIFY(c.Timer1->isTicking());
        QTRY_COMPARE(c.Label13->text(), u"b.bmp"_s);
        QTRY_COMPARE(show().state(), WindowSlideShow::State::Idle);
        QVERIFY(!c.Timer1->isTicking());

        // One show at a time.
        FullScreenSlideShow &fullScreen = m_form->fullScreenShow();
        fullScreen.fullscreen_Click();
        c.menus.viewmenu->click();
        QCOMPARE(stateLine(c), kIdle);
        fullScreen.Command1_Click();
        c.menus.viewmenu->click();
        fullScreen.fullscreen_Click();
        QVERIFY(fullScreen.state() == FullScreenSlideShow::State::Idle && !fullScreen.showWindow());
        show().viewmenu_Click(); // starting it again does not start over
        show().Timer1_Timer();
        show().viewmenu_Click();
        QCOMPARE(m_form->slides().index, 2);
    }

    void countsPastSixteenBits()
    {
        QStringList names;
        for (int i = 0; i < 40'000; ++i)
            names.append(u"p%1.bmp"_s.arg(i, 5, 10, QChar(u'0')));
        m_desktop->files.listed.insert(m_folder, names);
        Form1Controls &c = start();
        c.menus.viewmenu->click();
        QCOMPARE(m_form->slides().count, 40'000);
        for (const int index : {32'768, 40'000}) {
            m_form->slides().index = index;
            show().Timer1_Timer();
            QCOMPARE(c.Label13->text(), u"p%1.bmp"_s.arg(index - 1, 5, 10, QChar(u'0')));
            QCOMPARE(m_form->slides().index, index + 1);
        }
        show().Timer1_Timer();
        QCOMPARE(show().state(), WindowSlideShow::State::Idle);
    }

    void dialogMarksTheSpeedItsButtonsSetItAndPausedShowsTakeItAtOnce()
    {
        Form1Controls &c = start();
        c.menus.adjustmenu->click();
        Form3 *dialog = m_form->speed().dialog();
        QVERIFY(dialog->windowTitle() == "Adjust the Speed of Slide Show" &&
                dialog->markerOf(Speed::Medium)->toolTip() == "Now is");
        QCOMPARE(shownMarkers(*dialog), QStringList{"Medium"});
        QVERIFY(dialog->Image3->geometry().left() >= dialog->Command2->geometry().left() &&
                dialog->Image3->geometry().right() <= dialog->Command2->geometry().right());
        // A speed chosen elsewhere leaves the open dialog's marker; a new dialog shows it.
        m_form->speed().slow1_Click();
        c.menus.adjustmenu->click();
        QVERIFY(m_form->speed().dialog() == dialog &&
                shownMarkers(*dialog) == QStringList{"Medium"});
        dialog->close();
        QTRY_VERIFY(!m_form->speed().dialog());
        QCOMPARE(told(), Said{speedSaid("Slow")});
        // Each button sets its speed, the current one too, and closes the dialog.
        QString current = u"Slow"_s;
        const std::pair<Speed, int> speeds[] = {
            {Speed::Slow, 3500},    {Speed::Fastest, 300}, {Speed::Fast, 700},
            {Speed::Slowest, 5500}, {Speed::Medium, 1500},
        };
        for (const auto &[speed, interval] : speeds) {
            c.menus.adjustmenu->click();
            QCOMPARE(shownMarkers(*m_form->speed().dialog()), QStringList{current});
            QTest::mouseClick(m_form->speed().dialog()->buttonOf(speed), Qt::LeftButton);
            QVERIFY(c.Label11->text() == QString::number(interval) &&
                    c.Timer1->interval() == interval && !c.Timer1->isEnabled());
            QCOMPARE(told(), Said{speedSaid(current = speedName(speed))});
            QTRY_VERIFY(!m_form->speed().dialog());
        }

        // A paused show takes its menu's speed at once.
        c.menus.viewmenu->click();
        QCOMPARE(c.Timer1->interval(), 1500);
        c.menus.pause1->click();
        c.menus.fastest1->click();
        QVERIFY(c.Label11->text() == "300" && c.Timer1->interval() == 300 &&
                !c.Timer1->isEnabled());
        c.menus.fastest1->click();
        QCOMPARE(shown(), Said({speedSaid("Fastest"), speedSaid("Fastest")}));
        c.menus.play1->click();
        QVERIFY(c.Timer1->isTicking() && c.Timer1->interval() == 300 && c.Timer2->interval() == 0);

        // The paused full-screen show's option window sets its timer and the next show's.
        c.menus.stop1->click();
        told();
        c.menus.fullscreen->click();
        FullScreenSlideShow &show = m_form->fullScreenShow();
        QCOMPARE(c.Timer2->interval(), 300); // the speed chosen above
        show.pause();
        show.optionWindow()->slowest1->click();
        QVERIFY(c.Timer2->interval() == 5500 && !c.Timer2->isEnabled() &&
                c.Timer1->interval() == 0 && c.Label11->text() == "5500");
        QCOMPARE(shown(), Said{speedSaid("Slowest")});
        show.Command1_Click();
        c.menus.viewmenu->click();
        QCOMPARE(c.Timer1->interval(), 5500);
    }

    void coversTheWindowsScreenAndShowsEachSlide()
    {
        m_desktop->screen.geometry = QRect(1920, 0, 1280, 1024); // a second screen
        Form1Controls &c = start(m_folder = m_show);
        c.menus.fullscreen->click();
        FullScreenSlideShow &show = m_form->fullScreenShow();
        Form6 *window = show.showWindow();
        QCOMPARE(window->geometry(), m_desktop->screen.geometry);
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint) && !isTopmost(*window));
        QVERIFY(c.Timer2->isEnabled() && c.Timer2->interval() == 1500);
        // The main window stays usable behind it.
        QVERIFY(c.menus.optionmenu->isEnabled() && c.File1->isEnabled());

        // A file that cannot be shown: the error picture, fitted and centred, and no message.
        show.Timer2_Timer();
        QCOMPARE(window->Image1->picture(), c.Picture4->picture());
        QCOMPARE(window->Image1->rect(), QRectF(640 - 89.5, 512 - 18, 179, 36));
        QCOMPARE(textsOf(window->Label3, window->Label4), (QStringList{"500bytes", "bad.jpg"}));
        QVERIFY(m_form->slides().index == 2 && shown().isEmpty());
        show.Timer2_Timer();
        QVERIFY(window->Image1->rect() == QRectF(620, 497, 40, 30) &&
                window->Label2->text() == "40 X 30");
        show.Timer2_Timer();
        QVERIFY(window->Image1->rect() == QRectF(0, 312, 1280, 400) && window->Image1->stretch());
        QCOMPARE(textsOf(window->Label1, window->Label2, window->Label4),
                 (QStringList{m_wide, "2560 X 800", "wide.bmp"}));
        QVERIFY(window->Label3->text().endsWith(u"KB"_s) && window->Label4->isHidden() &&
                !window->Label2->isHidden());
        QCOMPARE(window->Label1->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        // The main window is left alone by the ticks.
        QVERIFY(m_form->windowTitle() == titleFor(m_folder) && c.Label13->text().isEmpty());
    }

    void clickOrEscapePausesWithTheOptionWindowOnTopAndContinuousPlaysOnTop()
    {
        Form1Controls &c = start(m_folder = m_show);
        FullScreenSlideShow &show = m_form->fullScreenShow();
        show.fullscreen_Click();
        show.Timer2_Timer();
        Form6 *window = show.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(window->Picture1, Qt::LeftButton, {}, QPoint(5, 300)); // the black area
        QVERIFY(show.state() == FullScreenSlideShow::State::Paused && !c.Timer2->isEnabled() &&
                m_form->slides().index == 2);
        Form7 *options = show.optionWindow();
        QVERIFY(options && options->isVisible() && isTopmost(*options));
        QCOMPARE(options->copy1->caption(), u"C&opy -> VozeviZire"_s);
        QCOMPARE(captionsOf(*options->copy1->menu()),
                 "Temp|-|HomePage|-|For Work|-|Personal|-|Future Use");
        QCOMPARE(options->speed1->caption(), u"&Speed..."_s);
        QCOMPARE(captionsOf(*options->speed1->menu()), "Fastest|-|Fast|-|Medium|-|Slow|-|Slowest");

        // The picture, Esc and a caption while paused: the same option window, nothing else.
        QTest::mouseClick(window->Picture1, Qt::LeftButton, {}, QPoint(512, 384));
        QTest::keyClick(window, Qt::Key_Escape);
        QTest::mouseClick(window->Label1, Qt::LeftButton);
        QVERIFY(show.optionWindow() == options &&
                show.state() == FullScreenSlideShow::State::Paused && m_form->slides().index == 2);

        // Continuous plays on on top; a later pause lets it down under the option window.
        QTest::mouseClick(options->Command2, Qt::LeftButton);
        QVERIFY(show.state() == FullScreenSlideShow::State::Playing && c.Timer2->isTicking() &&
                isTopmost(*window));
        QTRY_VERIFY(!show.optionWindow());
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(show.state() == FullScreenSlideShow::State::Paused && !isTopmost(*window) &&
                isTopmost(*show.optionWindow()));
        // Exit ends the program.
        QTest::mouseClick(show.optionWindow()->Command3, Qt::LeftButton);
        QCOMPARE(m_desktop->application.quitCount, 1);
    }

    void cancelClosesBothAndEndClosesTheShow()
    {
        Form1Controls &c = start(m_folder = m_show);
        c.File1->selectFile(u"small.bmp"_s);
        QVERIFY(!c.Label7->text().isEmpty());
        FullScreenSlideShow &show = m_form->fullScreenShow();
        show.fullscreen_Click();
        show.Timer2_Timer();
        show.pause();
        QTest::mouseClick(show.optionWindow()->Command1, Qt::LeftButton);
        QCOMPARE(show.state(), FullScreenSlideShow::State::Idle);
        QTRY_VERIFY(!show.optionWindow() && !show.showWindow());
        verifyEnded(c, m_folder);
        QVERIFY(!c.Timer2->isEnabled() && c.Timer2->interval() == 0 && c.Label13->text().isEmpty());

        // Played to the end: the window closes by itself one tick after the last slide.
        show.fullscreen_Click();
        for (int tick = 0; tick < 3; ++tick)
            show.Timer2_Timer();
        QVERIFY(show.showWindow());
        show.Timer2_Timer();
        QTRY_VERIFY(!show.showWindow());
        QCOMPARE(show.state(), FullScreenSlideShow::State::Idle);
        verifyEnded(c, m_folder);
        QCOMPARE(c.Timer2->interval(), 0);
        // A window show may start now.
        c.menus.viewmenu->click();
        QCOMPARE(m_form->windowShow().state(), WindowSlideShow::State::Playing);
    }
};

QTEST_MAIN(TestSlideShows)
#include "tst_slideshows.moc"
