// libFuzzer entry for the picture loader as the viewer calls it: bytes in, a
// picture or a failure out. Built once per raster format: FUZZ_FORMAT picks the
// format a target keeps (other inputs are dropped so each target stays on its
// own format). Every picture that loads is drawn shrunk to fit a small panel,
// zoomed far beyond the screen through a clip, and copied out at natural size.
// The libraries behind the newer formats are Debian's, not instrumented: what is
// fuzzed is the way the loader drives them, with crashes inside them caught too.
#include "picture/BmpDecoder.h"
#include "picture/PictureLoader.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>

namespace {

bool keeps(PictureFormat format)
{
    switch (FUZZ_FORMAT) {
    case 1:
        return format == PictureFormat::Bmp;
    case 2:
        return format == PictureFormat::Gif;
    case 3:
        return format == PictureFormat::Ico || format == PictureFormat::Cur;
    case 4:
        return format == PictureFormat::Jpeg;
    case 5:
        return format == PictureFormat::Png;
    case 6:
        return format == PictureFormat::Webp;
    case 7:
        return format == PictureFormat::Tiff;
    case 8:
        return format == PictureFormat::Heif;
    case 9:
        return format == PictureFormat::Avif;
    case 10:
        return format == PictureFormat::JpegXl;
    default:
        return format == PictureFormat::Svg;
    }
}

// Pictures this large are legal but cost seconds to copy; the decoders already
// met them in full while loading, so the copy adds nothing but time.
constexpr qint64 kMostPixelsCopied = 16'000'000;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<PictureFormat> format = PictureLoader::sniff(bytes);
    if (!format || !keeps(*format))
        return -1;
    const LoadResult result = PictureLoader::loadBytes(bytes);
    if (*format == PictureFormat::Bmp) {
        // Large bitmap files are read a slice at a time rather than from memory,
        // which must come to the same picture.
        QBuffer device;
        device.setData(bytes);
        device.open(QIODevice::ReadOnly);
        const picture::Decoded streamed = picture::decodeBmp(device);
        const picture::Decoded whole = picture::decodeBmp(picture::Bytes(bytes));
        if (streamed.ok() != whole.ok() || streamed.warning.isEmpty() != whole.warning.isEmpty() ||
            streamed.image != whole.image)
            __builtin_trap();
    }
    if (!result.picture)
        return 0;
    const Picture &pic = *result.picture;
    const QSize natural = pic.naturalSize();

    QImage panel(96, 96, QImage::Format_RGB32);
    {
        QPainter p(&panel);
        const QSize fit = natural.scaled(96, 96, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        pic.draw(p, QRectF(QPointF(0, 0), fit));
    }
    if (qint64(natural.width()) * natural.height() > kMostPixelsCopied)
        return 0;
    QImage zoomed(32, 32, QImage::Format_RGB32);
    {
        QPainter p(&zoomed);
        p.setClipRect(0, 0, 32, 32);
        pic.draw(p, QRectF(-4000, -4000, 20000, 20000));
    }
    const QImage copy = pic.toImage();
    if (copy.size() != natural)
        __builtin_trap(); // the copy must be the picture at its own size
    return 0;
}
