#include "show/SlideLookAhead.h"
#include "support/GatedPictures.h"
#include "support/TestDesktop.h"

#include <QFile>
#include <QTest>

class TestSlideLookAhead : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void handsOutOnlyTheFileItRead();
    void dropsWhatChangedOrWentAway();
    void fitsForTheScreenAndCanBeSwitchedOff();
    void aSlideReadAheadIsNotReadAgain();
};

namespace {

// Waits until the look-ahead has path ready, and takes it.
PictureRef waitFor(SlideLookAhead &lookAhead, const QString &path)
{
    PictureRef picture;
    (void)QTest::qWaitFor([&] { return (picture = lookAhead.take(path)) != nullptr; }, 10000);
    return picture;
}

} // namespace

void TestSlideLookAhead::handsOutOnlyTheFileItRead()
{
    TestDesktop desktop;
    const QString a =
        desktop.makePicture(desktop.home() + QStringLiteral("/a.bmp"), 30, 20, Qt::red);
    const QString b =
        desktop.makePicture(desktop.home() + QStringLiteral("/b.bmp"), 8, 8, Qt::blue);
    SlideLookAhead lookAhead(desktop.pictures, desktop.files);
    lookAhead.prepare({a});
    QVERIFY(!lookAhead.take(b));
    const PictureRef picture = waitFor(lookAhead, a);
    QVERIFY(picture);
    QCOMPARE(picture->naturalSize(), QSize(30, 20));
    QVERIFY(!lookAhead.take(a)); // handed out once

    // A newer request replaces the older one.
    lookAhead.prepare({a});
    lookAhead.prepare({b});
    const PictureRef newer = waitFor(lookAhead, b);
    QVERIFY(newer);
    QCOMPARE(newer->naturalSize(), QSize(8, 8));
    QVERIFY(!lookAhead.take(a));

    lookAhead.prepare({a});
    lookAhead.clear();
    QVERIFY(!lookAhead.isReading());
    QVERIFY(!lookAhead.take(a));
}

void TestSlideLookAhead::dropsWhatChangedOrWentAway()
{
    TestDesktop desktop;
    const QString a =
        desktop.makePicture(desktop.home() + QStringLiteral("/a.bmp"), 30, 20, Qt::red);
    SlideLookAhead lookAhead(desktop.pictures, desktop.files);
    lookAhead.prepare({a});
    QTRY_VERIFY(!lookAhead.isReading());
    desktop.makePicture(a, 60, 50, Qt::red); // rewritten meanwhile: longer
    QVERIFY(!lookAhead.take(a));

    lookAhead.prepare({a});
    QTRY_VERIFY(!lookAhead.isReading());
    QVERIFY(QFile::remove(a));
    QVERIFY(!lookAhead.take(a));

    // A file that is already gone is not even read.
    lookAhead.prepare({a});
    QVERIFY(!lookAhead.take(a));
}

void TestSlideLookAhead::fitsForTheScreenAndCanBeSwitchedOff()
{
    TestDesktop desktop;
    const QString wide =
        desktop.makePicture(desktop.home() + QStringLiteral("/wide.bmp"), 2000, 500, Qt::red);
    SlideLookAhead lookAhead(desktop.pictures, desktop.files);
    lookAhead.prepare({wide}, QSize(1000, 800));
    const PictureRef fitted = waitFor(lookAhead, wide);
    QVERIFY(fitted);
    QCOMPARE(fitted->naturalSize(), QSize(2000, 500));

    lookAhead.setEnabled(false);
    lookAhead.prepare({wide});
    QVERIFY(!lookAhead.isReading());
    QVERIFY(!lookAhead.take(wide));
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
    SlideLookAhead lookAhead(gated, desktop.files);
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

QTEST_MAIN(TestSlideLookAhead)
#include "tst_slidelookahead.moc"
