#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace picture {

// What a decoder made of a file: an image, or why not.
struct Decoded {
    QImage image;    // RGB32, or ARGB32_Premultiplied when it has transparency
    QString failure; // empty on success
    QString warning; // set when only part of a damaged file could be shown
    QByteArray iccProfile;

    [[nodiscard]] bool ok() const { return failure.isEmpty() && !image.isNull(); }
    [[nodiscard]] static Decoded fail(QString why)
    {
        Decoded d;
        d.failure = std::move(why);
        return d;
    }
};

} // namespace picture
