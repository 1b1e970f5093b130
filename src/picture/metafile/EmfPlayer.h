#pragma once

#include <QByteArrayView>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

namespace metafile {

class GdiDevice;

struct EmfInfo {
    QRect bounds;        // device units, inclusive
    QRect frame;         // 0.01 mm, inclusive
    QSizeF devicePixels; // reference device size in pixels
    QSizeF deviceMm;     // and in millimetres
    int handles = 0;
    qsizetype recordCount = 0;
    qsizetype emfPlusComments = 0;
    bool emfPlusOnly = false; // the EMF+ stream says nothing is drawn by the plain records
    qsizetype drawingRecords = 0;
    [[nodiscard]] double pxPerMmX() const { return devicePixels.width() / deviceMm.width(); }
    [[nodiscard]] double pxPerMmY() const { return devicePixels.height() / deviceMm.height(); }
    // The frame in reference device pixels.
    [[nodiscard]] QRectF frameInDevice() const;
};

[[nodiscard]] std::optional<EmfInfo> scanEmf(QByteArrayView data, QString *whyNot = nullptr);
void playEmf(QByteArrayView data, const EmfInfo &info, GdiDevice &device);

} // namespace metafile
