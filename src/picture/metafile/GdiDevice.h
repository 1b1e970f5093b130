#pragma once

#include "GdiTypes.h"

#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <memory>
#include <optional>
#include <vector>

namespace metafile {

// A run of text laid out for drawing (GdiText.cpp).
struct TextLayout;

// Replays the Windows drawing model (a device context) onto a QPainter. Both the
// WMF and the EMF player drive one of these; it holds the state that SaveDC keeps,
// the object table, the path bracket and the work budget.
//
// Coordinates: records speak in logical units. The page transform (window and
// viewport, mapping mode) and for EMF the world transform take them to the
// "reference device", and setup().deviceToTarget takes the reference device to
// the painter. Geometry is mapped to the reference device before it is drawn,
// so clip regions and paths live there, as they do in GDI.
class GdiDevice {
public:
    enum class Flavor { Wmf, Emf };

    struct Setup {
        Flavor flavor = Flavor::Emf;
        QTransform deviceToTarget;
        // EMF: pixels per millimetre of the reference device, for the metric mapping modes.
        double pxPerMmX = 96.0 / 25.4;
        double pxPerMmY = 96.0 / 25.4;
        // WMF: the logical rectangle the picture shows; the window maps onto it.
        QRectF wmfFrame;
        // WMF: the window and viewport a replay starts from, when not the frame.
        std::optional<QRectF> wmfPage;
        double wmfUnitsPerInch = 1440;
        int objectSlots = 0;
        qint64 workBudget = 40'000'000;
        // The picture's rectangle in the coordinates deviceToTarget maps to.
        QRectF area;
        // Target pixels per reference device unit (for hairlines and text quality).
        double pixelScale = 1.0;
        // When set, nothing is painted: the device bounds of what would be are
        // gathered here instead (to size a file that doesn't say how big it is).
        QRectF *measure = nullptr;
    };

    GdiDevice(QPainter &painter, const Setup &setup);
    ~GdiDevice();
    GdiDevice(const GdiDevice &) = delete;
    GdiDevice &operator=(const GdiDevice &) = delete;

    [[nodiscard]] bool exhausted() const { return m_budget < 0; }
    // Charges a unit of work; false once the budget is gone.
    bool spend(qint64 units);
    [[nodiscard]] bool drewSomething() const { return m_drawCalls > 0; }

    // --- page and world transforms
    void setMapMode(int mode);
    void setWindowOrg(QPointF p);
    void setWindowExt(QSizeF s);
    void setViewportOrg(QPointF p);
    void setViewportExt(QSizeF s);
    void offsetWindowOrg(QPointF d);
    void offsetViewportOrg(QPointF d);
    void scaleWindowExt(double xNum, double xDen, double yNum, double yDen);
    void scaleViewportExt(double xNum, double xDen, double yNum, double yDen);
    void setWorldTransform(const QTransform &t);
    void modifyWorldTransform(const QTransform &t, int mode);
    [[nodiscard]] QTransform logicalToDevice() const;

    // --- state
    void saveDc();
    void restoreDc(int which);
    void setBkMode(int mode) { m_s.bkMode = mode; }
    void setBkColor(quint32 c) { m_s.bkColor = c; }
    void setTextColor(quint32 c) { m_s.textColor = c; }
    void setTextAlign(quint32 a) { m_s.textAlign = a; }
    void setPolyFillMode(int m)
    {
        if (m == gdi::ALTERNATE || m == gdi::WINDING)
            m_s.fillMode = m;
    }
    void setRop2(int r)
    {
        if (r >= gdi::R2_BLACK && r <= gdi::R2_WHITE)
            m_s.rop2 = r;
    }
    void setStretchBltMode(int m) { m_s.stretchMode = m; }
    void setArcDirection(int d)
    {
        if (d == gdi::AD_CLOCKWISE || d == gdi::AD_COUNTERCLOCKWISE)
            m_s.arcDirection = d;
    }
    void setMiterLimit(double l)
    {
        if (l >= 1 && l < 1e6)
            m_s.miterLimit = l;
    }
    void setTextCharExtra(double e) { m_s.charExtra = e; }
    void setBrushOrg(QPointF p) { m_s.brushOrg = p; }
    [[nodiscard]] QPointF currentPosition() const { return m_s.curPos; }
    [[nodiscard]] const gdi::Font &font() const { return m_s.font; }
    [[nodiscard]] int textAlign() const { return int(m_s.textAlign); }

    // --- objects. WMF places new objects in the lowest free slot (slot < 0);
    // EMF names the slot.
    int createObject(gdi::Object object, int slot = -1);
    void selectObject(int slot);
    void selectStockObject(quint32 id);
    void deleteObject(int slot);
    [[nodiscard]] const gdi::Object *object(int slot) const;
    void selectPalette(int slot);
    void setPaletteEntries(int slot, int start, const std::vector<QRgb> &colors);
    void resizePalette(int slot, int count);
    [[nodiscard]] QColor color(quint32 colorRef) const;
    [[nodiscard]] const QList<QRgb> *paletteForDib() const;

    // --- shapes (logical coordinates)
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const std::vector<QPointF> &pts);
    void polylineTo(const std::vector<QPointF> &pts);
    void polygon(const std::vector<QPointF> &pts);
    void polyPolygon(const std::vector<std::vector<QPointF>> &polys);
    void polyPolyline(const std::vector<std::vector<QPointF>> &lines);
    void polyBezier(const std::vector<QPointF> &pts);
    void polyBezierTo(const std::vector<QPointF> &pts);
    void polyDraw(const std::vector<QPointF> &pts, const std::vector<quint8> &types);
    void rectangle(const QRectF &r);
    void roundRect(const QRectF &r, QSizeF corner);
    void ellipse(const QRectF &r);
    enum class ArcKind { Arc, ArcTo, Chord, Pie };
    void arc(const QRectF &box, QPointF start, QPointF end, ArcKind kind);
    void angleArc(QPointF center, double radius, double startDeg, double sweepDeg);
    void setPixel(QPointF p, quint32 colorRef);

    // --- paths
    void beginPath();
    void endPath();
    void closeFigure();
    void abortPath();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void widenPath();
    void flattenPath();
    void selectClipPath(int mode);

    // --- clipping. Regions are in reference device units unless named logical.
    void intersectClipRect(const QRectF &logical);
    void excludeClipRect(const QRectF &logical);
    void offsetClip(QPointF logicalDelta);
    void selectClipRegion(const std::optional<QRegion> &device, int mode);
    void selectClipRegionLogical(const std::optional<QRegion> &logical);
    [[nodiscard]] QPainterPath regionToDevicePath(const QRegion &region, bool logical) const;
    void fillRegion(const QPainterPath &device, const gdi::Brush &brush);
    void frameRegion(const QPainterPath &device, const gdi::Brush &brush, QSizeF logicalSize);
    void invertRegion(const QPainterPath &device);
    void paintRegion(const QPainterPath &device);
    [[nodiscard]] gdi::Brush brushFromObject(int slot, bool *found = nullptr) const;

    // --- text
    struct TextRun {
        QPointF reference;           // logical
        QString text;                // characters, or empty when glyphs are given
        std::vector<quint32> glyphs; // glyph indexes (ETO_GLYPH_INDEX)
        std::vector<double> dx;      // logical advances, one per character
        std::vector<double> dy;      // ETO_PDY vertical advances
        quint32 options = 0;
        std::optional<QRectF> rect;  // logical opaque / clip rectangle
        bool compatibleScale = true; // false when an EMF record gave its own scale
    };
    void textOut(const TextRun &run);
    // Decodes 8-bit text in the code page of the selected font's character set.
    [[nodiscard]] QString decodeAnsi(QByteArrayView bytes, std::vector<double> *dx = nullptr) const;

    // --- bitmaps and blits
    struct Blit {
        QRectF dest;   // logical: x, y, width, height (negative flips)
        QRectF source; // in bitmap pixels, top-left origin
        QImage image;  // null for pattern-only operations
        quint32 rop = gdi::SRCCOPY;
        QImage mask; // MaskBlt
        QPointF maskOffset;
        std::optional<QRgb> transparentColor;                // TransparentBlt
        int constantAlpha = 255;                             // AlphaBlend
        bool perPixelAlpha = false;                          // AlphaBlend with AC_SRC_ALPHA
        std::optional<std::array<QPointF, 3>> parallelogram; // PlgBlt (logical)
    };
    void blit(const Blit &b);
    void patBlt(const QRectF &logical, quint32 rop);

    struct Vertex {
        QPointF p;
        QColor c;
    };
    void gradientRects(const std::vector<Vertex> &v,
                       const std::vector<std::pair<quint32, quint32>> &rects, bool vertical);
    void gradientTriangles(const std::vector<Vertex> &v,
                           const std::vector<std::array<quint32, 3>> &tris);

private:
    struct Clip {
        bool active = false;
        bool isRect = false;
        QRectF rect;
        QPainterPath path;
    };
    struct State {
        int mapMode = gdi::MM_TEXT;
        QPointF winOrg{0, 0};
        QSizeF winExt{1, 1};
        QPointF vpOrg{0, 0};
        QSizeF vpExt{1, 1};
        QTransform world;
        gdi::Pen pen;
        gdi::Brush brush;
        gdi::Font font;
        std::shared_ptr<const gdi::Palette> palette;
        int paletteSlot = -1;
        quint32 textColor = 0;
        quint32 bkColor = 0xFFFFFF;
        int bkMode = gdi::OPAQUE;
        quint32 textAlign = 0;
        int fillMode = gdi::ALTERNATE;
        int rop2 = gdi::R2_COPYPEN;
        int stretchMode = 1;
        int arcDirection = gdi::AD_COUNTERCLOCKWISE;
        double miterLimit = 10;
        double charExtra = 0;
        QPointF curPos;
        QPointF brushOrg;
        Clip clip;
    };

    void resetPage();
    void drawShape(const QPainterPath &logicalPath, bool fill, bool stroke,
                   bool insideFrame = false, const QRectF &frameBox = {});
    void paintDevicePath(const QPainterPath &device, bool fill, bool stroke, Qt::FillRule rule);
    void addToPath(const QPainterPath &logicalPath, bool connectToCurrent);
    [[nodiscard]] bool inPath() const { return m_pathOpen; }
    [[nodiscard]] QPen makePen(bool *visible) const;
    [[nodiscard]] QBrush makeBrush(const gdi::Brush &b, bool *visible) const;
    void applyRop2();
    void applyClip();
    void setClip(const QPainterPath &devicePath, int mode);
    void combineClipRect(const QRectF &logical, bool exclude);
    [[nodiscard]] double lineScale() const;
    [[nodiscard]] QPainterPath arcPath(const QRectF &box, QPointF start, QPointF end, ArcKind kind,
                                       QPointF *arcStart, QPointF *arcEnd) const;
    void beginDraw();
    // In measuring mode, records the bounds and returns true (the caller then skips painting).
    bool measured(const QRectF &deviceRect);
    // Text (GdiText.cpp): a run is laid out, then painted or added to the path.
    void drawTextRun(const TextRun &run);
    [[nodiscard]] std::optional<TextLayout> layOutText(const TextRun &run, const QTransform &m,
                                                       QPointF refLogical) const;
    // ETO_OPAQUE: the run's rectangle filled with the background colour.
    void fillTextRectangle(const QRectF &rect, const QTransform &m);
    // TA_UPDATECP: the current position moves past the run.
    void moveCurrentPositionPast(const TextLayout &t, const QTransform &m);
    // Inside a path bracket a run adds the outlines of its characters.
    void addTextToPath(const TextRun &run, const TextLayout &t);
    void paintText(const TextRun &run, const TextLayout &t, const QTransform &m);
    void drawGlyphIndexes(const TextRun &run, const TextLayout &t);
    void drawCharacters(const TextLayout &t);

    QPainter &m_p;
    Setup m_setup;
    State m_s;
    std::vector<State> m_saved;
    std::vector<gdi::Object> m_objects;
    mutable QList<QRgb> m_dibPalette;
    bool m_pathOpen = false;
    bool m_pathNeedsMove = true;
    QPainterPath m_path; // reference device units
    bool m_clipDirty = true;
    qint64 m_budget;
    qint64 m_drawCalls = 0;
};

} // namespace metafile
