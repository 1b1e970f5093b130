#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <optional>

namespace metafile {

// How a drawing record's bitmap is to be read.
struct DibOptions {
    // Keep the fourth byte of 32-bit pixels as alpha, as stored (AlphaBlend reads it
    // premultiplied); otherwise the picture is opaque, as GDI treats it everywhere else.
    bool keepAlpha = false;
    // What the record says the colour table holds: colours (DIB_RGB_COLORS), 16-bit
    // indexes into the selected palette (DIB_PAL_COLORS), or nothing at all
    // (DIB_PAL_INDICES).
    quint32 usage = 0;
    const QList<QRgb> *palette = nullptr;
};

// Bitmaps in records are DIBs, read by the picture loader's BMP decoder. Besides
// what it reads, a record may hold a JPEG or PNG in a DIB's clothing. A bitmap
// that cannot be read gives nothing: the record that holds it draws nothing.

// A packed DIB: the header, the colour table and the bits back to back.
[[nodiscard]] std::optional<QImage> decodeDib(QByteArrayView headerAndBits,
                                              const DibOptions &options = {});
// A DIB whose header (with colour table) and bits are stored apart.
[[nodiscard]] std::optional<QImage> decodeDib(QByteArrayView header, QByteArrayView bits,
                                              const DibOptions &options = {});
// Whether a DIB header says its rows are stored bottom-up, as most are: source
// rectangles then count their rows from the bottom.
[[nodiscard]] bool isBottomUpDib(QByteArrayView header);

} // namespace metafile
