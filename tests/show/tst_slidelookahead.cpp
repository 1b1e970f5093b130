#include "browse/Said.h"
#include "fileops/FavouriteFolders.h"
#include "show/Form6.h"
#include "show/Form7.h"
#include "show/FullScreenSlideShow.h"
#include "show/SlideLookAhead.h"
#include "show/WindowSlideShow.h"
#include "support/GatedPictures.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

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

class TestSlideLookAhead : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void handsOutOnlyTheFileItReadUnchangedAndReadsNoSlideTwice()
    {
        TestDesktop desktop;
        GatedPictures gated;
        const QString home = desktop.home();
        const QString a = desktop.makePicture(home + u"/a.bmp"_s, 30, 20, Qt::red);
        const QString b = desktop.makePicture(home + u"/b.bmp"_s, 8, 8, Qt::blue);
        const QString bad =
            desktop.makeFile(home + u"/bad.jpg"_s, QByteArray("\xFF\xD8\xFF\xE0 not a picture"));
        PictureCache cache(desktop.decodePool, gated, desktop.files);
        SlideLookAhead lookAhead(cache, gated, desktop.files);
        lookAhead.prepare({a});
        QVERIFY(!lookAhead.take(b));
        QCOMPARE(waitFor(lookAhead, a)->naturalSize(), QSize(30, 20));
        QVERIFY(!lookAhead.take(a)); // handed out once
        // A newer request replaces the older one.
        lookAhead.prepare({a});
        lookAhead.prepare({b}, QSize(1000, 800));
        QCOMPARE(waitFor(lookAhead, b)->naturalSize(), QSize(8, 8));
        QVERIFY(!lookAhead.take(a));

        // Found to be no picture ahead, and unchanged since: the tick does not read it again.
        const QSize screen(640, 480);
        lookAhead.prepare({bad, a}, screen);
        QTRY_VERIFY(!lookAhead.isReading() && lookAhead.decodesUnderWay() == 0);
        QVERIFY(!lookAhead.slide(bad, screen));
        QVERIFY(lookAhead.slide(a, screen));
        QVERIFY(gated.readOnUserThread().isEmpty());
        // Nothing read ahead: read on the tick.
        QVERIFY(lookAhead.slide(b, screen));
        QCOMPARE(gated.readOnUserThread(), QStringList{b});
        // A slide handed out is not read again when the next decode ends.
        gated.hold(b);
        const int loads = gated.loadsOf(a);
        lookAhead.prepare({a, b}, screen);
        QVERIFY(waitFor(lookAhead, a));
        gated.openAll();
        QTRY_COMPARE(lookAhead.decodesUnderWay(), 0);
        QCOMPARE(gated.loadsOf(a), loads + 1);

        // Rewritten since it was read, cleared, or switched off: nothing is handed out.
        lookAhead.prepare({a});
        QTRY_VERIFY(!lookAhead.isReading());
        desktop.makePicture(a, 60, 50, Qt::red);
        QVERIFY(!lookAhead.take(a));
        lookAhead.prepare({a});
        lookAhead.clear();
        QVERIFY(!lookAhead.isReading() && !lookAhead.take(a));
        cache.setEnabled(false);
        lookAhead.prepare({a});
        QVERIFY(!lookAhead.isReading() && !lookAhead.take(a));
    }

    void aSlideStillBeingReadWaitsOutAPause_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::newRow("window") << false;
        QTest::newRow("full screen") << true;
    }

    void aSlideStillBeingReadWaitsOutAPause()
    {
        QFETCH(bool, fullScreen);
        TestDesktop desktop;
        GatedPictures gated;
        desktop.pictureSource = &gated;
        const QString folder = desktop.makeFolder(desktop.home() + u"/Large"_s);
        const QString small = desktop.makePicture(folder + u"/a.bmp"_s, 40, 30, Qt::blue);
        const QString large = desktop.makePicture(folder + u"/b.bmp"_s, 700, 600,
                                                  Qt::green); // over 1 MB
        const QStringList smallSlide{small, u"a.bmp"_s};
        const QStringList largeSlide{large, u"b.bmp"_s};
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
        QVERIFY(QFile::exists(temp + u"/a.bmp"_s));
        QVERIFY(!QFile::exists(temp + u"/b.bmp"_s));
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
};

QTEST_MAIN(TestSlideLookAhead)
#include "tst_slidelookahead.moc"
