#include "browse/Said.h"
#include "fileops/FavouriteFolders.h"
#include "show/Form6.h"
#include "show/Form7.h"
#include "show/FullScreenSlideShow.h"
#include "show/SlideLookAhead.h"
#include "show/WindowSlideShow.h"
#include "support/GatedPictures.h"
#include "support/TestFiles.h"

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
    Form1 &form;
    bool fullScreen;

    const Form1Controls &c() const { return form.controls(); }
    FullScreenSlideShow &full() const { return form.fullScreenShow(); }
    Form7 &options() const { return *full().optionWindow(); }
    void start() const { fullScreen ? full().fullscreen_Click() : c().menus.viewmenu->click(); }
    void tick() const { fullScreen ? full().Timer2_Timer() : form.windowShow().Timer1_Timer(); }
    void pause() const { fullScreen ? full().pause() : c().menus.pause1->click(); }
    void goOn() const { fullScreen ? options().Command2->click() : c().menus.play1->click(); }
    void cancel() const { fullScreen ? options().Command1->click() : c().menus.stop1->click(); }
    void copyToTemp() const { fullScreen ? options().temp1->click() : c().menus.temp2->click(); }
    void slowest() const { fullScreen ? options().slowest1->click() : c().menus.slowest1->click(); }
    // What the copy commands read: the slide's path and name.
    QStringList copySource() const
    {
        const Form6 *window = full().showWindow();
        return !fullScreen ? textsOf(c().Label12, c().Label13)
               : window    ? textsOf(window->Label1, window->Label4)
                           : QStringList();
    }
    IntervalTimer *timer() const { return fullScreen ? c().Timer2 : c().Timer1; }
    SlideLookAhead &lookAhead() const
    {
        return fullScreen ? full().lookAhead() : form.windowShow().lookAhead();
    }
};

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
        QVERIFY(!lookAhead.take(b) && waitFor(lookAhead, a)->naturalSize() == QSize(30, 20));
        QVERIFY(!lookAhead.take(a)); // handed out once
        // A newer request replaces the older one.
        lookAhead.prepare({a});
        lookAhead.prepare({b}, QSize(1000, 800));
        QVERIFY(waitFor(lookAhead, b)->naturalSize() == QSize(8, 8) && !lookAhead.take(a));

        // Found to be no picture ahead, and unchanged since: the tick does not read it again.
        const QSize screen(640, 480);
        lookAhead.prepare({bad, a}, screen);
        QTRY_VERIFY(!lookAhead.isReading() && lookAhead.decodesUnderWay() == 0);
        QVERIFY(!lookAhead.slide(bad, screen) && lookAhead.slide(a, screen));
        QVERIFY(gated.readOnUserThread().isEmpty());
        // Nothing read ahead: read on the tick.
        QVERIFY(lookAhead.slide(b, screen) && gated.readOnUserThread() == QStringList{b});
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
        const QString large = desktop.makePicture(folder + u"/b.bmp"_s, 700, 600, Qt::green);
        const QStringList smallSlide{small, u"a.bmp"_s}, largeSlide{large, u"b.bmp"_s};
        Form1 &form = desktop.started(folder);
        Form1Controls &c = form.controls();
        const Show show{form, fullScreen};
        // Two ticks: the small slide shows, the large one (over 1 MB) is still being read.
        const auto startAndAwaitLarge = [&] {
            gated.hold(large);
            show.start();
            show.tick();
            show.tick();
            return show.lookAhead().isAwaiting() && show.copySource() == smallSlide;
        };

        // A tick waits for the large slide: the show neither skips it nor ends before it.
        // Read while paused, it changes nothing the user sees or copies.
        QVERIFY(startAndAwaitLarge());
        show.tick();
        QVERIFY(form.slides().index == 3 && form.isSlideShowActive());
        show.pause();
        show.slowest();
        QCOMPARE(show.timer()->interval(), 5500);
        gated.openAll();
        QTRY_COMPARE(show.lookAhead().decodesUnderWay(), 0);
        QCoreApplication::processEvents();
        QVERIFY(show.copySource() == smallSlide && !show.timer()->isTicking());
        // Copied: the slide on screen, though the list selects none; neither reloaded nor re-read.
        const QString title = form.windowTitle();
        show.copyToTemp();
        const QString temp = FavouriteFolders::folderOf(FavouriteFolders::Category::Temp);
        QCOMPARE(readFile(temp + u"/a.bmp"_s), readFile(small));
        QVERIFY(!QFile::exists(temp + u"/b.bmp"_s) && form.windowTitle() == title);
        QCOMPARE(desktop.messages.shown.constLast(),
                 (RecordedMessage{u"Process Finished!"_s, 0, u"Copy --> C:\\VozeviZire\\Temp"_s}));
        QVERIFY(!show.timer()->isTicking());
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
        QTRY_COMPARE(show.lookAhead().decodesUnderWay(), 0);
        QCoreApplication::processEvents();
        QVERIFY(c.Image1->picture() == c.Picture3->picture() && !show.copySource().contains(large));

        // Playing, it shows as soon as it is read.
        QVERIFY(startAndAwaitLarge());
        gated.openAll();
        QTRY_COMPARE(show.copySource(), largeSlide);
        show.tick();
        QVERIFY(!form.isSlideShowActive() && !gated.readOnUserThread().contains(large));
    }
};

QTEST_MAIN(TestSlideLookAhead)
#include "tst_slidelookahead.moc"
