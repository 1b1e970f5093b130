#pragma once

#include "picture/Picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

enum class PictureFormat { Bmp, Gif, Jpeg, Ico, Cur, Wmf, Emf };

struct LoadResult {
    PictureRef picture;
    QString failure; // empty on success; a short technical reason otherwise, for logs and tests
    QString warning; // on success: the file was damaged and only part of it could be shown
};

// Turns a file's bytes into a picture. The format is decided by the content alone:
// a file's name says nothing about what is in it.
class PictureLoader {
public:
    // The format of a file that starts with head; 64 bytes are enough.
    [[nodiscard]] static std::optional<PictureFormat> sniff(QByteArrayView head);
    // Reads the file once; the picture never goes back to it.
    [[nodiscard]] static LoadResult loadFile(const QString &path);
    [[nodiscard]] static LoadResult loadBytes(QByteArray bytes);
};
