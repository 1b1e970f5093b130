#include "FilePictures.h"

#include "picture/PictureLoader.h"

PictureRef FilePictures::load(const QString &path, QString *failure)
{
    LoadResult result = PictureLoader::loadFile(path);
    if (failure)
        *failure = result.failure;
    return std::move(result.picture);
}
