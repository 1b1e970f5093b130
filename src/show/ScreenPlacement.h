#pragma once

#include <QSize>

class PictureElement;

// Shrinks a full-screen picture element that is larger than its area (of areaSize) to
// fit it, keeping its proportions, and centres it on a screen of screenSize. The
// element holds its picture at natural size when this is called.
void fitAndCentreOnScreen(PictureElement &image, QSize areaSize, QSize screenSize);
