#include "FineRasters.h"

#include "picture/ScaledPicture.h"

#include <QPainter>
#include <QWidget>

FineRasters::FineRasters(QWidget &widget) : m_widget(widget)
{
    m_pool.setMaxThreadCount(1);
}

FineRasters::~FineRasters()
{
    ++*m_generation;
    m_pool.clear();
    m_pool.waitForDone();
}

bool FineRasters::drawCoarse(QPainter &painter, const QRectF &target, const PictureRef &picture)
{
    const auto *scaled = dynamic_cast<const picture::ScaledPicture *>(picture.get());
    const QSize natural = picture ? picture->naturalSize() : QSize();
    if (!scaled || qint64(natural.width()) * natural.height() < kLargePicture)
        return false;
    const QSizeF device = picture::ScaledPicture::deviceSize(painter, target.size());
    const QSize size(qMax(1, qRound(device.width())), qMax(1, qRound(device.height())));
    if (scaled->hasRasterFor(size))
        return false;
    const QImage coarse = scaled->coarseRaster();
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
    m_pool.clear();
    m_making = picture;
    m_makingSize = size;
    const int generation = ++*m_generation;
    m_pool.start([this, picture, size, generation, current = m_generation] {
        if (*current != generation)
            return;
        dynamic_cast<const picture::ScaledPicture &>(*picture).prepare(size);
        QMetaObject::invokeMethod(
            this,
            [this, generation, current] {
                if (*current != generation)
                    return;
                m_making.reset();
                m_widget.update();
            },
            Qt::QueuedConnection);
    });
    return true;
}
