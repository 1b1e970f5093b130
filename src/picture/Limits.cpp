#include "Limits.h"

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace picture {

QString checkDimensions(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0)
        return QStringLiteral("empty picture (%1 x %2)").arg(width).arg(height);
    if (width > kMaxSide || height > kMaxSide)
        return QStringLiteral("picture too large (%1 x %2)").arg(width).arg(height);
    if (width * height > kMaxPixels)
        return QStringLiteral("picture too large (%1 megapixels)").arg(width * height / 1000000);
    return {};
}

QString checkRaster(qint64 width, qint64 height)
{
    QString bad = checkDimensions(width, height);
    if (bad.isEmpty() && width * height * 4 > kMaxRasterBytes)
        bad = QStringLiteral("picture too large to hold (%1 x %2)").arg(width).arg(height);
    return bad;
}

QImage allocateRaster(qint64 width, qint64 height, QImage::Format format, QString *why)
{
    const QString bad = checkDimensions(width, height);
    if (!bad.isEmpty()) {
        if (why)
            *why = bad;
        return {};
    }
    const qint64 depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytes = ((width * depth + 31) / 32) * 4 * height;
    if (bytes > kMaxRasterBytes) {
        if (why)
            *why = QStringLiteral("picture too large to hold (%1 MB)").arg(bytes >> 20);
        return {};
    }
    QImage image(static_cast<int>(width), static_cast<int>(height), format);
    if (image.isNull() && why)
        *why = QStringLiteral("out of memory for a %1 x %2 raster").arg(width).arg(height);
    if (!image.isNull())
        preferHugePages(image.bits(), image.sizeInBytes());
    return image;
}

void preferHugePages(void *data, qint64 bytes)
{
#ifdef Q_OS_LINUX
    constexpr qint64 kWorthIt = 4 << 20;
    if (bytes < kWorthIt)
        return;
    // Whole pages only: from the first page boundary in the buffer to the last.
    const qint64 skip = qint64((4096 - reinterpret_cast<quintptr>(data) % 4096) % 4096);
    const qint64 length = (bytes - skip) & ~qint64(4095);
    if (length > 0)
        (void)madvise(static_cast<char *>(data) + skip, size_t(length), MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

int readerAllocationLimitMb(qint64 width, qint64 height)
{
    // Room for a 64-bit intermediate as well, within the cap.
    const qint64 mb = (qMax<qint64>(width, 1) * qMax<qint64>(height, 1) * 8 >> 20) + 16;
    return static_cast<int>(qMin(mb, kMaxRasterBytes >> 20));
}

} // namespace picture
