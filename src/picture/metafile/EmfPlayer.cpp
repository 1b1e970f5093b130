#include "EmfPlayer.h"

#include "EmfRecords.h"

namespace metafile {

using namespace emf;

namespace {

constexpr int kMaxHandles = 65535;

// Whether the frame, turned into device pixels, lands within a pixel of the
// bounds; writers count the bounds' right and bottom edges either way.
bool frameMeetsBounds(const EmfInfo &info)
{
    const QRectF f = info.frameInDevice();
    const QRect &b = info.bounds;
    const auto within = [](double edge, double from, double to) {
        return edge >= from - 1 && edge <= to + 1;
    };
    return within(f.left(), b.left(), b.left()) && within(f.top(), b.top(), b.top()) &&
           within(f.right(), b.right(), b.right() + 1.0) &&
           within(f.bottom(), b.bottom(), b.bottom() + 1.0);
}

// Reads the header: the bounds, the frame and the reference device. Returns why the
// file cannot be played, or null.
const char *readHeader(QByteArrayView data, EmfInfo &info, quint32 &size)
{
    ByteReader r(data);
    const quint32 type = r.u32();
    size = r.u32();
    const QRectF bounds = readRectL(r);
    const QRectF frame = readRectL(r);
    const quint32 signature = r.u32();
    r.u32(); // version
    r.u32(); // bytes
    r.u32(); // records
    info.handles = r.u16();
    r.u16();
    const quint32 descriptionChars = r.u32();
    const quint32 descriptionAt = r.u32();
    r.u32(); // palette entries
    const double devW = r.i32(), devH = r.i32();
    const double mmW = r.i32(), mmH = r.i32();
    if (!r.ok())
        return "the EMF header is cut short";
    if (type != EMR_HEADER || signature != kEmfSignature)
        return "not an enhanced metafile";
    if (size < 88 || size % 4 != 0 || size > data.size())
        return "the EMF header has an impossible size";
    // Later headers give the reference device in micrometres as well.
    double umW = 0, umH = 0;
    // The extension is only there when the description does not start inside it.
    if (size >= 108 && (descriptionChars == 0 || descriptionAt >= 108)) {
        ByteReader ext(data);
        ext.seek(100);
        umW = ext.i32();
        umH = ext.i32();
    }
    info.bounds = QRect(QPoint(int(bounds.left()), int(bounds.top())),
                        QPoint(int(bounds.right()), int(bounds.bottom())));
    info.frame = QRect(QPoint(int(frame.left()), int(frame.top())),
                       QPoint(int(frame.right()), int(frame.bottom())));
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0) {
        info.devicePixels = QSizeF(devW, devH);
        info.deviceMm = QSizeF(mmW, mmH);
        // The frame goes through the millimetres, as in other players, and as most
        // writers made it from the bounds: far from zero, the micrometres' small
        // difference moves the drawing by pixels. A writer that rounded the
        // millimetres coarsely shows it by bounds that only the micrometres meet.
        if (umW > 0 && umH > 0 && !frameMeetsBounds(info)) {
            EmfInfo exact = info;
            exact.deviceMm = QSizeF(umW / 1000.0, umH / 1000.0);
            if (frameMeetsBounds(exact))
                info.deviceMm = exact.deviceMm;
        }
        const double ppm = info.pxPerMmX();
        const double ppmy = info.pxPerMmY();
        if (!(ppm > 0.01 && ppm < 10000 && ppmy > 0.01 && ppmy < 10000)) {
            info.devicePixels = QSizeF(96 * 10, 96 * 10);
            info.deviceMm = QSizeF(254, 254);
        }
    } else {
        info.devicePixels = QSizeF(96 * 10, 96 * 10);
        info.deviceMm = QSizeF(254, 254);
    }
    info.handles = qMin(info.handles, kMaxHandles);
    return nullptr;
}

// Walks the records after the header, every one of which must fit in the file: counts
// them, notes EMF+, and gathers the bounds that drawing records carry, whose union
// stands in for a header whose frame and bounds are both unusable. Returns why the
// records are broken, or null.
const char *walkRecords(QByteArrayView data, quint32 size, EmfInfo &info, QRectF &recordBounds)
{
    auto saneRect = [](const QRectF &rect) {
        return rect.right() >= rect.left() && rect.bottom() >= rect.top() &&
               std::abs(rect.left()) < 1e6 && std::abs(rect.top()) < 1e6 &&
               std::abs(rect.right()) < 1e6 && std::abs(rect.bottom()) < 1e6;
    };
    qsizetype pos = size;
    info.recordCount = 1;
    bool sawEof = false;
    bool plusDrawsEverything = false;
    while (data.size() - pos >= 8) {
        ByteReader rec(data);
        rec.seek(pos);
        const quint32 rtype = rec.u32();
        const quint32 rsize = rec.u32();
        if (rsize < 8 || rsize % 4 != 0)
            return "a record has an impossible size";
        if (qint64(rsize) > data.size() - pos)
            return "a record runs past the end of the file";
        ++info.recordCount;
        if (rtype == EMR_EOF) {
            sawEof = true;
            break;
        }
        if (rtype == EMR_GDICOMMENT && rsize >= 16) {
            rec.u32();                      // data size
            if (rec.u32() == 0x2B464D45u) { // "EMF+"
                ++info.emfPlusComments;
                // EMF+ header flag: 1 = dual (plain records follow the EMF+ ones too).
                if (info.emfPlusComments == 1 && rsize >= 32) {
                    rec.u16(); // record type
                    rec.u16(); // flags: bit 0 = dual
                    // The header record's flags word: 1 dual, 0 EMF+ only.
                    const quint16 headerType =
                        quint16(qFromLittleEndian<quint16>(data.data() + pos + 16));
                    const quint16 headerFlags =
                        quint16(qFromLittleEndian<quint16>(data.data() + pos + 18));
                    if (headerType == 0x4001)
                        plusDrawsEverything = (headerFlags & 1) == 0;
                }
            }
        } else if (isDrawingRecord(rtype)) {
            ++info.drawingRecords;
            if (hasBoundsField(rtype) && rsize >= 24) {
                ByteReader b(data.sliced(pos + 8, 16));
                const QRectF rb = readRectL(b);
                if (saneRect(rb) && (rb.width() > 0 || rb.height() > 0))
                    recordBounds = recordBounds.isNull() ? rb : recordBounds.united(rb);
            }
        }
        pos += rsize;
    }
    Q_UNUSED(sawEof);
    // EMF+ only, or "dual" files whose plain records draw nothing.
    info.emfPlusOnly =
        info.emfPlusComments > 0 && (plusDrawsEverything || info.drawingRecords == 0);
    return nullptr;
}

// Makes sure the picture has a usable frame. Returns why not, or null.
const char *settleFrame(EmfInfo &info, const QRectF &recordBounds)
{
    // A frame bigger than about 26 metres is as unusable as an empty one.
    auto usable = [](const QRect &box, double unitsPerMetre) {
        return box.right() > box.left() && box.bottom() > box.top() &&
               double(box.right()) - box.left() < 26 * unitsPerMetre &&
               double(box.bottom()) - box.top() < 26 * unitsPerMetre;
    };
    if (!usable(info.frame, 100000)) {
        if (!usable(info.bounds, info.pxPerMmX() * 1000) && !recordBounds.isNull())
            info.bounds = recordBounds.toAlignedRect().adjusted(0, 0, -1, -1);
        // No usable frame: take it from the bounds, which are in device pixels.
        const double sx = 100.0 / info.pxPerMmX();
        const double sy = 100.0 / info.pxPerMmY();
        const QRectF fromBounds(QPointF(info.bounds.left() * sx, info.bounds.top() * sy),
                                QPointF((double(info.bounds.right()) + 1) * sx,
                                        (double(info.bounds.bottom()) + 1) * sy));
        // Bounds far out on the page can put the frame beyond what 32 bits hold.
        constexpr double kFarthest = 1 << 30;
        const bool representable =
            std::abs(fromBounds.left()) < kFarthest && std::abs(fromBounds.top()) < kFarthest &&
            std::abs(fromBounds.right()) < kFarthest && std::abs(fromBounds.bottom()) < kFarthest;
        if (!usable(info.bounds, info.pxPerMmX() * 1000) || !representable)
            return "the EMF header gives the picture no size";
        info.frame = QRect(QPoint(int(fromBounds.left()), int(fromBounds.top())),
                           QPoint(int(fromBounds.right()), int(fromBounds.bottom())));
    }
    return nullptr;
}

} // namespace

QRectF EmfInfo::frameInDevice() const
{
    const double sx = pxPerMmX() / 100.0;
    const double sy = pxPerMmY() / 100.0;
    return QRectF(frame.left() * sx, frame.top() * sy, (frame.right() - frame.left()) * sx,
                  (frame.bottom() - frame.top()) * sy);
}

std::optional<EmfInfo> scanEmf(QByteArrayView data, QString *whyNot)
{
    EmfInfo info;
    quint32 size = 0;
    QRectF recordBounds;
    const char *why = readHeader(data, info, size);
    if (!why)
        why = walkRecords(data, size, info, recordBounds);
    if (!why)
        why = settleFrame(info, recordBounds);
    if (why) {
        if (whyNot)
            *whyNot = QString::fromLatin1(why);
        return std::nullopt;
    }
    return info;
}

namespace emf {

void EmfReplay::run()
{
    ByteReader head(m_data);
    head.seek(4);
    qsizetype pos = head.u32();
    while (m_data.size() - pos >= 8 && !m_dev.exhausted()) {
        ByteReader rec(m_data);
        rec.seek(pos);
        const quint32 type = rec.u32();
        const quint32 size = rec.u32();
        if (size < 8 || qint64(size) > m_data.size() - pos)
            break;
        if (type == EMR_EOF)
            break;
        m_dev.spend(1);
        record(type, m_data.sliced(pos, size));
        pos += size;
    }
}

void EmfReplay::selectObject(quint32 index)
{
    if (index & 0x80000000u)
        m_dev.selectStockObject(index & 0x7FFFFFFFu);
    else
        m_dev.selectObject(int(qMin<quint32>(index, 0x7FFFFFFF)));
}

void EmfReplay::record(quint32 type, QByteArrayView rec)
{
    ByteReader r(rec);
    r.seek(8);
    if (pageRecord(type, r) || stateRecord(type, r) || clipRecord(type, r) ||
        objectRecord(type, r, rec) || shapeRecord(type, r) || pictureRecord(type, r, rec) ||
        textRecord(type, r, rec))
        return;
    // Comments (EMF+ included), colour management, layout, flood fills and the
    // OpenGL records are not drawn.
}

} // namespace emf

void playEmf(QByteArrayView data, const EmfInfo &info, GdiDevice &device)
{
    Q_UNUSED(info);
    EmfReplay replay(data, device);
    replay.run();
}

} // namespace metafile
