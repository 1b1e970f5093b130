// Text output for the GDI replay: fonts, their size and placement, and drawing.
#include "GdiCharacters.h"
#include "GdiDevice.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QtMath>
#include <cmath>
#include <tuple>

namespace metafile {

using namespace gdi;

// A run of text placed on the device: its font at the size drawn, its characters and
// where each goes in local text space (x along the baseline and y down, in font
// pixels), and how that space lies on the device.
struct TextLayout {
    QFont font;
    int fontPx = 0;
    double winAscent = 0; // of the em
    double winDescent = 0;
    double localPerLogicalAdvance = 0;
    QString text;
    // The Symbol font's degree sign comes from a font of its design, when one is
    // installed: inDesign says which characters it draws; empty when none.
    QFont designFont;
    std::vector<bool> inDesign;
    // Each character's place from the run's start; empty when the run is drawn whole.
    std::vector<double> xs;
    std::vector<double> ys;
    qsizetype n = 0;  // characters or glyphs
    double total = 0; // the run's width
    double endY = 0;  // where ETO_PDY's vertical advances leave the next character
    double x0 = 0;    // the run's start and baseline, as the alignment puts them
    double baseline = 0;
    QPointF origin; // the reference point on the device
    QTransform toDevice;
};

namespace {

using TextRun = GdiDevice::TextRun;

// The face GDI draws for a face name: Windows installs the PostScript names
// Helvetica and Times as aliases of Arial and Times New Roman (its font
// substitutes), so they draw with those fonts' metrics, not those of the
// PostScript fonts the names would find here.
QString windowsFace(const QString &face)
{
    const QString key = face.trimmed();
    if (key.isEmpty())
        return QStringLiteral("Arial");
    if (key.compare(QLatin1String("Helvetica"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Arial");
    if (key.compare(QLatin1String("Times"), Qt::CaseInsensitive) == 0 ||
        key.compare(QLatin1String("Tms Rmn"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Times New Roman");
    return face;
}

// The average character width that a font's width (lfWidth) is measured
// against. GDI takes it from the font's xAvgCharWidth, which the Windows core
// fonts give as the mean of the lower-case letters and the space weighted by
// how often they occur in English text. The stand-in fonts have the same
// advances but state an average over all their glyphs, a third wider for
// Arial's stand-in, so the weighted mean is taken from the advances instead.
// Symbol fonts weigh the characters at those codes. In pixels of fm's font.
double weightedAverageWidth(const QFontMetricsF &fm, SymbolKind kind)
{
    static constexpr int kWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6, 35, 20,
                                         56, 56, 17, 4,  49,  56, 71, 31, 10, 18, 3, 18, 2};
    QString letters;
    for (int i = 0; i < 26; ++i)
        letters.append(QChar(u'a' + i));
    letters = mapSymbols(letters, kind);
    if (letters.size() != 26)
        return fm.averageCharWidth();
    double sum = 166 * fm.horizontalAdvance(QChar(u' '));
    for (int i = 0; i < 26; ++i) {
        if (!fm.inFont(letters.at(i)))
            return fm.averageCharWidth();
        sum += kWeights[i] * fm.horizontalAdvance(letters.at(i));
    }
    return sum / 1000;
}

// A font's ascent and descent as GDI measures them, in fractions of the em:
// from the usWinAscent and usWinDescent of its OS/2 table, which is what the
// cell height of a positive font height and the top and bottom alignments
// refer to. Some fonts give their horizontal header a shorter line than that
// (OpenSymbol, which stands in for the symbol fonts, a quarter shorter), and
// the font engine may report that one. Falls back to the engine's metrics.
std::pair<double, double> winAscentDescent(const QFont &font, const QFontMetricsF &fm)
{
    const QRawFont raw = QRawFont::fromFont(font);
    if (raw.isValid()) {
        const QByteArray os2 = raw.fontTable("OS/2");
        const QByteArray head = raw.fontTable("head");
        if (os2.size() >= 78 && head.size() >= 20) {
            auto u16 = [](const QByteArray &t, int at) {
                return int(quint8(t[at])) << 8 | int(quint8(t[at + 1]));
            };
            const int unitsPerEm = u16(head, 18);
            const int ascent = u16(os2, 74), descent = u16(os2, 76);
            if (unitsPerEm >= 16 && ascent + descent > 0)
                return {double(ascent) / unitsPerEm, double(descent) / unitsPerEm};
        }
    }
    const double px = font.pixelSize() > 0 ? font.pixelSize() : fm.height();
    return {fm.ascent() / px, fm.descent() / px};
}

// The font GDI draws a LOGFONT with, before its size is known. Glyph indexes name
// glyphs of the face itself, even of a symbol font.
QFont fontFor(const Font &lf, SymbolKind symbols, bool glyphIndexes)
{
    QFont font;
    if (symbols == SymbolKind::None || glyphIndexes)
        font.setFamily(windowsFace(lf.face));
    else
        font.setFamilies({QStringLiteral("OpenSymbol"), QStringLiteral("DejaVu Sans")});
    if ((lf.pitchAndFamily & 0x3) == 1 || (lf.pitchAndFamily & 0xF0) == 0x30)
        font.setStyleHint(QFont::Monospace);
    else if ((lf.pitchAndFamily & 0xF0) == 0x10)
        font.setStyleHint(QFont::Serif);
    else
        font.setStyleHint(QFont::SansSerif);
    const int weight = lf.weight <= 0 ? 400 : qBound(1, lf.weight, 1000);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(lf.italic);
    font.setUnderline(lf.underline);
    font.setStrikeOut(lf.strikeOut);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

// Sizes t.font for the page/world transform m and gives the local text space as a
// transform (without its origin); false when the run cannot be drawn at any size.
bool sizeFont(const Font &lf, SymbolKind symbols, const QTransform &m, double pixelScale,
              TextLayout &t, QTransform &local)
{
    // Linear part of the page/world transform and the text frame on the device.
    const double l11 = m.m11(), l12 = m.m12(), l21 = m.m21(), l22 = m.m22();
    const bool diagonal = std::abs(l12) < 1e-12 && std::abs(l21) < 1e-12;
    const double det = l11 * l22 - l12 * l21;
    if (std::abs(det) < 1e-24)
        return false;
    const double esc = qDegreesToRadians(lf.escapement / 10.0);
    const double ce = std::cos(esc), se = std::sin(esc);

    // Em height in logical units; a positive height is the cell height.
    double heightLogical = std::abs(double(lf.height));
    if (lf.height == 0)
        heightLogical = 16.0 / std::sqrt(std::abs(det)); // a default of about 12pt on screen
    QFont probe = t.font;
    probe.setPixelSize(1000);
    const QFontMetricsF probeMetrics(probe);
    std::tie(t.winAscent, t.winDescent) = winAscentDescent(probe, probeMetrics);
    double em = heightLogical;
    if (lf.height > 0) {
        const double cell = (t.winAscent + t.winDescent) * 1000.0;
        if (cell > 0)
            em = heightLogical * 1000.0 / cell;
    }

    // Baseline (U) and descent (D) directions on the device, per logical unit of em.
    QPointF U, D, advance;
    if (diagonal) {
        const double sx = std::abs(l11), sy = std::abs(l22);
        U = QPointF(ce, -se) * sy;
        D = QPointF(se, ce) * sy;
        advance = QPointF(ce, -se) * sx;
    } else {
        QPointF b(ce, -se), d(se, ce);
        if (det < 0) {
            b = QPointF(ce, se);
            d = QPointF(se, -ce);
        }
        auto lin = [&](QPointF v) {
            return QPointF(v.x() * l11 + v.y() * l21, v.x() * l12 + v.y() * l22);
        };
        U = lin(b);
        D = lin(d);
        advance = U;
    }
    const double deviceEm = em * std::sqrt(std::abs(U.x() * D.y() - U.y() * D.x()));
    const double targetEm = deviceEm * pixelScale;
    if (!std::isfinite(targetEm) || targetEm > 1e5)
        return false;
    t.fontPx = qBound(1, int(std::lround(targetEm)), 4000);
    t.font.setPixelSize(t.fontPx);
    const double k = em / t.fontPx; // logical units per font pixel

    double widthFactor = 1.0;
    if (lf.width != 0) {
        const double avg = weightedAverageWidth(probeMetrics, symbols) * em / 1000.0;
        if (avg > 0)
            widthFactor = qBound(0.05, std::abs(lf.width) / avg, 20.0);
    }
    const double uLen = std::hypot(U.x(), U.y());
    const double aLen = std::hypot(advance.x(), advance.y());
    if (uLen <= 0)
        return false;
    // Local text space: x along the baseline and y down, in font pixels.
    local =
        QTransform(U.x() * k * widthFactor, U.y() * k * widthFactor, D.x() * k, D.y() * k, 0, 0);
    t.localPerLogicalAdvance = aLen / (uLen * k * widthFactor);
    return true;
}

// The stand-ins draw the Symbol font's degree sign as a ring on the baseline (their
// operator form); the Symbol font's own is a raised ring near the top of the em. It
// is taken from a font of the Symbol font's design when one is installed; the other
// characters keep the stand-ins' shapes.
void findDesignCharacters(const TextRun &run, SymbolKind symbols, TextLayout &t)
{
    t.designFont = t.font;
    t.designFont.setFamilies({QStringLiteral("Standard Symbols PS")});
    t.designFont.setPixelSize(t.fontPx);
    if (symbols == SymbolKind::Symbol && run.glyphs.empty() && t.text.contains(QChar(0x00B0))) {
        const QRawFont design = QRawFont::fromFont(t.designFont);
        if (design.isValid() &&
            design.familyName().startsWith(t.designFont.families().constFirst()) &&
            design.supportsCharacter(QChar(0x00B0)))
            for (QChar c : t.text)
                t.inDesign.push_back(c == QChar(0x00B0));
    }
}

// Each character's place and the run's width, in local units; false when an advance
// is not a number.
bool placeCharacters(const TextRun &run, double charExtra, TextLayout &t)
{
    const QFontMetricsF fm(t.font);
    const QFontMetricsF designMetrics(t.designFont);
    const bool haveDx = !run.dx.empty();
    auto advanceOf = [&](qsizetype i) {
        return !t.inDesign.empty() && t.inDesign[size_t(i)]
                   ? designMetrics.horizontalAdvance(t.text.at(i))
                   : fm.horizontalAdvance(t.text.at(i));
    };
    t.n = run.glyphs.empty() ? t.text.size() : qsizetype(run.glyphs.size());
    if (!haveDx && run.glyphs.empty() && t.inDesign.empty()) {
        t.total = fm.horizontalAdvance(t.text) + charExtra * t.localPerLogicalAdvance * double(t.n);
        return true;
    }
    t.xs.reserve(size_t(t.n));
    double y = 0;
    // The advances count characters; a symbol mapped outside the basic plane takes
    // two code units here, the second one riding on the first's advance.
    size_t ci = 0;
    for (qsizetype i = 0; i < t.n; ++i) {
        t.xs.push_back(t.total);
        t.ys.push_back(y);
        if (run.glyphs.empty() && i > 0 && t.text.at(i).isLowSurrogate() &&
            t.text.at(i - 1).isHighSurrogate())
            continue;
        double adv;
        if (ci < run.dx.size())
            adv = run.dx[ci] * t.localPerLogicalAdvance;
        else if (run.glyphs.empty())
            adv = advanceOf(i);
        else
            adv = fm.averageCharWidth();
        if (!std::isfinite(adv))
            return false;
        t.total += adv;
        if (ci < run.dy.size())
            y -= run.dy[ci] * t.localPerLogicalAdvance;
        ++ci;
    }
    t.endY = y;
    return true;
}

// Where the alignment puts the run's start and its baseline, from the reference point.
void align(quint32 textAlign, TextLayout &t)
{
    switch (textAlign & TA_HORZ_MASK) {
    case TA_CENTER:
        t.x0 = -t.total / 2;
        break;
    case TA_RIGHT:
        t.x0 = -t.total;
        break;
    default:
        break;
    }
    switch (textAlign & TA_VERT_MASK) {
    case TA_BASELINE:
        t.baseline = 0;
        break;
    case TA_BOTTOM:
        t.baseline = -t.winDescent * t.fontPx;
        break;
    default:
        t.baseline = t.winAscent * t.fontPx;
        break;
    }
}

} // namespace

void GdiDevice::textOut(const TextRun &run)
{
    drawTextRun(run);
}

void GdiDevice::drawTextRun(const TextRun &run)
{
    const QTransform m = logicalToDevice();
    const QPointF refLogical = (m_s.textAlign & TA_UPDATECP) ? m_s.curPos : run.reference;
    if (!std::isfinite(refLogical.x()) || !std::isfinite(refLogical.y()))
        return;
    const qsizetype count = run.glyphs.empty() ? run.text.size() : qsizetype(run.glyphs.size());
    if (!spend(4 + count))
        return;

    // ETO_OPAQUE fills the rectangle even when there is no text.
    if (run.rect && (run.options & ETO_OPAQUE) && !m_pathOpen)
        fillTextRectangle(*run.rect, m);
    if (count == 0)
        return;

    const std::optional<TextLayout> layout = layOutText(run, m, refLogical);
    if (!layout)
        return;
    if (m_s.textAlign & TA_UPDATECP)
        moveCurrentPositionPast(*layout, m);
    if (m_pathOpen) {
        addTextToPath(run, *layout);
        return;
    }
    paintText(run, *layout, m);
}

std::optional<TextLayout> GdiDevice::layOutText(const TextRun &run, const QTransform &m,
                                                QPointF refLogical) const
{
    const SymbolKind symbols = symbolKind(m_s.font);
    TextLayout t;
    t.font = fontFor(m_s.font, symbols, !run.glyphs.empty());
    QTransform local;
    if (!sizeFont(m_s.font, symbols, m, m_setup.pixelScale, t, local))
        return std::nullopt;
    // Characters, positions and the run's width in local units.
    t.text = mapSymbols(run.text, run.glyphs.empty() ? symbols : SymbolKind::None);
    findDesignCharacters(run, symbols, t);
    if (!placeCharacters(run, m_s.charExtra, t))
        return std::nullopt;
    align(m_s.textAlign, t);
    t.origin = m.map(refLogical);
    t.toDevice = local * QTransform::fromTranslate(t.origin.x(), t.origin.y());
    return t;
}

void GdiDevice::fillTextRectangle(const QRectF &rect, const QTransform &m)
{
    QPainterPath r;
    r.addRect(rect.normalized());
    const QPainterPath dev = m.map(r);
    if (!measured(dev.boundingRect())) {
        beginDraw();
        m_p.setRenderHint(QPainter::Antialiasing, false);
        m_p.fillPath(dev, color(m_s.bkColor));
    }
}

void GdiDevice::moveCurrentPositionPast(const TextLayout &t, const QTransform &m)
{
    const double newX = (m_s.textAlign & TA_HORZ_MASK) == TA_RIGHT    ? t.x0
                        : (m_s.textAlign & TA_HORZ_MASK) == TA_CENTER ? 0
                                                                      : t.x0 + t.total;
    const bool left = (m_s.textAlign & TA_HORZ_MASK) == TA_LEFT;
    const QPointF dev = t.toDevice.map(QPointF(newX, left ? t.endY : 0));
    bool invertible = false;
    const QTransform inv = m.inverted(&invertible);
    if (invertible)
        m_s.curPos = inv.map(dev);
}

void GdiDevice::addTextToPath(const TextRun &run, const TextLayout &t)
{
    QPainterPath tp;
    if (run.glyphs.empty()) {
        if (t.xs.empty())
            tp.addText(QPointF(t.x0, t.baseline), t.font, t.text);
        else
            for (qsizetype i = 0; i < t.n; ++i)
                tp.addText(QPointF(t.x0 + t.xs[size_t(i)], t.baseline + t.ys[size_t(i)]), t.font,
                           t.text.mid(i, 1));
    }
    m_path.addPath(t.toDevice.map(tp));
}

void GdiDevice::paintText(const TextRun &run, const TextLayout &t, const QTransform &m)
{
    // A file measured for its size counts text by its reference point, as other
    // viewers do, so that its frame matches theirs.
    if (measured(QRectF(t.origin, QSizeF(0.01, 0.01))))
        return;
    beginDraw();
    if (run.rect && (run.options & ETO_CLIPPED)) {
        QPainterPath r;
        r.addRect(run.rect->normalized());
        m_p.setClipPath(m.map(r), Qt::IntersectClip);
        m_clipDirty = true; // the next draw starts from the DC's own clip again
    }
    QTransform toTarget = t.toDevice * m_setup.deviceToTarget;
    if (toTarget.type() <= QTransform::TxScale) {
        // Upright text sits on a whole pixel row. The rasteriser would round the
        // baseline to the nearest row, which drops half of all runs a row lower than
        // other renderers place them; move it up unless it is nearly on the next row.
        const QPointF base = toTarget.map(QPointF(t.x0, t.baseline));
        const double snapped = std::floor(base.y() + 0.25);
        if (std::isfinite(snapped))
            toTarget *= QTransform::fromTranslate(0, snapped - base.y());
    }
    m_p.setTransform(toTarget);
    if (m_s.bkMode == OPAQUE && !(run.options & ETO_OPAQUE)) {
        m_p.setRenderHint(QPainter::Antialiasing, false);
        m_p.fillRect(QRectF(t.x0, t.baseline - t.winAscent * t.fontPx, t.total,
                            (t.winAscent + t.winDescent) * t.fontPx),
                     color(m_s.bkColor));
        m_p.setRenderHint(QPainter::Antialiasing, true);
    }
    m_p.setPen(color(m_s.textColor));
    m_p.setFont(t.font);
    if (!run.glyphs.empty())
        drawGlyphIndexes(run, t);
    else
        drawCharacters(t);
}

void GdiDevice::drawGlyphIndexes(const TextRun &run, const TextLayout &t)
{
    const Font &lf = m_s.font;
    QRawFont raw = QRawFont::fromFont(t.font);
    if (!raw.isValid())
        return;
    // Glyph indexes only mean something in the font they came from.
    if (raw.familyName().compare(lf.face, Qt::CaseInsensitive) != 0)
        return;
    QList<quint32> glyphs;
    QList<QPointF> positions;
    for (qsizetype i = 0; i < t.n; ++i) {
        glyphs.append(run.glyphs[size_t(i)]);
        positions.append(QPointF(t.x0 + t.xs[size_t(i)], t.baseline + t.ys[size_t(i)]));
    }
    QGlyphRun gr;
    gr.setRawFont(raw);
    gr.setGlyphIndexes(glyphs);
    gr.setPositions(positions);
    gr.setUnderline(lf.underline);
    gr.setStrikeOut(lf.strikeOut);
    m_p.drawGlyphRun(QPointF(0, 0), gr);
}

void GdiDevice::drawCharacters(const TextLayout &t)
{
    if (t.xs.empty()) {
        if (m_s.charExtra == 0) {
            m_p.drawText(QPointF(t.x0, t.baseline), t.text);
            return;
        }
        const QFontMetricsF fm(t.font);
        double x = t.x0;
        const double extra = m_s.charExtra * t.localPerLogicalAdvance;
        for (qsizetype i = 0; i < t.text.size(); ++i) {
            m_p.drawText(QPointF(x, t.baseline), t.text.mid(i, 1));
            x += fm.horizontalAdvance(t.text.at(i)) + extra;
        }
        return;
    }
    // Each character at its own advance. Surrogate pairs travel together.
    for (qsizetype i = 0; i < t.n; ++i) {
        const QChar c = t.text.at(i);
        if (c.isSpace())
            continue;
        if (c.isHighSurrogate() && i + 1 < t.n) {
            m_p.drawText(QPointF(t.x0 + t.xs[size_t(i)], t.baseline + t.ys[size_t(i)]),
                         t.text.mid(i, 2));
            ++i;
            continue;
        }
        if (!t.inDesign.empty())
            m_p.setFont(t.inDesign[size_t(i)] ? t.designFont : t.font);
        m_p.drawText(QPointF(t.x0 + t.xs[size_t(i)], t.baseline + t.ys[size_t(i)]), QString(c));
    }
}

} // namespace metafile
