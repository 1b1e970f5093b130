// Text output for the GDI replay: fonts, code pages, symbol fonts and placement.
#include "GdiDevice.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QStringDecoder>
#include <QtMath>
#include <cmath>
#include <unordered_map>

namespace metafile {

using namespace gdi;

namespace {

// Bytes 0x80-0x9F of Windows-1252; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Symbol font's layout from 0x20 to 0xFF, as Unicode.
constexpr char16_t kSymbol[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7,
    0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F, 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x0020,
    // 0x80-0x9F are unused in the Symbol font.
    0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020,
    0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020,
    0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x0020, 0x20AC, 0x03D2, 0x2032, 0x2264,
    0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248,
    0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9,
    0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3,
    0x23A7, 0x23A8, 0x23A9, 0x23AA, 0x0020, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x0020};

// The Wingdings shapes that documents use most, as Unicode; the rest become bullets.
char32_t wingding(int c)
{
    static const std::unordered_map<int, char32_t> map = {
        {0x20, 0x0020},  {0x21, 0x270F}, {0x22, 0x2702},  {0x23, 0x2701},  {0x28, 0x260E},
        {0x29, 0x2706},  {0x2A, 0x2709}, {0x36, 0x231B},  {0x37, 0x2328},  {0x3E, 0x2707},
        {0x3F, 0x270D},  {0x41, 0x270C}, {0x42, 0x1F44C}, {0x43, 0x1F44D}, {0x44, 0x1F44E},
        {0x45, 0x261C},  {0x46, 0x261E}, {0x47, 0x261D},  {0x48, 0x261F},  {0x4A, 0x263A},
        {0x4B, 0x1F610}, {0x4C, 0x2639}, {0x4D, 0x1F4A3}, {0x4E, 0x2620},  {0x51, 0x2708},
        {0x52, 0x263C},  {0x54, 0x2744}, {0x56, 0x271E},  {0x58, 0x2720},  {0x59, 0x2721},
        {0x5A, 0x262A},  {0x5B, 0x262F}, {0x5D, 0x2638},  {0x5E, 0x2648},  {0x6C, 0x25CF},
        {0x6D, 0x274D},  {0x6E, 0x25A0}, {0x6F, 0x25A1},  {0x70, 0x25FB},  {0x71, 0x2751},
        {0x72, 0x2752},  {0x73, 0x2B27}, {0x74, 0x29EB},  {0x75, 0x25C6},  {0x76, 0x2756},
        {0x77, 0x2B25},  {0x78, 0x2327}, {0x79, 0x2353},  {0x7A, 0x2318},  {0x7B, 0x2740},
        {0x7C, 0x273F},  {0x7D, 0x275D}, {0x7E, 0x275E},  {0x9F, 0x2022},  {0xA1, 0x25CB},
        {0xA2, 0x2B55},  {0xA4, 0x25C9}, {0xA6, 0x25CE},  {0xA7, 0x25AA},  {0xA8, 0x25FB},
        {0xAA, 0x2726},  {0xAB, 0x2605}, {0xAC, 0x2736},  {0xAD, 0x2734},  {0xAE, 0x2739},
        {0xAF, 0x2735},  {0xB1, 0x2316}, {0xB2, 0x27E1},  {0xB3, 0x2311},  {0xD5, 0x232B},
        {0xD6, 0x2326},  {0xD8, 0x27A2}, {0xDF, 0x2190},  {0xE0, 0x2192},  {0xE1, 0x2191},
        {0xE2, 0x2193},  {0xE8, 0x2794}, {0xEF, 0x21E6},  {0xF0, 0x21E8},  {0xF1, 0x21E7},
        {0xF2, 0x21E9},  {0xFB, 0x2717}, {0xFC, 0x2714},  {0xFD, 0x2612},  {0xFE, 0x2611}};
    const auto it = map.find(c);
    return it == map.end() ? char32_t(0x2022) : it->second;
}

enum class SymbolKind { None, Symbol, Wingdings };

SymbolKind symbolKind(const Font &f)
{
    const QString face = f.face.trimmed().toLower();
    if (face == QLatin1String("symbol"))
        return SymbolKind::Symbol;
    if (face.startsWith(QLatin1String("wingdings")) || face == QLatin1String("webdings"))
        return SymbolKind::Wingdings;
    return SymbolKind::None;
}

const char *codePageFor(int charSet)
{
    switch (charSet) {
    case 128:
        return "Shift_JIS";
    case 129:
        return "windows-949";
    case 130:
        return "x-johab";
    case 134:
        return "GBK";
    case 136:
        return "Big5";
    case 161:
        return "windows-1253";
    case 162:
        return "windows-1254";
    case 163:
        return "windows-1258";
    case 177:
        return "windows-1255";
    case 178:
        return "windows-1256";
    case 186:
        return "windows-1257";
    case 204:
        return "windows-1251";
    case 222:
        return "windows-874";
    case 238:
        return "windows-1250";
    case 255:
        return "IBM437";
    case 77:
        return "macintosh";
    default:
        return nullptr;
    }
}

bool isLeadByte(int charSet, quint8 b)
{
    switch (charSet) {
    case 128:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 129:
    case 130:
    case 134:
    case 136:
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

QString mapSymbols(const QString &text, SymbolKind kind)
{
    if (kind == SymbolKind::None)
        return text;
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        int c = ch.unicode();
        if (c >= 0xF020 && c <= 0xF0FF)
            c -= 0xF000;
        if (c < 0x20 || c > 0xFF) {
            out.append(ch);
            continue;
        }
        if (kind == SymbolKind::Symbol) {
            out.append(QChar(kSymbol[c - 0x20]));
        } else {
            const char32_t u = wingding(c);
            out.append(QString::fromUcs4(&u, 1));
        }
    }
    return out;
}

} // namespace

QString GdiDevice::decodeAnsi(QByteArrayView bytes, std::vector<double> *dx) const
{
    const int cs = m_s.font.charSet;
    if (cs == 2 || symbolKind(m_s.font) != SymbolKind::None) {
        // Symbol fonts: keep the byte values; the glyph mapping happens at drawing.
        QString s;
        for (char b : bytes)
            s.append(QChar(quint8(b)));
        return s;
    }
    const char *cp = codePageFor(cs);
    if (cp) {
        QStringDecoder decoder(cp);
        if (decoder.isValid()) {
            QString s = decoder.decode(bytes);
            if (dx && !dx->empty() &&
                (cs == 128 || cs == 129 || cs == 130 || cs == 134 || cs == 136)) {
                // Double-byte code pages give one advance per byte: merge them per character.
                std::vector<double> merged;
                for (qsizetype i = 0; i < bytes.size(); ++i) {
                    double adv = i < qsizetype(dx->size()) ? (*dx)[size_t(i)] : 0;
                    if (isLeadByte(cs, quint8(bytes[i])) && i + 1 < bytes.size()) {
                        ++i;
                        if (i < qsizetype(dx->size()))
                            adv += (*dx)[size_t(i)];
                    }
                    merged.push_back(adv);
                }
                *dx = std::move(merged);
            }
            return s;
        }
    }
    QString s;
    s.reserve(bytes.size());
    for (char b : bytes) {
        const quint8 u = quint8(b);
        s.append(u >= 0x80 && u < 0xA0 ? QChar(kCp1252High[u - 0x80]) : QChar(u));
    }
    return s;
}

void GdiDevice::textOut(const TextRun &run)
{
    drawTextRun(run);
}

void GdiDevice::drawTextRun(const TextRun &run)
{
    const Font &lf = m_s.font;
    const QTransform m = logicalToDevice();
    const QPointF refLogical = (m_s.textAlign & TA_UPDATECP) ? m_s.curPos : run.reference;
    if (!std::isfinite(refLogical.x()) || !std::isfinite(refLogical.y()))
        return;
    const qsizetype count = run.glyphs.empty() ? run.text.size() : qsizetype(run.glyphs.size());
    if (!spend(4 + count))
        return;

    // ETO_OPAQUE fills the rectangle even when there is no text.
    if (run.rect && (run.options & ETO_OPAQUE) && !m_pathOpen) {
        QPainterPath r;
        r.addRect(run.rect->normalized());
        const QPainterPath dev = m.map(r);
        if (!measured(dev.boundingRect())) {
            beginDraw();
            m_p.setRenderHint(QPainter::Antialiasing, false);
            m_p.fillPath(dev, color(m_s.bkColor));
        }
    }
    if (count == 0)
        return;

    // Font selection.
    const SymbolKind symbols = symbolKind(lf);
    QFont font;
    if (symbols == SymbolKind::None || !run.glyphs.empty())
        font.setFamily(lf.face.isEmpty() ? QStringLiteral("Arial") : lf.face);
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

    // Linear part of the page/world transform and the text frame on the device.
    const double l11 = m.m11(), l12 = m.m12(), l21 = m.m21(), l22 = m.m22();
    const bool diagonal = std::abs(l12) < 1e-12 && std::abs(l21) < 1e-12;
    const double det = l11 * l22 - l12 * l21;
    if (std::abs(det) < 1e-24)
        return;
    const double esc = qDegreesToRadians(lf.escapement / 10.0);
    const double ce = std::cos(esc), se = std::sin(esc);

    // Em height in logical units; a positive height is the cell height.
    double heightLogical = std::abs(double(lf.height));
    if (lf.height == 0)
        heightLogical = 16.0 / std::sqrt(std::abs(det)); // a default of about 12pt on screen
    QFont probe = font;
    probe.setPixelSize(1000);
    const QFontMetricsF probeMetrics(probe);
    double em = heightLogical;
    if (lf.height > 0) {
        const double cell = probeMetrics.ascent() + probeMetrics.descent();
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
    const double targetEm = deviceEm * m_setup.pixelScale;
    if (!std::isfinite(targetEm) || targetEm > 1e5)
        return;
    const int fontPx = qBound(1, int(std::lround(targetEm)), 4000);
    font.setPixelSize(fontPx);
    const QFontMetricsF fm(font);
    const double k = em / fontPx; // logical units per font pixel

    double widthFactor = 1.0;
    if (lf.width != 0) {
        const double avg = fm.averageCharWidth() * k;
        if (avg > 0)
            widthFactor = qBound(0.05, std::abs(lf.width) / avg, 20.0);
    }
    const double uLen = std::hypot(U.x(), U.y());
    const double aLen = std::hypot(advance.x(), advance.y());
    if (uLen <= 0)
        return;
    // Local text space: x along the baseline and y down, in font pixels.
    const QTransform local(U.x() * k * widthFactor, U.y() * k * widthFactor, D.x() * k, D.y() * k,
                           0, 0);
    const double localPerLogicalAdvance = aLen / (uLen * k * widthFactor);

    // Characters, positions and the run's width in local units.
    QString text = mapSymbols(run.text, run.glyphs.empty() ? symbols : SymbolKind::None);
    std::vector<double> xs;
    std::vector<double> ys;
    double total = 0;
    const bool haveDx = !run.dx.empty();
    const qsizetype n = run.glyphs.empty() ? text.size() : qsizetype(run.glyphs.size());
    if (haveDx || !run.glyphs.empty()) {
        xs.reserve(size_t(n));
        double y = 0;
        for (qsizetype i = 0; i < n; ++i) {
            xs.push_back(total);
            ys.push_back(y);
            double adv;
            if (i < qsizetype(run.dx.size()))
                adv = run.dx[size_t(i)] * localPerLogicalAdvance;
            else if (run.glyphs.empty())
                adv = fm.horizontalAdvance(text.at(i));
            else
                adv = fm.averageCharWidth();
            if (!std::isfinite(adv))
                return;
            total += adv;
            if (i < qsizetype(run.dy.size()))
                y -= run.dy[size_t(i)] * localPerLogicalAdvance;
        }
    } else {
        total = fm.horizontalAdvance(text) + m_s.charExtra * localPerLogicalAdvance * double(n);
    }

    double x0 = 0;
    switch (m_s.textAlign & TA_HORZ_MASK) {
    case TA_CENTER:
        x0 = -total / 2;
        break;
    case TA_RIGHT:
        x0 = -total;
        break;
    default:
        break;
    }
    double baseline = 0;
    switch (m_s.textAlign & TA_VERT_MASK) {
    case TA_BASELINE:
        baseline = 0;
        break;
    case TA_BOTTOM:
        baseline = -fm.descent();
        break;
    default:
        baseline = fm.ascent();
        break;
    }

    const QPointF origin = m.map(refLogical);
    const QTransform toDevice = local * QTransform::fromTranslate(origin.x(), origin.y());

    if (m_s.textAlign & TA_UPDATECP) {
        const double newX = (m_s.textAlign & TA_HORZ_MASK) == TA_RIGHT    ? x0
                            : (m_s.textAlign & TA_HORZ_MASK) == TA_CENTER ? 0
                                                                          : x0 + total;
        const QPointF dev = toDevice.map(QPointF(newX, 0));
        bool invertible = false;
        const QTransform inv = m.inverted(&invertible);
        if (invertible)
            m_s.curPos = inv.map(dev);
    }

    if (m_pathOpen) {
        QPainterPath tp;
        if (run.glyphs.empty()) {
            if (xs.empty())
                tp.addText(QPointF(x0, baseline), font, text);
            else
                for (qsizetype i = 0; i < n; ++i)
                    tp.addText(QPointF(x0 + xs[size_t(i)], baseline + ys[size_t(i)]), font,
                               text.mid(i, 1));
        }
        m_path.addPath(toDevice.map(tp));
        return;
    }

    // A file measured for its size counts text by its reference point, as other
    // viewers do, so that its frame matches theirs.
    if (measured(QRectF(origin, QSizeF(0.01, 0.01))))
        return;
    beginDraw();
    if (run.rect && (run.options & ETO_CLIPPED)) {
        QPainterPath r;
        r.addRect(run.rect->normalized());
        m_p.setClipPath(m.map(r), Qt::IntersectClip);
        m_clipDirty = true; // the next draw starts from the DC's own clip again
    }
    m_p.setTransform(toDevice * m_setup.deviceToTarget);
    if (m_s.bkMode == OPAQUE && !(run.options & ETO_OPAQUE)) {
        m_p.setRenderHint(QPainter::Antialiasing, false);
        m_p.fillRect(QRectF(x0, baseline - fm.ascent(), total, fm.ascent() + fm.descent()),
                     color(m_s.bkColor));
        m_p.setRenderHint(QPainter::Antialiasing, true);
    }
    m_p.setPen(color(m_s.textColor));
    m_p.setFont(font);

    if (!run.glyphs.empty()) {
        QRawFont raw = QRawFont::fromFont(font);
        if (!raw.isValid())
            return;
        // Glyph indexes only mean something in the font they came from.
        if (raw.familyName().compare(lf.face, Qt::CaseInsensitive) != 0)
            return;
        QList<quint32> glyphs;
        QList<QPointF> positions;
        for (qsizetype i = 0; i < n; ++i) {
            glyphs.append(run.glyphs[size_t(i)]);
            positions.append(QPointF(x0 + xs[size_t(i)], baseline + ys[size_t(i)]));
        }
        QGlyphRun gr;
        gr.setRawFont(raw);
        gr.setGlyphIndexes(glyphs);
        gr.setPositions(positions);
        gr.setUnderline(lf.underline);
        gr.setStrikeOut(lf.strikeOut);
        m_p.drawGlyphRun(QPointF(0, 0), gr);
        return;
    }
    if (xs.empty()) {
        if (m_s.charExtra == 0) {
            m_p.drawText(QPointF(x0, baseline), text);
            return;
        }
        double x = x0;
        const double extra = m_s.charExtra * localPerLogicalAdvance;
        for (qsizetype i = 0; i < text.size(); ++i) {
            m_p.drawText(QPointF(x, baseline), text.mid(i, 1));
            x += fm.horizontalAdvance(text.at(i)) + extra;
        }
        return;
    }
    // Each character at its own advance. Surrogate pairs travel together.
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isSpace())
            continue;
        if (c.isHighSurrogate() && i + 1 < n) {
            m_p.drawText(QPointF(x0 + xs[size_t(i)], baseline + ys[size_t(i)]), text.mid(i, 2));
            ++i;
            continue;
        }
        m_p.drawText(QPointF(x0 + xs[size_t(i)], baseline + ys[size_t(i)]), QString(c));
    }
}

} // namespace metafile
