// Quorvel artwork generator.
//
// Draws every bitmap the viewer ships with (status plates, the sidebar banner, the program icon,
// the custom cursors and the help illustrations) with QPainter and writes them out as PNG files, so
// the artwork lives in source form and can be tweaked and regenerated instead of being edited by
// hand.
//
// Usage:
//   QT_QPA_PLATFORM=offscreen make_artwork OUTPUT_DIR [--preview PREVIEW_DIR]
//
// --preview additionally writes enlarged copies (nearest-neighbour, transparent areas shown on
// a checkerboard) plus a cursor sheet and the banner at its on-screen size, for eyeballing.
//
// Cursor hot spots, in pixels from the top-left corner:
//   cursor-binoculars-32.png  (16, 16)  centre of the image
//   cursor-binoculars-16.png  (8, 8)    centre of the image
//   cursor-zoom-32.png        (12, 12)  centre of the lens (the lens circle is centred on
//                                       the middle of pixel 12,12)
//
// Only DejaVu Sans is used for lettering; it is present on every Debian desktop.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <QPolygonF>
#include <QRadialGradient>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr QPoint kZoomHotSpot{12, 12};
constexpr QPointF kZoomLensCentre{12.5, 12.5};

const QString kFontFamily = QStringLiteral("DejaVu Sans");
const QColor kPlateInk{120, 190, 255};

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QImage blankImage(int width, int height, const QColor &fill = Qt::transparent)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void setupPainter(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QFont letteringFont(qreal pixelSize, int weight = QFont::Bold)
{
    QFont font(kFontFamily);
    font.setWeight(QFont::Weight(weight));
    font.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

// ---------------------------------------------------------------------------------------------
// Status plates: light-blue bold lettering on black.

struct Plate {
    QString file;
    QSize size;
    QStringList lines;
};

// Vertical distance between baselines when a plate wraps onto two lines.
qreal linePitch(const QFontMetricsF &fm)
{
    return std::round(fm.capHeight() * 1.45);
}

// Height of a block of lines, from the top of the tallest letter of the first line to the
// lowest ink of the last one. None of the plate texts has descenders, but measure anyway.
QRectF inkBounds(const QFont &font, const QStringList &lines)
{
    const QFontMetricsF fm(font);
    QRectF bounds;
    qreal baseline = 0;
    for (const QString &line : lines) {
        const QRectF r = fm.tightBoundingRect(line).translated(0, baseline);
        bounds = bounds.isNull() ? r : bounds.united(r);
        baseline += linePitch(fm);
    }
    return bounds;
}

// Largest pixel size at which the text fits inside the plate with the given margins.
int fittingPixelSize(const Plate &plate, int marginX, int marginY)
{
    for (int px = plate.size.height() * 2; px > 4; --px) {
        const QFont font = letteringFont(px);
        const QFontMetricsF fm(font);
        qreal widest = 0;
        for (const QString &line : plate.lines)
            widest = std::max(widest, fm.tightBoundingRect(line).width());
        const QRectF ink = inkBounds(font, plate.lines);
        if (widest <= plate.size.width() - 2 * marginX &&
            ink.height() <= plate.size.height() - 2 * marginY)
            return px;
    }
    return 5;
}

QImage drawPlate(const Plate &plate, int pixelSize)
{
    QImage image = blankImage(plate.size.width(), plate.size.height(), Qt::black);
    QPainter p(&image);
    setupPainter(p);

    const QFont font = letteringFont(pixelSize);
    const QFontMetricsF fm(font);
    const QRectF ink = inkBounds(font, plate.lines);

    // Baselines land on whole pixels so hinted stems stay crisp.
    const qreal firstBaseline = std::round((plate.size.height() - ink.height()) / 2.0 - ink.top());

    p.setFont(font);
    p.setPen(kPlateInk);
    qreal baseline = firstBaseline;
    for (const QString &line : plate.lines) {
        const QRectF r = fm.tightBoundingRect(line);
        const qreal x = std::round((plate.size.width() - r.width()) / 2.0 - r.left());
        p.drawText(QPointF(x, baseline), line);
        baseline += linePitch(fm);
    }
    return image;
}

// ---------------------------------------------------------------------------------------------
// The picture motif shared by the program icon and the banner: a framed landscape with a sun,
// a distant blue ridge and a green mountain with a snow cap.

namespace palette {
const QColor outline{0x3a, 0x24, 0x12};
const QColor frame{0xd8, 0xa2, 0x48};
const QColor frameShade{0xa8, 0x72, 0x28};
const QColor frameLight{0xf0, 0xc8, 0x78};
const QColor sky{0x7c, 0xc8, 0xf8};
const QColor skyLow{0xb8, 0xe2, 0xfc};
const QColor sun{0xff, 0xd0, 0x3a};
const QColor ridge{0x5a, 0x8c, 0xc4};
const QColor mountain{0x3c, 0x9c, 0x4a};
const QColor mountainShade{0x2e, 0x7c, 0x3a};
const QColor snow{0xff, 0xff, 0xff};
} // namespace palette

// The landscape's shapes, as fractions of the picture area (x from the left, y from the top),
// shared by the bitmaps and the scalable icon.
namespace landscape {
const QPointF sunCentre{0.74, 0.29};
constexpr qreal sunRadius = 0.15;      // of the area's height, with detail
constexpr qreal smallSunRadius = 0.19; // without
const QPolygonF ridge{{{0.30, 1.05}, {0.70, 0.48}, {1.10, 1.05}}};
const QPointF peak{0.36, 0.30};
const QPolygonF mountain{{{-0.12, 1.05}, peak, {0.86, 1.05}}};
const QPolygonF flank{{peak, {0.86, 1.05}, {0.46, 1.05}}};
const QPolygonF snowCap{{peak,
                         {0.36 + 0.50 * 0.27, 0.30 + 0.75 * 0.27},
                         {0.43, 0.46},
                         {0.37, 0.52},
                         {0.31, 0.45},
                         {0.36 - 0.48 * 0.27, 0.30 + 0.75 * 0.27}}};
} // namespace landscape

// Paints the landscape into `area`. `detail` adds the extra touches that only read at larger
// sizes (snow cap, shaded flank, horizon haze).
void paintLandscape(QPainter &p, const QRectF &area, bool detail)
{
    const auto at = [&](qreal fx, qreal fy) {
        return QPointF(area.left() + fx * area.width(), area.top() + fy * area.height());
    };

    p.save();
    p.setClipRect(area);
    p.setPen(Qt::NoPen);

    if (detail) {
        QLinearGradient sky(area.topLeft(), area.bottomLeft());
        sky.setColorAt(0.0, palette::sky);
        sky.setColorAt(0.75, palette::skyLow);
        p.fillRect(area, sky);
    } else {
        p.fillRect(area, palette::sky);
    }

    // Sun in the upper right. At tiny sizes it is snapped to the pixel grid so it comes out as
    // a round blob rather than a smear.
    QPointF sunCentre = at(landscape::sunCentre.x(), landscape::sunCentre.y());
    qreal sunRadius = area.height() * (detail ? landscape::sunRadius : landscape::smallSunRadius);
    if (!detail) {
        sunCentre = QPointF(std::round(sunCentre.x()), std::round(sunCentre.y()));
        sunRadius = std::round(sunRadius);
    }
    p.setBrush(palette::sun);
    p.drawEllipse(sunCentre, sunRadius, sunRadius);

    const auto placed = [&](const QPolygonF &shape) {
        QPolygonF polygon;
        for (const QPointF &point : shape)
            polygon << at(point.x(), point.y());
        return polygon;
    };
    // Distant ridge on the right, then the main mountain on the left.
    p.setBrush(palette::ridge);
    p.drawPolygon(placed(landscape::ridge));
    p.setBrush(palette::mountain);
    p.drawPolygon(placed(landscape::mountain));

    if (detail) {
        // Shaded right flank, and a snow cap with a jagged lower edge.
        p.setBrush(palette::mountainShade);
        p.drawPolygon(placed(landscape::flank));
        p.setBrush(palette::snow);
        p.drawPolygon(placed(landscape::snowCap));
    }
    p.restore();
}

// ---------------------------------------------------------------------------------------------
// Program icon.

// Whole-pixel geometry so the frame edges are sharp at every size.
struct IconGeometry {
    explicit IconGeometry(int size)
        : outline(size >= 96 ? 2 : 1),
          frame(size <= 16 ? 1 : std::max(2, int(std::lround(size / 12.0)))),
          top(size <= 16 ? 1 : int(std::lround(size * 0.09))), outer(0, top, size, size - 2 * top),
          radius(size <= 16 ? 0.0 : size / 20.0)
    {
    }
    int outline;
    int frame;
    int top;
    QRect outer;
    qreal radius;
};

QImage drawIcon(int size)
{
    QImage image = blankImage(size, size);
    QPainter p(&image);
    setupPainter(p);

    const IconGeometry geometry(size);
    const int outline = geometry.outline;
    const int frame = geometry.frame;
    const QRect outer = geometry.outer;
    const qreal radius = geometry.radius;

    // Dark outline, then the gilded frame.
    QPainterPath outerPath;
    outerPath.addRoundedRect(outer, radius + outline, radius + outline);
    p.fillPath(outerPath, palette::outline);

    const QRectF frameRect = QRectF(outer).adjusted(outline, outline, -outline, -outline);
    QPainterPath framePath;
    framePath.addRoundedRect(frameRect, radius, radius);
    if (size >= 32) {
        QLinearGradient g(frameRect.topLeft(), frameRect.bottomRight());
        g.setColorAt(0.0, palette::frameLight);
        g.setColorAt(0.5, palette::frame);
        g.setColorAt(1.0, palette::frameShade);
        p.fillPath(framePath, g);
    } else {
        p.fillPath(framePath, palette::frame);
    }

    // Picture opening, with a thin dark lip between the frame and the canvas.
    const int lip = size >= 32 ? outline : 0;
    const QRectF opening = frameRect.adjusted(frame, frame, -frame, -frame);
    if (lip > 0)
        p.fillRect(opening, palette::outline);
    paintLandscape(p, opening.adjusted(lip, lip, -lip, -lip), size >= 32);
    return image;
}

// The program icon as SVG, for the desktop's scalable icon theme folder: the large bitmap's
// drawing, with its gradients, in a 128 x 128 space.
QString iconSvg()
{
    constexpr int size = 128;
    const IconGeometry g(size);
    const auto number = [](qreal v) {
        return QString::number(v, 'f', 2);
    };
    const auto colour = [](const QColor &c) {
        return c.name();
    };
    const auto rect = [&](const QRectF &r, qreal radius, const QString &fill) {
        return QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
                              "fill=\"%6\"/>\n")
            .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()),
                 number(radius), fill);
    };
    const QRectF frameRect = QRectF(g.outer).adjusted(g.outline, g.outline, -g.outline, -g.outline);
    const QRectF opening = frameRect.adjusted(g.frame, g.frame, -g.frame, -g.frame);
    const QRectF area = opening.adjusted(g.outline, g.outline, -g.outline, -g.outline);
    const auto at = [&](const QPointF &f) {
        return QPointF(area.left() + f.x() * area.width(), area.top() + f.y() * area.height());
    };
    const auto polygon = [&](const QPolygonF &shape, const QColor &fill) {
        QStringList points;
        for (const QPointF &point : shape)
            points << number(at(point).x()) + QLatin1Char(',') + number(at(point).y());
        return QStringLiteral("    <polygon points=\"%1\" fill=\"%2\"/>\n")
            .arg(points.join(QLatin1Char(' ')), colour(fill));
    };
    const QPointF sun = at(landscape::sunCentre);
    QString svg;
    QTextStream s(&svg);
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << size << "\" height=\"" << size
      << "\" viewBox=\"0 0 " << size << ' ' << size << "\">\n"
      << "  <title>Quorvel</title>\n  <defs>\n"
      << "    <linearGradient id=\"frame\" x1=\"" << number(frameRect.left()) << "\" y1=\""
      << number(frameRect.top()) << "\" x2=\"" << number(frameRect.right()) << "\" y2=\""
      << number(frameRect.bottom()) << "\" gradientUnits=\"userSpaceOnUse\">\n"
      << "      <stop offset=\"0\" stop-color=\"" << colour(palette::frameLight) << "\"/>\n"
      << "      <stop offset=\"0.5\" stop-color=\"" << colour(palette::frame) << "\"/>\n"
      << "      <stop offset=\"1\" stop-color=\"" << colour(palette::frameShade) << "\"/>\n"
      << "    </linearGradient>\n"
      << "    <linearGradient id=\"sky\" x1=\"0\" y1=\"" << number(area.top())
      << "\" x2=\"0\" y2=\"" << number(area.bottom()) << "\" gradientUnits=\"userSpaceOnUse\">\n"
      << "      <stop offset=\"0\" stop-color=\"" << colour(palette::sky) << "\"/>\n"
      << "      <stop offset=\"0.75\" stop-color=\"" << colour(palette::skyLow) << "\"/>\n"
      << "    </linearGradient>\n"
      << "    <clipPath id=\"canvas\">\n  " << rect(area, 0, QStringLiteral("#000"))
      << "    </clipPath>\n  </defs>\n"
      << rect(g.outer, g.radius + g.outline, colour(palette::outline))
      << rect(frameRect, g.radius, QStringLiteral("url(#frame)"))
      << rect(opening, 0, colour(palette::outline)) << "  <g clip-path=\"url(#canvas)\">\n  "
      << rect(area, 0, QStringLiteral("url(#sky)")) << "    <circle cx=\"" << number(sun.x())
      << "\" cy=\"" << number(sun.y()) << "\" r=\"" << number(area.height() * landscape::sunRadius)
      << "\" fill=\"" << colour(palette::sun) << "\"/>\n"
      << polygon(landscape::ridge, palette::ridge)
      << polygon(landscape::mountain, palette::mountain)
      << polygon(landscape::flank, palette::mountainShade)
      << polygon(landscape::snowCap, palette::snow) << "  </g>\n</svg>\n";
    return svg;
}

bool saveText(const QString &text, const QDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) != text.toUtf8().size()) {
        err() << "make_artwork: cannot write " << path << Qt::endl;
        return false;
    }
    out() << "wrote " << path << Qt::endl;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Sidebar banner. It is displayed stretched to 161 x 25, so it is composed in that space and
// squeezed into the 144 x 30 file; on screen everything comes out with its intended proportions.

constexpr QSizeF kBannerShown{161, 25};
constexpr QSize kBannerFile{144, 30};

QImage drawBanner()
{
    QImage image = blankImage(kBannerFile.width(), kBannerFile.height());
    QPainter p(&image);
    setupPainter(p);
    p.scale(kBannerFile.width() / kBannerShown.width(),
            kBannerFile.height() / kBannerShown.height());

    const QRectF all(QPointF(0, 0), kBannerShown);

    // Deep blue backdrop with a soft glow behind the mark.
    QLinearGradient back(all.topLeft(), all.bottomLeft());
    back.setColorAt(0.0, QColor(0x34, 0x5f, 0x94));
    back.setColorAt(0.55, QColor(0x1f, 0x3c, 0x66));
    back.setColorAt(1.0, QColor(0x14, 0x28, 0x47));
    p.fillRect(all, back);

    QRadialGradient glow(QPointF(40, 6), 70);
    glow.setColorAt(0.0, QColor(255, 255, 255, 46));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(all, glow);

    // Hairlines along the top and bottom edges.
    p.fillRect(QRectF(0, 0, all.width(), 0.85), QColor(255, 255, 255, 70));
    p.fillRect(QRectF(0, all.height() - 0.85, all.width(), 0.85), QColor(0, 0, 0, 120));

    // Word mark.
    QFont font = letteringFont(19);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    QPainterPath word;
    word.addText(0, 0, font, QStringLiteral("Quorvel"));
    const QRectF wordInk = word.boundingRect();

    // The mark: a small framed landscape, like the program icon.
    const QSizeF markSize(24, 18);
    const qreal gap = 7;
    const qreal groupWidth = markSize.width() + gap + wordInk.width();
    const qreal left = std::round((all.width() - groupWidth) / 2.0);

    const QRectF mark(QPointF(left, (all.height() - markSize.height()) / 2.0), markSize);

    // Drop shadow under the mark.
    QPainterPath markShadow;
    markShadow.addRoundedRect(mark.translated(0.8, 1.0), 2.2, 2.2);
    p.fillPath(markShadow, QColor(0, 0, 0, 90));

    QPainterPath markOuter;
    markOuter.addRoundedRect(mark, 2.2, 2.2);
    p.fillPath(markOuter, palette::outline);
    QPainterPath markFrame;
    markFrame.addRoundedRect(mark.adjusted(0.9, 0.9, -0.9, -0.9), 1.5, 1.5);
    QLinearGradient frameGrad(mark.topLeft(), mark.bottomRight());
    frameGrad.setColorAt(0.0, palette::frameLight);
    frameGrad.setColorAt(1.0, palette::frameShade);
    p.fillPath(markFrame, frameGrad);
    const QRectF canvas = mark.adjusted(3.0, 2.9, -3.0, -2.9);
    p.fillRect(canvas.adjusted(-0.6, -0.6, 0.6, 0.6), palette::outline);
    paintLandscape(p, canvas, true);

    // Lettering: a dark shadow, then a white-to-ice-blue fill.
    const qreal baseline = std::round((all.height() - wordInk.height()) / 2.0 - wordInk.top());
    const QPointF origin(mark.right() + gap - wordInk.left(), baseline);
    word.translate(origin);

    p.fillPath(word.translated(0.9, 1.1), QColor(0, 0, 0, 130));
    QLinearGradient ink(QPointF(0, word.boundingRect().top()),
                        QPointF(0, word.boundingRect().bottom()));
    ink.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
    ink.setColorAt(1.0, QColor(0xbc, 0xdc, 0xff));
    p.fillPath(word, ink);
    return image;
}

// ---------------------------------------------------------------------------------------------
// Help illustrations: the main window in miniature with its viewing panel marked, the
// full-screen view, and the About dialog's side picture.

// A framed landscape picture, as the icon and the banner show it.
void paintFramedPicture(QPainter &p, const QRectF &area)
{
    p.fillRect(area, palette::outline);
    const QRectF frame = area.adjusted(1, 1, -1, -1);
    QLinearGradient g(frame.topLeft(), frame.bottomRight());
    g.setColorAt(0.0, palette::frameLight);
    g.setColorAt(1.0, palette::frameShade);
    p.fillRect(frame, g);
    const qreal border = std::max(2.0, std::round(area.width() / 14.0));
    const QRectF opening = frame.adjusted(border, border, -border, -border);
    p.fillRect(opening.adjusted(-1, -1, 1, 1), palette::outline);
    paintLandscape(p, opening, true);
}

QImage drawViewingPanelTip()
{
    const QSize size(164, 118);
    QImage image = blankImage(size.width(), size.height(), QColor(0xd4, 0xd0, 0xc8));
    QPainter p(&image);
    setupPainter(p);
    const QColor list(224, 224, 224);
    const QColor edge(0x80, 0x80, 0x80);
    // Title bar and menu bar.
    p.fillRect(QRectF(0, 0, size.width(), 9), QColor(0x0a, 0x24, 0x6a));
    p.fillRect(QRectF(0, 9, size.width(), 7), QColor(0xe8, 0xe6, 0xe0));
    p.setPen(edge);
    for (const qreal x : {3.0, 17.0, 43.0})
        p.drawLine(QPointF(x, 12.5), QPointF(x + 10, 12.5));
    // The browser column: banner, drive list, folder list, filter, file list, information.
    const qreal column = 40;
    p.fillRect(QRectF(1, 17, column - 2, 6), QColor(0x1f, 0x3c, 0x66));
    p.setPen(edge);
    const QRectF boxes[] = {{1, 24, column - 2, 5},
                            {1, 31, column - 2, 26},
                            {1, 59, column - 2, 5},
                            {1, 66, column - 2, 30},
                            {1, 98, column - 2, 18}};
    for (const QRectF &box : boxes) {
        p.fillRect(box, list);
        p.drawRect(box.adjusted(0, 0, -0.5, -0.5));
    }
    for (qreal y = 69; y < 94; y += 4)
        p.drawLine(QPointF(4, y), QPointF(column - 10, y));
    // The viewing panel with a picture in it.
    const QRectF panel(column + 1, 17, size.width() - column - 3, size.height() - 19);
    p.fillRect(panel, QColor(0xc0, 0xc0, 0xc0));
    p.drawRect(panel.adjusted(0, 0, -0.5, -0.5));
    paintFramedPicture(p, QRectF(panel.left() + 4, panel.top() + 4, 84, 62));
    // The red mark that the tip refers to.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xe0, 0x10, 0x10), 2));
    p.drawRect(panel.adjusted(1, 1, -1, -1));
    return image;
}

QImage drawFullScreenTip()
{
    const QSize size(164, 124);
    QImage image = blankImage(size.width(), size.height(), QColor(0xd4, 0xd0, 0xc8));
    QPainter p(&image);
    setupPainter(p);
    // A monitor on its stand, showing one picture centred on black.
    const QRectF bezel(6, 4, size.width() - 12, 98);
    QPainterPath case_;
    case_.addRoundedRect(bezel, 4, 4);
    p.fillPath(case_, QColor(0x4a, 0x4e, 0x56));
    const QRectF screen = bezel.adjusted(6, 6, -6, -10);
    p.fillRect(screen, Qt::black);
    const QSizeF picture(screen.height() * 1.25, screen.height() - 10);
    paintFramedPicture(
        p, QRectF(screen.center() - QPointF(picture.width(), picture.height()) / 2, picture));
    p.fillRect(QRectF(size.width() / 2.0 - 8, bezel.bottom(), 16, 10), QColor(0x3a, 0x3e, 0x46));
    p.fillRect(QRectF(size.width() / 2.0 - 30, bezel.bottom() + 10, 60, 6),
               QColor(0x3a, 0x3e, 0x46));
    return image;
}

QImage drawAboutSide()
{
    const QSize size(84, 183);
    QImage image = blankImage(size.width(), size.height());
    QPainter p(&image);
    setupPainter(p);
    QLinearGradient back(QPointF(0, 0), QPointF(0, size.height()));
    back.setColorAt(0.0, QColor(0x34, 0x5f, 0x94));
    back.setColorAt(1.0, QColor(0x14, 0x28, 0x47));
    p.fillRect(image.rect(), back);
    // A short stack of framed pictures, the latest on top.
    paintFramedPicture(p, QRectF(14, 104, 58, 44));
    paintFramedPicture(p, QRectF(8, 64, 62, 46));
    paintFramedPicture(p, QRectF(12, 20, 62, 48));
    QFont font = letteringFont(13);
    p.setFont(font);
    p.setPen(QColor(0xbc, 0xdc, 0xff));
    p.drawText(QRectF(0, 150, size.width(), 28), Qt::AlignCenter, QStringLiteral("Quorvel"));
    return image;
}

// ---------------------------------------------------------------------------------------------
// Cursors: black outline, white body, grey detail, so they show on light and dark pictures.

const QColor kCursorOutline = Qt::black;
const QColor kCursorBody = Qt::white;
const QColor kCursorGrey{0x9a, 0xa0, 0xa8};
const QColor kCursorDarkGrey{0x5c, 0x62, 0x6a};

// The cursors are built as a black silhouette with each part filled white one pixel inside
// its own edge. Straight edges sit on the pixel grid, so they stay sharp, and thin black seams
// appear wherever two parts meet.
struct Part {
    QRectF rect;
    bool round = false;
    qreal corner = 0;
};

QPainterPath partPath(const Part &part, qreal inset)
{
    QPainterPath path;
    const QRectF r = part.rect.adjusted(inset, inset, -inset, -inset);
    if (r.width() <= 0 || r.height() <= 0)
        return path;
    if (part.round)
        path.addEllipse(r);
    else if (part.corner > 0)
        path.addRoundedRect(r, std::max(0.0, part.corner - inset),
                            std::max(0.0, part.corner - inset));
    else
        path.addRect(r);
    return path;
}

// Binoculars seen from the front: two eyepieces on top, barrels joined by a hinge with a focus
// wheel, and two big objective housings at the bottom. Laid out on a 32-unit grid with even
// coordinates, so the 16 px version lands on whole pixels too. Symmetric about the vertical
// centre line, where the hot spot is.
QImage drawBinoculars(int size)
{
    QImage image = blankImage(size, size);
    QPainter p(&image);
    setupPainter(p);
    // At 16 px every shape is only a few pixels across; hard pixel edges read better there.
    const bool tiny = size < 32;
    if (tiny)
        p.setRenderHint(QPainter::Antialiasing, false);

    const qreal k = size / 32.0;
    const auto r = [k](qreal x1, qreal y1, qreal x2, qreal y2) {
        return QRectF(QPointF(x1 * k, y1 * k), QPointF(x2 * k, y2 * k));
    };
    const auto mirror = [size](const QRectF &rect) {
        return QRectF(QPointF(size - rect.right(), rect.top()),
                      QPointF(size - rect.left(), rect.bottom()));
    };

    std::vector<Part> parts;
    for (const bool right : {false, true}) {
        const auto side = [&](const QRectF &rect) {
            return right ? mirror(rect) : rect;
        };
        parts.push_back({side(r(6, 2, 14, 8)), false, 1.5 * k}); // eyepiece
        parts.push_back({side(r(4, 8, 14, 18)), false, 0});      // barrel
        parts.push_back({side(r(0, 14, 16, 30)), true});         // objective housing
    }
    parts.push_back({r(12, 8, 20, 18), false, 0}); // hinge
    const QRectF wheel = r(13, 4, 19, 8);
    if (!tiny)
        parts.push_back({wheel, false, 1.0});

    // Round parts get a slightly thicker rim so it stays black after antialiasing.
    QPainterPath silhouette;
    QPainterPath body;
    for (const Part &part : parts) {
        silhouette = silhouette.united(partPath(part, 0));
        body = body.united(partPath(part, part.round && !tiny ? 1.3 : 1.0));
    }
    p.fillPath(silhouette, kCursorOutline);
    p.fillPath(body, kCursorBody);

    // Focus wheel: grey with dark ribs.
    if (!tiny) {
        const QRectF inner = wheel.adjusted(1, 1, -1, 0);
        p.fillRect(inner, kCursorGrey);
        for (const qreal x : {15.0, 17.0})
            p.fillRect(QRectF(x, inner.top(), 1, inner.height()), kCursorDarkGrey);
    }

    // A grey band where the barrels widen into the objective housings.
    if (size >= 32) {
        QPainterPath band;
        for (const bool right : {false, true}) {
            const QRectF b = r(5, 15, 13, 17);
            band.addRect(right ? mirror(b) : b);
        }
        p.fillPath(band.intersected(body), kCursorGrey);
    }

    // Objective lenses: dark glass with a small reflection.
    for (const bool right : {false, true}) {
        const QRectF housing = right ? mirror(r(0, 14, 16, 30)) : r(0, 14, 16, 30);
        const QPointF c = housing.center();
        if (tiny) {
            // A 4 x 4 disc with the corners knocked off.
            const QPoint o = (c - QPointF(2, 2)).toPoint();
            p.fillRect(QRect(o + QPoint(1, 0), QSize(2, 4)), kCursorDarkGrey);
            p.fillRect(QRect(o + QPoint(0, 1), QSize(4, 2)), kCursorDarkGrey);
            continue;
        }
        const qreal lens = 4.8;
        QRadialGradient glass(c - QPointF(lens * 0.35, lens * 0.35), lens * 1.3);
        glass.setColorAt(0.0, QColor(0xb4, 0xbc, 0xc6));
        glass.setColorAt(1.0, QColor(0x30, 0x36, 0x3e));
        p.setPen(QPen(kCursorOutline, 1.2));
        p.setBrush(glass);
        p.drawEllipse(c, lens, lens);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(c - QPointF(1.6, 1.6), 1.2, 1.2);
    }
    return image;
}

// Magnifying glass with a plus in the lens. The lens is centred on the middle of pixel
// kZoomHotSpot so the hot spot sits exactly in the middle of the plus.
QImage drawZoom32()
{
    QImage image = blankImage(32, 32);
    QPainter p(&image);
    setupPainter(p);

    const QPointF c = kZoomLensCentre;

    // Handle: a grey grip on a short neck, reaching down to the bottom-right corner.
    const qreal d = 1.0 / std::sqrt(2.0);
    const QPointF neckStart = c + QPointF(d, d) * 8.0;
    const QPointF gripStart = c + QPointF(d, d) * 12.5;
    const QPointF gripEnd(27.6, 27.6);

    const auto capsule = [](QPointF from, QPointF to, qreal width, Qt::PenCapStyle cap) {
        QPainterPathStroker stroker;
        stroker.setWidth(width);
        stroker.setCapStyle(cap);
        QPainterPath line(from);
        line.lineTo(to);
        return stroker.createStroke(line);
    };
    p.fillPath(capsule(neckStart, gripStart, 4.6, Qt::FlatCap)
                   .united(capsule(gripStart, gripEnd, 7.0, Qt::RoundCap)),
               kCursorOutline);
    p.fillPath(capsule(neckStart, gripStart + QPointF(d, d) * 0.5, 2.4, Qt::FlatCap), kCursorBody);
    p.fillPath(capsule(gripStart, gripEnd, 4.6, Qt::RoundCap), kCursorGrey);

    // Ring: black outline, white band, black inner edge. The outlines are a little over a
    // pixel wide so they read as solid black rather than grey once antialiased.
    p.setPen(Qt::NoPen);
    p.setBrush(kCursorOutline);
    p.drawEllipse(c, 10.3, 10.3);
    p.setBrush(kCursorBody);
    p.drawEllipse(c, 9.0, 9.0);
    p.setBrush(kCursorOutline);
    p.drawEllipse(c, 7.5, 7.5);

    // Glass: partly transparent so the picture shows through, but light enough for the
    // plus to stand out on dark areas.
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(c, 6.3, 6.3);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // Plus, 3 px thick and 9 px across, centred on the hot-spot pixel.
    const int hx = kZoomHotSpot.x();
    const int hy = kZoomHotSpot.y();
    p.fillRect(QRect(hx - 4, hy - 1, 9, 3), kCursorOutline);
    p.fillRect(QRect(hx - 1, hy - 4, 3, 9), kCursorOutline);
    return image;
}

// A hand pointing up, for the speed dialog's "Now is" marker: the index finger raised
// above a closed fist, black outline on white.
QImage drawPointingHand32()
{
    QImage image = blankImage(32, 32);
    QPainter p(&image);
    setupPainter(p);

    QPainterPath finger;
    finger.addRoundedRect(QRectF(11.5, 2.5, 6, 17), 3, 3);
    QPainterPath fist;
    fist.addRoundedRect(QRectF(8.5, 13.5, 17, 15), 4, 4);
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(4.5, 15.5, 8, 6), 3, 3);
    const QPainterPath hand = finger.united(fist).united(thumb);

    QPainterPathStroker stroker;
    stroker.setWidth(2.2);
    stroker.setJoinStyle(Qt::RoundJoin);
    p.fillPath(hand, kCursorBody);
    p.fillPath(stroker.createStroke(hand), kCursorOutline);
    // The folded fingers.
    p.setPen(QPen(kCursorOutline, 1.2));
    for (const qreal x : {17.5, 21.5})
        p.drawLine(QPointF(x, 16.0), QPointF(x, 21.0));
    return image;
}

// ---------------------------------------------------------------------------------------------
// Preview helpers.

QImage checkerboard(int width, int height, int cell)
{
    QImage image = blankImage(width, height);
    QPainter p(&image);
    for (int y = 0; y < height; y += cell)
        for (int x = 0; x < width; x += cell)
            p.fillRect(x, y, cell, cell,
                       ((x / cell + y / cell) % 2) ? QColor(0xcc, 0xcc, 0xcc)
                                                   : QColor(0xf4, 0xf4, 0xf4));
    return image;
}

QImage enlarged(const QImage &source, int factor)
{
    const QImage big =
        source.scaled(source.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QImage result = checkerboard(big.width(), big.height(), std::max(4, factor * 2));
    QPainter p(&result);
    p.drawImage(0, 0, big);
    return result;
}

// Cursors at 1:1 over backgrounds they will realistically meet, then blown up.
QImage cursorSheet(const std::vector<QImage> &cursors)
{
    const std::vector<std::function<void(QPainter &, const QRect &)>> backgrounds = {
        [](QPainter &p, const QRect &r) { p.fillRect(r, Qt::white); },
        [](QPainter &p, const QRect &r) { p.fillRect(r, QColor(0x80, 0x80, 0x80)); },
        [](QPainter &p, const QRect &r) { p.fillRect(r, Qt::black); },
        [](QPainter &p, const QRect &r) {
            QLinearGradient g(r.topLeft(), r.bottomRight());
            g.setColorAt(0.0, QColor(0x20, 0x60, 0x20));
            g.setColorAt(0.5, QColor(0xe0, 0xc0, 0x60));
            g.setColorAt(1.0, QColor(0x30, 0x50, 0xa0));
            p.fillRect(r, g);
        },
    };
    const int cell = 40;
    QImage sheet = blankImage(cell * int(backgrounds.size()), cell * int(cursors.size()));
    QPainter p(&sheet);
    for (std::size_t row = 0; row < cursors.size(); ++row) {
        for (std::size_t col = 0; col < backgrounds.size(); ++col) {
            const QRect r(int(col) * cell, int(row) * cell, cell, cell);
            backgrounds[col](p, r);
            const QImage &c = cursors[row];
            p.drawImage(r.left() + (cell - c.width()) / 2, r.top() + (cell - c.height()) / 2, c);
        }
    }
    p.end();
    return sheet.scaled(sheet.size() * 5, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

bool save(const QImage &image, const QDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        err() << "make_artwork: cannot write " << path << Qt::endl;
        return false;
    }
    out() << "wrote " << path << " (" << image.width() << "x" << image.height() << ")" << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);

    QStringList args = QGuiApplication::arguments().mid(1);
    QString previewDir;
    if (const qsizetype i = args.indexOf(QStringLiteral("--preview")); i >= 0) {
        if (i + 1 >= args.size()) {
            err() << "make_artwork: --preview needs a folder" << Qt::endl;
            return 2;
        }
        previewDir = args.at(i + 1);
        args.remove(i, 2);
    }
    if (args.size() != 1) {
        err() << "usage: make_artwork OUTPUT_DIR [--preview PREVIEW_DIR]" << Qt::endl;
        return 2;
    }

    const QFontInfo info(letteringFont(16));
    if (info.family() != kFontFamily) {
        err() << "make_artwork: font \"" << kFontFamily << "\" not found (got \"" << info.family()
              << "\")" << Qt::endl;
        return 1;
    }

    QDir dir(args.first());
    if (!dir.mkpath(QStringLiteral("."))) {
        err() << "make_artwork: cannot create " << dir.path() << Qt::endl;
        return 1;
    }

    struct Output {
        QString name;
        QImage image;
    };
    std::vector<Output> outputs;

    // The busy plate stands alone; the three 179 x 36 plates share one lettering size so they
    // look alike when they replace one another in the same spot.
    const Plate wait{
        QStringLiteral("stock-please-wait.png"), {199, 25}, {QStringLiteral("Please Wait...")}};
    outputs.push_back({wait.file, drawPlate(wait, fittingPixelSize(wait, 6, 4))});

    const std::vector<Plate> statusPlates = {
        {QStringLiteral("stock-select-a-file.png"),
         {179, 36},
         {QStringLiteral("Please Select A File")}},
        {QStringLiteral("stock-process-finished.png"),
         {179, 36},
         {QStringLiteral("Process Finished!")}},
        {QStringLiteral("stock-error-occur.png"), {179, 36}, {QStringLiteral("Error Occur!")}},
    };
    int statusSize = 1000;
    for (const Plate &plate : statusPlates)
        statusSize = std::min(statusSize, fittingPixelSize(plate, 7, 3));
    for (const Plate &plate : statusPlates)
        outputs.push_back({plate.file, drawPlate(plate, statusSize)});

    outputs.push_back({QStringLiteral("banner.png"), drawBanner()});
    for (const int size : {16, 32, 48, 128})
        outputs.push_back({QStringLiteral("quorvel-%1.png").arg(size), drawIcon(size)});
    outputs.push_back({QStringLiteral("cursor-binoculars-32.png"), drawBinoculars(32)});
    outputs.push_back({QStringLiteral("cursor-binoculars-16.png"), drawBinoculars(16)});
    outputs.push_back({QStringLiteral("cursor-zoom-32.png"), drawZoom32()});
    outputs.push_back({QStringLiteral("pointing-hand-32.png"), drawPointingHand32()});
    outputs.push_back({QStringLiteral("help-viewing-panel.png"), drawViewingPanelTip()});
    outputs.push_back({QStringLiteral("help-full-screen.png"), drawFullScreenTip()});
    outputs.push_back({QStringLiteral("help-about.png"), drawAboutSide()});

    bool ok = true;
    for (const Output &o : outputs)
        ok = save(o.image, dir, o.name) && ok;
    ok = saveText(iconSvg(), dir, QStringLiteral("quorvel.svg")) && ok;

    out() << "hot spot cursor-binoculars-32.png: 16,16" << Qt::endl;
    out() << "hot spot cursor-binoculars-16.png: 8,8" << Qt::endl;
    out() << "hot spot cursor-zoom-32.png (lens centre): " << kZoomHotSpot.x() << ","
          << kZoomHotSpot.y() << Qt::endl;

    if (!previewDir.isEmpty()) {
        QDir preview(previewDir);
        preview.mkpath(QStringLiteral("."));
        for (const Output &o : outputs) {
            const int longest = std::max(o.image.width(), o.image.height());
            const int factor = std::clamp(720 / longest, 3, 16);
            ok = save(enlarged(o.image, factor), preview, QStringLiteral("big-") + o.name) && ok;
        }
        const auto image = [&outputs](const char *name) {
            const auto it = std::find_if(outputs.begin(), outputs.end(), [name](const Output &o) {
                return o.name == QLatin1String(name);
            });
            return it->image;
        };
        // The banner as the sidebar shows it.
        const QImage shown =
            image("banner.png")
                .scaled(kBannerShown.toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        ok = save(shown, preview, QStringLiteral("banner-shown.png")) && ok;
        ok = save(enlarged(shown, 4), preview, QStringLiteral("big-banner-shown.png")) && ok;
        ok = save(cursorSheet({image("cursor-binoculars-32.png"), image("cursor-binoculars-16.png"),
                               image("cursor-zoom-32.png")}),
                  preview, QStringLiteral("cursor-sheet.png")) &&
             ok;
    }
    return ok ? 0 : 1;
}
