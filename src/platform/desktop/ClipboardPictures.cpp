#include "ClipboardPictures.h"

#include "picture/Limits.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>

namespace {

// Qt gives up on a clipboard owner after five seconds; an empty answer that took
// nearly that long came from an owner that did not answer, not from an empty clipboard.
constexpr qint64 kUnansweredMs = 4500;

} // namespace

QStringList readablePictureTypes(const QStringList &offered)
{
    // Lossless and universal first; then whatever else is a picture Qt can read.
    static const QStringList preferred = {
        QStringLiteral("image/png"), QStringLiteral("image/bmp"), QStringLiteral("image/x-bmp"),
        QStringLiteral("image/jpeg"), QStringLiteral("image/gif")};
    QStringList types;
    for (const QString &type : preferred)
        if (offered.contains(type))
            types.append(type);
    const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    for (const QString &type : offered)
        if (!types.contains(type) && readable.contains(type.toLatin1()))
            types.append(type);
    return types;
}

ClipboardPicture decodeClipboardPicture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    // The pasted picture is held whole, as one raster of 32-bit pixels.
    if (!size.isValid() || !picture::checkDimensions(size.width(), size.height()).isEmpty() ||
        qint64(size.width()) * size.height() * 4 > picture::kMaxRasterBytes)
        return {ClipboardPicture::Unreadable, {}};
    reader.setAllocationLimit(picture::readerAllocationLimitMb(size.width(), size.height()));
    QImage image = reader.read();
    if (image.isNull())
        return {ClipboardPicture::Unreadable, {}};
    return {ClipboardPicture::Found, std::move(image)};
}

ClipboardPicture QtClipboard::bitmap()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *data = clipboard->mimeData();
    if (!data)
        return {};
    // The program's own picture is at hand without asking anyone.
    if (clipboard->ownsClipboard()) {
        const QImage own = qvariant_cast<QImage>(data->imageData());
        return own.isNull() ? ClipboardPicture{} : ClipboardPicture{ClipboardPicture::Found, own};
    }
    // Each request to an owner that never answers blocks for seconds, and asking Qt
    // for "an image" tries every picture type in turn. So the offered types are
    // asked for once, and exactly one of them is fetched.
    QElapsedTimer asking;
    asking.start();
    const QStringList offered = data->formats();
    if (offered.isEmpty())
        return {asking.elapsed() >= kUnansweredMs ? ClipboardPicture::Unreadable
                                                  : ClipboardPicture::NoPicture,
                {}};
    const QStringList types = readablePictureTypes(offered);
    if (types.isEmpty())
        return {};
    return decodeClipboardPicture(data->data(types.constFirst()));
}

bool QtClipboard::setBitmap(const QImage &image)
{
    if (image.isNull())
        return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}
