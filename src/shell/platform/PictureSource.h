#pragma once

#include "picture/Picture.h"

#include <QString>

// Opens picture files. The program decides by content; anything it cannot read,
// whatever its name, gives no picture.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // Null when the file cannot be read as a picture; why not goes to failure.
    [[nodiscard]] virtual PictureRef load(const QString &path, QString *failure = nullptr) = 0;
};
