#include "browse/FileInfoText.h"
#include "browse/Said.h"
#include "show/FullScreenSlideShow.h"
#include "show/WindowSlideShow.h"

#include <QFile>

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

// menus, browser, pause, resume, the paused show's three menus, cancel, timer
const QString kIdle = QStringLiteral("111"
                                     "1111"
                                     "0"
                                     "0"
                                     "000"
                                     "0"
                                     "0");
const QString kPlaying = QStringLiteral("000"
                                        "0000"
                                        "1"
                                        "0"
                                        "000"
                                        "1"
                                        "1");
const QString kPaused = QStringLiteral("000"
                                       "0000"
                                       "0"
                                       "1"
                                       "111"
                                       "1"
                                       "0");

} // namespace

class TestWindowSlideShow : public QObject {
    Q_OBJECT

    std::optional<TestDesktop> m_desktop;
    Form1 *m_form = nullptr;
    QString m_folder, m_a, m_b;

    WindowSlideShow &show() { return m_form->windowShow(); }
    // In list order: a.bmp (640 x 480), bad.bmp (not a picture, 1536 bytes), b.bmp
    // (20 x 10); and notes.txt, which no filter shows.
    Form1Controls &start()
    {
        m_form = &m_desktop->started(m_folder);
        return m_form->controls();
    }

private Q_SLOTS:
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
        QCOMPARE(c.Label9->text(), QStringLiteral("640 X 480"));
        QCOMPARE(c.Label7->text(), sizeText(QFile(m_a).size()));
        QCOMPARE(c.Label8->text(), dateText(QFileInfo(m_a).lastModified()));
        QCOMPARE(m_form->windowTitle(), titleFor(m_a));
        QCOMPARE(c.Label12->text(), m_a);
        QCOMPARE(c.Label13->text(), QStringLiteral("a.bmp"));
        QVERIFY(c.Image1->isVisible());
        show().Timer1_Timer();
        QCOMPARE(c.Label9->text(), QStringLiteral("20 X 10"));
        QCOMPARE(c.Label13->text(), QStringLiteral("b.bmp"));
        show().Timer1_Timer();
        QCOMPARE(c.Image1->picture(), c.Picture4->picture());
        QCOMPARE(c.Label9->text(), QStringLiteral("179 X 36"));
        QCOMPARE(c.Label7->text(), QStringLiteral("2KB"));
        QCOMPARE(c.Label13->text(), QStringLiteral("bad.bmp"));
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
        QCOMPARE(c.Label13->text(), QStringLiteral("b.bmp"));
        QVERIFY(c.Label7->text().isEmpty() && c.Label8->text().isEmpty());
        show().Timer1_Timer();
        QCOMPARE(c.Label13->text(), QStringLiteral("bad.bmp"));
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
};

QTEST_MAIN(TestWindowSlideShow)
#include "tst_windowslideshow.moc"
