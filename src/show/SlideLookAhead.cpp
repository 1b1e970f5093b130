#include "SlideLookAhead.h"

#include "ScreenFit.h"

#include <QPainter>

SlideLookAhead::SlideLookAhead(PictureSource &pictures, const FileSystem &files)
    : m_pictures(pictures, files)
{
}

void SlideLookAhead::prepare(const QString &path, std::optional<QSize> fitInto)
{
    m_pictures.clear();
    PictureLookAhead::Preparation fitted;
    if (fitInto) {
        fitted = [area = *fitInto](const Picture &picture) {
            // Drawing once at the fitted size leaves that raster in the picture.
            const ScreenFit fit = fitIntoScreenArea(
                {static_cast<float>(picture.naturalSize().width()),
                 static_cast<float>(picture.naturalSize().height())},
                static_cast<float>(area.width()), static_cast<float>(area.height()));
            QImage scratch(qMax(1, qRound(fit.size.width)), qMax(1, qRound(fit.size.height)),
                           QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&scratch);
            picture.draw(painter, QRectF(QPointF(0, 0), QSizeF(scratch.size())));
        };
    }
    m_pictures.want({path}, std::move(fitted), fitInto ? 1 : 0);
}

PictureRef SlideLookAhead::take(const QString &path)
{
    return m_pictures.take(path);
}
