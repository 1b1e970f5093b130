#pragma once

#include <QImage>
#include <QString>

namespace picture {

// No picture side may exceed what a 16-bit field can say: anything larger is a
// damaged or hostile header, not a photo.
inline constexpr qint64 kMaxSide = 65535;
// A picture that is only ever shown scaled (a JPEG) may be this large.
inline constexpr qint64 kMaxPixels = 500'000'000;
// The most one raster of the picture may take in memory.
inline constexpr qint64 kMaxRasterBytes = qint64(1) << 30;

// Empty when a picture of that size may be loaded; the reason otherwise.
[[nodiscard]] QString checkDimensions(qint64 width, qint64 height);

// Empty when a 32-bit raster of that size may be held; the reason otherwise.
[[nodiscard]] QString checkRaster(qint64 width, qint64 height);

// A raster of that size and format, or a null image (and why) when it is out of
// bounds or memory is short. Nothing is allocated for a refused size.
[[nodiscard]] QImage allocateRaster(qint64 width, qint64 height, QImage::Format format,
                                    QString *why = nullptr);

// Asks Linux to back a fresh buffer of several megabytes with huge pages, which are
// faulted in 2 MB at a time instead of 4 KB: a 48 MB raster otherwise costs some
// twelve thousand page faults as it is first written.
void preferHugePages(void *data, qint64 bytes);

// Qt's image readers take their allocation limit in megabytes.
[[nodiscard]] int readerAllocationLimitMb(qint64 width, qint64 height);

} // namespace picture
