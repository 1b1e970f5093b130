// The metafile player's drawing-state rules, checked on pixels of small metafiles.
#include "MetafileBuilder.h"

#include <QTest>
#include <cmath>

using namespace metafile::test;

namespace {

// A 2 x 2 DIB: red, green on the top row; blue, black below.
const QByteArray kDib = dib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x000000});

// EMR_STRETCHDIBITS of kDib's source rectangle onto (0, 0, width, height).
QByteArray stretchDibits(QRect source, QSize dest)
{
    return dwords({0, 0, 99, 99, 0, 0, source.x(), source.y(), source.width(), source.height(), 80,
                   40, 120, kDib.size() - 40, 0, SRCCOPY, dest.width(), dest.height()}) +
           kDib;
}

// An EMF with one run of transparent text.
QByteArray text(QSize size, const char *face, int height, const QString &text, quint32 align,
                QPoint at, int width = 0, int charSet = 0, const QList<int> &dx = {})
{
    EmfBuilder e(size);
    e.rec(EMR_EXTCREATEFONTINDIRECTW,
          emfFont(1, height, QString::fromLatin1(face), width, charSet));
    e.rec(EMR_SELECTOBJECT, {1}).rec(EMR_SETBKMODE, {1}).rec(EMR_SETTEXTALIGN, {align});
    return e.rec(EMR_EXTTEXTOUTW, emfText(at.x(), at.y(), text, dx)).finish();
}

// Ink of one run of transparent text in a 300 x 200 EMF.
QRect textInk(const char *face, int height, const QString &s, quint32 align = 0,
              QPoint at = {10, 20}, int width = 0)
{
    return inkBounds(renderNatural(text(QSize(300, 200), face, height, s, align, at, width)));
}

// A square WMF, window on frame, drawing lines with one pen on a transparent background.
QByteArray penLines(int units, int unitsPerInch, int style, int width, const QList<QLine> &lines)
{
    WmfBuilder w(QRect(0, 0, units, units), unitsPerInch);
    w.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {units, units}).rec(SETBKMODE, {1});
    w.rec(CREATEPENINDIRECT, {style, width, 0, 0, 0}).rec(SELECTOBJECT, {0});
    for (const QLine &l : lines)
        w.rec(MOVETO, {l.y1(), l.x1()}).rec(LINETO, {l.y2(), l.x2()});
    return w.finish();
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

// The first pixel of the area that is neither darker than dark nor lighter than light.
QString greyPixel(const QImage &img, QRect area, int dark, int light)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (const int g = qGray(img.pixel(x, y)); g >= dark && g <= light)
                return QString::asprintf("(%d,%d) is grey %d", x, y, g);
    return {};
}

// A black box, a poly-polygon under MM_ANISOTROPIC far from the origin, maybe outlined.
QByteArray farOutBox(WmfBuilder w, QPoint windowOrg, std::optional<QSize> windowExt, QRect box,
                     bool outlined = false)
{
    w.rec(SETMAPMODE, {8}).rec(SETWINDOWORG, {windowOrg.y(), windowOrg.x()});
    if (windowExt)
        w.rec(SETWINDOWEXT, {windowExt->height(), windowExt->width()});
    outlined ? w.rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(0)).rec(SELECTOBJECT, {0}) : w.fill(0);
    const int l = box.left(), t = box.top(), r = l + box.width(), b = t + box.height();
    return w.rec(POLYPOLYGON, {1, 4, l, t, r, t, r, b, l, b}).finish();
}

} // namespace

class TestMetafileState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pixels_data();
    void pixels();
    void farOutDrawingKeepsItsPixelsAndEmfFrameLandsOnTheBounds();
    void textIsPlacedByAlignmentAndKeepsItsPixelsAtEverySize();
    void fontsFollowWindowsMetricsAndSymbolFontsDrawTheirShapes();
    void pensAndBoxesCoverWholePixels();
};

void TestMetafileState::pixels_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("naturalSize"); // checked when valid
    QTest::addColumn<Probes>("probes");
    const auto row = [](const char *name, const auto &builder, Probes probes, QSize size = {}) {
        QTest::newRow(name) << builder.finish() << size << probes;
    };

    // WMF window and frame.
    WmfBuilder window;
    window.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {200, 200});
    window.fill(RED).rec(RECTANGLE, {100, 100, 0, 0}); // bottom, right, top, left
    row("WMF window onto the frame", window,
        {{25, 25, kRed}, {48, 48, kRed}, {52, 52, kWhite}, {75, 25, kWhite}}, QSize(100, 100));
    WmfBuilder mirrored; // y runs upwards from 100: logical 0..40 is the bottom
    mirrored.rec(SETWINDOWORG, {100, 0}).rec(SETWINDOWEXT, {-100, 100});
    mirrored.fill(BLUE).rec(RECTANGLE, {40, 100, 0, 0});
    row("WMF window origin and negative extent", mirrored, {{50, 10, kWhite}, {50, 90, kBlue}});
    WmfBuilder inches(QRect(0, 0, 2880, 1440), 1440); // 2 x 1 inches
    inches.fill(RED).rec(RECTANGLE, {1440, 1440, 0, 0});
    row("WMF units per inch", inches, {{40, 50, kRed}, {150, 50, kWhite}}, QSize(192, 96));
    WmfBuilder standard(QRect(), 0, false);
    standard.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {60, 120}).rec(RECTANGLE, {10, 10, 0, 0});
    row("standard WMF sized by its window", standard, {}, QSize(120, 60));
    WmfBuilder bare(QRect(), 0, false);
    bare.rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(BLUE)).rec(SELECTOBJECT, {0});
    bare.rec(RECTANGLE, {60, 50, 20, 10}); // 10..50 x 20..60
    row("WMF sized by its drawing", bare, {{20, 20, kBlue}}, QSize(41, 41));

    // EMF map modes. MM_LOMETRIC: 0.1 mm, y up, 100 units = 37.8 px at 96 dpi.
    EmfBuilder lometric;
    lometric.fill(1, RED).rec(EMR_SETMAPMODE, {2}).rec(EMR_SETVIEWPORTORGEX, {0, 100});
    lometric.rec(EMR_RECTANGLE, {0, 100, 100, 0});
    row("MM_LOMETRIC", lometric,
        {{10, 90, kRed}, {35, 65, kRed}, {10, 55, kWhite}, {45, 90, kWhite}});
    EmfBuilder hienglish; // 0.001 inch: 500 units = 48 px
    hienglish.fill(1, BLUE).rec(EMR_SETMAPMODE, {5}).rec(EMR_RECTANGLE, {0, 0, 500, -500});
    row("MM_HIENGLISH", hienglish, {{45, 45, kBlue}, {51, 51, kWhite}});
    EmfBuilder iso; // the smaller scale wins both ways
    iso.fill(1, RED).rec(EMR_SETMAPMODE, {7}).rec(EMR_SETWINDOWEXTEX, {100, 100});
    iso.rec(EMR_SETVIEWPORTEXTEX, {50, 100}).rec(EMR_RECTANGLE, {0, 0, 100, 100});
    row("MM_ISOTROPIC", iso, {{45, 45, kRed}, {45, 55, kWhite}, {55, 45, kWhite}});
    EmfBuilder aniso;
    aniso.fill(1, RED).rec(EMR_SETMAPMODE, {8}).rec(EMR_SETWINDOWORGEX, {1000, 1000});
    aniso.rec(EMR_SETWINDOWEXTEX, {100, 100}).rec(EMR_SETVIEWPORTEXTEX, {50, 100});
    aniso.rec(EMR_RECTANGLE, {1000, 1000, 1100, 1100});
    row("MM_ANISOTROPIC", aniso, {{45, 95, kRed}, {55, 50, kWhite}});

    // Left-multiplying a translation moves in the scaled space: +10 logical = +20 px.
    EmfBuilder world;
    world.fill(1, RED).rec(EMR_SETWORLDTRANSFORM, floats({2, 0, 0, 2, 0, 0}));
    world.rec(EMR_MODIFYWORLDTRANSFORM, floats({1, 0, 0, 1, 10, 0}) + dwords({2}));
    world.rec(EMR_RECTANGLE, {0, 0, 10, 10});                                      // 20..40 x 0..20
    world.rec(EMR_MODIFYWORLDTRANSFORM, floats({1, 0, 0, 1, 0, 0}) + dwords({1})); // reset
    world.brush(2, BLUE).rec(EMR_RECTANGLE, {60, 60, 80, 80});
    row("world transforms compose", world,
        {{30, 10, kRed}, {10, 10, kWhite}, {30, 30, kWhite}, {70, 70, kBlue}});

    // Saved states: relative and absolute, and an empty stack ignored.
    EmfBuilder saves;
    saves.fill(1, RED).rec(EMR_SAVEDC).brush(2, GREEN).rec(EMR_SAVEDC).brush(3, BLUE);
    saves.rec(EMR_SAVEDC).rec(EMR_RESTOREDC, {-1}).rec(EMR_RECTANGLE, {0, 0, 30, 30}); // blue
    saves.rec(EMR_RESTOREDC, {1}).rec(EMR_RECTANGLE, {40, 0, 70, 30}); // red, stack empty
    saves.rec(EMR_RESTOREDC, {-1}).rec(EMR_RECTANGLE, {0, 40, 30, 70});
    row("EMF save and restore", saves, {{15, 15, kBlue}, {55, 15, kRed}, {15, 55, kRed}});
    WmfBuilder wmfSaves; // the window extent comes back too
    wmfSaves.fill(RED).rec(SAVEDC).rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(BLUE));
    wmfSaves.rec(SELECTOBJECT, {2}).rec(SETWINDOWEXT, {50, 50}).rec(RESTOREDC, {-1});
    wmfSaves.rec(RECTANGLE, {50, 50, 0, 0});
    row("WMF save and restore", wmfSaves, {{40, 40, kRed}, {60, 60, kWhite}});

    // Clipping by rectangles, regions and paths.
    EmfBuilder clip;
    clip.fill(1, RED).rec(EMR_SAVEDC).rec(EMR_INTERSECTCLIPRECT, {10, 10, 90, 90});
    clip.rec(EMR_INTERSECTCLIPRECT, {0, 0, 60, 60}).rec(EMR_EXCLUDECLIPRECT, {30, 30, 40, 40});
    clip.rec(EMR_RECTANGLE, {0, 0, 100, 100}).rec(EMR_RESTOREDC, {-1});
    clip.brush(2, BLUE).rec(EMR_RECTANGLE, {80, 80, 100, 100}); // unclipped again
    row("EMF clip rectangles", clip,
        {{5, 5, kWhite},
         {15, 15, kRed},
         {55, 55, kRed},
         {65, 20, kWhite},
         {35, 35, kWhite},
         {95, 95, kBlue}});
    WmfBuilder wmfClip; // logical clip rectangles
    wmfClip.rec(SETWINDOWEXT, {200, 200}).fill(GREEN).rec(INTERSECTCLIPRECT, {100, 100, 0, 0});
    wmfClip.rec(EXCLUDECLIPRECT, {100, 100, 50, 50}).rec(RECTANGLE, {200, 200, 0, 0});
    row("WMF clip rectangles", wmfClip, {{10, 10, kGreen}, {40, 40, kWhite}, {75, 75, kWhite}});
    // Two 20 x 20 rectangles as RGN_COPY, offset, then reset by an empty region.
    const QByteArray rgn = dwords({32, 1, 2, 32, 0, 0, 100, 100, 0, 0, 20, 20, 50, 50, 70, 70});
    EmfBuilder region;
    region.fill(1, RED).rec(EMR_EXTSELECTCLIPRGN, dwords({rgn.size(), 5}) + rgn);
    region.rec(EMR_OFFSETCLIPRGN, {10, 0}).rec(EMR_RECTANGLE, {0, 0, 100, 100});
    region.rec(EMR_EXTSELECTCLIPRGN, {0, 5}).brush(2, BLUE).rec(EMR_RECTANGLE, {90, 0, 100, 10});
    row("clip region", region,
        {{5, 10, kWhite}, {15, 10, kRed}, {65, 60, kRed}, {40, 40, kWhite}, {95, 5, kBlue}});
    const QByteArray triangle = dwords({0, 0, 0, 0, 3, 50, 0, 100, 100, 0, 100});
    EmfBuilder clipPath;
    clipPath.fill(1, RED).rec(EMR_BEGINPATH).rec(EMR_POLYGON, triangle).rec(EMR_ENDPATH);
    clipPath.rec(EMR_SELECTCLIPPATH, {5}).rec(EMR_RECTANGLE, {0, 0, 100, 100});
    row("clip path", clipPath, {{50, 80, kRed}, {10, 20, kWhite}, {90, 20, kWhite}});
    EmfBuilder fillPath;
    fillPath.fill(1, BLUE).rec(EMR_BEGINPATH).rec(EMR_POLYGON, triangle).rec(EMR_ENDPATH);
    fillPath.rec(EMR_FILLPATH, {0, 0, 100, 100});
    row("filled path", fillPath, {{50, 80, kBlue}, {10, 20, kWhite}});

    // Nested squares the same way round: the inner one a hole with ALTERNATE, not WINDING.
    for (const int mode : {1, 2}) {
        WmfBuilder w;
        w.fill(RED).rec(SETPOLYFILLMODE, {mode});
        w.rec(POLYGON, {10, 10, 10, 90, 10, 90, 90, 10, 90, 10, 10, // count, outer square
                        30, 30, 70, 30, 70, 70, 30, 70, 30, 30});
        row(mode == 1 ? "ALTERNATE" : "WINDING", w,
            {{20, 20, kRed}, {50, 50, mode == 1 ? kWhite : kRed}});
    }

    // Object tables reuse the lowest free slot.
    WmfBuilder slots;
    slots.rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(RED));  // slot 0
    slots.rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(BLUE)); // slot 1
    slots.rec(CREATEPENINDIRECT, {5, 0, 0, 0, 0}).rec(SELECTOBJECT, {2}).rec(DELETEOBJECT, {0});
    slots.rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(GREEN)); // takes slot 0 again
    slots.rec(CREATEBRUSHINDIRECT, WmfBuilder::brush(RED));   // slot 3: 0..2 are busy
    slots.rec(SELECTOBJECT, {0}).rec(RECTANGLE, {50, 50, 0, 0});
    slots.rec(SELECTOBJECT, {1}).rec(RECTANGLE, {100, 100, 50, 50});
    slots.rec(SELECTOBJECT, {3}).rec(RECTANGLE, {50, 100, 0, 50});
    row("WMF object slots", slots, {{25, 25, kGreen}, {75, 75, kBlue}, {75, 25, kRed}});
    // Deleting a selected brush leaves it in use; selecting an empty slot changes nothing.
    EmfBuilder kept;
    kept.fill(1, RED).rec(EMR_DELETEOBJECT, {1}).rec(EMR_SELECTOBJECT, {1});
    kept.rec(EMR_SELECTOBJECT, {40}).rec(EMR_RECTANGLE, {0, 0, 50, 50});
    row("deleted selected brush", kept, {{25, 25, kRed}});

    EmfBuilder rop;
    rop.fill(1, 0).rec(EMR_RECTANGLE, {0, 0, 60, 60});
    rop.rec(EMR_SETROP2, {6}).rec(EMR_RECTANGLE, {30, 30, 90, 90}); // R2_NOT
    row("R2_NOT", rop, {{15, 15, kBlack}, {45, 45, kWhite}, {75, 75, kBlack}});

    // DIBs' bottom-up rows; a source rectangle counts rows from the bottom.
    EmfBuilder dib;
    dib.rec(EMR_STRETCHDIBITS, stretchDibits(QRect(0, 0, 2, 2), QSize(100, 100)));
    row("STRETCHDIBITS", dib,
        {{20, 20, kRed}, {80, 20, kGreen}, {20, 80, kBlue}, {80, 80, kBlack}});
    EmfBuilder part;
    part.rec(EMR_STRETCHDIBITS, stretchDibits(QRect(1, 0, 1, 1), QSize(50, 50)));
    row("STRETCHDIBITS source rectangle", part, {{25, 25, kBlack}, {75, 75, kWhite}});
    WmfBuilder wmfDib; // rop, usage, src h, w, y, x, dest h, w, y, x, DIB
    wmfDib.rec(STRETCHDIB, dwords({SRCCOPY}) + words({0, 2, 2, 0, 0, 100, 100, 0, 0}) + kDib);
    row("WMF STRETCHDIB", wmfDib, {{20, 20, kRed}, {20, 80, kBlue}});

    EmfBuilder nothing; // then a pen draws the outline only
    nothing.rec(EMR_SELECTOBJECT, {NULL_PEN}).rec(EMR_SELECTOBJECT, {NULL_BRUSH});
    nothing.rec(EMR_RECTANGLE, {10, 10, 90, 90}).rec(EMR_CREATEPEN, {1, 0, 4, 0, BLUE});
    nothing.rec(EMR_SELECTOBJECT, {1}).rec(EMR_RECTANGLE, {20, 20, 80, 80});
    row("null pen and brush", nothing, {{10, 50, kWhite}, {20, 50, kBlue}, {50, 50, kWhite}});
}

void TestMetafileState::pixels()
{
    QFETCH(QByteArray, file);
    QFETCH(QSize, naturalSize);
    QFETCH(Probes, probes);
    const auto pic = loadOrFail(file);
    QVERIFY(pic);
    if (naturalSize.isValid())
        QCOMPARE(pic->naturalSize(), naturalSize);
    QVERIFY_NO_MESSAGE(pixelMismatch(pic->toImage(), probes));
}

void TestMetafileState::farOutDrawingKeepsItsPixelsAndEmfFrameLandsOnTheBounds()
{
    // Glyph outlines far from zero, often upside down: the window maps them onto the frame.
    const auto drawnAt = [](int y0, int d, bool placeable) {
        const WmfBuilder w(QRect(0, qMin(y0, y0 + 1000 * d), 1000, 1000), 96, placeable);
        return renderNatural(farOutBox(w, QPoint(0, y0), QSize(1000, 1000 * d),
                                       QRect(100, y0 + 100 * d, 800, 800 * d), true));
    };
    for (const int direction : {1, -1}) {
        for (const bool placeable : {true, false}) {
            const QImage atZero = drawnAt(0, direction, placeable);
            QCOMPARE(atZero.size(), QSize(1000, 1000));
            // 800 units between the outlines, both drawn: 801 pixels.
            QCOMPARE(inkBounds(atZero).size(), QSize(801, 801));
            for (const int y0 : {-30000, -2000, 20000})
                QCOMPARE(drawnAt(y0, direction, placeable), atZero);
        }
    }

    // A box from 100 to 900 of 1000 units on 100 pixels fills 80 whole pixels (its
    // edges, on pixel centres, go to the pixel edge before them), wherever it lies.
    for (int y0 : {0, -30000, -12345, 20000}) {
        const QRect box(100, y0 + 100, 800, 800);
        const auto withFrame = loadOrFail(farOutBox(WmfBuilder(QRect(0, y0, 1000, 1000), 960),
                                                    QPoint(0, y0), QSize(1000, 1000), box));
        QVERIFY(withFrame);
        QCOMPARE(withFrame->naturalSize(), QSize(100, 100));
        QCOMPARE(inkBounds(withFrame->render(QSize(100, 100)), 100), QRect(9, 9, 80, 80));
        QCOMPARE(inkBounds(withFrame->render(QSize(50, 200)), 100), QRect(4, 19, 40, 160));
        // No frame: measured by what it draws (801 units), the box covering it from pixel 0.
        const auto measured = loadOrFail(
            farOutBox(WmfBuilder(QRect(), 96, false), QPoint(-500, y0 - 400), std::nullopt, box));
        QVERIFY(measured);
        QCOMPARE(measured->naturalSize(), QSize(801, 801));
        QCOMPARE(inkBounds(measured->render(QSize(80, 80)), 100), QRect(0, 0, 79, 79));
    }

    // Of the device's millimetres and micrometres, the one turning the frame into the bounds
    // places the drawing: a box filling the bounds fills the picture. Units to a pixel each.
    const std::pair<EmfBuilder::Header, int> cases[] = {
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
    for (const auto &[header, n] : cases) {
        const QRect b = header.bounds;
        EmfBuilder e(header);
        e.fill(1, BLUE).rec(EMR_SETMAPMODE, {8}).rec(EMR_SETWINDOWEXTEX, {96 * n, 96 * n});
        e.rec(EMR_SETVIEWPORTEXTEX, {96, 96})
            .rec(EMR_RECTANGLE, {b.x() * n, b.y() * n, (b.right() + 2) * n, (b.bottom() + 2) * n});
        const QImage img = renderNatural(e.finish());
        QCOMPARE(inkBounds(img).adjusted(-1, -1, 1, 1) & img.rect(), img.rect());
    }
}

void TestMetafileState::textIsPlacedByAlignmentAndKeepsItsPixelsAtEverySize()
{
    auto ink = [](quint32 align, int x, int y) {
        return textInk("DejaVu Sans", -30, "HH", align, {x, y});
    };
    const QRect top = ink(0, 100, 20); // TA_TOP | TA_LEFT
    QVERIFY(top.top() >= 20 && top.top() <= 30 && top.left() >= 100 && top.left() <= 106);
    QVERIFY(qAbs(ink(24, 100, 60).bottom() - 59) <= 1); // TA_BASELINE
    QVERIFY(ink(8, 100, 60).bottom() < 57);             // TA_BOTTOM: the descent sits above y
    const QRect right = ink(2, 100, 20);                // TA_RIGHT
    QVERIFY(right.right() <= 100 && right.right() >= 94);
    const QRect center = ink(6, 100, 20); // TA_CENTER
    QVERIFY(qAbs((center.left() + center.right()) / 2 - 100) <= 2);

    // With TA_UPDATECP the reference point is ignored and each run continues the last.
    const auto textWmf = [](int align, int y, int x) {
        WmfBuilder w(QRect(0, 0, 300, 100));
        w.rec(CREATEFONTINDIRECT, words({-30, 0, 0, 0, 400, 0, 0, 0, 0}) + "DejaVu Sans")
            .rec(SELECTOBJECT, {0});
        return w.rec(SETBKMODE, {1}).rec(SETTEXTALIGN, {align}).rec(MOVETO, {y, x});
    };
    WmfBuilder w = textWmf(1, 10, 20); // TA_UPDATECP | TA_TOP | TA_LEFT
    const QByteArray hh = words({2}) + "HH" + words({0, 0});
    const QRect run = inkBounds(renderNatural(w.rec(TEXTOUT, hh).rec(TEXTOUT, hh).finish()));
    QVERIFY(run.left() >= 20 && run.left() <= 26 && run.top() >= 10 && run.top() <= 20);
    QCOMPARE_GT(run.width(), 70); // four H's

    // ETO_PDY: each character also carries a vertical advance, up the page,
    // and the current position moves on by both: "l" at (10, 90), (30, 70), (50, 50).
    WmfBuilder p = textWmf(25, 90, 10); // TA_UPDATECP | TA_BASELINE
    p.rec(EXTTEXTOUT, words({0, 0, 2, 0x2000}) + "ll" + words({20, 20, 20, 20}));
    const QImage stepped =
        renderNatural(p.rec(TEXTOUT, words({1}) + QByteArray("l", 2) + words({0, 0})).finish());
    for (int i = 0; i < 3; ++i)
        QVERIFY(qAbs(inkBounds(stepped.copy(8 + 20 * i, 0, 14, 100)).bottom() + 20 * i - 89) <= 1);

    // "HH" on a baseline at y = 60 of 100, at many heights: the feet end just above it.
    const auto feet = loadOrFail(text(QSize(200, 100), "DejaVu Sans", -30, "HH", 24, {50, 60}));
    QVERIFY(feet);
    for (int h = 100; h <= 124; ++h) {
        // Where the baseline lands (0.6 h - 0.5, pixel centres being whole coordinates).
        const int bottom = inkBounds(feet->render(QSize(2 * h, h))).bottom();
        const int lastRow = int(std::floor(0.6 * h - 0.25)) - 1;
        QVERIFY(bottom <= lastRow && bottom >= lastRow - 1);
    }

    // "lIlIl", a glyph every 50 units by the spacing array, at its natural 300 pixels and
    // as small as labels are: each glyph stays where the records put it, within half a pixel.
    if (!installed(QStringLiteral("Liberation Sans")))
        QSKIP("Liberation Sans is not installed");
    const auto pic = loadOrFail(
        text(QSize(300, 100), "Arial", -40, "lIlIl", 24, {20, 70}, 0, 0, {50, 50, 50, 50, 50}));
    QVERIFY(pic);
    const QList<double> natural = glyphCentres(pic->render(QSize(300, 100)));
    QCOMPARE(natural.size(), 5);
    for (int i = 0; i + 2 < 5; ++i) // the same letter two advances on
        QVERIFY(qAbs(natural[i + 2] - natural[i] - 100) < 1);
    for (int width : {150, 120, 90, 60}) {
        const QList<double> small = glyphCentres(pic->render(QSize(width, width / 3)));
        QCOMPARE(small.size(), 5);
        for (int i = 0; i < 5; ++i) // device x on column x - 1, natural or scaled
            QCOMPARE_LE(qAbs(small[i] - ((natural[i] + 1) * width / 300.0 - 1)), 0.5);
    }
}

void TestMetafileState::fontsFollowWindowsMetricsAndSymbolFontsDrawTheirShapes()
{
    auto inkWidth = [](int w) {
        return textInk("Arial", -40, "Tiny Pictures", 0, {10, 20}, w).width();
    };
    // Arial's average character width is 904/2048 em: a font of that width is Arial as it
    // comes, half of it half as wide; the stand-in's larger average must not narrow it.
    if (QFontInfo(QFont(QStringLiteral("Arial"))).family().contains(QLatin1String("Liberation"))) {
        const int natural = inkWidth(0), average = inkWidth(18), half = inkWidth(9);
        QVERIFY(natural > 200 && qAbs(average - natural) <= 5 && qAbs(2 * half - natural) <= 10);
    } else {
        qWarning("no metric-compatible stand-in for Arial: font widths not checked");
    }
    // Windows draws Helvetica as Arial, not with the ascent of the Helvetica found here.
    QCOMPARE(textInk("Helvetica", -100, "HH"), textInk("Arial", -100, "HH"));

    // One character of a symbol font, large, black on white.
    auto render = [](const char *face, QChar c) {
        return renderNatural(text(QSize(200, 100), face, -80, QString(c), 0, {20, 10}));
    };
    auto dark = [](const QImage &img, int x, int y) {
        return qGray(img.pixel(x, y)) < 128;
    };
    // Wingdings 3 "p" is a triangle pointing up.
    const QImage up = render("Wingdings 3", QLatin1Char('p'));
    const QRect upBox = inkBounds(up);
    QCOMPARE_GT(upBox.width(), 25);
    QVERIFY(dark(up, upBox.left() + 2, upBox.bottom() - 2));
    QVERIFY(!dark(up, upBox.left() + 2, upBox.top() + 2));
    // Wingdings 2 0xA2 is a filled square, dark to its corners.
    const QImage square = render("Wingdings 2", QChar(0xA2));
    const QRect box = inkBounds(square);
    QVERIFY(box.width() > 25 && qAbs(box.width() - box.height()) <= 3);
    QVERIFY(dark(square, box.left() + 1, box.top() + 1));
    QVERIFY(dark(square, box.right() - 1, box.bottom() - 1));

    // Symbol's degree sign (0xB0): a ring 0.385 to 0.685 em above the baseline at y = 70 (up
    // half a pixel to a row's edge; the rim may add a row when small); alpha (0x61) too.
    if (installed(QStringLiteral("Standard Symbols PS"))) {
        for (const QList<int> &dx : {QList<int>{}, QList<int>{30, 30}}) {
            const QString degreeAlpha = QString(QChar(0xF0B0)) + QChar(0xF061);
            const auto pic = loadOrFail(
                text(QSize(300, 100), "Symbol", -40, degreeAlpha, 24, {20, 70}, 0, 2, dx));
            QVERIFY(pic);
            for (int width : {300, 90}) {
                const double scale = width / 300.0;
                const QImage img = pic->render(QSize(width, width / 3));
                const QRect ring = inkBounds(img.copy(0, 0, int(35 * scale), img.height()));
                const double middle = (ring.top() + ring.bottom() + 1) / 2.0;
                const double expected = (70 - 0.535 * 40) * scale - 0.5;
                QVERIFY2(qAbs(middle - expected) <= 1.5 && ring.height() <= 0.3 * 40 * scale + 2,
                         qPrintable(QString::number(width)));
                QVERIFY(
                    !inkBounds(img.copy(int(37 * scale), 0, img.width(), img.height())).isEmpty());
            }
        }
    } else {
        qWarning("no font of the Symbol font's design is installed: degree sign not checked");
    }

    // Symbol is drawn with OpenSymbol, whose horizontal header's ascent is 0.693 em; GDI
    // measures with the OS/2 table's Windows ascent and descent, 0.926 and 0.313 em.
    if (!installed(QStringLiteral("OpenSymbol")))
        QSKIP("OpenSymbol is not installed");
    // TA_TOP: the baseline sits 93 pixels below the top for a 100 pixel em.
    const QRect top = textInk("Symbol", -100, "HH");
    QCOMPARE_LE(qAbs(top.bottom() + 1 - 113), 2);
    // A cell height of 124 is that same em (TA_BASELINE).
    const QRect cell = textInk("Symbol", 124, "HH", 24, {10, 150});
    QCOMPARE_LE(qAbs(cell.height() - top.height()), 2);

    // A tall brace of the Symbol font's top, middle and bottom pieces an em apart: a
    // stroke about a twentieth of the em wide, not the heavy pieces of a text font.
    EmfBuilder e(QSize(100, 300));
    e.rec(EMR_EXTCREATEFONTINDIRECTW, emfFont(1, -100, QStringLiteral("Symbol")));
    e.rec(EMR_SELECTOBJECT, {1}).rec(EMR_SETTEXTALIGN, {24}); // TA_BASELINE
    for (int piece = 0; piece < 3; ++piece)
        e.rec(EMR_EXTTEXTOUTW, emfText(20, 100 * (piece + 1), QString(QChar(0xEC + piece))));
    const QImage brace = renderNatural(e.finish());
    for (int y : {60, 110, 190, 240}) {
        const int width = inkBounds(brace.copy(0, y, 100, 1)).width();
        QVERIFY2(width >= 2 && width <= 7, qPrintable(QString::asprintf("row %d: %d", y, width)));
    }
}

void TestMetafileState::pensAndBoxesCoverWholePixels()
{
    // A dashed pen a fiftieth of a pixel wide still draws one-pixel dashes with gaps.
    for (int style : {1, 2, 3, 4}) { // PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT
        const QImage img =
            renderNatural(penLines(5000, 4800, style, 1, {QLine(250, 2500, 4750, 2500)}));
        int dark = 0, light = 0;
        for (int x = 10; x < img.width() - 10; ++x)
            (inkBounds(img.copy(x, img.height() / 2 - 1, 1, 3), 100).isEmpty() ? light : dark) += 1;
        QVERIFY2(dark > 5 && light > 5, qPrintable(QString::number(style)));
    }

    // Hairline and one-unit vertical lines, 94 units on 96 pixels: one dark column each.
    for (int width : {0, 1}) {
        QList<QLine> lines;
        for (int x : {4, 13, 23, 32, 42, 51, 61, 70, 80, 89})
            lines.append(QLine(x, 0, x, 94));
        const auto pic = loadOrFail(penLines(94, 96, 0, width, lines));
        QVERIFY(pic);
        const QImage img = pic->render(QSize(96, 96));
        QVERIFY_NO_MESSAGE(greyPixel(img, QRect(1, 48, 94, 1), 40, 215));
        int dark = 0;
        for (int x = 1; x < 95; ++x)
            dark += qGray(img.pixel(x, 48)) < 40;
        QCOMPARE(dark, 10);
    }

    // A two-pixel pen on a row boundary: one full row, equal halves above and below.
    const QImage img = renderNatural(
        penLines(200, 192, 0, 4, {QLine(20, 51, 180, 51)})); // y 51: between rows 24 and 25
    QCOMPARE(img.size(), QSize(100, 100));
    int full = -1;
    for (int y = 20; y < 30; ++y)
        if (qGray(img.pixel(50, y)) < 20)
            full = full < 0 ? y : 1000; // exactly one full row
    QVERIFY2(full > 0 && full < 1000, qPrintable(QString::number(full)));
    const int above = qGray(img.pixel(50, full - 1)), below = qGray(img.pixel(50, full + 1));
    QVERIFY(qAbs(above - below) < 30 && above < 200);

    // Pens 2.6 and 1.4 pixels wide are drawn 3 and 1 whole pixels wide.
    for (const auto &[units, rows] : {std::pair{26, 3}, std::pair{14, 1}}) {
        const QImage rounded =
            renderNatural(penLines(1000, 960, 0, units, {QLine(100, 505, 900, 505)}));
        QVERIFY_NO_MESSAGE(greyPixel(rounded, QRect(50, 40, 1, 20), 40, 215));
        QCOMPARE(inkBounds(rounded.copy(50, 0, 1, 100)).height(), rows);
    }

    // A border around the whole picture shows on all four sides.
    WmfBuilder border;
    border.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {100, 100}).rec(RECTANGLE, {100, 100, 0, 0});
    QCOMPARE_PIXELS(renderNatural(border.finish()), {50, 0, kBlack}, {0, 50, kBlack},
                    {50, 99, kBlack}, {99, 50, kBlack});

    // Boxes with edges between pixels: every pixel filled or untouched, never grey.
    WmfBuilder boxes(QRect(0, 0, 200, 200), 192); // two units a pixel
    boxes.rec(SETWINDOWORG, {0, 0}).rec(SETWINDOWEXT, {200, 200}).fill(0);
    boxes.rec(RECTANGLE, {80, 81, 52, 21}).rec(RECTANGLE, {150, 171, 101, 121});
    const QImage filled = renderNatural(boxes.finish());
    QVERIFY_NO_MESSAGE(greyPixel(filled, filled.rect(), 20, 235));
    QCOMPARE(inkBounds(filled), QRect(10, 25, 75, 49)); // both boxes, edges rounded down
}

QTEST_MAIN(TestMetafileState)
#include "tst_metafile_state.moc"
