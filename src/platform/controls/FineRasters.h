#pragma once

#include "picture/Picture.h"

#include <QObject>
#include <QSize>
#include <memory>

class DecodePool;
class QWidget;

// Keeps a paint from waiting for the decode of a large picture: drawn at a size whose
// raster is not made yet (Actual Size or a zoom on a photo), it is drawn at once from
// the coarse raster it was loaded with, enlarged, while the fine raster is made on the
// decode pool; the widget is repainted when that is done.
class FineRasters : public QObject {
    Q_OBJECT

public:
    // A child of widget, gone with it.
    FineRasters(QWidget &widget, DecodePool &pool);

    // Below this many pixels a picture is decoded in the paint itself, as quickly as
    // a worker would hand it over.
    static constexpr qint64 kLargePicture = qint64(6) << 20;

    // Draws picture into target from its coarse raster, and starts making the fine
    // one, when that is missing and worth waiting for; false (nothing drawn) when the
    // picture should draw itself.
    [[nodiscard]] bool drawCoarse(QPainter &painter, const QRectF &target,
                                  const PictureRef &picture);

private:
    QWidget &m_widget;
    DecodePool &m_pool;
    std::weak_ptr<const Picture> m_making;
    QSize m_makingSize;
    quint64 m_job = 0;
    int m_generation = 0;
};
