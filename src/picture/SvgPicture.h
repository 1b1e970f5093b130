#pragma once

#include "Picture.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <memory>

namespace picture {

// An SVG drawing (or its gzip-packed form), drawn afresh at the size it is shown,
// so that it stays crisp when stretched or zoomed. What is drawn is the document as
// safeSvg() leaves it: nothing outside the file is ever read.
class SvgPicture final : public Picture {
public:
    // Null, with the reason, when the document is damaged, too large or hostile.
    [[nodiscard]] static std::shared_ptr<const SvgPicture> load(const QByteArray &bytes,
                                                                QString *why);

    [[nodiscard]] QSize naturalSize() const override { return m_natural; }
    void draw(QPainter &painter, const QRectF &target) const override;
    [[nodiscard]] QImage toImage() const override;
    [[nodiscard]] qint64 heldBytes() const override;
    // Drawn afresh, so that the drawing kept for the panel stays as it is.
    [[nodiscard]] QImage rasterAt(QSize deviceSize) const override
    {
        return render(deviceSize, QRectF(QPointF(0, 0), QSizeF(deviceSize)));
    }

private:
    SvgPicture() = default;
    // The drawing over a transparent image of that size, target in its pixels.
    [[nodiscard]] QImage render(QSize size, const QRectF &target) const;

    QByteArray m_document;
    QSize m_natural;

    // The last drawing made for the screen: the visible device pixels of a target.
    struct Cache {
        QRect visible;
        QRectF target;
        QImage image;
    };
    mutable QMutex m_cacheLock;
    mutable Cache m_cache;
};

} // namespace picture
