#include "HeifClaims.h"

#include <QByteArray>
#include <QList>
#include <limits>

namespace picture {

namespace {

// The payload of the first box of that type among the boxes of data; empty if none.
Bytes findBox(Bytes data, quint32 type, qint64 skip = 0)
{
    for (qint64 at = 0; data.has(at, 8);) {
        const qint64 size = data.u32be(at);
        if (size < 8 || !data.has(at, size))
            break;
        if (data.u32be(at + 4) == type)
            return data.mid(at + 8 + skip, size - 8 - skip);
        at += size;
    }
    return {};
}

constexpr quint32 fourcc(const char (&t)[5])
{
    return quint32(uchar(t[0])) << 24 | quint32(uchar(t[1])) << 16 | quint32(uchar(t[2])) << 8 |
           quint32(uchar(t[3]));
}

// Reads a parameter set bit by bit; an HEVC one with its emulation prevention bytes
// taken out.
class BitReader {
public:
    explicit BitReader(Bytes nal, bool hevc = true)
    {
        int zeros = 0;
        for (qint64 i = 0; i < nal.size(); ++i) {
            if (hevc && zeros >= 2 && nal.u8(i) == 3) {
                zeros = 0;
                continue;
            }
            zeros = nal.u8(i) == 0 ? zeros + 1 : 0;
            m_bytes.append(char(nal.u8(i)));
        }
    }
    quint32 bits(int n)
    {
        quint32 value = 0;
        for (int i = 0; i < n; ++i, ++m_at) {
            const qint64 byte = m_at / 8;
            const int bit =
                byte < m_bytes.size() ? (uchar(m_bytes[byte]) >> (7 - m_at % 8)) & 1 : 0;
            value = value << 1 | quint32(bit);
        }
        return value;
    }
    // Unsigned Exp-Golomb; anything longer than 31 bits is taken as too large.
    quint32 ue()
    {
        int zeros = 0;
        while (bits(1) == 0 && zeros < 32)
            ++zeros;
        return zeros >= 32 ? 0xFFFFFFFFu : (1u << zeros) - 1 + bits(zeros);
    }
    // AV1's variable-length code (AV1 4.10.3); anything longer than 31 bits is too large.
    quint32 uvlc()
    {
        int zeros = 0;
        while (bits(1) == 0 && zeros < 32)
            ++zeros;
        return zeros >= 32 ? 0xFFFFFFFFu : (1u << zeros) - 1 + bits(zeros);
    }
    [[nodiscard]] bool overrun() const { return m_at > m_bytes.size() * 8; }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
};

// The luma size an SPS gives (ITU-T H.265, 7.3.2.2), after its two-byte NAL header.
QSize spsSize(Bytes nal)
{
    BitReader r(nal.mid(2));
    r.bits(4); // sps_video_parameter_set_id
    const int subLayers = int(r.bits(3));
    r.bits(1);
    r.bits(96); // the general profile, tier and level
    bool profile[8] = {}, level[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profile[i] = r.bits(1);
        level[i] = r.bits(1);
    }
    if (subLayers > 0)
        r.bits(2 * (8 - subLayers));
    for (int i = 0; i < subLayers; ++i)
        r.bits((profile[i] ? 88 : 0) + (level[i] ? 8 : 0));
    r.ue();          // sps_seq_parameter_set_id
    if (r.ue() == 3) // chroma_format_idc
        r.bits(1);
    const quint32 width = r.ue();
    const quint32 height = r.ue();
    if (r.overrun())
        return {};
    return QSize(int(qMin<quint32>(width, 1u << 30)), int(qMin<quint32>(height, 1u << 30)));
}

// The largest SPS size of one hvcC (ISO/IEC 14496-15, 8.3.3.1).
QSize hvccSize(Bytes hvcc)
{
    QSize largest;
    qint64 at = 23;
    const int arrays = hvcc.u8(22);
    for (int a = 0; a < arrays && hvcc.has(at, 3); ++a) {
        const int type = hvcc.u8(at) & 0x3F;
        const int count = hvcc.u16be(at + 1);
        at += 3;
        for (int n = 0; n < count && hvcc.has(at, 2); ++n) {
            const qint64 length = hvcc.u16be(at);
            if (type == 33) // an SPS
                largest = largest.expandedTo(spsSize(hvcc.mid(at + 2, length)));
            at += 2 + length;
        }
    }
    return largest;
}

// The largest frame an AV1 sequence header allows (AV1 5.5), after its OBU header.
QSize av1SequenceSize(Bytes header)
{
    BitReader r(header, false);
    r.bits(3);       // seq_profile
    r.bits(1);       // still_picture
    if (r.bits(1)) { // reduced_still_picture_header
        r.bits(5);
    } else {
        bool decoderModel = false;
        int delayBits = 0;
        if (r.bits(1)) {        // timing_info_present_flag
            r.bits(32 + 32);    // the display tick and time scale
            if (r.bits(1))      // equal_picture_interval
                (void)r.uvlc(); // num_ticks_per_picture_minus_1
            decoderModel = r.bits(1);
            if (decoderModel) {
                delayBits = int(r.bits(5)) + 1;
                r.bits(32 + 5 + 5);
            }
        }
        const bool displayDelay = r.bits(1);
        const int points = int(r.bits(5)) + 1;
        for (int i = 0; i < points; ++i) {
            r.bits(12);        // operating_point_idc
            if (r.bits(5) > 7) // seq_level_idx
                r.bits(1);     // seq_tier
            if (decoderModel && r.bits(1))
                r.bits(2 * delayBits + 1);
            if (displayDelay && r.bits(1))
                r.bits(4);
        }
    }
    const int widthBits = int(r.bits(4)) + 1;
    const int heightBits = int(r.bits(4)) + 1;
    const quint32 width = r.bits(widthBits) + 1;
    const quint32 height = r.bits(heightBits) + 1;
    if (r.overrun())
        return {};
    return QSize(int(qMin<quint32>(width, 1u << 30)), int(qMin<quint32>(height, 1u << 30)));
}

// The largest frame the sequence headers among these OBUs allow (AV1 5.3).
QSize av1Size(Bytes obus)
{
    QSize largest;
    for (qint64 at = 0, seen = 0; obus.has(at, 1) && seen < 8; ++seen) {
        const int header = obus.u8(at);
        const int type = header >> 3 & 15;
        qint64 next = at + 1 + (header & 4 ? 1 : 0);
        qint64 size = obus.size() - next;
        if (header & 2) { // obu_has_size_field: a LEB128 length
            size = 0;
            for (int i = 0; i < 8 && obus.has(next, 1); ++i) {
                const int byte = obus.u8(next++);
                size |= qint64(byte & 0x7F) << (7 * i);
                if (!(byte & 0x80))
                    break;
            }
        }
        if (type == 1) // OBU_SEQUENCE_HEADER
            largest = largest.expandedTo(av1SequenceSize(obus.mid(next, size)));
        if (size < 0 || size > obus.size() - next)
            break;
        at = next + size;
    }
    return largest;
}

// Reads the big-endian fields of a box one after the other.
struct Fields {
    Bytes data;
    qint64 at = 0;
    quint64 take(int bytes)
    {
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | data.u8(at++);
        return value;
    }
};

// The IDs of the items of that type, from iinf (ISO/IEC 14496-12, 8.11.6).
QList<quint32> itemsOfType(Bytes iinf, quint32 type)
{
    Fields f{iinf};
    const int version = int(f.take(1));
    f.take(3);
    const quint64 count = f.take(version == 0 ? 2 : 4);
    QList<quint32> grids;
    for (quint64 i = 0; i < count && iinf.has(f.at, 8); ++i) {
        const qint64 size = iinf.u32be(f.at);
        const Bytes infe = iinf.mid(f.at + 8, size - 8);
        if (size < 8 || infe.u8(0) < 2)
            break;
        const int idBytes = infe.u8(0) == 2 ? 2 : 4;
        Fields e{infe, 4};
        const quint32 id = quint32(e.take(idBytes));
        e.take(2); // item_protection_index
        if (e.take(4) == type)
            grids.append(id);
        f.at += size;
    }
    return grids;
}

// The output size of each grid item's descriptor (ISO/IEC 23008-12, 6.6.2.3).
QSize gridSize(Bytes descriptor)
{
    // version, flags (bit 0: 32-bit fields), rows - 1, columns - 1, width, height
    Fields g{descriptor, 1};
    const int fieldBytes = g.take(1) & 1 ? 4 : 2;
    g.take(2);
    const quint64 width = g.take(fieldBytes), height = g.take(fieldBytes);
    return QSize(int(qMin<quint64>(width, 1u << 30)), int(qMin<quint64>(height, 1u << 30)));
}

// Where iloc (ISO/IEC 14496-12, 8.11.3) puts one item's data.
struct ItemPlace {
    quint32 id = 0;
    bool inIdat = false; // in the meta box's idat rather than in the file
    quint64 start = 0;   // of its first extent
    quint64 end = 0;     // past its last byte; 0 when an extent runs to the file's end
};

QList<ItemPlace> itemPlaces(Bytes iloc)
{
    QList<ItemPlace> places;
    if (!iloc.has(0, 8))
        return places;
    Fields f{iloc};
    const int version = int(f.take(1));
    f.take(3);
    const quint64 sizes = f.take(2);
    const int offsetSize = int(sizes >> 12), lengthSize = int(sizes >> 8 & 15),
              baseSize = int(sizes >> 4 & 15), indexSize = version > 0 ? int(sizes & 15) : 0;
    const quint64 count = f.take(version < 2 ? 2 : 4);
    for (quint64 i = 0; i < count && iloc.has(f.at, 1); ++i) {
        ItemPlace place;
        place.id = quint32(f.take(version < 2 ? 2 : 4));
        place.inIdat = version > 0 && (f.take(2) & 15) == 1;
        f.take(2); // data_reference_index
        const quint64 base = f.take(baseSize);
        const quint64 extents = f.take(2);
        bool toTheEnd = false;
        for (quint64 e = 0; e < extents && iloc.has(f.at, 1); ++e) {
            f.take(indexSize);
            const quint64 offset = f.take(offsetSize);
            const quint64 length = f.take(lengthSize);
            if (e == 0)
                place.start = base + offset;
            toTheEnd = toTheEnd || length == 0;
            // Sums of three fields of up to 64 bits each must not wrap round.
            constexpr quint64 kFar = quint64(1) << 62;
            const quint64 end =
                base < kFar && offset < kFar && length < kFar ? base + offset + length : ~0ull;
            place.end = qMax(place.end, end);
        }
        if (toTheEnd)
            place.end = 0;
        places.append(place);
    }
    return places;
}

// The largest picture a grid item's descriptor or an AV1 item's own sequence header
// claims, wherever iloc says their data lies: in the file or in the meta box's idat.
QSize largestItem(Bytes file, Bytes meta)
{
    const Bytes iinf = findBox(meta, fourcc("iinf"));
    const QList<quint32> grids = itemsOfType(iinf, fourcc("grid"));
    const QList<quint32> av1 = itemsOfType(iinf, fourcc("av01"));
    if (grids.isEmpty() && av1.isEmpty())
        return {};
    const Bytes idat = findBox(meta, fourcc("idat"));
    QSize largest;
    for (const ItemPlace &place : itemPlaces(findBox(meta, fourcc("iloc")))) {
        if (place.start > quint64(std::numeric_limits<qint64>::max()))
            continue;
        const Bytes data = (place.inIdat ? idat : file).mid(qint64(place.start));
        if (grids.contains(place.id))
            largest = largest.expandedTo(gridSize(data));
        else if (av1.contains(place.id))
            largest = largest.expandedTo(av1Size(data));
    }
    return largest;
}

} // namespace

QSize largestClaimedSize(Bytes file)
{
    // meta (a full box) > iprp > ipco > hvcC, ...
    const Bytes meta = findBox(file, fourcc("meta"), 4);
    const Bytes ipco = findBox(findBox(meta, fourcc("iprp")), fourcc("ipco"));
    QSize largest = largestItem(file, meta);
    for (qint64 at = 0; ipco.has(at, 8);) {
        const qint64 size = ipco.u32be(at);
        if (size < 8 || !ipco.has(at, size))
            break;
        if (ipco.u32be(at + 4) == fourcc("hvcC"))
            largest = largest.expandedTo(hvccSize(ipco.mid(at + 8, size - 8)));
        else if (ipco.u32be(at + 4) == fourcc("av1C")) // its configOBUs follow 4 bytes
            largest = largest.expandedTo(av1Size(ipco.mid(at + 12, size - 12)));
        at += size;
    }
    return largest;
}

bool itemLocationsWellFormed(Bytes file)
{
    const Bytes iloc = findBox(findBox(file, fourcc("meta"), 4), fourcc("iloc"));
    if (!iloc.has(0, 6))
        return true;
    const int version = iloc.u8(0);
    const quint32 sizes = quint32(iloc.u8(4)) << 8 | iloc.u8(5);
    for (int shift = 0; shift < 16; shift += 4) {
        const quint32 size = sizes >> shift & 15;
        if (size != 0 && size != 4 && size != 8 && !(shift == 0 && version == 0))
            return false;
    }
    return version <= 2;
}

bool itemDataWithinFile(Bytes file)
{
    const Bytes iloc = findBox(findBox(file, fourcc("meta"), 4), fourcc("iloc"));
    if (iloc.size() == 0)
        return false;
    for (const ItemPlace &place : itemPlaces(iloc))
        if (!place.inIdat && place.end > quint64(file.size()))
            return false;
    return true;
}

} // namespace picture
