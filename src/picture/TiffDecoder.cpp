#include "TiffDecoder.h"

#include "ColorSpaces.h"
#include "Limits.h"
#include "Orientation.h"

#include <climits>
#include <cstdarg>
#include <cstring>
#include <tiffio.h>
#include <vector>

namespace picture {

namespace {

// The file in memory as libtiff's client reads it.
struct Source {
    Bytes bytes;
    qint64 at = 0;
    QString error;
};

tmsize_t readProc(thandle_t handle, void *buffer, tmsize_t size)
{
    auto *s = static_cast<Source *>(handle);
    const qint64 n = qBound<qint64>(0, s->bytes.size() - s->at, qint64(size));
    memcpy(buffer, s->bytes.data() + s->at, size_t(n));
    s->at += n;
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t, void *, tmsize_t)
{
    return -1;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto *s = static_cast<Source *>(handle);
    const qint64 base = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->bytes.size() : 0;
    const qint64 target = base + qint64(offset);
    if (target < 0)
        return toff_t(-1);
    s->at = target;
    return toff_t(target);
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return toff_t(static_cast<Source *>(handle)->bytes.size());
}

int mapProc(thandle_t handle, void **base, toff_t *size)
{
    auto *s = static_cast<Source *>(handle);
    *base = const_cast<uchar *>(s->bytes.data());
    *size = toff_t(s->bytes.size());
    return 1;
}

void unmapProc(thandle_t, void *, toff_t) {}

int keepError(TIFF *, void *user, const char *, const char *format, va_list args)
{
    auto *s = static_cast<Source *>(user);
    if (s->error.isEmpty()) {
        char text[256];
        vsnprintf(text, sizeof text, format, args);
        s->error = QString::fromUtf8(text);
    }
    return 1; // handled: nothing goes to the terminal
}

int ignoreWarning(TIFF *, void *, const char *, const char *, va_list)
{
    return 1; // private tags and the like are no damage
}

TIFF *openTiff(Source &source)
{
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    // No single buffer libtiff sets aside may exceed what a picture may take.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kMaxRasterBytes));
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreWarning, nullptr);
    TIFF *tiff = TIFFClientOpenExt("memory", "r", &source, readProc, writeProc, seekProc, closeProc,
                                   sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

Decoded fail(const Source &source, const char *what)
{
    return Decoded::fail(source.error.isEmpty()
                             ? QString::fromUtf8(what)
                             : QStringLiteral("%1: %2").arg(QString::fromUtf8(what), source.error));
}

// The embedded profile, unless the pixels are inks, which the RGBA reading has
// already turned into screen colours.
QByteArray iccProfile(TIFF *tiff)
{
    uint16_t photometric = 0;
    uint32_t length = 0;
    void *profile = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) ||
        photometric == PHOTOMETRIC_SEPARATED ||
        !TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &length, &profile) || !profile)
        return {};
    return QByteArray(static_cast<const char *>(profile), qsizetype(length));
}

Decoded readPixels(TIFF *tiff, Source &source)
{
    char message[1024] = {};
    TIFFRGBAImage rgba;
    if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&rgba, tiff, 1, message))
        return Decoded::fail(QStringLiteral("TIFF kind not readable: %1").arg(message));
    const qint64 width = rgba.width;
    const qint64 height = rgba.height;
    QString why;
    // libtiff's RGBA pixels are R, G, B, A in memory, alpha already multiplied in.
    QImage image = allocateRaster(width, height, QImage::Format_RGBA8888_Premultiplied, &why);
    if (image.isNull()) {
        TIFFRGBAImageEnd(&rgba);
        return Decoded::fail(why);
    }
    // Rows come in the order they are stored; the orientation is applied after.
    const int orientation = rgba.orientation;
    rgba.req_orientation = rgba.orientation;
    const bool read = TIFFRGBAImageGet(&rgba, reinterpret_cast<uint32_t *>(image.bits()),
                                       uint32_t(width), uint32_t(height));
    const bool alpha = rgba.alpha != 0;
    TIFFRGBAImageEnd(&rgba);
    if (!read)
        return fail(source, "TIFF data damaged");
    if (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
        image = std::move(image).rgbSwapped();
    }
    image.convertTo(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    Decoded d;
    d.image = orientation >= 2 && orientation <= 8 ? applyOrientation(image, orientation) : image;
    d.iccProfile = iccProfile(tiff);
    return d;
}

} // namespace

Decoded decodeTiff(Bytes data)
{
    Source source{data, 0, {}};
    TIFF *tiff = openTiff(source);
    if (!tiff)
        return fail(source, "TIFF header unreadable");
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    // Refused before libtiff sets aside anything for the pixels.
    const QString bad = checkRaster(width, height);
    Decoded d = bad.isEmpty() ? readPixels(tiff, source) : Decoded::fail(bad);
    TIFFClose(tiff);
    return d;
}

namespace {

QSize storedSize(TIFF *tiff)
{
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    return QSize(int(qMin<uint32_t>(width, INT_MAX)), int(qMin<uint32_t>(height, INT_MAX)));
}

// Whether every strip or tile of the current page lies within the file: a file cut
// short is then refused even when the copy drawn first is whole.
bool dataWithinFile(TIFF *tiff, qint64 fileSize)
{
    const uint32_t count = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    for (uint32_t i = 0; i < count; ++i) {
        int error = 0;
        const quint64 offset = TIFFGetStrileOffsetWithErr(tiff, i, &error);
        const quint64 length = TIFFGetStrileByteCountWithErr(tiff, i, &error);
        if (error || offset > quint64(fileSize) || length > quint64(fileSize) - offset)
            return false;
    }
    return count > 0;
}

// A reduced copy of the full page: marked so, smaller, and of the same shape.
bool isReducedCopy(TIFF *tiff, QSize full)
{
    uint32_t type = 0;
    const QSize size = storedSize(tiff);
    return TIFFGetField(tiff, TIFFTAG_SUBFILETYPE, &type) && (type & FILETYPE_REDUCEDIMAGE) &&
           size.width() > 0 && size.height() > 0 && size.width() < full.width() &&
           qAbs(double(size.width()) / size.height() - double(full.width()) / full.height()) <
               0.02 * full.width() / full.height();
}

// Strips of 8-bit RGB or grey, whose rows libtiff hands over as they are stored.
bool isAveragable(TIFF *tiff)
{
    uint16_t bits = 0;
    uint16_t samples = 0;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t photometric = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (TIFFIsTiled(tiff) || bits != 8 || !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        return false;
    return (photometric == PHOTOMETRIC_RGB && samples == 3 && planar == PLANARCONFIG_CONTIG) ||
           (photometric == PHOTOMETRIC_MINISBLACK && samples == 1);
}

// The side of the largest boxes that, averaged into pixels, still leave at least the
// size wanted. At 256 rows a box's columns still sum within 16 bits.
int averagingFactor(QSize stored, QSize wanted)
{
    return qBound(
        1,
        qMin(stored.width() / qMax(1, wanted.width()), stored.height() / qMax(1, wanted.height())),
        256);
}

// The page as stored, each factor x factor box of it averaged into one pixel as the
// rows are read.
Decoded readAveraged(TIFF *tiff, Source &source, int factor)
{
    const QSize stored = storedSize(tiff);
    const int width = stored.width();
    const int height = stored.height();
    uint16_t samples = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (TIFFScanlineSize(tiff) != tmsize_t(width) * samples)
        return fail(source, "TIFF rows of an unexpected length");
    const int outWidth = (width + factor - 1) / factor;
    QString why;
    QImage image =
        allocateRaster(outWidth, (height + factor - 1) / factor, QImage::Format_RGB32, &why);
    if (image.isNull())
        return Decoded::fail(why);
    // Rows are summed column by column, and the columns into boxes once a row of boxes
    // is complete: the pass over every sample stays a plain addition.
    std::vector<uchar> row(size_t(width) * samples);
    std::vector<quint16> columns(row.size());
    for (int y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff, row.data(), uint32_t(y), 0) < 0)
            return fail(source, "TIFF data damaged");
        for (size_t i = 0; i < row.size(); ++i)
            columns[i] += row[i];
        if ((y + 1) % factor != 0 && y + 1 != height)
            continue;
        const quint32 rows = quint32(y % factor + 1);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y / factor));
        for (int x = 0; x < outWidth; ++x) {
            const int across = qMin(factor, width - x * factor);
            const quint16 *column = &columns[size_t(x) * factor * samples];
            quint32 sum[3] = {};
            for (int i = 0; i < across * samples; i += samples) {
                for (int c = 0; c < samples; ++c)
                    sum[c] += column[i + c];
            }
            const quint32 count = rows * quint32(across);
            const auto mean = [&](int c) {
                return int((sum[c] + count / 2) / count);
            };
            out[x] =
                samples == 3 ? qRgb(mean(0), mean(1), mean(2)) : qRgb(mean(0), mean(0), mean(0));
        }
        std::fill(columns.begin(), columns.end(), 0);
    }
    Decoded d;
    d.image = image;
    d.iccProfile = iccProfile(tiff);
    return d;
}

} // namespace

std::unique_ptr<const TiffReader> TiffReader::open(QByteArray bytes)
{
    Source source{Bytes(bytes), 0, {}};
    TIFF *tiff = openTiff(source);
    if (!tiff)
        return nullptr;
    std::unique_ptr<TiffReader> reader(new TiffReader);
    const QSize full = storedSize(tiff);
    uint16_t orientation = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    reader->m_orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    const qint64 fileSize = bytes.size();
    if (dataWithinFile(tiff, fileSize))
        reader->m_pages.append({0, full, isAveragable(tiff)});
    // A few dozen directories are plenty for a pyramid; a longer chain is not one.
    for (int directory = 1; directory < 64 && TIFFReadDirectory(tiff); ++directory) {
        if (isReducedCopy(tiff, full) && dataWithinFile(tiff, fileSize))
            reader->m_pages.append({directory, storedSize(tiff), isAveragable(tiff)});
    }
    TIFFClose(tiff);
    if (reader->m_pages.isEmpty() || reader->m_pages.first().directory != 0 ||
        (reader->m_pages.size() < 2 && !reader->m_pages.first().averagable) ||
        !checkRaster(full.width(), full.height()).isEmpty())
        return nullptr;
    reader->m_bytes = std::move(bytes);
    return reader;
}

QSize TiffReader::naturalSize() const
{
    const QSize full = m_pages.first().size;
    return swapsSides(m_orientation) ? full.transposed() : full;
}

Decoded TiffReader::decode(QSize atLeast) const
{
    const QSize wanted = swapsSides(m_orientation) ? atLeast.transposed() : atLeast;
    Page best = m_pages.first();
    for (const Page &page : m_pages) {
        if (page.size.width() >= wanted.width() && page.size.height() >= wanted.height() &&
            page.size.width() < best.size.width())
            best = page;
    }
    const int factor = best.averagable ? averagingFactor(best.size, wanted) : 1;
    Source source{Bytes(m_bytes), 0, {}};
    TIFF *tiff = openTiff(source);
    if (!tiff)
        return fail(source, "TIFF header unreadable");
    Decoded d;
    if (!TIFFSetDirectory(tiff, tdir_t(best.directory)) || storedSize(tiff) != best.size) {
        d = fail(source, "TIFF page unreadable");
    } else if (factor > 1) {
        d = readAveraged(tiff, source, factor);
        if (d.ok() && m_orientation >= 2)
            d.image = applyOrientation(d.image, m_orientation);
    } else {
        d = readPixels(tiff, source);
    }
    TIFFClose(tiff);
    // Drawn as it is, so in sRGB already.
    convertToSrgb(d.image, spaceToConvert(d.iccProfile));
    d.iccProfile.clear();
    return d;
}

} // namespace picture
