#include "PictureTestData.h"
#include "picture/PictureLoader.h"

#include <QTest>

using namespace testdata;

class TestGifDecoder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstFrameIsDrawnOnItsScreen_data();
    void firstFrameIsDrawnOnItsScreen();
    void damagedDataShowsWhatDecoded();
    void framesFillingTheScreenDecodeAsAnyOther();
};

void TestGifDecoder::firstFrameIsDrawnOnItsScreen_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<int>>("greys"); // the screen, top row first; -1 transparent
    QTest::addColumn<QString>("refusal");  // when refused, a part of its reason
    const int no = -1;
    // A 2 x 2 image at (1, 1) on a 4 x 3 screen, its index 9 transparent.
    QTest::newRow("image inside its screen")
        << gif(4, 3, {{1, 1, 2, 2, {200, 9, 100, 50}, false, 9}})
        << QList<int>{no, no, no, no, no, 200, no, no, no, 100, 50, no} << QString();
    // More than 256 colours as four tiles with no control blocks: one frame.
    const auto tile = [](int left, int top, uchar index) {
        return GifImage{left, top, 2, 2, QList<uchar>(4, index), false, -1};
    };
    QTest::newRow("tiles without control blocks")
        << gif(4, 4, {tile(0, 0, 10), tile(2, 0, 20), tile(0, 2, 30), tile(2, 2, 40)})
        << QList<int>{10, 10, 20, 20, 10, 10, 20, 20, 30, 30, 40, 40, 30, 30, 40, 40} << QString();
    QTest::newRow("frames with control blocks")
        << gif(2, 1, {{0, 0, 1, 1, {10}, false, -2}, {1, 0, 1, 1, {20}, false, -2}})
        << QList<int>{10, no} << QString();
    // Without control blocks, a second image over the whole screen is the next frame.
    QTest::newRow("second image over the whole screen")
        << gif(2, 1, {{0, 0, 2, 1, {10, 10}, false, -1}, {0, 0, 2, 1, {20, 20}, false, -1}})
        << QList<int>{10, 10} << QString();
    // Interlaced, 65535 rows on an 8 x 8 screen: each pass starts at the top again.
    QList<int> tall(64, no);
    for (int i = 0; i < 64; ++i)
        tall[i] = i % 8 < 3 ? 77 : no;
    QTest::newRow("interlaced image far taller than its screen")
        << gif(8, 8, {{0, 0, 3, 65535, QList<uchar>(3 * 65535, 77), true, -1}}) << tall
        << QString();
    // 144 megapixels then junk, 65535 x 65535 around one pixel: refused before a canvas.
    QTest::newRow("144 megapixels, then junk")
        << QByteArray("GIF89a\xE0\x2E\xE0\x2E\0\0\0\x01\x02\x03 junk", 21) << QList<int>{}
        << "unexpected block";
    QTest::newRow("65535 x 65535 around one pixel")
        << QByteArray("GIF89a\xFF\xFF\xFF\xFF\0\0\0\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;",
                      29)
        << QList<int>{} << "too large";
    QByteArray broken = gif(4, 4, {{0, 0, 4, 4, QList<uchar>(16, 1), false, -1}});
    broken[13 + 768 + 10 + 2] = broken[13 + 768 + 10 + 3] = char(0xFF); // the first code
    QTest::newRow("data broken before its first pixel") << broken << QList<int>{} << "bad GIF";
}

void TestGifDecoder::firstFrameIsDrawnOnItsScreen()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<int>, greys);
    QFETCH(QString, refusal);
    LoadResult r;
    QImage shown;
    QVERIFY(cheap([&] { shown = loadArgb(file, &r); }, refusal.isEmpty() ? 1000 : 500));
    if (!refusal.isEmpty()) {
        QVERIFY(shown.isNull());
        QVERIFY2(r.failure.contains(refusal), qPrintable(r.failure));
        return;
    }
    QCOMPARE(shown.width() * shown.height(), greys.size());
    for (int i = 0; i < greys.size(); ++i) {
        const int g = greys[i];
        QCOMPARE(shown.pixel(i % shown.width(), i / shown.width()), g < 0 ? 0 : qRgb(g, g, g));
    }
    QCOMPARE(r.picture->toImage().hasAlphaChannel(), greys.contains(-1));
}

void TestGifDecoder::damagedDataShowsWhatDecoded()
{
    QList<uchar> indices(64 * 64);
    for (int i = 0; i < 64 * 64; ++i)
        indices[i] = uchar(i * 7);
    QByteArray file = gif(64, 64, {{0, 0, 64, 64, indices, false, -1}});
    file.chop(file.size() / 2);
    LoadResult r;
    const QImage shown = loadArgb(file, &r);
    QVERIFY(!r.warning.isEmpty());
    QCOMPARE(shown.pixel(1, 0), qRgb(7, 7, 7));
    QCOMPARE(qAlpha(shown.pixel(63, 63)), 0);
    QVERIFY(!PictureLoader::loadBytes(file).picture); // the viewer refuses a part
}

void TestGifDecoder::framesFillingTheScreenDecodeAsAnyOther()
{
    // As wide as its screen each string is copied from before; narrower, the general way.
    const int w = 300, h = 200;
    QList<uchar> indices(w * h);
    for (int i = 0; i < w * h; ++i) {
        const int x = i % w, y = i / w;
        indices[i] = uchar((x * y) % 97 == 0 ? 9 : (x / 7 + y / 5) % 5 + (x % 3 == 0));
    }
    for (int transparent : {-1, 9}) {
        for (int screenHeight : {h, h - 50}) {
            const GifImage image{0, 0, w, h, indices, false, transparent};
            const QByteArray inOrder = gif(w, screenHeight, {image});
            const QByteArray general = gif(w + 1, screenHeight, {image});
            QCOMPARE(inOrder.size(), general.size());
            for (qsizetype cut : {inOrder.size(), inOrder.size() * 3 / 4, inOrder.size() / 3}) {
                LoadResult a, b;
                const QImage fast = loadArgb(inOrder.left(cut), &a);
                const QImage slow = loadArgb(general.left(cut), &b);
                QVERIFY2(!fast.isNull() && !slow.isNull(), qPrintable(QString::number(cut)));
                QCOMPARE(fast, slow.copy(0, 0, w, screenHeight));
                QCOMPARE(a.warning, b.warning);
                // Known to be opaque only where every pixel was drawn from the table.
                QCOMPARE(a.picture->toImage().hasAlphaChannel(),
                         transparent >= 0 || !a.warning.isEmpty());
            }
        }
    }
}

QTEST_MAIN(TestGifDecoder)
#include "tst_gifdecoder.moc"
