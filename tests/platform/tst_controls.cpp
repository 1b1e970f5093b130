#include "picture/PictureTestData.h"
#include "platform/controls/ComboBox.h"
#include "platform/controls/IntervalTimer.h"
#include "platform/controls/MenuItem.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureElement.h"
#include "platform/controls/ScrollBar.h"
#include "platform/desktop/DecodePool.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void comboRaisesChangeForEachNewTextAndClickForAChoice()
    {
        ComboBox combo;
        combo.addItems({QStringLiteral("*.bmp"), QStringLiteral("*.gif")});
        QStringList seen;
        connect(&combo, &ComboBox::Change, this, [&] { seen.append(combo.text()); });
        QSignalSpy clicks(&combo, &ComboBox::Click);
        combo.setText(QStringLiteral("*.gif"));
        // No event loop ran: the handler ran inside setText, and saw the new text.
        QCOMPARE(seen, QStringList{"*.gif"});
        combo.setText(QStringLiteral("*.gif"));
        QCOMPARE(seen.size(), 1);

        combo.lineEdit()->clear();
        seen.clear();
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("*.b"));
        QCOMPARE(seen, (QStringList{"*", "*.", "*.b"}));
        QCOMPARE(combo.lineEdit()->text(), QStringLiteral("*.b")); // nothing completed the text

        seen.clear();
        Q_EMIT combo.activated(1);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(seen.isEmpty());
        QCOMPARE(combo.text(), QStringLiteral("*.gif"));
    }

    void timerNeverTicksWithoutAnInterval()
    {
        IntervalTimer timer;
        QSignalSpy ticks(&timer, &IntervalTimer::Tick);
        timer.setEnabled(true);
        QVERIFY(!timer.isTicking());
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
        MenuItem item(QStringLiteral("auto1"), QStringLiteral("Auto-Fit Size"), &owner);
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
        MenuItem pause(QStringLiteral("b"), QStringLiteral("&Pause"), &owner);
        bar.addAction(item.action());
        bar.addAction(pause.action());
        bar.resize(400, 30);
        bar.show();
        QVERIFY(!bar.actionGeometry(pause.action()).isEmpty());
        pause.setVisible(false);
        QVERIFY(bar.actionGeometry(pause.action()).isEmpty());
    }

    void scrollBarRaisesChangeOnlyForANewValue()
    {
        ScrollBar bar(Qt::Horizontal);
        bar.setRange(0, 32700);
        QSignalSpy changes(&bar, &ScrollBar::Change);
        bar.setValue(0);
        QCOMPARE(changes.count(), 0);
        bar.setValue(100);
        QCOMPARE(changes.count(), 1);
        // Dragging the thumb moves nothing until it is let go.
        QVERIFY(!bar.hasTracking());
    }

    void pictureElementTakesNaturalSizeUnlessStretched()
    {
        PictureElement element;
        element.setWidth(449);
        element.setHeight(385);
        const PictureRef picture = RasterPicture::fromImage(QImage(640, 480, QImage::Format_RGB32));
        element.setStretch(true);
        element.setPicture(picture);
        QCOMPARE(element.width(), 449.f);
        QCOMPARE(element.height(), 385.f);
        element.setStretch(false);
        QCOMPARE(element.width(), 640.f);
        QCOMPARE(element.height(), 480.f);
        element.setWidth(0.5f);
        QCOMPARE(element.width(), 0.5f);
    }

    void pictureBoxTellsElementClicksFromBareClicks()
    {
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
        QCOMPARE(elementClicks.count(), 1);
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(300, 300));
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
        for (int x = 0; x < 400; x += 2)
            QPainter(&stripes).fillRect(x, 0, 1, 400, Qt::black);
        for (int x = 1; x < 400; x += 2)
            QPainter(&stripes).fillRect(x, 0, 1, 400, Qt::white);
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
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
