#pragma once

#include "picture/Picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

enum class PictureFormat {
    Bmp,
    Gif,
    Jpeg,
    Ico,
    Cur,
    Wmf,
    Emf,
    Png,
    Webp,
    Tiff,
    Heif,
    Avif,
    JpegXl,
    Svg
};

struct LoadResult {
    PictureRef picture;
    QString failure; // empty on success; a short technical reason otherwise, for logs and tests
    QString warning; // the file is damaged: only part of it could be decoded
};

// Turns a file's bytes into a picture. The format is decided by the content alone:
// a file's name says nothing about what is in it.
class PictureLoader {
public:
    // The format of a file that starts with head: 64 bytes are enough for all but SVG,
    // whose root element may follow kilobytes of comments.
    [[nodiscard]] static std::optional<PictureFormat> sniff(QByteArrayView head);
    // Reads the file once; the picture never goes back to it.
    // With drawnSize, a picture decoded for each size it is shown at (a JPEG) is first
    // decoded for that size rather than the panel's.
    [[nodiscard]] static LoadResult loadFile(const QString &path, const DrawnSize &drawnSize = {});
    // A picture that could be decoded only in part (data missing or corrupt inside
    // it) is refused like an unreadable one, with the warning kept as the reason.
    [[nodiscard]] static LoadResult loadBytes(QByteArray bytes, const DrawnSize &drawnSize = {});
    // What the decoders make of the bytes, a damaged picture included.
    [[nodiscard]] static LoadResult decode(QByteArray bytes, const DrawnSize &drawnSize = {});

private:
    [[nodiscard]] static LoadResult refuseDamaged(LoadResult result);
};
