#include "ShownSize.h"

#include "picture/FitArithmetic.h"

#include <QHashFunctions>
#include <QImage>
#include <QPainter>

ShownSize ShownSize::natural(qreal pixelRatio)
{
    return {Kind::Natural, {}, pixelRatio};
}

ShownSize ShownSize::fittedInto(QSize inner, qreal pixelRatio)
{
    return {Kind::Fitted, QSizeF(inner), pixelRatio};
}

ShownSize ShownSize::fixed(QSizeF size, qreal pixelRatio)
{
    return {Kind::Fixed, size, pixelRatio};
}

QSizeF ShownSize::sizeFor(QSize natural) const
{
    switch (m_kind) {
    case Kind::Natural:
        break;
    case Kind::Fitted: {
        // The same arithmetic as the panel's own fit, so the raster is the one it asks for.
        const FitResult fit = fitIntoPictureArea(
            {static_cast<float>(natural.width()), static_cast<float>(natural.height())},
            qRound(m_area.width()), qRound(m_area.height()));
        if (fit.stretched)
            return {fit.size.width, fit.size.height};
        break;
    }
    case Kind::Fixed:
        return m_area;
    }
    return QSizeF(natural);
}

void ShownSize::prepare(const Picture &picture) const
{
    const QSizeF size = sizeFor(picture.naturalSize());
    if (size.isEmpty())
        return;
    QImage dot(1, 1, QImage::Format_ARGB32_Premultiplied);
    dot.setDevicePixelRatio(m_pixelRatio);
    QPainter painter(&dot);
    picture.draw(painter, QRectF(QPointF(0, 0), size));
}

int ShownSize::key() const
{
    return static_cast<int>(
        qHashMulti(0, static_cast<int>(m_kind), m_area.width(), m_area.height(), m_pixelRatio));
}
