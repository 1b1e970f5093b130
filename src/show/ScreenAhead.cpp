#include "ScreenAhead.h"

#include "ScreenFit.h"
#include "picture/ScaledPicture.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/PictureSource.h"

#include <QPainter>
#include <QPromise>

namespace {

// A picture that draws from a raster made ahead when it is drawn at that raster's
// size, and as itself at any other size. A coarse raster, smaller than it is drawn,
// is drawn enlarged at any size.
class PreparedPicture final : public Picture {
public:
    PreparedPicture(PictureRef original, QImage raster, bool coarse = false)
        : m_original(std::move(original)), m_raster(std::move(raster)), m_coarse(coarse)
    {
    }
    [[nodiscard]] QSize naturalSize() const override { return m_original->naturalSize(); }
    [[nodiscard]] QImage toImage() const override { return m_original->toImage(); }
    void draw(QPainter &painter, const QRectF &target) const override
    {
        const QSizeF device = picture::ScaledPicture::deviceSize(painter, target.size());
        if (!m_coarse && (qAbs(device.width() - m_raster.width()) > 1 ||
                          qAbs(device.height() - m_raster.height()) > 1)) {
            m_original->draw(painter, target);
            return;
        }
        const bool wasSmooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(target, m_raster, QRectF(m_raster.rect()));
        painter.setRenderHint(QPainter::SmoothPixmapTransform, wasSmooth);
    }

private:
    const PictureRef m_original;
    const QImage m_raster;
    const bool m_coarse;
};

} // namespace

ScreenAhead::ScreenAhead(PictureSource &pictures, const FileSystem &files)
    : m_pictures(pictures), m_files(files)
{
    m_pool.setMaxThreadCount(1);
}

ScreenAhead::~ScreenAhead()
{
    clear();
    m_pool.waitForDone();
}

std::optional<ScreenAhead::FileStamp> ScreenAhead::stampOf(const QString &path) const
{
    const std::optional<qint64> length = m_files.fileLength(path);
    const std::optional<QDateTime> modified = m_files.lastModified(path);
    if (!length || !modified)
        return std::nullopt;
    return FileStamp{*length, *modified};
}

void ScreenAhead::prepare(const QString &path, const PictureRef &shown, QSize area,
                          qreal pixelRatio)
{
    if (shown && m_shown.lock() == shown && m_path == path && m_raster.isValid())
        return;
    clear();
    if (!shown)
        return;
    const QSize natural = shown->naturalSize();
    const ScreenFit fit = fitIntoScreenArea(
        {static_cast<float>(natural.width()), static_cast<float>(natural.height())},
        static_cast<float>(area.width()), static_cast<float>(area.height()));
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!fit.stretched || !stamp)
        return;
    const QSize device(qMax(1, qRound(fit.size.width * pixelRatio)),
                       qMax(1, qRound(fit.size.height * pixelRatio)));
    m_path = path;
    m_stamp = *stamp;
    m_shown = shown;
    auto promise = std::make_shared<QPromise<QImage>>();
    m_raster = promise->future();
    promise->start();
    const int generation = ++*m_generation;
    // A picture held whole in memory is scaled from there, as it would scale itself;
    // any other is read afresh.
    QImage whole;
    if (dynamic_cast<const picture::DecodedPicture *>(shown.get()))
        whole = shown->toImage();
    m_pool.start([promise, pictures = &m_pictures, path, device, natural, whole, generation,
                  current = m_generation] {
        if (*current == generation && !whole.isNull()) {
            promise->addResult(
                whole.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        } else if (*current == generation) {
            // Decoded for the screen at once, not first for the panel.
            const PictureRef fresh =
                pictures->load(path, nullptr, [device](QSize) { return device; });
            // The same picture still: a file rewritten meanwhile gives nothing.
            if (fresh && fresh->naturalSize() == natural && *current == generation) {
                QImage raster(device, QImage::Format_ARGB32_Premultiplied);
                raster.fill(Qt::transparent);
                QPainter painter(&raster);
                fresh->draw(painter, QRectF(QPointF(0, 0), QSizeF(device)));
                painter.end();
                promise->addResult(std::move(raster));
            }
        }
        promise->finish();
    });
}

bool ScreenAhead::isReadyFor(const PictureRef &shown) const
{
    return shown && m_shown.lock() == shown && m_raster.isValid() && m_raster.isFinished() &&
           m_raster.resultCount() > 0 && stampOf(m_path) == std::optional<FileStamp>(m_stamp);
}

bool ScreenAhead::standsInFor(const PictureRef &shown) const
{
    const auto *scaled = dynamic_cast<const picture::ScaledPicture *>(shown.get());
    return scaled && m_shown.lock() == shown && m_raster.isValid() && !m_raster.isFinished() &&
           stampOf(m_path) == std::optional<FileStamp>(m_stamp) && !scaled->coarseRaster().isNull();
}

void ScreenAhead::whenMade(QObject *context, std::function<void()> ready)
{
    if (m_raster.isValid())
        (void)m_raster.then(context,
                            [ready = std::move(ready)](const QFuture<QImage> &) { ready(); });
}

PictureRef ScreenAhead::pictureFor(const PictureRef &shown) const
{
    if (standsInFor(shown)) {
        const auto &scaled = dynamic_cast<const picture::ScaledPicture &>(*shown);
        return std::make_shared<const PreparedPicture>(shown, scaled.coarseRaster(), true);
    }
    if (!isReadyFor(shown))
        return shown;
    return std::make_shared<const PreparedPicture>(shown, m_raster.result());
}

void ScreenAhead::clear()
{
    // A raster under way is left to finish on its own; its result is never used.
    ++*m_generation;
    m_raster = {};
    m_path.clear();
    m_shown.reset();
}
