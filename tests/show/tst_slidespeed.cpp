#include "show/Form3.h"
#include "show/Form7.h"
#include "show/FullScreenSlideShow.h"
#include "show/SlideSpeed.h"
#include "show/WindowSlideShow.h"
#include "support/TestDesktop.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestSlideSpeed : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dialogMarksTheSpeedItOpensWith();
    void dialogButtonSetsTheSpeedAndCloses_data();
    void dialogButtonSetsTheSpeedAndCloses();
    void pausedShowsTakeTheirMenusSpeedAtOnce();
};

namespace {

RecordedMessage said(const char *speed)
{
    return {QStringLiteral("The Speed of Slide Show is %1 Now").arg(QLatin1String(speed)), 0,
            QStringLiteral("Quorvel")};
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

void TestSlideSpeed::dialogMarksTheSpeedItOpensWith()
{
    TestDesktop desktop;
    Form1 &form = desktop.started(desktop.home());
    Form1Controls &c = form.controls();
    c.menus.adjustmenu->click();
    Form3 *dialog = form.speed().dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Adjust the Speed of Slide Show"));
    QCOMPARE(shownMarkers(*dialog), QStringList{QStringLiteral("Medium")});
    QCOMPARE(dialog->markerOf(Speed::Medium)->toolTip(), QStringLiteral("Now is"));
    // The marker sits under its button.
    QVERIFY(dialog->Image3->geometry().left() >= dialog->Command2->geometry().left());
    QVERIFY(dialog->Image3->geometry().right() <= dialog->Command2->geometry().right());

    // A speed chosen elsewhere leaves the open dialog's marker; a new one shows it.
    form.speed().slow1_Click();
    c.menus.adjustmenu->click();
    QCOMPARE(form.speed().dialog(), dialog);
    QCOMPARE(shownMarkers(*dialog), QStringList{QStringLiteral("Medium")});
    dialog->close();
    QTRY_VERIFY(!form.speed().dialog());
    c.menus.adjustmenu->click();
    QCOMPARE(shownMarkers(*form.speed().dialog()), QStringList{QStringLiteral("Slow")});
    QVERIFY(!c.Timer1->isEnabled());
}

void TestSlideSpeed::dialogButtonSetsTheSpeedAndCloses_data()
{
    QTest::addColumn<Speed>("speed");
    QTest::addColumn<QString>("label11");
    QTest::newRow("fastest") << Speed::Fastest << "300";
    QTest::newRow("fast") << Speed::Fast << "700";
    QTest::newRow("medium, already current") << Speed::Medium << "1500";
    QTest::newRow("slow") << Speed::Slow << "3500";
    QTest::newRow("slowest") << Speed::Slowest << "5500";
}

void TestSlideSpeed::dialogButtonSetsTheSpeedAndCloses()
{
    QFETCH(Speed, speed);
    QFETCH(QString, label11);
    TestDesktop desktop;
    Form1 &form = desktop.started(desktop.home());
    Form1Controls &c = form.controls();
    c.menus.adjustmenu->click();
    QTest::mouseClick(form.speed().dialog()->buttonOf(speed), Qt::LeftButton);
    QCOMPARE(c.Label11->text(), label11);
    QCOMPARE(c.Timer1->interval(), label11.toInt());
    QVERIFY(!c.Timer1->isEnabled());
    QCOMPARE(desktop.messages.shown, QList<RecordedMessage>{said(qPrintable(speedName(speed)))});
    QTRY_VERIFY(!form.speed().dialog());
}

void TestSlideSpeed::pausedShowsTakeTheirMenusSpeedAtOnce()
{
    TestDesktop desktop;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/P"));
    desktop.makePicture(folder + QStringLiteral("/a.bmp"), 8, 8, Qt::red);
    Form1 &form = desktop.started(folder);
    Form1Controls &c = form.controls();
    c.menus.viewmenu->click();
    QCOMPARE(c.Timer1->interval(), 1500);
    c.menus.pause1->click();
    c.menus.fastest1->click();
    QCOMPARE(c.Label11->text(), QStringLiteral("300"));
    QCOMPARE(c.Timer1->interval(), 300);
    QVERIFY(!c.Timer1->isEnabled());
    c.menus.fastest1->click();
    QCOMPARE(desktop.messages.shown, (QList<RecordedMessage>{said("Fastest"), said("Fastest")}));
    c.menus.play1->click();
    QVERIFY(c.Timer1->isTicking());
    QCOMPARE(c.Timer1->interval(), 300);
    QCOMPARE(c.Timer2->interval(), 0);

    // The paused full-screen show's option window sets its timer and the next show's.
    c.menus.stop1->click();
    desktop.messages.shown.clear();
    c.menus.fullscreen->click();
    FullScreenSlideShow &show = form.fullScreenShow();
    QCOMPARE(c.Timer2->interval(), 300); // the speed chosen above
    show.pause();
    QVERIFY(show.optionWindow());
    show.optionWindow()->slowest1->click();
    QCOMPARE(c.Timer2->interval(), 5500);
    QVERIFY(!c.Timer2->isEnabled());
    QCOMPARE(c.Timer1->interval(), 0);
    QCOMPARE(c.Label11->text(), QStringLiteral("5500"));
    QCOMPARE(desktop.messages.shown, QList<RecordedMessage>{said("Slowest")});
    show.Command1_Click();

    c.menus.viewmenu->click();
    QCOMPARE(c.Timer1->interval(), 5500);
}

QTEST_MAIN(TestSlideSpeed)
#include "tst_slidespeed.moc"
