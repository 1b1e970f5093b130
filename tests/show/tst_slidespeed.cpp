#include "browse/Said.h"
#include "show/Form3.h"
#include "show/Form7.h"
#include "show/FullScreenSlideShow.h"
#include "show/SlideSpeed.h"

#include <QLabel>
#include <QPushButton>

namespace {

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

} // namespace

class TestSlideSpeed : public QObject {
    Q_OBJECT

    std::optional<TestDesktop> m_desktop;
    Form1 *m_form = nullptr;

    Form1Controls &start()
    {
        m_form = &m_desktop->started(m_desktop->home());
        return m_form->controls();
    }

private Q_SLOTS:
    void init() { m_desktop.emplace(); }
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
        m_desktop->makePicture(m_desktop->home() + QStringLiteral("/a.bmp"), 8, 8, Qt::red);
        Form1Controls &c = start();
        c.menus.viewmenu->click();
        QCOMPARE(c.Timer1->interval(), 1500);
        c.menus.pause1->click();
        c.menus.fastest1->click();
        QCOMPARE(c.Label11->text(), QStringLiteral("300"));
        QCOMPARE(c.Timer1->interval(), 300);
        QVERIFY(!c.Timer1->isEnabled());
        c.menus.fastest1->click();
        QCOMPARE(m_desktop->messages.shown, Said({speedSaid("Fastest"), speedSaid("Fastest")}));
        c.menus.play1->click();
        QVERIFY(c.Timer1->isTicking());
        QCOMPARE(c.Timer1->interval(), 300);
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
};

QTEST_MAIN(TestSlideSpeed)
#include "tst_slidespeed.moc"
