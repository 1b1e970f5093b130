// Features of the formats that other programs' metafiles use: an EMF carried in a
// WMF, pictures placed far from the origin, and small pictures full of text.
#include "MetafileBuilder.h"
#include "MetafileTestUtil.h"

#include <QTest>

using namespace metafile;
using namespace metafile::test;

namespace {

constexpr quint16 WMF_CREATEBRUSHINDIRECT = 0x02FC;
constexpr quint16 WMF_SELECTOBJECT = 0x012D;
constexpr quint16 WMF_RECTANGLE = 0x041B;
constexpr quint16 WMF_ESCAPE = 0x0626;
constexpr quint32 EMR_SELECTOBJECT = 37;
constexpr quint32 EMR_CREATEBRUSHINDIRECT = 39;
constexpr quint32 EMR_RECTANGLE = 43;
constexpr quint32 NULL_PEN = 0x80000008u;

// An EMF of the same 100 x 100 pixels that paints its left half blue. Padded with
// a few hundred bytes of comment so that it needs several chunks.
QByteArray blueLeftHalfEmf()
{
    EmfBuilder e;
    e.rec(70, QByteArray(400, 'x')); // EMR_GDICOMMENT
    e.rec(EMR_SELECTOBJECT, {NULL_PEN});
    e.rec(EMR_CREATEBRUSHINDIRECT, {1, 0, 0xFF0000, 0}).rec(EMR_SELECTOBJECT, {1});
    e.rec(EMR_RECTANGLE, {0, 0, 51, 101});
    return e.finish();
}

// A WMF whose own records paint the whole picture red, with the escapes given
// placed before them, as Office programs write it.
QByteArray redWmfCarrying(const QList<QByteArray> &escapes)
{
    WmfBuilder w;
    for (const QByteArray &e : escapes)
        w.rec(WMF_ESCAPE, e);
    w.rec(0x02FA, words({5, 0, 0, 0, 0})).rec(WMF_SELECTOBJECT, {0}); // null pen
    w.rec(WMF_CREATEBRUSHINDIRECT, words({0, 0x00FF, 0, 0})).rec(WMF_SELECTOBJECT, {1});
    w.rec(WMF_RECTANGLE, {101, 101, 0, 0});
    return w.finish();
}

// META_POLYPOLYGON with one polygon: the box from (left, top) to (right, bottom).
QByteArray wmfPolyPolygonBox(int left, int top, int right, int bottom)
{
    Bytes b;
    b.u16(1).u16(4);
    b.i16(qint16(left)).i16(qint16(top)).i16(qint16(right)).i16(qint16(top));
    b.i16(qint16(right)).i16(qint16(bottom)).i16(qint16(left)).i16(qint16(bottom));
    return b.data();
}

// A black box drawn as a poly-polygon under MM_ANISOTROPIC, far below the origin.
WmfBuilder farOutBox(WmfBuilder w, QPoint windowOrg, std::optional<QSize> windowExt, QRect box)
{
    w.rec(0x0103, {8});                            // MM_ANISOTROPIC
    w.rec(0x020B, {windowOrg.y(), windowOrg.x()}); // SETWINDOWORG
    if (windowExt)
        w.rec(0x020C, {windowExt->height(), windowExt->width()});
    w.rec(0x02FA, words({5, 0, 0, 0, 0})).rec(WMF_SELECTOBJECT, {0}); // null pen
    w.rec(WMF_CREATEBRUSHINDIRECT, words({0, 0, 0, 0})).rec(WMF_SELECTOBJECT, {1});
    w.rec(0x0538, wmfPolyPolygonBox(box.left(), box.top(), box.left() + box.width(),
                                    box.top() + box.height()));
    return w;
}

// One run of transparent text on its baseline in a 300 x 100 EMF.
std::shared_ptr<const MetafilePicture> textOnBaseline(const QString &face, int height, int charSet,
                                                      QPoint at, const QString &text,
                                                      const QList<int> &dx = {})
{
    EmfBuilder e(QSize(300, 100));
    e.rec(82, emfFont(1, height, face, 0, charSet)); // EMR_EXTCREATEFONTINDIRECTW
    e.rec(EMR_SELECTOBJECT, {1});
    e.rec(18, {1});  // EMR_SETBKMODE transparent
    e.rec(22, {24}); // EMR_SETTEXTALIGN TA_BASELINE
    e.rec(84, emfText(at.x(), at.y(), text, dx));
    return loadOrFail(e.finish());
}

// Centres of mass of the separate runs of inked columns, left to right.
QList<double> glyphCentres(const QImage &img)
{
    QList<double> centres;
    double weight = 0, sum = 0;
    for (int x = 0; x <= img.width(); ++x) {
        double column = 0;
        for (int y = 0; x < img.width() && y < img.height(); ++y)
            column += 255 - qGray(img.pixel(x, y));
        if (column > 0) {
            weight += column;
            sum += column * x;
        } else if (weight > 0) {
            centres.append(sum / weight);
            weight = sum = 0;
        }
    }
    return centres;
}

// Rows and columns that are mostly ink: the box's exact pixels, ignoring the
// half-covered ones at its edges.
QRect solidBounds(const QImage &img)
{
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 100)
                r |= QRect(x, y, 1, 1);
    return r;
}

} // namespace

class TestMetafileWriters : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void embeddedEmfIsDrawnInsteadOfTheWmfRecords();
    void damagedEmbeddedEmfFallsBackToTheWmfRecords_data();
    void damagedEmbeddedEmfFallsBackToTheWmfRecords();
    void farOutPolyPolygonsFillTheirExactPixels();
    void smallTextKeepsItsGlyphPositions();
    void symbolDegreeSignSitsHighInItsEm();
};

void TestMetafileWriters::embeddedEmfIsDrawnInsteadOfTheWmfRecords()
{
    const QByteArray emf = blueLeftHalfEmf();
    const QList<QByteArray> chunks = embeddedEmfEscapes(emf, int(emf.size() / 2 + 4));
    QCOMPARE(chunks.size(), 2);
    const auto pic = loadOrFail(redWmfCarrying(chunks));
    QVERIFY(pic);
    QVERIFY(pic->hasEmbeddedEmf());
    QCOMPARE(pic->naturalSize(), QSize(100, 100));
    const QImage img = pic->render(QSize(100, 100));
    QCOMPARE_COLOR(img, 10, 50, kBlue);
    QCOMPARE_COLOR(img, 90, 50, kWhite);
    // Stretched over the WMF's frame at any size.
    const QImage wide = pic->render(QSize(300, 60));
    QCOMPARE_COLOR(wide, 140, 30, kBlue);
    QCOMPARE_COLOR(wide, 160, 30, kWhite);

    // The checksum of the other kind: Windows chooses the one that makes all the words
    // of the WMF (from its standard header on) add up to zero.
    QByteArray wmf = redWmfCarrying(embeddedEmfEscapes(emf, 300, quint16(0)));
    const qsizetype checksumAt = 22 + 18 + 6 + 2 + 2 + 12;
    quint16 sum = 0;
    for (qsizetype i = 22; i + 1 < wmf.size(); i += 2)
        sum = quint16(sum + qFromLittleEndian<quint16>(wmf.constData() + i));
    qToLittleEndian<quint16>(quint16(-sum), wmf.data() + checksumAt);
    const auto summed = loadOrFail(wmf);
    QVERIFY(summed);
    QVERIFY(summed->hasEmbeddedEmf());
    QCOMPARE_COLOR(summed->render(QSize(100, 100)), 10, 50, kBlue);
}

void TestMetafileWriters::damagedEmbeddedEmfFallsBackToTheWmfRecords_data()
{
    QTest::addColumn<QByteArray>("wmf");
    const QByteArray emf = blueLeftHalfEmf();
    const QList<QByteArray> good = embeddedEmfEscapes(emf, 256);
    QVERIFY(good.size() >= 3);

    QTest::newRow("wrong checksum") << redWmfCarrying(embeddedEmfEscapes(emf, 256, 0x1234));
    QTest::newRow("a chunk missing") << redWmfCarrying(good.mid(0, 1) + good.mid(2));
    QTest::newRow("the last chunk missing") << redWmfCarrying(good.mid(0, good.size() - 1));
    QList<QByteArray> swapped = good;
    swapped.swapItemsAt(0, 1);
    QTest::newRow("chunks out of order") << redWmfCarrying(swapped);
    QList<QByteArray> doubled = good;
    doubled.insert(1, good.at(1));
    QTest::newRow("a chunk twice") << redWmfCarrying(doubled);

    auto patched = [&](int chunk, qsizetype at, quint32 value) {
        QList<QByteArray> c = good;
        qToLittleEndian<quint32>(value, c[chunk].data() + at);
        return redWmfCarrying(c);
    };
    // Offsets in the escape's parameters: record count 20, chunk size 24,
    // remaining 28, total 32.
    QTest::newRow("record counts disagree") << patched(1, 20, quint32(good.size() + 1));
    QTest::newRow("totals disagree") << patched(1, 32, quint32(emf.size() + 4));
    QTest::newRow("remaining bytes wrong") << patched(0, 28, 7);
    QTest::newRow("chunk size past the record") << patched(0, 24, 0x1000);
    QTest::newRow("total beyond the file") << patched(0, 32, 0x7FFFFFF0);
    QTest::newRow("chunk size beyond the limit") << patched(0, 24, 0x10000);

    QList<QByteArray> apart = good;
    apart.insert(1, Bytes().u16(0x000F).u16(4).raw("note").data()); // another comment
    QTest::newRow("chunks not one after another") << redWmfCarrying(apart);

    // Sound framing, but what it carries is no EMF.
    QByteArray notEmf = emf;
    notEmf[40] = 'X'; // the " EMF" signature
    QTest::newRow("not an EMF") << redWmfCarrying(embeddedEmfEscapes(notEmf, 256));
}

void TestMetafileWriters::damagedEmbeddedEmfFallsBackToTheWmfRecords()
{
    QFETCH(QByteArray, wmf);
    const auto pic = loadOrFail(wmf);
    QVERIFY(pic);
    QVERIFY(!pic->hasEmbeddedEmf());
    const QImage img = pic->render(QSize(100, 100));
    QCOMPARE_COLOR(img, 10, 50, kRed);
    QCOMPARE_COLOR(img, 90, 50, kRed);
}

void TestMetafileWriters::farOutPolyPolygonsFillTheirExactPixels()
{
    // Window origins far below zero, as PostScript converters write glyph
    // outlines. A box from 100 to 900 of 1000 units on 100 pixels fills 80
    // whole pixels (its edges, on pixel centres, go to the pixel edge before
    // them), wherever it lies: the same pixels as near the origin.
    for (int y0 : {0, -30000, -12345, 20000}) {
        const QRect box(100, y0 + 100, 800, 800);
        const WmfBuilder placeable(QRect(0, y0, 1000, 1000), 960, true);
        const auto withFrame =
            loadOrFail(farOutBox(placeable, QPoint(0, y0), QSize(1000, 1000), box).finish());
        QVERIFY(withFrame);
        QCOMPARE(withFrame->naturalSize(), QSize(100, 100));
        QCOMPARE(solidBounds(withFrame->render(QSize(100, 100))), QRect(9, 9, 80, 80));
        QCOMPARE(solidBounds(withFrame->render(QSize(50, 200))), QRect(4, 19, 40, 160));

        // No frame at all: the picture is measured from what it draws (801 units
        // with both edges), and the box then covers it from its first pixel on,
        // wherever the window origin puts it.
        const WmfBuilder bare(QRect(), 96, false);
        const auto measured =
            loadOrFail(farOutBox(bare, QPoint(-500, y0 - 400), std::nullopt, box).finish());
        QVERIFY(measured);
        QCOMPARE(measured->naturalSize(), QSize(801, 801));
        const QImage img = measured->render(QSize(80, 80));
        QVERIFY2(solidBounds(img) == QRect(0, 0, 79, 79),
                 qPrintable(QStringLiteral("window origin y %1: box at %2,%3 %4x%5")
                                .arg(y0 - 400)
                                .arg(solidBounds(img).x())
                                .arg(solidBounds(img).y())
                                .arg(solidBounds(img).width())
                                .arg(solidBounds(img).height())));
    }
}

void TestMetafileWriters::smallTextKeepsItsGlyphPositions()
{
    // "lIlIl", one glyph every 50 units by the character-spacing array, drawn at
    // its natural 300 pixels and as small as equations and labels are: each
    // glyph stays where the records put it, within half a pixel.
    if (!installed(QStringLiteral("Liberation Sans")))
        QSKIP("Liberation Sans is not installed");
    const auto pic = textOnBaseline(QStringLiteral("Arial"), -40, 0, QPoint(20, 70),
                                    QStringLiteral("lIlIl"), {50, 50, 50, 50, 50});
    QVERIFY(pic);
    const QList<double> natural = glyphCentres(pic->render(QSize(300, 100)));
    QCOMPARE(natural.size(), 5);
    for (int i = 0; i + 2 < 5; ++i) // the same letter two advances on
        QVERIFY(qAbs(natural[i + 2] - natural[i] - 100) < 1);
    for (int width : {150, 120, 90, 60}) {
        const double scale = width / 300.0;
        const QList<double> small = glyphCentres(pic->render(QSize(width, width / 3)));
        QCOMPARE(small.size(), 5);
        for (int i = 0; i < 5; ++i) {
            // A device coordinate x lands on column x - 1 at natural size (the
            // player's pixel-centre convention), and on x * scale - 1 here.
            const double expected = (natural[i] + 1) * scale - 1;
            QVERIFY2(qAbs(small[i] - expected) <= 0.5,
                     qPrintable(QStringLiteral("%1 px wide: glyph %2 at %3, expected %4")
                                    .arg(width)
                                    .arg(i)
                                    .arg(small[i])
                                    .arg(expected)));
        }
    }
}

void TestMetafileWriters::symbolDegreeSignSitsHighInItsEm()
{
    // The Symbol font's degree sign (0xB0) is a ring from 0.385 to 0.685 of the
    // em above the baseline; alpha (0x61) next to it is drawn too. A 40 unit em
    // on a baseline at y = 70, at natural size and at a third of it; the
    // baseline moves up half a pixel to a row's edge, and at small sizes the
    // ring's soft rim may add a row.
    if (!installed(QStringLiteral("Standard Symbols PS")))
        QSKIP("no font of the Symbol font's design is installed");
    for (const QList<int> &dx : {QList<int>{}, QList<int>{30, 30}}) {
        const auto pic = textOnBaseline(QStringLiteral("Symbol"), -40, 2, QPoint(20, 70),
                                        QString(QChar(0xF0B0)) + QChar(0xF061), dx);
        QVERIFY(pic);
        for (int width : {300, 90}) {
            const double scale = width / 300.0;
            const QImage img = pic->render(QSize(width, width / 3));
            const QRect ring = inkBounds(img.copy(0, 0, int(35 * scale), img.height()));
            const double middle = (ring.top() + ring.bottom() + 1) / 2.0;
            const double expected = (70 - 0.535 * 40) * scale - 0.5;
            QVERIFY2(qAbs(middle - expected) <= 1.5 && ring.height() <= 0.3 * 40 * scale + 2,
                     qPrintable(QStringLiteral("%1 px wide: ring on rows %2 to %3, its middle "
                                               "expected at %4")
                                    .arg(width)
                                    .arg(ring.top())
                                    .arg(ring.bottom())
                                    .arg(expected)));
            QVERIFY(!inkBounds(img.copy(int(37 * scale), 0, img.width(), img.height())).isEmpty());
        }
    }
}

QTEST_MAIN(TestMetafileWriters)
#include "tst_metafile_writers.moc"
