#include "fileops/FavouriteFolders.h"
#include "show/Form6.h"
#include "show/Form7.h"
#include "show/FullScreenSlideShow.h"
#include "show/SlideLookAhead.h"
#include "show/WindowSlideShow.h"
#include "support/GatedPictures.h"
#include "support/TestDesktop.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestSlideLookAhead : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void handsOutOnlyTheFileItReadUnchanged();
    void aSlideReadAheadIsNotReadAgain();
    void aSlideStillBeingReadWaitsOutAPause_data();
    void aSlideStillBeingReadWaitsOutAPause();
};

namespace {

// Waits until the look-ahead has path ready, and takes it.
PictureRef waitFor(SlideLookAhead &lookAhead, const QString &path)
{
    PictureRef picture;
    (void)QTest::qWaitFor([&] { return (picture = lookAhead.take(path)) != nullptr; }, 10000);
    return picture;
}

// Either show, driven as its user drives it.
struct Show {
    std::function<void()> start, tick, pause, goOn, cancel, copyToTemp, chooseSlowest;
    // What the copy commands read: the slide's path and name.
    std::function<QStringList()> copySource;
    IntervalTimer *timer;
    SlideLookAhead *lookAhead;
};

Show showOf(Form1 &form, bool fullScreen)
{
    Form1Controls &c = form.controls();
    const Form1Menus &m = c.menus;
    if (!fullScreen) {
        WindowSlideShow &show = form.windowShow();
        return {[&] { m.viewmenu->click(); },
                [&] { show.Timer1_Timer(); },
                [&] { m.pause1->click(); },
                [&] { m.play1->click(); },
                [&] { m.stop1->click(); },
                [&] { m.temp2->click(); },
                [&] { m.slowest1->click(); },
                [&] {
                    return QStringList{c.Label12->text(), c.Label13->text()};
                },
                c.Timer1,
                &show.lookAhead()};
    }
    FullScreenSlideShow &show = form.fullScreenShow();
    return {[&] { show.fullscreen_Click(); },
            [&] { show.Timer2_Timer(); },
            [&] { show.pause(); },
            [&] { show.optionWindow()->Command2->click(); },
            [&] { show.optionWindow()->Command1->click(); },
            [&] { show.optionWindow()->temp1->click(); },
            [&] { show.optionWindow()->slowest1->click(); },
            [&] {
                const Form6 *window = show.showWindow();
                return window ? QStringList{window->Label1->text(), window->Label4->text()}
                              : QStringList();
            },
            c.Timer2,
            &show.lookAhead()};
}

} // namespace

void TestSlideLookAhead::handsOutOnlyTheFileItReadUnchanged()
{
    TestDesktop desktop;
    const QString a =
        desktop.makePicture(desktop.home() + QStringLiteral("/a.bmp"), 30, 20, Qt::red);
    const QString b =
        desktop.makePicture(desktop.home() + QStringLiteral("/b.bmp"), 8, 8, Qt::blue);
    PictureCache cache(desktop.decodePool, desktop.pictures, desktop.files);
    SlideLookAhead lookAhead(cache, desktop.pictures, desktop.files);
    lookAhead.prepare({a});
    QVERIFY(!lookAhead.take(b));
    const PictureRef picture = waitFor(lookAhead, a);
    QVERIFY(picture);
    QCOMPARE(picture->naturalSize(), QSize(30, 20));
    QVERIFY(!lookAhead.take(a)); // handed out once

    // A newer request replaces the older one.
    lookAhead.prepare({a});
    lookAhead.prepare({b}, QSize(1000, 800));
    const PictureRef newer = waitFor(lookAhead, b);
    QVERIFY(newer);
    QCOMPARE(newer->naturalSize(), QSize(8, 8));
    QVERIFY(!lookAhead.take(a));

    // Rewritten since it was read: dropped.
    lookAhead.prepare({a});
    QTRY_VERIFY(!lookAhead.isReading());
    desktop.makePicture(a, 60, 50, Qt::red);
    QVERIFY(!lookAhead.take(a));

    lookAhead.prepare({a});
    lookAhead.clear();
    QVERIFY(!lookAhead.isReading());
    QVERIFY(!lookAhead.take(a));

    cache.setEnabled(false);
    lookAhead.prepare({a});
    QVERIFY(!lookAhead.isReading());
    QVERIFY(!lookAhead.take(a));
}

void TestSlideLookAhead::aSlideReadAheadIsNotReadAgain()
{
    TestDesktop desktop;
    GatedPictures gated;
    const QString bad = desktop.makeFile(desktop.home() + QStringLiteral("/bad.jpg"),
                                         QByteArray("\xFF\xD8\xFF\xE0 not a picture"));
    const QString good =
        desktop.makePicture(desktop.home() + QStringLiteral("/good.bmp"), 30, 20, Qt::red);
    const QString other =
        desktop.makePicture(desktop.home() + QStringLiteral("/other.bmp"), 8, 8, Qt::blue);
    PictureCache cache(desktop.decodePool, gated, desktop.files);
    SlideLookAhead lookAhead(cache, gated, desktop.files);
    lookAhead.prepare({bad, good}, QSize(640, 480));
    QTRY_VERIFY(!lookAhead.isReading());

    // Found to be no picture ahead, and unchanged since: the tick does not read it again.
    QVERIFY(!lookAhead.slide(bad, QSize(640, 480)));
    QVERIFY(lookAhead.slide(good, QSize(640, 480)));
    QVERIFY(gated.readOnUserThread().isEmpty());
    // Nothing read ahead: read on the tick.
    QVERIFY(lookAhead.slide(other, QSize(640, 480)));
    QCOMPARE(gated.readOnUserThread(), QStringList{other});

    // A slide handed out is not read again when the next decode ends.
    gated.hold(other);
    lookAhead.prepare({good, other}, QSize(640, 480));
    QVERIFY(waitFor(lookAhead, good));
    gated.openAll();
    QTRY_COMPARE(lookAhead.decodesUnderWay(), 0);
    QCOMPARE(gated.loadsOf(good), 2); // once above, once here
}

void TestSlideLookAhead::aSlideStillBeingReadWaitsOutAPause_data()
{
    QTest::addColumn<bool>("fullScreen");
    QTest::newRow("window") << false;
    QTest::newRow("full screen") << true;
}

void TestSlideLookAhead::aSlideStillBeingReadWaitsOutAPause()
{
    QFETCH(bool, fullScreen);
    TestDesktop desktop;
    GatedPictures gated;
    desktop.pictureSource = &gated;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/Large"));
    const QString small = desktop.makePicture(folder + QStringLiteral("/a.bmp"), 40, 30, Qt::blue);
    const QString large = desktop.makePicture(folder + QStringLiteral("/b.bmp"), 700, 600,
                                              Qt::green); // over 1 MB
    const QStringList smallSlide{small, QStringLiteral("a.bmp")};
    const QStringList largeSlide{large, QStringLiteral("b.bmp")};
    Form1 &form = desktop.started(folder);
    Form1Controls &c = form.controls();
    const Show show = showOf(form, fullScreen);
    // Two ticks: the small slide shows, the large one is still being read.
    const auto startAndAwaitLarge = [&] {
        gated.hold(large);
        show.start();
        show.tick();
        show.tick();
        return show.lookAhead->isAwaiting() && show.copySource() == smallSlide;
    };

    // A tick while the large slide is read waits with it: the show neither skips it
    // nor ends before it. Read while paused, it changes nothing the user sees or copies.
    QVERIFY(startAndAwaitLarge());
    show.tick();
    QCOMPARE(form.slides().index, 3);
    QVERIFY(form.isSlideShowActive());
    show.pause();
    show.chooseSlowest();
    QCOMPARE(show.timer->interval(), 5500);
    gated.openAll();
    QTRY_COMPARE(show.lookAhead->decodesUnderWay(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(show.copySource(), smallSlide);
    QVERIFY(!show.timer->isTicking());
    show.copyToTemp();
    const QString temp = FavouriteFolders::folderOf(FavouriteFolders::Category::Temp);
    QVERIFY(QFile::exists(temp + QStringLiteral("/a.bmp")));
    QVERIFY(!QFile::exists(temp + QStringLiteral("/b.bmp")));
    // It is the first tick's after the show goes on, once; the show ends a tick later.
    show.goOn();
    QCOMPARE(show.copySource(), smallSlide);
    show.tick();
    QCOMPARE(show.copySource(), largeSlide);
    show.tick();
    QVERIFY(!form.isSlideShowActive());

    // Cancelled meanwhile, it never shows.
    QVERIFY(startAndAwaitLarge());
    show.pause();
    show.cancel();
    gated.openAll();
    QTRY_COMPARE(show.lookAhead->decodesUnderWay(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(c.Image1->picture(), c.Picture3->picture());
    QVERIFY(!show.copySource().contains(large));

    // Playing, it shows as soon as it is read.
    QVERIFY(startAndAwaitLarge());
    gated.openAll();
    QTRY_COMPARE(show.copySource(), largeSlide);
    show.tick();
    QVERIFY(!form.isSlideShowActive());
    QVERIFY(!gated.readOnUserThread().contains(large));
}

QTEST_MAIN(TestSlideLookAhead)
#include "tst_slidelookahead.moc"
