#pragma once

#include "picture/Picture.h"

#include <QString>

// The full-screen view as the viewing panel reaches it. The view shows the panel's
// picture and so stands above the panel; the panel tells it what it shows, so that
// the view's raster is made ahead, and opens it on a click.
class PanelFullScreen {
public:
    virtual ~PanelFullScreen() = default;

    // The panel now shows picture, read from path.
    virtual void pictureShown(const QString &path, const PictureRef &picture) = 0;
    // Opens the view on the panel's picture, as a double click on the file list does.
    virtual void File1_DblClick() = 0;
};
