// The drawing-state rules of the metafile player, checked on pixels of small
// metafiles written record by record.
#include "MetafileBuilder.h"
#include "MetafileTestUtil.h"

#include <QTest>
#include <cmath>

using namespace metafile::test;

namespace {

// WMF functions used below.
enum : quint16 {
    SAVEDC = 0x001E,
    SETBKMODE = 0x0102,
    SETMAPMODE = 0x0103,
    SETPOLYFILLMODE = 0x0106,
    RESTOREDC = 0x0127,
    SELECTOBJECT = 0x012D,
    SETTEXTALIGN = 0x012E,
    DELETEOBJECT = 0x01F0,
    SETWINDOWORG = 0x020B,
    SETWINDOWEXT = 0x020C,
    LINETO = 0x0213,
    MOVETO = 0x0214,
    CREATEPENINDIRECT = 0x02FA,
    CREATEFONTINDIRECT = 0x02FB,
    CREATEBRUSHINDIRECT = 0x02FC,
    POLYGON = 0x0324,
    EXCLUDECLIPRECT = 0x0415,
    INTERSECTCLIPRECT = 0x0416,
    RECTANGLE = 0x041B,
    TEXTOUT = 0x0521,
    EXTTEXTOUT = 0x0A32,
    STRETCHDIB = 0x0F43,
    POLYPOLYGON = 0x0538,
};

// EMF records used below.
enum : quint32 {
    EMR_POLYGON = 3,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETROP2 = 20,
    EMR_SETTEXTALIGN = 22,
    EMR_OFFSETCLIPRGN = 26,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_RECTANGLE = 43,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_FILLPATH = 62,
    EMR_SELECTCLIPPATH = 67,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
};

constexpr quint32 NULL_PEN = 0x80000008u;
constexpr quint32 RED = 0x0000FF, GREEN = 0x00FF00, BLUE = 0xFF0000;

QByteArray wmfBrush(quint32 color)
{
    return words({0, int(color & 0xFFFF), int(color >> 16), 0});
}
QByteArray wmfNullPen()
{
    return words({5, 0, 0, 0, 0});
}

// An EMF that starts with a null pen selected, so fills are exact.
EmfBuilder emfWithNullPen(QSize size = QSize(100, 100))
{
    EmfBuilder e(size);
    e.rec(EMR_SELECTOBJECT, {NULL_PEN});
    return e;
}

EmfBuilder &emfBrush(EmfBuilder &e, int slot, quint32 color)
{
    e.rec(EMR_CREATEBRUSHINDIRECT, {slot, 0, color, 0});
    e.rec(EMR_SELECTOBJECT, {slot});
    return e;
}

QByteArray xform(float m11, float m12, float m21, float m22, float dx, float dy)
{
    Bytes b;
    b.f32(m11).f32(m12).f32(m21).f32(m22).f32(dx).f32(dy);
    return b.data();
}

// Ink of one run of transparent text in a 300 x 200 EMF.
QRect emfTextInk(const QString &face, int height, const QString &text, quint32 align = 0,
                 QPoint at = {10, 20}, int width = 0)
{
    EmfBuilder e(QSize(300, 200));
    e.rec(EMR_EXTCREATEFONTINDIRECTW, emfFont(1, height, face, width));
    e.rec(EMR_SELECTOBJECT, {1});
    e.rec(EMR_SETBKMODE, {1});
    e.rec(EMR_SETTEXTALIGN, {align});
    e.rec(EMR_EXTTEXTOUTW, emfText(at.x(), at.y(), text));
    return inkBounds(renderNatural(e.finish()));
}

} // namespace

class TestMetafileState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wmfWindowMapsOntoTheFrame();
    void wmfNaturalSizeFollowsUnitsPerInch();
    void wmfFarOutAnisotropicDrawingKeepsItsSize();
    void emfFrameLandsOnTheHeaderBounds();
    void emfMapModesScaleFlipAndStretch();
    void worldTransformsCompose();
    void saveRestoreRelativeAndAbsolute();
    void clipRectsRegionsAndPathsLimitDrawing();
    void fillModesDecideOverlaps();
    void objectTablesReuseTheLowestSlotAndKeepWhatIsSelected();
    void rop2NotInvertsDestination();
    void textAlignmentPlacesInk();
    void textUpdatesCurrentPosition();
    void textBaselineSitsOnAPixelRow();
    void symbolFontsDrawTheirShapes();
    void fontWidthScalesFromTheAverageLetter();
    void fontCellIsTheWindowsAscentAndDescent();
    void stretchDibFlipsBottomUpRows();
    void nullPenAndBrushDrawNothing();
    void thinStyledPensDashOnePixelWide();
    void linesRunThroughPixelCentres();
    void boxesFillWholePixels();
};

void TestMetafileState::wmfWindowMapsOntoTheFrame()
{
    WmfBuilder w;
    w.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {200, 200});
    w.rec(CREATEPENINDIRECT, wmfNullPen()).rec(SELECTOBJECT, {0});
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(RED)).rec(SELECTOBJECT, {1});
    w.rec(RECTANGLE, {100, 100, 0, 0}); // bottom, right, top, left
    const QImage img = renderNatural(w.finish());
    QCOMPARE(img.size(), QSize(100, 100));
    QCOMPARE_COLOR(img, 25, 25, kRed);
    QCOMPARE_COLOR(img, 48, 48, kRed);
    QCOMPARE_COLOR(img, 52, 52, kWhite);
    QCOMPARE_COLOR(img, 75, 25, kWhite);

    // A window origin moves the picture; a negative extent mirrors it.
    WmfBuilder m;
    m.rec(SETWINDOWORG, {100, 0}).rec(SETWINDOWEXT, {-100, 100}); // y runs upwards from 100
    m.rec(CREATEPENINDIRECT, wmfNullPen()).rec(SELECTOBJECT, {0});
    m.rec(CREATEBRUSHINDIRECT, wmfBrush(BLUE)).rec(SELECTOBJECT, {1});
    m.rec(RECTANGLE, {40, 100, 0, 0});
    const QImage mirrored = renderNatural(m.finish());
    // Logical y 0..40 is the bottom of the picture.
    QCOMPARE_COLOR(mirrored, 50, 10, kWhite);
    QCOMPARE_COLOR(mirrored, 50, 90, kBlue);
}

void TestMetafileState::wmfNaturalSizeFollowsUnitsPerInch()
{
    // 1440 units per inch, 2 inches by 1 inch: 192 x 96 pixels at 96 dpi.
    WmfBuilder w(QRect(0, 0, 2880, 1440), 1440);
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(RED)).rec(SELECTOBJECT, {0});
    w.rec(RECTANGLE, {1440, 1440, 0, 0});
    auto pic = loadOrFail(w.finish());
    QVERIFY(pic);
    QCOMPARE(pic->naturalSize(), QSize(192, 96));
    const QImage img = pic->toImage();
    QCOMPARE_COLOR(img, 40, 50, kRed);
    QCOMPARE_COLOR(img, 150, 50, kWhite);

    // Without the placeable header, the window extent gives the size.
    WmfBuilder s(QRect(), 0, false);
    s.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {60, 120});
    s.rec(RECTANGLE, {10, 10, 0, 0});
    auto standard = loadOrFail(s.finish());
    QVERIFY(standard);
    QCOMPARE(standard->naturalSize(), QSize(120, 60));

    // With neither, the picture is as big as what it draws.
    WmfBuilder bare(QRect(), 0, false);
    bare.rec(CREATEBRUSHINDIRECT, wmfBrush(BLUE)).rec(SELECTOBJECT, {0});
    bare.rec(RECTANGLE, {60, 50, 20, 10}); // 10..50 x 20..60
    auto measured = loadOrFail(bare.finish());
    QVERIFY(measured);
    QCOMPARE(measured->naturalSize(), QSize(41, 41));
    const QImage mi = measured->toImage();
    QCOMPARE_COLOR(mi, 20, 20, kBlue);
}

void TestMetafileState::wmfFarOutAnisotropicDrawingKeepsItsSize()
{
    // PostScript converters put glyph outlines far from zero, often upside down: the
    // window maps them onto the frame exactly, wherever they lie.
    const auto drawnAt = [](int y0, int direction, bool placeable) {
        const int top = qMin(y0, y0 + 1000 * direction);
        WmfBuilder w(QRect(0, top, 1000, 1000), 96, placeable);
        w.rec(SETMAPMODE, {8}); // anisotropic
        w.rec(SETWINDOWORG, {y0, 0}).rec(SETWINDOWEXT, {1000 * direction, 1000});
        w.rec(CREATEBRUSHINDIRECT, wmfBrush(BLUE)).rec(SELECTOBJECT, {0});
        const int near = y0 + 100 * direction;
        const int far = y0 + 900 * direction;
        w.rec(POLYPOLYGON, {1, 4, 100, near, 900, near, 900, far, 100, far});
        return renderNatural(w.finish());
    };
    for (const int direction : {1, -1}) {
        for (const bool placeable : {true, false}) {
            const QImage atZero = drawnAt(0, direction, placeable);
            QCOMPARE(atZero.size(), QSize(1000, 1000));
            // 800 units between the outlines, both drawn: 801 pixels.
            QCOMPARE(inkBounds(atZero).size(), QSize(801, 801));
            for (const int y0 : {-30000, -2000, 20000}) {
                QVERIFY2(drawnAt(y0, direction, placeable) == atZero,
                         qPrintable(QStringLiteral("y0 %1, direction %2, placeable %3")
                                        .arg(y0)
                                        .arg(direction)
                                        .arg(placeable)));
            }
        }
    }
}

void TestMetafileState::emfFrameLandsOnTheHeaderBounds()
{
    // The reference device's size comes in millimetres and, in later headers, in
    // micrometres; the one that turns the frame into the header's own bounds places
    // the drawing. A box filling the bounds fills the picture to every edge.
    struct Case {
        EmfBuilder::Header header;
        int unitsPerPixel; // logical units per device pixel
    };
    const Case cases[] = {
        // From a PostScript converter: far out, and the millimetres are right. The
        // micrometres differ by 0.08 %, 7 pixels at this distance from zero.
        {{QRect(QPoint(1098, -8846), QPoint(1682, -8733)),
          QRect(QPoint(38773, -311822), QPoint(59396, -307838)), QSize(1280, 800), QSize(452, 282),
          QSize(451555, 282222)},
         15},
        // Millimetres rounded by 4 %, and the micrometres are right.
        {{QRect(QPoint(0, 0), QPoint(89, 118)), QRect(QPoint(0, 0), QPoint(2389, 3149)),
          QSize(90, 119), QSize(23, 31), QSize(23900, 31500)},
         1},
    };
    for (const Case &c : cases) {
        const int n = c.unitsPerPixel;
        EmfBuilder e(c.header);
        e.rec(EMR_SELECTOBJECT, {NULL_PEN});
        emfBrush(e, 1, BLUE);
        e.rec(EMR_SETMAPMODE, {8});
        e.rec(EMR_SETWINDOWEXTEX, {96 * n, 96 * n});
        e.rec(EMR_SETVIEWPORTEXTEX, {96, 96});
        const QRect b = c.header.bounds;
        e.rec(EMR_RECTANGLE,
              {b.left() * n, b.top() * n, (b.right() + 2) * n, (b.bottom() + 2) * n});
        const QImage img = renderNatural(e.finish());
        // The picture is the frame: ink within a pixel of every edge.
        QCOMPARE(inkBounds(img).adjusted(-1, -1, 1, 1) & img.rect(), img.rect());
    }
}

void TestMetafileState::emfMapModesScaleFlipAndStretch()
{
    // MM_LOMETRIC: 0.1 mm units with y growing upwards; 96 dpi means 100 units = 37.8 px.
    EmfBuilder e = emfWithNullPen();
    emfBrush(e, 1, RED);
    e.rec(EMR_SETMAPMODE, {2});
    e.rec(EMR_SETVIEWPORTORGEX, {0, 100});  // logical origin at the bottom left
    e.rec(EMR_RECTANGLE, {0, 100, 100, 0}); // 10 mm square above the origin
    const QImage img = renderNatural(e.finish());
    QCOMPARE_COLOR(img, 10, 90, kRed);
    QCOMPARE_COLOR(img, 35, 65, kRed);
    QCOMPARE_COLOR(img, 10, 55, kWhite);
    QCOMPARE_COLOR(img, 45, 90, kWhite);

    // MM_HIENGLISH: 0.001 inch; 500 units = 48 px.
    EmfBuilder h = emfWithNullPen();
    emfBrush(h, 1, BLUE);
    h.rec(EMR_SETMAPMODE, {5});
    h.rec(EMR_RECTANGLE, {0, 0, 500, -500});
    const QImage img2 = renderNatural(h.finish());
    QCOMPARE_COLOR(img2, 45, 45, kBlue);
    QCOMPARE_COLOR(img2, 51, 51, kWhite);

    // MM_ISOTROPIC: the smaller scale wins in both directions.
    EmfBuilder iso = emfWithNullPen();
    emfBrush(iso, 1, RED);
    iso.rec(EMR_SETMAPMODE, {7});
    iso.rec(EMR_SETWINDOWEXTEX, {100, 100});
    iso.rec(EMR_SETVIEWPORTEXTEX, {50, 100});
    iso.rec(EMR_RECTANGLE, {0, 0, 100, 100});
    const QImage isoImg = renderNatural(iso.finish());
    QCOMPARE_COLOR(isoImg, 45, 45, kRed);
    QCOMPARE_COLOR(isoImg, 45, 55, kWhite);
    QCOMPARE_COLOR(isoImg, 55, 45, kWhite);

    // MM_ANISOTROPIC stretches each way on its own.
    EmfBuilder aniso = emfWithNullPen();
    emfBrush(aniso, 1, RED);
    aniso.rec(EMR_SETMAPMODE, {8});
    aniso.rec(EMR_SETWINDOWORGEX, {1000, 1000});
    aniso.rec(EMR_SETWINDOWEXTEX, {100, 100});
    aniso.rec(EMR_SETVIEWPORTEXTEX, {50, 100});
    aniso.rec(EMR_RECTANGLE, {1000, 1000, 1100, 1100});
    const QImage anisoImg = renderNatural(aniso.finish());
    QCOMPARE_COLOR(anisoImg, 45, 95, kRed);
    QCOMPARE_COLOR(anisoImg, 55, 50, kWhite);
}

void TestMetafileState::worldTransformsCompose()
{
    EmfBuilder e = emfWithNullPen();
    emfBrush(e, 1, RED);
    e.rec(EMR_SETWORLDTRANSFORM, xform(2, 0, 0, 2, 0, 0));
    // Left-multiplying a translation moves in the scaled space: +10 logical = +20 px.
    e.rec(EMR_MODIFYWORLDTRANSFORM, xform(1, 0, 0, 1, 10, 0) + dwords({2}));
    e.rec(EMR_RECTANGLE, {0, 0, 10, 10}); // 20..40 x 0..20
    e.rec(EMR_MODIFYWORLDTRANSFORM, xform(1, 0, 0, 1, 0, 0) + dwords({1}));
    emfBrush(e, 2, BLUE);
    e.rec(EMR_RECTANGLE, {60, 60, 80, 80});
    const QImage img = renderNatural(e.finish());
    QCOMPARE_COLOR(img, 30, 10, kRed);
    QCOMPARE_COLOR(img, 10, 10, kWhite);
    QCOMPARE_COLOR(img, 30, 30, kWhite);
    QCOMPARE_COLOR(img, 70, 70, kBlue);
}

void TestMetafileState::saveRestoreRelativeAndAbsolute()
{
    EmfBuilder e = emfWithNullPen();
    emfBrush(e, 1, RED);
    e.rec(EMR_SAVEDC); // level 1: red
    emfBrush(e, 2, GREEN);
    e.rec(EMR_SAVEDC); // level 2: green
    emfBrush(e, 3, BLUE);
    e.rec(EMR_SAVEDC);          // level 3: blue
    e.rec(EMR_RESTOREDC, {-1}); // back to blue
    e.rec(EMR_RECTANGLE, {0, 0, 30, 30});
    e.rec(EMR_RESTOREDC, {1}); // the first save: red, and the stack is empty
    e.rec(EMR_RECTANGLE, {40, 0, 70, 30});
    e.rec(EMR_RESTOREDC, {-1}); // nothing left to restore: ignored
    e.rec(EMR_RECTANGLE, {0, 40, 30, 70});
    const QImage img = renderNatural(e.finish());
    QCOMPARE_COLOR(img, 15, 15, kBlue);
    QCOMPARE_COLOR(img, 55, 15, kRed);
    QCOMPARE_COLOR(img, 15, 55, kRed);

    // WMF keeps its state the same way.
    WmfBuilder w;
    w.rec(CREATEPENINDIRECT, wmfNullPen()).rec(SELECTOBJECT, {0});
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(RED)).rec(SELECTOBJECT, {1});
    w.rec(SAVEDC);
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(BLUE)).rec(SELECTOBJECT, {2});
    w.rec(SETWINDOWEXT, {50, 50});
    w.rec(RESTOREDC, {-1});
    w.rec(RECTANGLE, {50, 50, 0, 0});
    const QImage wi = renderNatural(w.finish());
    QCOMPARE_COLOR(wi, 40, 40, kRed);
    QCOMPARE_COLOR(wi, 60, 60, kWhite); // the window extent came back too
}

void TestMetafileState::clipRectsRegionsAndPathsLimitDrawing()
{
    EmfBuilder e = emfWithNullPen();
    emfBrush(e, 1, RED);
    e.rec(EMR_SAVEDC);
    e.rec(EMR_INTERSECTCLIPRECT, {10, 10, 90, 90});
    e.rec(EMR_INTERSECTCLIPRECT, {0, 0, 60, 60}); // now 10..60
    e.rec(EMR_EXCLUDECLIPRECT, {30, 30, 40, 40}); // with a hole
    e.rec(EMR_RECTANGLE, {0, 0, 100, 100});
    e.rec(EMR_RESTOREDC, {-1});
    emfBrush(e, 2, BLUE);
    e.rec(EMR_RECTANGLE, {80, 80, 100, 100}); // unclipped again
    const QImage img = renderNatural(e.finish());
    QCOMPARE_COLOR(img, 5, 5, kWhite);
    QCOMPARE_COLOR(img, 15, 15, kRed);
    QCOMPARE_COLOR(img, 55, 55, kRed);
    QCOMPARE_COLOR(img, 65, 20, kWhite);
    QCOMPARE_COLOR(img, 35, 35, kWhite);
    QCOMPARE_COLOR(img, 95, 95, kBlue);

    // The same rules in a WMF, whose clip rectangles are logical.
    WmfBuilder w;
    w.rec(SETWINDOWEXT, {200, 200});
    w.rec(CREATEPENINDIRECT, wmfNullPen()).rec(SELECTOBJECT, {0});
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(GREEN)).rec(SELECTOBJECT, {1});
    w.rec(INTERSECTCLIPRECT, {100, 100, 0, 0});
    w.rec(EXCLUDECLIPRECT, {100, 100, 50, 50});
    w.rec(RECTANGLE, {200, 200, 0, 0});
    const QImage wi = renderNatural(w.finish());
    QCOMPARE_COLOR(wi, 10, 10, kGreen);
    QCOMPARE_COLOR(wi, 40, 40, kWhite);
    QCOMPARE_COLOR(wi, 75, 75, kWhite);

    // A region replaces the clip, moves with an offset and is reset by an empty one.
    auto rgn = [](QList<QRect> rects) {
        Bytes b;
        b.u32(32).u32(1).u32(quint32(rects.size())).u32(quint32(rects.size() * 16));
        b.i32(0).i32(0).i32(100).i32(100);
        for (const QRect &r : rects)
            b.i32(r.left()).i32(r.top()).i32(r.right() + 1).i32(r.bottom() + 1);
        return b.data();
    };
    EmfBuilder r = emfWithNullPen();
    emfBrush(r, 1, RED);
    const QByteArray two = rgn({QRect(0, 0, 20, 20), QRect(50, 50, 20, 20)});
    r.rec(EMR_EXTSELECTCLIPRGN, dwords({two.size(), 5}) + two); // RGN_COPY
    r.rec(EMR_OFFSETCLIPRGN, {10, 0});
    r.rec(EMR_RECTANGLE, {0, 0, 100, 100});
    r.rec(EMR_EXTSELECTCLIPRGN, {0, 5}); // reset
    emfBrush(r, 2, BLUE);
    r.rec(EMR_RECTANGLE, {90, 0, 100, 10});
    const QImage regionImg = renderNatural(r.finish());
    QCOMPARE_COLOR(regionImg, 5, 10, kWhite); // moved right by 10
    QCOMPARE_COLOR(regionImg, 15, 10, kRed);
    QCOMPARE_COLOR(regionImg, 65, 60, kRed);
    QCOMPARE_COLOR(regionImg, 40, 40, kWhite);
    QCOMPARE_COLOR(regionImg, 95, 5, kBlue);

    // A path selected as the clip.
    EmfBuilder p = emfWithNullPen();
    emfBrush(p, 1, RED);
    p.rec(EMR_BEGINPATH);
    p.rec(EMR_POLYGON, dwords({0, 0, 0, 0, 3, 50, 0, 100, 100, 0, 100}));
    p.rec(EMR_ENDPATH);
    p.rec(EMR_SELECTCLIPPATH, {5});
    p.rec(EMR_RECTANGLE, {0, 0, 100, 100});
    const QImage pathImg = renderNatural(p.finish());
    QCOMPARE_COLOR(pathImg, 50, 80, kRed);
    QCOMPARE_COLOR(pathImg, 10, 20, kWhite);
    QCOMPARE_COLOR(pathImg, 90, 20, kWhite);

    // A filled path draws the same triangle.
    EmfBuilder f = emfWithNullPen();
    emfBrush(f, 1, BLUE);
    f.rec(EMR_BEGINPATH);
    f.rec(EMR_POLYGON, dwords({0, 0, 0, 0, 3, 50, 0, 100, 100, 0, 100}));
    f.rec(EMR_ENDPATH);
    f.rec(EMR_FILLPATH, {0, 0, 100, 100});
    const QImage filled = renderNatural(f.finish());
    QCOMPARE_COLOR(filled, 50, 80, kBlue);
    QCOMPARE_COLOR(filled, 10, 20, kWhite);
}

void TestMetafileState::fillModesDecideOverlaps()
{
    // Two nested squares drawn the same way round: the inner one is a hole with
    // ALTERNATE and filled with WINDING.
    const QList<int> pts = {10, 10, 90, 10, 90, 90, 10, 90, 10, 10,
                            30, 30, 70, 30, 70, 70, 30, 70, 30, 30};
    for (int mode : {1, 2}) {
        WmfBuilder w;
        w.rec(CREATEPENINDIRECT, wmfNullPen()).rec(SELECTOBJECT, {0});
        w.rec(CREATEBRUSHINDIRECT, wmfBrush(RED)).rec(SELECTOBJECT, {1});
        w.rec(SETPOLYFILLMODE, {mode});
        Bytes params;
        params.i16(10);
        for (int v : pts)
            params.i16(qint16(v));
        w.rec(POLYGON, params.data());
        const QImage img = renderNatural(w.finish());
        QCOMPARE_COLOR(img, 20, 20, kRed);
        QCOMPARE_COLOR(img, 50, 50, mode == 1 ? kWhite : kRed);
    }
}

void TestMetafileState::objectTablesReuseTheLowestSlotAndKeepWhatIsSelected()
{
    WmfBuilder w;
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(RED));  // slot 0
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(BLUE)); // slot 1
    w.rec(CREATEPENINDIRECT, wmfNullPen());     // slot 2
    w.rec(SELECTOBJECT, {2});
    w.rec(DELETEOBJECT, {0});
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(GREEN)); // takes slot 0 again
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(RED));   // slot 3: 0..2 are busy
    w.rec(SELECTOBJECT, {0});
    w.rec(RECTANGLE, {50, 50, 0, 0});
    w.rec(SELECTOBJECT, {1});
    w.rec(RECTANGLE, {100, 100, 50, 50});
    w.rec(SELECTOBJECT, {3});
    w.rec(RECTANGLE, {50, 100, 0, 50});
    const QImage img = renderNatural(w.finish());
    QCOMPARE_COLOR(img, 25, 25, kGreen);
    QCOMPARE_COLOR(img, 75, 75, kBlue);
    QCOMPARE_COLOR(img, 75, 25, kRed);

    // Deleting a selected brush leaves it in use until another is selected;
    // selecting an empty slot changes nothing.
    EmfBuilder e = emfWithNullPen();
    emfBrush(e, 1, RED);
    e.rec(EMR_DELETEOBJECT, {1});
    e.rec(EMR_SELECTOBJECT, {1});
    e.rec(EMR_SELECTOBJECT, {40});
    e.rec(EMR_RECTANGLE, {0, 0, 50, 50});
    const QImage kept = renderNatural(e.finish());
    QCOMPARE_COLOR(kept, 25, 25, kRed);
}

void TestMetafileState::rop2NotInvertsDestination()
{
    EmfBuilder e = emfWithNullPen();
    emfBrush(e, 1, 0x000000);
    e.rec(EMR_RECTANGLE, {0, 0, 60, 60});
    e.rec(EMR_SETROP2, {6}); // R2_NOT
    e.rec(EMR_RECTANGLE, {30, 30, 90, 90});
    const QImage img = renderNatural(e.finish());
    QCOMPARE_COLOR(img, 15, 15, kBlack);
    QCOMPARE_COLOR(img, 45, 45, kWhite); // black inverted
    QCOMPARE_COLOR(img, 75, 75, kBlack); // white inverted
}

void TestMetafileState::textAlignmentPlacesInk()
{
    auto render = [](quint32 align, int x, int y) {
        return emfTextInk(QStringLiteral("DejaVu Sans"), -30, QStringLiteral("HH"), align, {x, y});
    };
    const QRect top = render(0, 100, 20); // TA_TOP | TA_LEFT
    QVERIFY(!top.isEmpty());
    QVERIFY2(top.top() >= 20 && top.top() <= 30, qPrintable(QString::number(top.top())));
    QVERIFY(top.left() >= 100 && top.left() <= 106);

    const QRect base = render(24, 100, 60); // TA_BASELINE
    QVERIFY2(qAbs(base.bottom() - 59) <= 1, qPrintable(QString::number(base.bottom())));

    const QRect bottom = render(8, 100, 60); // TA_BOTTOM: the descent sits above y
    QVERIFY(bottom.bottom() < 57);

    const QRect right = render(2, 100, 20); // TA_RIGHT
    QVERIFY(right.right() <= 100 && right.right() >= 94);

    const QRect center = render(6, 100, 20); // TA_CENTER
    QVERIFY(qAbs((center.left() + center.right()) / 2 - 100) <= 2);
}

void TestMetafileState::textUpdatesCurrentPosition()
{
    // With TA_UPDATECP the reference point is ignored and each run continues the last.
    WmfBuilder w(QRect(0, 0, 300, 100));
    Bytes font;
    font.i16(-30).i16(0).i16(0).i16(0).i16(400).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0);
    font.raw(QByteArray("DejaVu Sans")).u8(0);
    w.rec(CREATEFONTINDIRECT, font.data()).rec(SELECTOBJECT, {0});
    w.rec(SETBKMODE, {1});
    w.rec(SETTEXTALIGN, {1}); // TA_UPDATECP | TA_TOP | TA_LEFT
    w.rec(MOVETO, {10, 20});  // y, x
    Bytes t1;
    t1.i16(2).raw(QByteArray("HH")).i16(0).i16(0);
    w.rec(TEXTOUT, t1.data());
    w.rec(TEXTOUT, t1.data());
    const QImage img = renderNatural(w.finish());
    const QRect ink = inkBounds(img);
    QVERIFY(ink.left() >= 20 && ink.left() <= 26);
    QVERIFY(ink.top() >= 10 && ink.top() <= 20);
    // Four H's side by side: about four advances wide.
    QVERIFY2(ink.width() > 70, qPrintable(QString::number(ink.width())));

    // ETO_PDY: each character also carries a vertical advance, up the page,
    // and the current position moves on by both: "l" at (10, 90), (30, 70), (50, 50).
    WmfBuilder p(QRect(0, 0, 300, 100));
    p.rec(CREATEFONTINDIRECT, font.data()).rec(SELECTOBJECT, {0}).rec(SETBKMODE, {1});
    p.rec(SETTEXTALIGN, {25}).rec(MOVETO, {90, 10}); // TA_UPDATECP | TA_BASELINE; y, x
    p.rec(EXTTEXTOUT,
          Bytes().i16(0).i16(0).i16(2).u16(0x2000).raw("ll").raw(words({20, 20, 20, 20})).data());
    p.rec(TEXTOUT, Bytes().i16(1).raw("l").u8(0).i16(0).i16(0).data());
    const QImage stepped = renderNatural(p.finish());
    for (int i = 0; i < 3; ++i) {
        const int bottom = inkBounds(stepped.copy(8 + 20 * i, 0, 14, 100)).bottom();
        QVERIFY2(qAbs(bottom + 1 - (90 - 20 * i)) <= 1, qPrintable(QString::number(bottom)));
    }
}

void TestMetafileState::textBaselineSitsOnAPixelRow()
{
    // "HH" on a baseline at y = 60 of a 100 unit high picture, drawn at many
    // heights: the flat feet of the H end on the row above the baseline, never
    // on a row below it (the baseline itself is a pixel edge).
    EmfBuilder e(QSize(200, 100));
    e.rec(EMR_EXTCREATEFONTINDIRECTW, emfFont(1, -30, QStringLiteral("DejaVu Sans")));
    e.rec(EMR_SELECTOBJECT, {1});
    e.rec(EMR_SETBKMODE, {1});
    e.rec(EMR_SETTEXTALIGN, {24}); // TA_BASELINE
    e.rec(EMR_EXTTEXTOUTW, emfText(50, 60, QStringLiteral("HH")));
    const auto pic = loadOrFail(e.finish());
    QVERIFY(pic);
    for (int h = 100; h <= 124; ++h) {
        const QImage img = pic->render(QSize(2 * h, h));
        const QRect ink = inkBounds(img);
        // Where the baseline lands, pixel centres being whole coordinates.
        const double baseline = 60.0 * h / 100.0 - 0.5;
        const int lastRow = int(std::floor(baseline + 0.25)) - 1;
        QVERIFY2(ink.bottom() <= lastRow && ink.bottom() >= lastRow - 1,
                 qPrintable(QStringLiteral("height %1: ink ends on row %2, baseline %3")
                                .arg(h)
                                .arg(ink.bottom())
                                .arg(baseline)));
    }
}

void TestMetafileState::symbolFontsDrawTheirShapes()
{
    // One character of a symbol font, large, black on white.
    auto render = [](const QString &face, QChar c) {
        EmfBuilder e(QSize(200, 100));
        e.rec(EMR_EXTCREATEFONTINDIRECTW, emfFont(1, -80, face));
        e.rec(EMR_SELECTOBJECT, {1});
        e.rec(EMR_SETBKMODE, {1});
        e.rec(EMR_EXTTEXTOUTW, emfText(20, 10, QString(c)));
        return renderNatural(e.finish());
    };
    auto dark = [](const QImage &img, int x, int y) {
        return qGray(img.pixel(x, y)) < 128;
    };

    // Wingdings 3 "p" is a triangle pointing up.
    const QImage up = render(QStringLiteral("Wingdings 3"), QLatin1Char('p'));
    const QRect upBox = inkBounds(up);
    QVERIFY2(upBox.width() > 25, qPrintable(QString::number(upBox.width())));
    QVERIFY(dark(up, upBox.left() + 2, upBox.bottom() - 2));
    QVERIFY(!dark(up, upBox.left() + 2, upBox.top() + 2));

    // Wingdings 2 0xA2 is a filled square, dark to its corners.
    const QImage square = render(QStringLiteral("Wingdings 2"), QChar(0xA2));
    const QRect box = inkBounds(square);
    QVERIFY2(box.width() > 25 && qAbs(box.width() - box.height()) <= 3,
             qPrintable(QStringLiteral("%1x%2").arg(box.width()).arg(box.height())));
    QVERIFY(dark(square, box.left() + 1, box.top() + 1));
    QVERIFY(dark(square, box.right() - 1, box.bottom() - 1));

    // A tall brace stacked from the Symbol font's top, middle and bottom pieces
    // an em apart: a stroke about a twentieth of the em wide, like the font's
    // own, not the heavy pieces of a text font.
    if (!installed(QStringLiteral("OpenSymbol")))
        QSKIP("OpenSymbol is not installed");
    EmfBuilder e(QSize(100, 300));
    e.rec(EMR_EXTCREATEFONTINDIRECTW, emfFont(1, -100, QStringLiteral("Symbol")));
    e.rec(EMR_SELECTOBJECT, {1}).rec(EMR_SETTEXTALIGN, {24}); // TA_BASELINE
    for (int piece = 0; piece < 3; ++piece)
        e.rec(EMR_EXTTEXTOUTW, emfText(20, 100 * (piece + 1), QString(QChar(0xEC + piece))));
    const QImage brace = renderNatural(e.finish());
    for (int y : {60, 110, 190, 240}) {
        const int width = inkBounds(brace.copy(0, y, 100, 1)).width();
        QVERIFY2(width >= 2 && width <= 7,
                 qPrintable(QStringLiteral("row %1: %2").arg(y).arg(width)));
    }
}

void TestMetafileState::fontWidthScalesFromTheAverageLetter()
{
    // Arial's average character width is 904/2048 of its em: a font asked for
    // at that width is Arial as it comes, and half of it is half as wide. The
    // stand-in font states a larger average of its own, which must not narrow it.
    if (!QFontInfo(QFont(QStringLiteral("Arial"))).family().contains(QLatin1String("Liberation")))
        QSKIP("no metric-compatible stand-in for Arial");
    const QString text = QStringLiteral("Tiny Pictures");
    const int natural = emfTextInk(QStringLiteral("Arial"), -40, text).width();
    QVERIFY2(natural > 200, qPrintable(QString::number(natural)));
    const int average = emfTextInk(QStringLiteral("Arial"), -40, text, 0, {10, 20}, 18).width();
    QVERIFY2(qAbs(average - natural) <= 5, qPrintable(QString::number(average)));
    const int half = emfTextInk(QStringLiteral("Arial"), -40, text, 0, {10, 20}, 9).width();
    QVERIFY2(qAbs(2 * half - natural) <= 10, qPrintable(QString::number(half)));
}

void TestMetafileState::fontCellIsTheWindowsAscentAndDescent()
{
    // The Symbol font is drawn with OpenSymbol, whose horizontal header gives
    // an ascent of 0.693 em; GDI measures the top of a line and a cell height
    // with the Windows ascent and descent of the OS/2 table, 0.926 and 0.313 em.
    if (!installed(QStringLiteral("OpenSymbol")))
        QSKIP("OpenSymbol is not installed");
    const QString etas = QStringLiteral("HH");
    // TA_TOP: the baseline sits 93 pixels below the top for a 100 pixel em.
    const QRect top = emfTextInk(QStringLiteral("Symbol"), -100, etas);
    QVERIFY2(qAbs(top.bottom() + 1 - 113) <= 2, qPrintable(QString::number(top.bottom())));
    // A cell height of 124 is that same em (TA_BASELINE).
    const QRect cell = emfTextInk(QStringLiteral("Symbol"), 124, etas, 24, {10, 150});
    QVERIFY2(qAbs(cell.height() - top.height()) <= 2, qPrintable(QString::number(cell.height())));

    // Windows draws Helvetica as Arial, whose ascent is not that of the
    // PostScript Helvetica found here.
    QCOMPARE(emfTextInk(QStringLiteral("Helvetica"), -100, etas),
             emfTextInk(QStringLiteral("Arial"), -100, etas));
}

void TestMetafileState::stretchDibFlipsBottomUpRows()
{
    // A 2 x 2 DIB: red, green on the top row; blue, black below.
    const QByteArray dib = dib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x000000});
    Bytes rec;
    rec.i32(0).i32(0).i32(99).i32(99);
    rec.i32(0).i32(0).i32(0).i32(0).i32(2).i32(2); // dest x, y; src x, y, cx, cy
    rec.u32(80).u32(40).u32(120).u32(quint32(dib.size() - 40));
    rec.u32(0).u32(0x00CC0020).i32(100).i32(100);
    rec.raw(dib);
    EmfBuilder e;
    e.rec(EMR_STRETCHDIBITS, rec.data());
    const QImage img = renderNatural(e.finish());
    QCOMPARE_COLOR(img, 20, 20, kRed);
    QCOMPARE_COLOR(img, 80, 20, kGreen);
    QCOMPARE_COLOR(img, 20, 80, kBlue);
    QCOMPARE_COLOR(img, 80, 80, kBlack);

    // A source rectangle picks the lower right pixel (rows count from the bottom).
    Bytes part;
    part.i32(0).i32(0).i32(99).i32(99);
    part.i32(0).i32(0).i32(1).i32(0).i32(1).i32(1);
    part.u32(80).u32(40).u32(120).u32(quint32(dib.size() - 40));
    part.u32(0).u32(0x00CC0020).i32(50).i32(50);
    part.raw(dib);
    EmfBuilder p;
    p.rec(EMR_STRETCHDIBITS, part.data());
    const QImage one = renderNatural(p.finish());
    QCOMPARE_COLOR(one, 25, 25, kBlack);
    QCOMPARE_COLOR(one, 75, 75, kWhite);

    // WMF STRETCHDIB: rop, usage, src h, w, y, x, dest h, w, y, x, DIB.
    WmfBuilder w;
    Bytes wp;
    wp.u32(0x00CC0020).u16(0).i16(2).i16(2).i16(0).i16(0).i16(100).i16(100).i16(0).i16(0).raw(dib);
    w.rec(STRETCHDIB, wp.data());
    const QImage wi = renderNatural(w.finish());
    QCOMPARE_COLOR(wi, 20, 20, kRed);
    QCOMPARE_COLOR(wi, 20, 80, kBlue);
}

void TestMetafileState::nullPenAndBrushDrawNothing()
{
    EmfBuilder e;
    e.rec(EMR_SELECTOBJECT, {0x80000008u}); // NULL_PEN
    e.rec(EMR_SELECTOBJECT, {0x80000005u}); // NULL_BRUSH
    e.rec(EMR_RECTANGLE, {10, 10, 90, 90});
    e.rec(EMR_CREATEPEN, {1, 0, 4, 0, BLUE});
    e.rec(EMR_SELECTOBJECT, {1});
    e.rec(EMR_RECTANGLE, {20, 20, 80, 80}); // outline only
    const QImage img = renderNatural(e.finish());
    QCOMPARE_COLOR(img, 10, 50, kWhite);
    QCOMPARE_COLOR(img, 20, 50, kBlue);
    QCOMPARE_COLOR(img, 50, 50, kWhite);
}

void TestMetafileState::thinStyledPensDashOnePixelWide()
{
    // A dashed pen one logical unit wide where a unit is a fiftieth of a pixel:
    // the line is still drawn, as one-pixel dashes with gaps between them.
    for (int style : {1, 2, 3, 4}) {                 // PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT
        WmfBuilder w(QRect(0, 0, 5000, 5000), 4800); // 100 pixels square
        w.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {5000, 5000});
        w.rec(SETBKMODE, {1}); // transparent: the gaps stay white
        w.rec(CREATEPENINDIRECT, words({style, 1, 0, 0, 0})).rec(SELECTOBJECT, {0});
        w.rec(MOVETO, {2500, 250}).rec(LINETO, {2500, 4750}); // y, x
        const QImage img = renderNatural(w.finish());
        QVERIFY(!img.isNull());
        const int row = img.height() / 2;
        int dark = 0, light = 0;
        for (int x = 10; x < img.width() - 10; ++x) {
            int darkest = 255;
            for (int y = row - 1; y <= row + 1; ++y)
                darkest = qMin(darkest, qGray(img.pixel(x, y)));
            (darkest < 100 ? dark : light) += 1;
        }
        QVERIFY2(
            dark > 5 && light > 5,
            qPrintable(
                QStringLiteral("style %1: %2 dark, %3 light").arg(style).arg(dark).arg(light)));
    }
}

void TestMetafileState::linesRunThroughPixelCentres()
{
    // Vertical lines, a hairline and a one-unit pen, in a 94 unit picture drawn
    // 96 pixels wide: each must darken one column, not share its ink between two.
    for (int width : {0, 1}) {
        WmfBuilder w(QRect(0, 0, 94, 94));
        w.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {94, 94});
        w.rec(CREATEPENINDIRECT, words({0, width, 0, 0, 0})).rec(SELECTOBJECT, {0});
        for (int x : {4, 13, 23, 32, 42, 51, 61, 70, 80, 89})
            w.rec(MOVETO, {0, x}).rec(LINETO, {94, x}); // y, x
        const auto pic = loadOrFail(w.finish());
        QVERIFY(pic);
        const QImage img = pic->render(QSize(96, 96));
        int lines = 0;
        for (int x = 1; x < 95; ++x) {
            const int g = qGray(img.pixel(x, 48));
            QVERIFY2(g < 40 || g > 215,
                     qPrintable(
                         QStringLiteral("pen %1: column %2 is grey %3").arg(width).arg(x).arg(g)));
            lines += g < 40;
        }
        QCOMPARE(lines, 10);
    }

    // A two-pixel pen along a row boundary is centred on a pixel: one full row
    // with equal halves above and below it, as other renderers draw it.
    WmfBuilder w(QRect(0, 0, 200, 200), 192); // two units a pixel
    w.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {200, 200});
    w.rec(CREATEPENINDIRECT, words({0, 4, 0, 0, 0})).rec(SELECTOBJECT, {0});
    w.rec(MOVETO, {51, 20}).rec(LINETO, {51, 180}); // y 51: between rows 24 and 25
    const QImage img = renderNatural(w.finish());
    QCOMPARE(img.size(), QSize(100, 100));
    int full = -1;
    for (int y = 20; y < 30; ++y)
        if (qGray(img.pixel(50, y)) < 20)
            full = full < 0 ? y : 1000; // exactly one full row
    QVERIFY2(full > 0 && full < 1000, qPrintable(QString::number(full)));
    const int above = qGray(img.pixel(50, full - 1)), below = qGray(img.pixel(50, full + 1));
    QVERIFY2(qAbs(above - below) < 30 && above < 200,
             qPrintable(QStringLiteral("%1 / %2").arg(above).arg(below)));

    // Pens 2.6 and 1.4 pixels wide are drawn 3 and 1 whole pixels wide.
    for (const auto &[units, rows] : {std::pair{26, 3}, std::pair{14, 1}}) {
        WmfBuilder r(QRect(0, 0, 1000, 1000), 960); // ten units a pixel
        r.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {1000, 1000});
        r.rec(CREATEPENINDIRECT, words({0, units, 0, 0, 0})).rec(SELECTOBJECT, {0});
        r.rec(MOVETO, {505, 100}).rec(LINETO, {505, 900}); // y, x
        const QImage rounded = renderNatural(r.finish());
        for (int y = 40; y < 60; ++y) {
            const int g = qGray(rounded.pixel(50, y));
            QVERIFY2(g < 40 || g > 215, qPrintable(QStringLiteral("row %1: %2").arg(y).arg(g)));
        }
        QCOMPARE(inkBounds(rounded.copy(50, 0, 1, 100)).height(), rows);
    }

    // A border around the whole picture shows on all four sides.
    WmfBuilder border(QRect(0, 0, 100, 100), 96);
    border.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {100, 100});
    border.rec(RECTANGLE, {100, 100, 0, 0});
    const QImage framed = renderNatural(border.finish());
    for (const QPoint &edge : {QPoint(50, 0), QPoint(0, 50), QPoint(50, 99), QPoint(99, 50)})
        QVERIFY2(qGray(framed.pixel(edge)) < 40,
                 qPrintable(QStringLiteral("%1,%2").arg(edge.x()).arg(edge.y())));
}

void TestMetafileState::boxesFillWholePixels()
{
    // Boxes whose edges fall between pixel rows and columns: every pixel is
    // either filled or untouched, never half-covered grey.
    WmfBuilder w(QRect(0, 0, 200, 200), 192); // two units a pixel
    w.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {200, 200});
    w.rec(CREATEPENINDIRECT, wmfNullPen()).rec(SELECTOBJECT, {0});
    w.rec(CREATEBRUSHINDIRECT, wmfBrush(0)).rec(SELECTOBJECT, {1});
    w.rec(RECTANGLE, {80, 81, 52, 21});     // bottom, right, top, left
    w.rec(RECTANGLE, {150, 171, 101, 121}); // odd edges the other way
    const QImage img = renderNatural(w.finish());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int g = qGray(img.pixel(x, y));
            QVERIFY2(g < 20 || g > 235,
                     qPrintable(QStringLiteral("(%1,%2) is grey %3").arg(x).arg(y).arg(g)));
        }
    QCOMPARE(inkBounds(img), QRect(10, 25, 75, 49)); // both boxes, edges rounded down
}

QTEST_MAIN(TestMetafileState)
#include "tst_metafile_state.moc"
