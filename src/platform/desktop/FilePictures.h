#pragma once

#include "PictureSource.h"

// Pictures from files on disk, through the picture loader.
class FilePictures final : public PictureSource {
public:
    [[nodiscard]] PictureRef load(const QString &path, QString *failure,
                                  const DrawnSize &drawnSize) override;
};
