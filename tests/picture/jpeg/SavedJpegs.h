#pragma once

#include "picture/jpeg/JpegDecoder.h"

#include <QDirIterator>
#include <QFile>
#include <QList>

// JPEGs as they come in the wild: the saved fuzz inputs, and the shared corpus where
// it is on this machine. Only files whose header libjpeg reads, up to 8 MB each.
struct SavedJpeg {
    QString path;
    QByteArray bytes;
    picture::JpegHeader header;
};

inline QList<SavedJpeg> savedJpegs()
{
    QList<SavedJpeg> jpegs;
    for (const QString &folder : {QStringLiteral(QUORVEL_SOURCE_DIR "/fuzz/corpus/jpeg"),
                                  QStringLiteral(QUORVEL_CORPUS_DIR)}) {
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            SavedJpeg jpeg{it.next(), {}, {}};
            QFile f(jpeg.path);
            if (f.size() > (8 << 20) || !f.open(QIODevice::ReadOnly))
                continue;
            jpeg.bytes = f.readAll();
            QString why;
            if (jpeg.bytes.startsWith("\xFF\xD8") &&
                picture::readJpegHeader(picture::Bytes(jpeg.bytes), jpeg.header, why))
                jpegs.append(std::move(jpeg));
        }
    }
    return jpegs;
}
