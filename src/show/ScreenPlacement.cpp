#include "ScreenPlacement.h"

#include "ScreenFit.h"
#include "platform/controls/PictureElement.h"

void fitAndCentreOnScreen(PictureElement &image, QSize areaSize, QSize screenSize)
{
    const ScreenFit fit =
        fitIntoScreenArea({image.width(), image.height()}, static_cast<float>(areaSize.width()),
                          static_cast<float>(areaSize.height()));
    if (fit.stretched) {
        image.setHeight(fit.size.height);
        image.setWidth(fit.size.width);
        image.setStretch(true);
    }
    const QPointF corner =
        centreOnScreen({image.width(), image.height()}, static_cast<float>(screenSize.width()),
                       static_cast<float>(screenSize.height()));
    image.setLeft(static_cast<float>(corner.x()));
    image.setTop(static_cast<float>(corner.y()));
}
