#include "FilePictures.h"

#include "picture/PictureLoader.h"

PictureRef FilePictures::load(const QString &path, QString *failure, const DrawnSize &drawnSize)
{
    LoadResult result = PictureLoader::loadFile(path, drawnSize);
    if (failure)
        *failure = result.failure;
    return std::move(result.picture);
}
