#include "picture/PictureTestData.h"
#include "platform/controls/ComboBox.h"
#include "platform/controls/FilePattern.h"
#include "platform/controls/IntervalTimer.h"
#include "platform/controls/MenuItem.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureElement.h"
#include "platform/controls/ScrollBar.h"
#include "platform/desktop/DecodePool.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QMutex>
#include <QPainter>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void comboAndScrollBarRaiseChangeForEachNewValue()
    {
        ComboBox combo;
        combo.addItems({u"*.bmp"_s, u"*.gif"_s});
        QStringList seen;
        connect(&combo, &ComboBox::Change, this, [&] { seen.append(combo.text()); });
        QSignalSpy clicks(&combo, &ComboBox::Click);
        combo.setText(u"*.gif"_s);
        combo.setText(u"*.gif"_s);
        // No event loop ran: the handler ran inside setText, once, and saw the new text.
        QCOMPARE(seen, QStringList{"*.gif"});

        combo.lineEdit()->clear();
        seen.clear();
        QTest::keyClicks(combo.lineEdit(), u"*.b"_s);
        QCOMPARE(seen, (QStringList{"*", "*.", "*.b"}));
        QCOMPARE(combo.lineEdit()->text(), u"*.b"_s); // nothing completed the text

        seen.clear();
        Q_EMIT combo.activated(1);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(seen.isEmpty());
        QCOMPARE(combo.text(), u"*.gif"_s);

        ScrollBar bar(Qt::Horizontal);
        bar.setRange(0, 32700);
        QSignalSpy changes(&bar, &ScrollBar::Change);
        bar.setValue(0);
        bar.setValue(100);
        QCOMPARE(changes.count(), 1);
        // Dragging the thumb moves nothing until it is let go.
        QVERIFY(!bar.hasTracking());
    }

    void timerNeverTicksWithoutAnInterval()
    {
        IntervalTimer timer;
        QSignalSpy ticks(&timer, &IntervalTimer::Tick);
        timer.setEnabled(true);
        // Let the event loop go round while a timer of its own ticks: ours must not.
        QTimer reference;
        QSignalSpy rounds(&reference, &QTimer::timeout);
        reference.start(1);
        QTRY_VERIFY(rounds.count() >= 5);
        QCOMPARE(ticks.count(), 0);
        timer.setInterval(5);
        QVERIFY(ticks.wait(1000));
        timer.setInterval(0);
        QVERIFY(!timer.isTicking());
        QVERIFY(timer.isEnabled());
    }

    void menuItemKeepsItsCheckMarkAndLeavesTheBarWhenHidden()
    {
        QObject owner;
        MenuItem item(u"auto1"_s, u"Auto-Fit Size"_s, &owner);
        item.setChecked(true);
        int clicks = 0;
        connect(&item, &MenuItem::Click, this, [&] {
            ++clicks;
            QVERIFY(item.action()->isChecked()); // choosing it did not toggle the mark
        });
        item.click();
        QCOMPARE(clicks, 1);
        QVERIFY(item.isChecked());
        item.setEnabled(false);
        item.click();
        QCOMPARE(clicks, 1);

        QMenuBar bar;
        MenuItem pause(u"b"_s, u"&Pause"_s, &owner);
        bar.addAction(item.action());
        bar.addAction(pause.action());
        bar.resize(400, 30);
        bar.show();
        QVERIFY(!bar.actionGeometry(pause.action()).isEmpty());
        pause.setVisible(false);
        QVERIFY(bar.actionGeometry(pause.action()).isEmpty());
    }

    void pictureBoxSizesItsElementsAndTellsTheirClicksFromBareOnes()
    {
        // An element takes its picture's size unless stretched.
        PictureElement sized;
        sized.setWidth(449);
        sized.setHeight(385);
        const PictureRef picture = RasterPicture::fromImage(QImage(640, 480, QImage::Format_RGB32));
        sized.setStretch(true);
        sized.setPicture(picture);
        QCOMPARE(QSizeF(sized.width(), sized.height()), QSizeF(449, 385));
        sized.setStretch(false);
        QCOMPARE(QSizeF(sized.width(), sized.height()), QSizeF(640, 480));

        PictureBox box;
        box.setFrameStyle(QFrame::Panel | QFrame::Sunken);
        box.setLineWidth(2);
        box.resize(457, 393);
        PictureElement element;
        box.addElement(&element);
        element.setPicture(RasterPicture::fromImage(QImage(100, 50, QImage::Format_RGB32)));
        box.show();
        QCOMPARE(box.innerWidth(), 453);
        QCOMPARE(box.innerHeight(), 389);

        QSignalSpy boxClicks(&box, &PictureBox::Click);
        QSignalSpy elementClicks(&element, &PictureElement::Click);
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(300, 300));
        QCOMPARE(elementClicks.count(), 1);
        QCOMPARE(boxClicks.count(), 1);
        element.setVisible(false);
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(boxClicks.count(), 2);
        QTest::mouseClick(&box, Qt::RightButton, {}, QPoint(300, 300));
        QCOMPARE(boxClicks.count(), 2);
    }

    void pictureBoxDrawsALargePhotoCoarseUntilItsRasterIsMade()
    {
        // 3000 x 2100, grey, with one-pixel black and white stripes in its top left.
        QImage stripes(3000, 2100, QImage::Format_RGB32);
        stripes.fill(Qt::gray);
        for (int x = 0; x < 400; ++x)
            QPainter(&stripes).fillRect(x, 0, 1, 400, x % 2 ? Qt::white : Qt::black);
        const LoadResult loaded = PictureLoader::loadBytes(testdata::jpeg(stripes, 100));
        QVERIFY2(loaded.picture, qPrintable(loaded.failure));

        DecodePool pool;
        PictureBox box;
        box.setDecodePool(pool);
        box.resize(300, 200);
        PictureElement element;
        box.addElement(&element);
        element.setPicture(loaded.picture); // at natural size: only the panel's raster is made
        const auto contrast = [&box] {
            const QImage shown = box.grab().toImage();
            return qAbs(qGray(shown.pixel(100, 100)) - qGray(shown.pixel(101, 100)));
        };
        // The first paint does not wait for the full decode: the stripes are a blur.
        QVERIFY(contrast() < 60);
        // Then the fine raster is made elsewhere and the box repainted with it.
        QTRY_VERIFY_WITH_TIMEOUT(contrast() > 150, 10000);
    }

    void filePatternMatchesWholeNamesInAnyCase_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("expected"); // -1: the text is refused

        auto row = [](const char *what, const QString &pattern, const QString &name, int expected) {
            QTest::newRow(what) << pattern << name << expected;
        };
        const QString all = u"*.bmp;*.gif;*.jpg;*.ico;*.cur;*.Rle;*.Dib;*.Wmf;*.Emf"_s;
        row("any case", "*.BMP", "photo.bmp", 1);
        row("any case, upper name", "*.bmp", "PHOTO.BMP", 1);
        row("second piece", "*.bmp;*.gif", "a.GIF", 1);
        row("no piece", "*.bmp;*.gif", "a.jpg", 0);
        row("whole name only", "*.jpg", "a.jpg.txt", 0);
        row("jpeg is not jpg", "*.jpg", "a.jpeg", 0);
        row("mixed-case piece", all, "clock.dib", 1);
        row("metafile", all, "DRAWING.EMF", 1);
        row("hidden file", all, ".secret.gif", 1);
        row("question mark", "img?.gif", "img1.gif", 1);
        row("question mark needs a character", "img?.gif", "img.gif", 0);
        row("star-dot-star means every file", "*.*", "README", 1);
        row("blanks around pieces", " *.gif ; *.bmp ", "x.bmp", 1);
        row("empty text matches nothing", "", "x.bmp", 0);
        row("literal bracket", "[a].gif", "[a].gif", 1);
        row("many stars stay quick", "*a*a*a*a*a*a*a*a*a*b", QString(200, 'a'), 0);
        row("path separator", "../*.bmp", "x.bmp", -1);
        row("separator in a later piece", "*.bmp;/etc/*", "x.bmp", -1);
        row("control character", "*.bmp\t", "x.bmp", -1);
        row("unreasonably long", QString(FilePattern::kMaxLength + 1, '*'), "x", -1);
    }

    void filePatternMatchesWholeNamesInAnyCase()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(int, expected);
        const auto parsed = FilePattern::parse(pattern);
        QCOMPARE(parsed.has_value(), expected >= 0);
        if (parsed)
            QCOMPARE(parsed->matches(name), expected == 1);
    }

    void wantedNowFirstCancelledNeverRunAndEveryOwnerHearsTheEnd()
    {
        DecodePool pool(1);
        QObject owner;
        QMutex lock;
        QStringList ran, ended;
        QSemaphore gate;
        const auto job = [&](DecodePool::Priority priority, const QString &name, QObject *to) {
            return pool.start(
                priority, to,
                [&, name] {
                    QMutexLocker locker(&lock);
                    ran.append(name);
                },
                [&, name] { ended.append(name); });
        };
        // The one worker is kept busy while the rest queue up.
        (void)pool.start(
            DecodePool::Priority::Now, &owner, [&] { gate.acquire(); }, [] {});
        (void)job(DecodePool::Priority::Ahead, u"ahead"_s, &owner);
        const quint64 unwanted = job(DecodePool::Priority::Neighbour, u"unwanted"_s, &owner);
        (void)job(DecodePool::Priority::Neighbour, u"neighbour"_s, &owner);
        (void)job(DecodePool::Priority::Now, u"now"_s, &owner);
        {
            QObject gone;
            (void)job(DecodePool::Priority::Now, u"owner gone"_s, &gone);
        }
        pool.cancel(unwanted);
        gate.release();
        QTRY_COMPARE(ended.size(), 4);
        QCOMPARE(ran, (QStringList{u"now"_s, u"owner gone"_s, u"neighbour"_s, u"ahead"_s}));
        // The cancelled decode is told it ended, so that its owner stops counting it.
        QVERIFY(ended.contains(u"unwanted"_s));
        QVERIFY(!ended.contains(u"owner gone"_s));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
