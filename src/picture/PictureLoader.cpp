#include "PictureLoader.h"

#include "metafile/MetafilePicture.h"
#include "picture/AvifDecoder.h"
#include "picture/BmpDecoder.h"
#include "picture/GifDecoder.h"
#include "picture/HeifDecoder.h"
#include "picture/IconDecoder.h"
#include "picture/JxlDecoder.h"
#include "picture/Limits.h"
#include "picture/PngDecoder.h"
#include "picture/ScaledPicture.h"
#include "picture/SvgDocument.h"
#include "picture/SvgPicture.h"
#include "picture/TiffDecoder.h"
#include "picture/WebpReader.h"
#include "picture/jpeg/JpegPicture.h"

#include <QColorSpace>
#include <QFile>

using namespace picture;

namespace {

bool startsWith(Bytes b, const char *magic, qint64 at = 0)
{
    const qint64 n = qstrlen(magic);
    return b.has(at, n) &&
           std::equal(magic, magic + n, reinterpret_cast<const char *>(b.data() + at));
}

// Any size a header could have; the decoder says which ones it knows.
bool plausibleDibHeaderSize(quint32 size)
{
    return size >= 12 && size <= 255;
}

LoadResult fromDecoded(Decoded d)
{
    if (!d.ok())
        return {nullptr, d.failure.isEmpty() ? QStringLiteral("nothing decoded") : d.failure, {}};
    if (!d.iccProfile.isEmpty() && d.image.depth() == 32) {
        const QColorSpace space = QColorSpace::fromIccProfile(d.iccProfile);
        if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
            d.image.setColorSpace(space);
            d.image.convertToColorSpace(QColorSpace::SRgb);
        }
    }
    auto picture = std::make_shared<const DecodedPicture>(std::move(d.image));
    picture->prepareForPanel(ScaledPicture::panelPixelRatio());
    return {std::move(picture), {}, d.warning};
}

// An ISO media file's brands, from its leading ftyp box: the major brand and the
// compatible ones.
QList<QByteArrayView> isoBrands(Bytes b)
{
    if (!startsWith(b, "ftyp", 4))
        return {};
    const qint64 size = qMin<qint64>(b.u32be(0), qMin<qint64>(b.size(), 256));
    QList<QByteArrayView> brands{b.mid(8, 4).view()};
    for (qint64 at = 16; at + 4 <= size; at += 4)
        brands.append(b.mid(at, 4).view());
    return brands;
}

// HEIF files by their brands; an AVIF says so among them.
std::optional<PictureFormat> heifFamily(Bytes b)
{
    const QList<QByteArrayView> brands = isoBrands(b);
    if (brands.isEmpty())
        return std::nullopt;
    if (brands.contains("avif") || brands.contains("avis"))
        return PictureFormat::Avif;
    for (const char *brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"})
        if (brands.contains(brand))
            return PictureFormat::Heif;
    return std::nullopt;
}

LoadResult loadReduced(std::unique_ptr<const ReducedPicture::Reader> reader, const QString &why,
                       const DrawnSize &drawnSize)
{
    if (!reader)
        return {nullptr, why, {}};
    ReducedPicture::Loaded loaded =
        ReducedPicture::load(std::move(reader), ScaledPicture::panelPixelRatio(), drawnSize);
    return {std::move(loaded.picture), loaded.failure, loaded.warning};
}

LoadResult loadSvg(const QByteArray &bytes)
{
    QString why;
    PictureRef picture = SvgPicture::load(bytes, &why);
    if (!picture)
        return {nullptr, why, {}};
    return {std::move(picture), {}, {}};
}

// Windows metafiles are drawn by their own player, which keeps the bytes and replays
// them at whatever size the picture is shown.
LoadResult loadMetafile(QByteArray bytes)
{
    QString why;
    PictureRef picture = MetafilePicture::load(std::move(bytes), &why);
    if (!picture)
        return {nullptr, why.isEmpty() ? QStringLiteral("not a sound metafile") : why, {}};
    return {std::move(picture), {}, {}};
}

} // namespace

std::optional<PictureFormat> PictureLoader::sniff(QByteArrayView head)
{
    const Bytes b(head);
    if (startsWith(b, "\xFF\xD8\xFF"))
        return PictureFormat::Jpeg;
    if (startsWith(b, "GIF87a") || startsWith(b, "GIF89a"))
        return PictureFormat::Gif;
    if (startsWith(b, "BM") && b.has(14, 4) && plausibleDibHeaderSize(b.u32le(14)))
        return PictureFormat::Bmp;
    // An OS/2 bitmap array, whose first member is an ordinary bitmap.
    if (startsWith(b, "BA") && startsWith(b, "BM", 14) && b.has(28, 4) &&
        plausibleDibHeaderSize(b.u32le(28)))
        return PictureFormat::Bmp;
    if (b.u32le(0) == 0x9AC6CDD7u && b.has(0, 4))
        return PictureFormat::Wmf;
    if (b.has(0, 44) && b.u32le(0) == 1 && b.u32le(40) == 0x464D4520u) // " EMF"
        return PictureFormat::Emf;
    if (b.has(0, 6) && (b.u16le(0) == 1 || b.u16le(0) == 2) && b.u16le(2) == 9 &&
        (b.u16le(4) == 0x0300 || b.u16le(4) == 0x0100))
        return PictureFormat::Wmf;
    if (b.has(0, 22) && b.u16le(0) == 0 && (b.u16le(2) == 1 || b.u16le(2) == 2)) {
        // Icons have no magic of their own; a real directory is what tells them from
        // other files that start with zeros (an uncompressed TGA, say).
        const qint64 count = b.u16le(4);
        const qint64 size = b.u32le(6 + 8);
        const qint64 offset = b.u32le(6 + 12);
        if (count > 0 && size > 0 && offset >= 6 + 16 * count)
            return b.u16le(2) == 1 ? PictureFormat::Ico : PictureFormat::Cur;
    }
    if (isPng(b))
        return PictureFormat::Png;
    if (startsWith(b, "RIFF") && startsWith(b, "WEBP", 8))
        return PictureFormat::Webp;
    // TIFF in either byte order, classic (42) or big (43).
    if ((b.u16le(0) == 0x4949 && (b.u16le(2) == 42 || b.u16le(2) == 43)) ||
        (b.u16be(0) == 0x4D4D && (b.u16be(2) == 42 || b.u16be(2) == 43)))
        return PictureFormat::Tiff;
    if (const std::optional<PictureFormat> heif = heifFamily(b))
        return heif;
    // A bare JPEG XL code stream, or one in its container.
    if (startsWith(b, "\xFF\x0A") || (b.u32be(0) == 12 && startsWith(b, "JXL \r\n\x87\n", 4)))
        return PictureFormat::JpegXl;
    if (looksLikePackedDib(b))
        return PictureFormat::Bmp;
    if (isSvgFile(head))
        return PictureFormat::Svg;
    return std::nullopt;
}

LoadResult PictureLoader::loadFile(const QString &path, const DrawnSize &drawnSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {nullptr, QStringLiteral("cannot open: %1").arg(file.errorString()), {}};
    // A large bitmap is decoded as it is read rather than after.
    constexpr qint64 kStreamedBitmap = 4 << 20;
    if (file.size() > kStreamedBitmap && file.peek(2) == "BM" &&
        sniff(file.peek(64)) == PictureFormat::Bmp)
        return refuseDamaged(fromDecoded(decodeBmp(file)));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {nullptr, QStringLiteral("cannot read: %1").arg(file.errorString()), {}};
    return loadBytes(std::move(bytes), drawnSize);
}

LoadResult PictureLoader::loadBytes(QByteArray bytes, const DrawnSize &drawnSize)
{
    return refuseDamaged(decode(std::move(bytes), drawnSize));
}

LoadResult PictureLoader::refuseDamaged(LoadResult result)
{
    // Part of a damaged picture is not the picture: the file gets the same answer as
    // one that cannot be read at all.
    if (!result.picture || result.warning.isEmpty())
        return result;
    return {nullptr, QStringLiteral("damaged: %1").arg(result.warning), result.warning};
}

LoadResult PictureLoader::decode(QByteArray bytes, const DrawnSize &drawnSize)
{
    if (bytes.isEmpty())
        return {nullptr, QStringLiteral("empty file"), {}};
    const std::optional<PictureFormat> format = sniff(bytes);
    if (!format)
        return {nullptr, QStringLiteral("not a picture format that can be shown"), {}};
    switch (*format) {
    case PictureFormat::Bmp:
        return fromDecoded(decodeBmp(Bytes(bytes)));
    case PictureFormat::Gif:
        return fromDecoded(decodeGif(Bytes(bytes)));
    case PictureFormat::Ico:
    case PictureFormat::Cur:
        return fromDecoded(decodeIcon(Bytes(bytes)));
    case PictureFormat::Jpeg: {
        JpegPicture::Loaded loaded =
            JpegPicture::load(std::move(bytes), ScaledPicture::panelPixelRatio(), drawnSize);
        return {std::move(loaded.picture), loaded.failure, loaded.warning};
    }
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
        return loadMetafile(std::move(bytes));
    case PictureFormat::Png:
        return fromDecoded(decodePng(Bytes(bytes)));
    case PictureFormat::Webp: {
        QString why;
        std::unique_ptr<const ReducedPicture::Reader> reader = WebpReader::open(bytes, &why);
        return loadReduced(std::move(reader), why, drawnSize);
    }
    case PictureFormat::Tiff:
        if (std::unique_ptr<const ReducedPicture::Reader> reader = TiffReader::open(bytes))
            return loadReduced(std::move(reader), {}, drawnSize);
        return fromDecoded(decodeTiff(Bytes(bytes)));
    case PictureFormat::Heif:
        if (std::unique_ptr<const ReducedPicture::Reader> reader = HeifReader::open(bytes))
            return loadReduced(std::move(reader), {}, drawnSize);
        return fromDecoded(decodeHeif(Bytes(bytes)));
    case PictureFormat::Avif:
        return fromDecoded(decodeAvif(Bytes(bytes)));
    case PictureFormat::JpegXl:
        return fromDecoded(decodeJxl(Bytes(bytes)));
    case PictureFormat::Svg:
        return loadSvg(bytes);
    }
    return {nullptr, QStringLiteral("unknown format"), {}};
}
