#include "FineRasters.h"

#include "picture/ScaledPicture.h"
#include "platform/desktop/DecodePool.h"

#include <QPainter>
#include <QWidget>

FineRasters::FineRasters(QWidget &widget, DecodePool &pool)
    : QObject(&widget), m_widget(widget), m_pool(pool)
{
}

bool FineRasters::drawCoarse(QPainter &painter, const QRectF &target, const PictureRef &picture)
{
    const QSize natural = picture ? picture->naturalSize() : QSize();
    if (qint64(natural.width()) * natural.height() < kLargePicture)
        return false;
    const QSizeF device = picture::ScaledPicture::deviceSize(painter, target.size());
    const QSize size(qMax(1, qRound(device.width())), qMax(1, qRound(device.height())));
    if (picture->hasRasterFor(size))
        return false;
    const QImage coarse = picture->coarseRaster();
    if (coarse.isNull())
        return false;

    const bool wasSmooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, coarse, QRectF(coarse.rect()));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, wasSmooth);

    if (m_making.lock() == picture && m_makingSize == size)
        return true;
    // Only the latest request is made: one still queued for another picture or size
    // is dropped, and the end of one already running repaints for nothing.
    m_pool.cancel(m_job);
    m_making = picture;
    m_makingSize = size;
    const int generation = ++m_generation;
    m_job = m_pool.start(
        DecodePool::Priority::Now, this, [picture, size] { picture->prepare(size); },
        [this, generation] {
            if (generation != m_generation)
                return;
            m_making.reset();
            m_widget.update();
        });
    return true;
}
