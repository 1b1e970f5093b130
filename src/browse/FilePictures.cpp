#include "FilePictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

PictureRef FilePictures::load(const QString &path, QString *failure)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (failure)
            *failure = file.errorString();
        return nullptr;
    }
    QBuffer buffer;
    buffer.setData(file.readAll());
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        if (failure)
            *failure = reader.errorString();
        return nullptr;
    }
    return RasterPicture::fromImage(image);
}
