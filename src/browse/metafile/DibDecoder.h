#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <optional>

namespace metafile {

struct DibOptions {
    // Keep the fourth byte of 32-bit pixels as alpha (as AlphaBlend does); otherwise
    // the picture is opaque, as GDI treats it everywhere else.
    bool keepAlpha = false;
    // The colour table holds 16-bit indexes into this palette (DIB_PAL_COLORS)
    // instead of RGB quads. Empty means RGB quads.
    const QList<QRgb> *paletteColors = nullptr;
    bool usePaletteIndexes = false;
    // Limits that keep a broken header from costing memory.
    qint64 maxDimension = 16384;
    qint64 maxBytes = qint64(256) * 1024 * 1024;
};

struct DibInfo {
    int width = 0;
    int height = 0; // always positive
    bool topDown = false;
    int bitCount = 0;
    quint32 compression = 0;
    qsizetype headerSize = 0;
    qsizetype colorTableBytes = 0; // including bitfield masks stored after the header
};

// Reads the header of a DIB (BITMAPCOREHEADER, BITMAPINFOHEADER and its later
// versions) without decoding it.
[[nodiscard]] std::optional<DibInfo> readDibInfo(QByteArrayView header);

// Decodes a packed DIB: the header, the colour table and the bits back to back.
[[nodiscard]] std::optional<QImage> decodeDib(QByteArrayView headerAndBits,
                                              const DibOptions &options = {});
// Decodes a DIB whose header (with colour table) and bits are stored apart.
[[nodiscard]] std::optional<QImage> decodeDib(QByteArrayView header, QByteArrayView bits,
                                              const DibOptions &options = {});

} // namespace metafile
