#pragma once

#include "picture/Picture.h"

#include <QString>

// Opens picture files. The program decides by content; anything it cannot read,
// whatever its name, gives no picture.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // Null when the file cannot be read as a picture; why not goes to failure. With
    // drawnSize, the raster for the size the picture will first be drawn at may be the
    // one made while loading, in place of the panel's.
    [[nodiscard]] virtual PictureRef load(const QString &path, QString *failure = nullptr,
                                          const DrawnSize &drawnSize = {}) = 0;
};
