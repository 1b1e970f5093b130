#include "Orientation.h"

#include <QTransform>

namespace picture {

int exifOrientation(Bytes app1)
{
    static constexpr char kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    if (!app1.has(0, 6) || !std::equal(kExif, kExif + 6, app1.data()))
        return 1;
    const Bytes tiff = app1.mid(6);
    if (!tiff.has(0, 8))
        return 1;
    const bool little = tiff.u8(0) == 'I' && tiff.u8(1) == 'I';
    const bool big = tiff.u8(0) == 'M' && tiff.u8(1) == 'M';
    if (!little && !big)
        return 1;
    auto u16 = [&](qint64 at) {
        return little ? tiff.u16le(at) : tiff.u16be(at);
    };
    auto u32 = [&](qint64 at) {
        return little ? tiff.u32le(at) : tiff.u32be(at);
    };
    if (u16(2) != 42)
        return 1;
    const qint64 ifd = u32(4);
    if (!tiff.has(ifd, 2))
        return 1;
    const qint64 count = u16(ifd);
    for (qint64 i = 0; i < count; ++i) {
        const qint64 entry = ifd + 2 + i * 12;
        if (!tiff.has(entry, 12))
            return 1;
        if (u16(entry) != 0x0112)
            continue;
        // A SHORT whose value sits in the first two bytes of the value field.
        if (u16(entry + 2) != 3 || u32(entry + 4) < 1)
            return 1;
        const int value = u16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

QImage applyOrientation(const QImage &stored, int orientation)
{
    switch (orientation) {
    case 2:
        return stored.mirrored(true, false);
    case 3:
        return stored.mirrored(true, true);
    case 4:
        return stored.mirrored(false, true);
    case 5:
        return stored.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return stored.transformed(QTransform().rotate(90));
    case 7:
        return stored.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8:
        return stored.transformed(QTransform().rotate(270));
    default:
        return stored;
    }
}

} // namespace picture
