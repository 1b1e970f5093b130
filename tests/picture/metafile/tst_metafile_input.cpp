// What the metafile loader accepts and refuses, records' bitmaps, and drawing
// through the Picture interface at sizes far beyond the screen.
#include "MetafileBuilder.h"
#include "MetafileTestUtil.h"
#include "picture/metafile/MetafileFormat.h"
#include "picture/metafile/RecordBitmap.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>

using namespace metafile;
using namespace metafile::test;

namespace {

QByteArray goodEmf()
{
    EmfBuilder e;
    e.rec(39, {1, 0, 0x0000FF, 0}).rec(37, {1}).rec(43, {10, 10, 90, 90});
    return e.finish();
}

QByteArray goodWmf()
{
    WmfBuilder w;
    w.rec(0x02FC, words({0, 0x00FF, 0, 0})).rec(0x012D, {0}).rec(0x041B, {90, 90, 10, 10});
    return w.finish();
}

// Loads bytes that must be refused, and checks it happens at once.
void expectRefused(const QByteArray &bytes)
{
    QElapsedTimer t;
    t.start();
    QString why;
    auto pic = MetafilePicture::load(bytes, &why);
    QVERIFY(!pic);
    QVERIFY(!why.isEmpty());
    QVERIFY(t.elapsed() < 1000);
}

QByteArray packedDib(int bpp, int w, int h, quint32 compression, const QByteArray &colors,
                     const QByteArray &bits, bool topDown = false, int headerSize = 40)
{
    Bytes b;
    b.u32(quint32(headerSize))
        .i32(w)
        .i32(topDown ? -h : h)
        .u16(1)
        .u16(quint16(bpp))
        .u32(compression)
        .u32(quint32(bits.size()))
        .i32(0)
        .i32(0)
        .u32(bpp <= 8 ? quint32(colors.size() / 4) : 0)
        .u32(0);
    while (b.size() < headerSize)
        b.u8(0);
    b.raw(colors).raw(bits);
    return b.data();
}

} // namespace

class TestMetafileInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sniffsByContent();
    void refusesBrokenFraming();
    void skipsImpossibleContentInSoundFraming();
    void workBudgetEndsRunawayFiles();
    void recordBitmapsReadWhatOnlyRecordsHold();
    void drawsIntoHugeTargetsThroughTheClip();
    void drawMatchesRenderAndCaches();
};

void TestMetafileInput::sniffsByContent()
{
    QCOMPARE(sniffMetafile(goodEmf()), MetafileKind::Emf);
    QCOMPARE(sniffMetafile(goodWmf()), MetafileKind::PlaceableWmf);
    WmfBuilder plain(QRect(), 0, false);
    QCOMPARE(sniffMetafile(plain.finish()), MetafileKind::StandardWmf);
    QCOMPARE(sniffMetafile(QByteArray("BM\x10\x00\x00\x00", 6)), MetafileKind::None);
    QCOMPARE(sniffMetafile(QByteArray()), MetafileKind::None);
    // Type 1 with a wrong signature is not an EMF, nor a WMF (header size is not 9).
    QByteArray notEmf = goodEmf();
    notEmf[40] = 'X';
    QCOMPARE(sniffMetafile(notEmf), MetafileKind::None);
    QVERIFY(!looksLikeMetafile(QByteArray(88, '\0')));
}

void TestMetafileInput::refusesBrokenFraming()
{
    const QByteArray emf = goodEmf();
    const QByteArray wmf = goodWmf();
    QVERIFY(MetafilePicture::load(emf));
    QVERIFY(MetafilePicture::load(wmf));

    expectRefused(emf.left(60)); // truncated header
    expectRefused(wmf.left(30));
    expectRefused(QByteArray("\xD7\xCD\xC6\x9A", 4));

    // An EMF record that runs past the end of the file.
    QByteArray over = emf;
    qToLittleEndian<quint32>(0x7FFFFFF0u, over.data() + 108 + 4);
    expectRefused(over);
    // A zero-size record would loop for ever.
    QByteArray zero = emf;
    qToLittleEndian<quint32>(0u, zero.data() + 108 + 4);
    expectRefused(zero);
    // EMF records are whole multiples of four bytes.
    QByteArray odd = emf;
    qToLittleEndian<quint32>(23u, odd.data() + 108 + 4);
    expectRefused(odd);
    // The header's own size can't exceed the file.
    QByteArray header = emf;
    qToLittleEndian<quint32>(quint32(emf.size() + 4), header.data() + 4);
    expectRefused(header);

    // The same in a WMF: records measured in 16-bit words.
    const int first = 22 + 18;
    QByteArray wOver = wmf;
    qToLittleEndian<quint32>(0x00FFFFFFu, wOver.data() + first);
    expectRefused(wOver);
    QByteArray wZero = wmf;
    qToLittleEndian<quint32>(0u, wZero.data() + first);
    expectRefused(wZero);
    QByteArray wBadHeader = wmf;
    wBadHeader[22 + 2] = 7; // header size must be 9 words
    expectRefused(wBadHeader);

    // Extreme header rectangles: an empty frame and bounds at the ends of the
    // 32-bit range leave no usable size, which is refused without overflow.
    QByteArray extreme = emf;
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(i % 2 ? std::numeric_limits<qint32>::max()
                                      : std::numeric_limits<qint32>::min(),
                                extreme.data() + 8 + 4 * i);
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(0, extreme.data() + 24 + 4 * i);
    QString why;
    auto pic = MetafilePicture::load(extreme, &why);
    if (pic)
        QVERIFY(!pic->toImage().isNull());
    // Small bounds far out on a coarse device: the frame made from them would not
    // fit in 32 bits.
    QByteArray farOut = extreme;
    const qint32 farBounds[] = {-2000000, 0, -1999900, 100};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(farBounds[i], farOut.data() + 8 + 4 * i);
    qToLittleEndian<qint32>(10, farOut.data() + 72); // device width in pixels
    qToLittleEndian<qint32>(10, farOut.data() + 76);
    expectRefused(farOut);

    // A missing end-of-file record is fine when the records themselves are whole.
    WmfBuilder noEof;
    noEof.rec(0x041B, {90, 90, 10, 10});
    QVERIFY(MetafilePicture::load(noEof.finish(false)));
}

void TestMetafileInput::skipsImpossibleContentInSoundFraming()
{
    QElapsedTimer t;
    t.start();
    // Counts that promise far more points than the record holds.
    EmfBuilder e;
    e.rec(3, dwords({0, 0, 0, 0, 0x7FFFFFFF, 1, 2}));          // POLYGON
    e.rec(8, dwords({0, 0, 0, 0, 0x40000000, 0x40000000, 3})); // POLYPOLYGON
    e.rec(81, dwords({0, 0, 0, 0, 0, 0, 0, 0, 100000, 100000,  // STRETCHDIBITS into nowhere
                      0x7FFFFFF0, 40, 0x7FFFFFF0, 100, 0, 0x00CC0020, 100, 100}));
    // A DIB that claims to be 100000 x 100000 pixels.
    const QByteArray huge = packedDib(24, 100000, 100000, 0, {}, QByteArray(64, '\0'));
    Bytes rec;
    rec.i32(0).i32(0).i32(99).i32(99).i32(0).i32(0).i32(0).i32(0).i32(100000).i32(100000);
    rec.u32(80)
        .u32(40)
        .u32(120)
        .u32(quint32(huge.size() - 40))
        .u32(0)
        .u32(0x00CC0020)
        .i32(100)
        .i32(100);
    rec.raw(huge);
    e.rec(81, rec.data());
    e.rec(37, {0x7FFFFFFF});                 // selecting a slot far away
    e.rec(39, {0x7FFFFFF0, 0, 0x00FF00, 0}); // creating one there
    e.rec(34, {-1000000});                   // restoring what was never saved
    for (int i = 0; i < 20000; ++i)
        e.rec(33);                                   // SaveDC, deeper than allowed
    e.rec(35, {0x7F800000, 0, 0, 0x7F800000, 0, 0}); // infinite world transform
    e.rec(39, {2, 0, 0x00FF00, 0}).rec(37, {2}).rec(43, {10, 10, 90, 90});
    auto pic = MetafilePicture::load(e.finish());
    QVERIFY(pic);
    const QImage img = pic->toImage();
    QCOMPARE_COLOR(img, 50, 50, kGreen); // what is sound still draws
    QVERIFY(t.elapsed() < 5000);

    // The same for WMF: a POLYGON whose count exceeds its record, a huge TEXTOUT length.
    WmfBuilder w;
    w.rec(0x0324, words({30000, 1, 2}));
    w.rec(0x0521, words({32000, 0x4141}));
    w.rec(0x0538, words({1000, 1, 2, 3}));
    w.rec(0x02FC, words({0, 0xFF00, 0, 0})).rec(0x012D, {0}).rec(0x041B, {90, 90, 10, 10});
    auto wpic = MetafilePicture::load(w.finish());
    QVERIFY(wpic);
    QCOMPARE_COLOR(wpic->toImage(), 50, 50, kGreen);
}

void TestMetafileInput::workBudgetEndsRunawayFiles()
{
    // Thousands of big polygons, each costing real work: the replay stops at the
    // budget and keeps what it drew.
    EmfBuilder e;
    e.rec(39, {1, 0, 0x0000FF, 0}).rec(37, {1});
    e.rec(43, {0, 0, 50, 50});
    Bytes poly;
    const int n = 16000;
    poly.i32(0).i32(0).i32(100).i32(100).u32(n);
    for (int i = 0; i < n; ++i)
        poly.i16(qint16(i % 100)).i16(qint16((i * 7) % 100));
    for (int i = 0; i < 1000; ++i)
        e.rec(86, poly.data()); // POLYGON16
    auto pic = MetafilePicture::load(e.finish());
    QVERIFY(pic);
    QElapsedTimer t;
    t.start();
    MetafilePicture::Stats stats;
    const QImage img = pic->render(QSize(64, 64), &stats);
    QVERIFY(stats.budgetExceeded);
    QVERIFY(t.elapsed() < 15000);
    QVERIFY(!img.isNull());
}

void TestMetafileInput::recordBitmapsReadWhatOnlyRecordsHold()
{
    // The BMP decoder's own tests cover depths and compressions; these are the
    // options records use.
    // Palette indexes (DIB_PAL_COLORS): two-byte entries into the selected palette,
    // a grey ramp past its end. With no table at all (DIB_PAL_INDICES, as monochrome
    // brushes have), the pixel values are the indexes.
    {
        const QList<QRgb> palette{kBlue, kRed};
        DibOptions o;
        o.usage = 1;
        o.palette = &palette;
        const QByteArray indexes("\x01\x00\x07\x00", 4);
        QByteArray dib = packedDib(1, 2, 1, 0, indexes, QByteArray("\x40\0\0\0", 4));
        dib[32] = 2; // two colours used, each a two-byte index
        const auto img = decodeDib(dib, o);
        QVERIFY(img);
        QCOMPARE(img->pixel(0, 0), kRed);
        QCOMPARE(img->pixel(1, 0), kWhite);
        DibOptions noTable;
        noTable.usage = 2;
        const auto mono = decodeDib(packedDib(1, 2, 1, 0, {}, QByteArray("\x40\0\0\0", 4)).left(40),
                                    QByteArray("\x40\0\0\0", 4), noTable);
        QVERIFY(mono);
        QCOMPARE(mono->pixel(0, 0), kBlack);
        QCOMPARE(mono->pixel(1, 0), kWhite);
    }
    // AlphaBlend's alpha as stored: not premultiplied again, and kept even when zero.
    {
        const QByteArray px("\x40\x00\x00\x80\x10\x20\x30\x00", 8);
        const auto opaque = decodeDib(packedDib(32, 2, 1, 0, {}, px));
        QVERIFY(opaque);
        QCOMPARE(qAlpha(opaque->pixel(0, 0)), 255);
        DibOptions alpha;
        alpha.keepAlpha = true;
        const auto translucent = decodeDib(packedDib(32, 2, 1, 0, {}, px), alpha);
        QVERIFY(translucent);
        QCOMPARE(translucent->format(), QImage::Format_ARGB32);
        QCOMPARE(translucent->pixel(0, 0), qRgba(0, 0, 0x40, 0x80));
        QCOMPARE(translucent->pixel(1, 0), qRgba(0x30, 0x20, 0x10, 0));
    }
    // Header and bits stored apart, and the row order a source rectangle counts in.
    {
        const QByteArray dib = dib24(1, 2, {0x00FF00, 0xFF0000});
        const auto img = decodeDib(dib.left(40), dib.mid(40));
        QVERIFY(img);
        QCOMPARE(img->pixel(0, 0), kGreen);
        QVERIFY(isBottomUpDib(dib));
        QVERIFY(!isBottomUpDib(dib24(1, 2, {0, 0}, true)));
    }
    // A PNG in a DIB's clothing; a JPEG that is not one.
    {
        QImage src(3, 2, QImage::Format_RGB32);
        src.fill(Qt::red);
        QByteArray png;
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        src.save(&buf, "PNG");
        const auto img = decodeDib(packedDib(0, 3, 2, 5, {}, png));
        QVERIFY(img);
        QCOMPARE(img->size(), QSize(3, 2));
        QCOMPARE(img->pixel(2, 1), kRed);
        QVERIFY(!decodeDib(packedDib(0, 3, 2, 4, {}, QByteArray("not a jpeg"))));
    }
    // A header that asks for more than one record's bitmap may take.
    QVERIFY(!decodeDib(packedDib(24, 20000, 20000, 0, {}, QByteArray(64, '\0'))));
}

void TestMetafileInput::drawsIntoHugeTargetsThroughTheClip()
{
    // A 100 x 100 picture drawn 1000x larger: only the clip's 64 x 64 pixels cost anything.
    auto pic = MetafilePicture::load(goodEmf());
    QVERIFY(pic);
    QImage canvas(64, 64, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QElapsedTimer t;
    t.start();
    {
        QPainter p(&canvas);
        // The picture's pixel (50, 50) lands on the canvas centre.
        const QRectF target(-50000 + 32, -50000 + 32, 100000, 100000);
        p.setClipRect(QRect(0, 0, 64, 64));
        pic->draw(p, target);
    }
    QVERIFY(t.elapsed() < 5000);
    QCOMPARE_COLOR(canvas, 32, 32, kRed);
    QCOMPARE_COLOR(canvas, 0, 63, kRed);

    // Near the rectangle's edge (picture x = 10 -> canvas x = 32 at 1000x).
    QImage edge(64, 64, QImage::Format_RGB32);
    {
        QPainter p(&edge);
        pic->draw(p, QRectF(-10000 + 32, -50000 + 32, 100000, 100000));
    }
    QCOMPARE_COLOR(edge, 20, 32, kWhite);
    QCOMPARE_COLOR(edge, 44, 32, kRed);
}

void TestMetafileInput::drawMatchesRenderAndCaches()
{
    auto pic = MetafilePicture::load(goodWmf());
    QVERIFY(pic);
    const QImage reference = pic->render(QSize(200, 200));
    for (int pass = 0; pass < 2; ++pass) {
        QImage canvas(220, 220, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        QPainter p(&canvas);
        pic->draw(p, QRectF(10, 10, 200, 200));
        p.end();
        QCOMPARE(canvas.copy(10, 10, 200, 200), reference);
        QCOMPARE_COLOR(canvas, 5, 5, kBlack); // nothing outside the target
    }
    // A painter transform (zoom) is honoured.
    QImage zoomed(100, 100, QImage::Format_RGB32);
    zoomed.fill(Qt::black);
    QPainter p(&zoomed);
    p.scale(2, 2);
    pic->draw(p, QRectF(0, 0, 50, 50));
    p.end();
    QCOMPARE_COLOR(zoomed, 5, 5, kWhite);
    QCOMPARE_COLOR(zoomed, 50, 50, kRed);
}

QTEST_MAIN(TestMetafileInput)
#include "tst_metafile_input.moc"
