#pragma once

#include <QByteArrayView>
#include <QRectF>
#include <QString>
#include <optional>

namespace metafile {

class GdiDevice;

struct WmfInfo {
    bool placeable = false;
    QRectF frame; // logical rectangle the picture shows
    double unitsPerInch = 1440;
    int objectSlots = 0;
    qsizetype firstRecord = 0;
    qsizetype recordCount = 0;
    qsizetype drawingRecords = 0;
    bool frameFromWindow = false;
    bool frameFromBounds = false;
    bool needsMeasuring = false; // no window and no placeable header: measure what is drawn
    // The frame is where a replay from a one-unit page drew: replays start from
    // that page again, so the frame lies where the drawing does.
    bool measured = false;
};

// Checks the header and the record framing; nullopt (with a reason) when the file
// can't be played.
[[nodiscard]] std::optional<WmfInfo> scanWmf(QByteArrayView data, QString *whyNot = nullptr);

// Replays the records onto the device.
void playWmf(QByteArrayView data, const WmfInfo &info, GdiDevice &device);

} // namespace metafile
