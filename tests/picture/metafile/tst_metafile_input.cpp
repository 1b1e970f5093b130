// What the metafile loader accepts and refuses, an EMF carried in a WMF, records'
// bitmaps, and drawing through the Picture interface at sizes far beyond the screen.
#include "MetafileBuilder.h"
#include "picture/metafile/MetafileFormat.h"
#include "picture/metafile/RecordBitmap.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTest>

using namespace metafile;
using namespace metafile::test;

namespace {

QByteArray goodEmf()
{
    return EmfBuilder().brush(1, RED).rec(EMR_RECTANGLE, {10, 10, 90, 90}).finish();
}

QByteArray goodWmf()
{
    WmfBuilder w;
    w.rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(RED)).rec(SELECTOBJECT, {0});
    return w.rec(RECTANGLE, {90, 90, 10, 10}).finish();
}

// The bytes with some of them, from at on, written over.
QByteArray patched(QByteArray bytes, qsizetype at, const QByteArray &over)
{
    return bytes.replace(at, over.size(), over);
}

// A 100 x 100 EMF painting its left half blue, padded by a comment to need several chunks.
QByteArray blueLeftHalfEmf()
{
    EmfBuilder e;
    e.rec(EMR_GDICOMMENT, QByteArray(400, 'x')).rec(EMR_SELECTOBJECT, {NULL_PEN});
    return e.brush(1, BLUE).rec(EMR_RECTANGLE, {0, 0, 51, 101}).finish();
}

// A WMF whose own records paint it red, after the escapes given, as Office writes it.
QByteArray redWmfCarrying(const QList<QByteArray> &escapes)
{
    WmfBuilder w;
    for (const QByteArray &e : escapes)
        w.rec(ESCAPE, e);
    return w.fill(RED).rec(RECTANGLE, {101, 101, 0, 0}).finish();
}

} // namespace

class TestMetafileInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sniffsByContentAndAcceptsWhatIsWhole();
    void refusesBrokenFraming_data();
    void refusesBrokenFraming();
    void skipsImpossibleContentAndEndsRunawayFiles();
    void embeddedEmfIsDrawnOrWhenDamagedTheWmfRecords_data();
    void embeddedEmfIsDrawnOrWhenDamagedTheWmfRecords();
    void recordBitmapsReadWhatOnlyRecordsHold();
    void drawsThroughAPainter();
};

void TestMetafileInput::sniffsByContentAndAcceptsWhatIsWhole()
{
    QCOMPARE(sniffMetafile(goodEmf()), MetafileKind::Emf);
    QCOMPARE(sniffMetafile(goodWmf()), MetafileKind::PlaceableWmf);
    QCOMPARE(sniffMetafile(WmfBuilder(QRect(), 0, false).finish()), MetafileKind::StandardWmf);
    QCOMPARE(sniffMetafile(QByteArray("BM\x10\x00\x00\x00", 6)), MetafileKind::None);
    QCOMPARE(sniffMetafile(QByteArray()), MetafileKind::None);
    // Type 1 with a wrong signature is not an EMF, nor a WMF (header size is not 9).
    QByteArray notEmf = goodEmf();
    notEmf[40] = 'X';
    QCOMPARE(sniffMetafile(notEmf), MetafileKind::None);
    QVERIFY(!looksLikeMetafile(QByteArray(88, '\0')));

    // A missing end-of-file record is fine when the records themselves are whole.
    QVERIFY(MetafilePicture::load(WmfBuilder().rec(RECTANGLE, {90, 90, 10, 10}).finish(false)));
    // No frame and bounds at the ends of the 32-bit range: refused or drawn, no overflow.
    const QByteArray extreme =
        patched(goodEmf(), 8, dwords({INT_MIN, INT_MAX, INT_MIN, INT_MAX, 0, 0, 0, 0}));
    if (auto pic = MetafilePicture::load(extreme))
        QVERIFY(!pic->toImage().isNull());
}

void TestMetafileInput::refusesBrokenFraming_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray emf = goodEmf(), wmf = goodWmf();
    const int record = 108 + 4, wmfRecord = 22 + 18; // the first record's size
    QTest::newRow("EMF header cut short") << emf.left(60);
    QTest::newRow("WMF header cut short") << wmf.left(30);
    QTest::newRow("placeable key alone") << QByteArray("\xD7\xCD\xC6\x9A", 4);
    QTest::newRow("EMF record past the end") << patched(emf, record, dwords({0x7FFFFFF0}));
    QTest::newRow("EMF record of size 0, for ever") << patched(emf, record, dwords({0}));
    QTest::newRow("EMF record not of whole dwords") << patched(emf, record, dwords({23}));
    QTest::newRow("EMF header larger than the file") << patched(emf, 4, dwords({emf.size() + 4}));
    QTest::newRow("WMF record past the end") << patched(wmf, wmfRecord, dwords({0x00FFFFFF}));
    QTest::newRow("WMF record of size 0") << patched(wmf, wmfRecord, dwords({0}));
    QTest::newRow("WMF header not 9 words") << patched(wmf, 22 + 2, words({7}));
    // Small bounds far out on a coarse device: the frame made from them needs over 32 bits.
    const QByteArray farOut = patched(emf, 8, dwords({-2000000, 0, -1999900, 100, 0, 0, 0, 0}));
    QTest::newRow("frame beyond 32 bits") << patched(farOut, 72, dwords({10, 10}));
}

void TestMetafileInput::refusesBrokenFraming()
{
    QFETCH(QByteArray, file);
    QString why;
    bool loaded = true;
    QVERIFY(testdata::cheap([&] { loaded = bool(MetafilePicture::load(file, &why)); }, 1000));
    QVERIFY(!loaded && !why.isEmpty());
}

void TestMetafileInput::skipsImpossibleContentAndEndsRunawayFiles()
{
    QElapsedTimer t;
    t.start();
    // Counts that promise far more points than the record holds.
    EmfBuilder e;
    e.rec(EMR_POLYGON, {0, 0, 0, 0, 0x7FFFFFFF, 1, 2});
    e.rec(EMR_POLYPOLYGON, {0, 0, 0, 0, 0x40000000, 0x40000000, 3});
    e.rec(EMR_STRETCHDIBITS, {0, 0, 0, 0, 0, 0, 0, 0, 100000, 100000, // into nowhere
                              0x7FFFFFF0, 40, 0x7FFFFFF0, 100, 0, SRCCOPY, 100, 100});
    // A DIB that claims to be 100000 x 100000 pixels.
    const QByteArray huge = packedDib(24, 100000, 100000, 0, {}, QByteArray(64, '\0'));
    e.rec(EMR_STRETCHDIBITS, dwords({0, 0, 99, 99, 0, 0, 0, 0, 100000, 100000, 80, 40, 120,
                                     huge.size() - 40, 0, SRCCOPY, 100, 100}) +
                                 huge);
    e.rec(EMR_SELECTOBJECT, {0x7FFFFFFF});                     // selecting a slot far away
    e.rec(EMR_CREATEBRUSHINDIRECT, {0x7FFFFFF0, 0, GREEN, 0}); // creating one there
    e.rec(EMR_RESTOREDC, {-1000000});                          // restoring what was never saved
    for (int i = 0; i < 20000; ++i)
        e.rec(EMR_SAVEDC);                                              // deeper than allowed
    e.rec(EMR_SETWORLDTRANSFORM, {0x7F800000, 0, 0, 0x7F800000, 0, 0}); // infinite
    e.brush(2, GREEN).rec(EMR_RECTANGLE, {10, 10, 90, 90});
    QCOMPARE_PIXELS(renderNatural(e.finish()), {50, 50, kGreen}); // what is sound still draws
    QVERIFY(t.elapsed() < 5000);

    // The same for WMF: a POLYGON whose count exceeds its record, a huge TEXTOUT length.
    WmfBuilder w;
    w.rec(POLYGON, {30000, 1, 2}).rec(TEXTOUT, {32000, 0x4141}).rec(POLYPOLYGON, {1000, 1, 2, 3});
    w.rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(GREEN)).rec(SELECTOBJECT, {0});
    QCOMPARE_PIXELS(renderNatural(w.rec(RECTANGLE, {90, 90, 10, 10}).finish()), {50, 50, kGreen});

    // Thousands of big polygons: the replay stops at the work budget.
    EmfBuilder runaway;
    runaway.brush(1, RED).rec(EMR_RECTANGLE, {0, 0, 50, 50});
    QByteArray poly = dwords({0, 0, 100, 100, 16000});
    for (int i = 0; i < 16000; ++i)
        poly += words({i % 100, (i * 7) % 100});
    for (int i = 0; i < 1000; ++i)
        runaway.rec(EMR_POLYGON16, poly);
    auto pic = MetafilePicture::load(runaway.finish());
    QVERIFY(pic);
    t.restart();
    MetafilePicture::Stats stats;
    QVERIFY(!pic->render(QSize(64, 64), &stats).isNull());
    QVERIFY(stats.budgetExceeded);
    QVERIFY(t.elapsed() < 15000);
}

void TestMetafileInput::embeddedEmfIsDrawnOrWhenDamagedTheWmfRecords_data()
{
    QTest::addColumn<QByteArray>("wmf");
    QTest::addColumn<bool>("embedded"); // drawn by the EMF, else by the WMF records
    const QByteArray emf = blueLeftHalfEmf();
    const QList<QByteArray> halves = embeddedEmfEscapes(emf, int(emf.size() / 2 + 4));
    QCOMPARE(halves.size(), 2);
    QTest::newRow("whole, in two chunks") << redWmfCarrying(halves) << true;
    // The checksum of the other kind: Windows chooses the one that makes all the words
    // of the WMF (from its standard header on) add up to zero.
    QByteArray summed = redWmfCarrying(embeddedEmfEscapes(emf, 300, quint16(0)));
    quint16 sum = 0;
    for (qsizetype i = 22; i + 1 < summed.size(); i += 2)
        sum = quint16(sum + qFromLittleEndian<quint16>(summed.constData() + i));
    qToLittleEndian<quint16>(quint16(-sum), summed.data() + 22 + 18 + 6 + 2 + 2 + 12);
    QTest::newRow("whole, the words summing to zero") << summed << true;

    const QList<QByteArray> good = embeddedEmfEscapes(emf, 256);
    QVERIFY(good.size() >= 3);
    auto with = [&](int chunk, qsizetype at, qint32 value) {
        QList<QByteArray> c = good;
        c[chunk] = patched(c[chunk], at, dwords({value}));
        return redWmfCarrying(c);
    };
    QList<QByteArray> swapped = good, doubled = good, apart = good;
    swapped.swapItemsAt(0, 1);
    doubled.insert(1, good.at(1));
    apart.insert(1, words({0x000F, 4}) + "note"); // another comment
    QByteArray notEmf = emf;
    notEmf[40] = 'X'; // the " EMF" signature

    const auto damaged = [](const char *name, const QByteArray &wmf) {
        QTest::newRow(name) << wmf << false;
    };
    damaged("wrong checksum", redWmfCarrying(embeddedEmfEscapes(emf, 256, 0x1234)));
    damaged("a chunk missing", redWmfCarrying(good.mid(0, 1) + good.mid(2)));
    damaged("the last chunk missing", redWmfCarrying(good.mid(0, good.size() - 1)));
    damaged("chunks out of order", redWmfCarrying(swapped));
    damaged("a chunk twice", redWmfCarrying(doubled));
    // Offsets: record count 20, chunk size 24, remaining 28, total 32.
    damaged("record counts disagree", with(1, 20, int(good.size() + 1)));
    damaged("totals disagree", with(1, 32, int(emf.size() + 4)));
    damaged("remaining bytes wrong", with(0, 28, 7));
    damaged("chunk size past the record", with(0, 24, 0x1000));
    damaged("total beyond the file", with(0, 32, 0x7FFFFFF0));
    damaged("chunk size beyond the limit", with(0, 24, 0x10000));
    damaged("chunks not one after another", redWmfCarrying(apart));
    damaged("not an EMF", redWmfCarrying(embeddedEmfEscapes(notEmf, 256)));
}

void TestMetafileInput::embeddedEmfIsDrawnOrWhenDamagedTheWmfRecords()
{
    QFETCH(QByteArray, wmf);
    QFETCH(bool, embedded);
    const auto pic = loadOrFail(wmf);
    QVERIFY(pic);
    QCOMPARE(pic->hasEmbeddedEmf(), embedded);
    QCOMPARE(pic->naturalSize(), QSize(100, 100));
    const QRgb left = embedded ? kBlue : kRed, right = embedded ? kWhite : kRed;
    QCOMPARE_PIXELS(pic->render(QSize(100, 100)), {10, 50, left}, {90, 50, right});
    // Stretched over the WMF's frame at any size.
    QCOMPARE_PIXELS(pic->render(QSize(300, 60)), {140, 30, left}, {160, 30, right});
}

void TestMetafileInput::recordBitmapsReadWhatOnlyRecordsHold()
{
    // Palette indexes (DIB_PAL_COLORS) into the selected palette, a grey ramp past its end;
    // with no table at all (DIB_PAL_INDICES, monochrome brushes) the values are indexes.
    const QList<QRgb> palette{kBlue, kRed};
    const QByteArray bits("\x40\0\0\0", 4);
    QByteArray paletted = packedDib(1, 2, 1, 0, QByteArray("\x01\x00\x07\x00", 4), bits);
    paletted[32] = 2; // two colours used, each a two-byte index
    const QImage indexed =
        decodeDib(paletted, {.usage = 1, .palette = &palette}).value_or(QImage());
    QCOMPARE(indexed.pixel(0, 0), kRed);
    QCOMPARE(indexed.pixel(1, 0), kWhite);
    const QByteArray monoHeader = packedDib(1, 2, 1, 0, {}, bits).left(40);
    const QImage mono = decodeDib(monoHeader, bits, {.usage = 2}).value_or(QImage());
    QCOMPARE(mono.pixel(0, 0), kBlack);
    QCOMPARE(mono.pixel(1, 0), kWhite);

    // AlphaBlend's alpha as stored: not premultiplied again, and kept even when zero.
    const QByteArray px =
        packedDib(32, 2, 1, 0, {}, QByteArray("\x40\x00\x00\x80\x10\x20\x30\x00", 8));
    QCOMPARE(qAlpha(decodeDib(px).value_or(QImage()).pixel(0, 0)), 255);
    const QImage translucent = decodeDib(px, {.keepAlpha = true}).value_or(QImage());
    QCOMPARE(translucent.format(), QImage::Format_ARGB32);
    QCOMPARE(translucent.pixel(0, 0), qRgba(0, 0, 0x40, 0x80));
    QCOMPARE(translucent.pixel(1, 0), qRgba(0x30, 0x20, 0x10, 0));

    // Header and bits stored apart, and the row order a source rectangle counts in.
    const QByteArray dib = dib24(1, 2, {0x00FF00, 0xFF0000});
    QCOMPARE(decodeDib(dib.left(40), dib.mid(40)).value_or(QImage()).pixel(0, 0), kGreen);
    QVERIFY(isBottomUpDib(dib));
    QVERIFY(!isBottomUpDib(dib24(1, 2, {0, 0}, true)));

    // A PNG in a DIB's clothing; a JPEG that is not one.
    QImage src(3, 2, QImage::Format_RGB32);
    src.fill(Qt::red);
    const QImage fromPng =
        decodeDib(packedDib(0, 3, 2, 5, {}, testdata::png(src))).value_or(QImage());
    QCOMPARE(fromPng.size(), QSize(3, 2));
    QCOMPARE(fromPng.pixel(2, 1), kRed);
    QVERIFY(!decodeDib(packedDib(0, 3, 2, 4, {}, QByteArray("not a jpeg"))));
    // A header that asks for more than one record's bitmap may take.
    QVERIFY(!decodeDib(packedDib(24, 20000, 20000, 0, {}, QByteArray(64, '\0'))));
}

void TestMetafileInput::drawsThroughAPainter()
{
    const auto emf = MetafilePicture::load(goodEmf()), wmf = MetafilePicture::load(goodWmf());
    QVERIFY(emf && wmf);
    const auto drawn = [](const auto &pic, int side, QRectF target, qreal zoom, bool clip) {
        QImage canvas(side, side, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        QPainter p(&canvas);
        p.scale(zoom, zoom);
        if (clip)
            p.setClipRect(canvas.rect());
        pic->draw(p, target);
        p.end();
        return canvas;
    };
    // A 100 x 100 picture drawn 1000x larger: only the clip's 64 x 64 pixels cost
    // anything. The picture's pixel (50, 50) lands on the canvas centre.
    QElapsedTimer t;
    t.start();
    QCOMPARE_PIXELS(drawn(emf, 64, QRectF(-50000 + 32, -50000 + 32, 100000, 100000), 1, true),
                    {32, 32, kRed}, {0, 63, kRed});
    QVERIFY(t.elapsed() < 5000);
    // Near the rectangle's edge (picture x = 10 -> canvas x = 32 at 1000x).
    QCOMPARE_PIXELS(drawn(emf, 64, QRectF(-10000 + 32, -50000 + 32, 100000, 100000), 1, false),
                    {20, 32, kWhite}, {44, 32, kRed});

    // The same pixels as render(), drawn twice (the second time from the cache), and
    // nothing outside the target.
    const QImage reference = wmf->render(QSize(200, 200));
    for (int pass = 0; pass < 2; ++pass) {
        const QImage canvas = drawn(wmf, 220, QRectF(10, 10, 200, 200), 1, false);
        QCOMPARE(canvas.copy(10, 10, 200, 200), reference);
        QCOMPARE_PIXELS(canvas, {5, 5, kBlack});
    }
    // A painter transform (zoom) is honoured.
    QCOMPARE_PIXELS(drawn(wmf, 100, QRectF(0, 0, 50, 50), 2, false), {5, 5, kWhite},
                    {50, 50, kRed});
}

QTEST_MAIN(TestMetafileInput)
#include "tst_metafile_input.moc"
