#include "ScreenAhead.h"

#include "ScreenFit.h"
#include "picture/ScaledPicture.h"
#include "platform/desktop/DecodePool.h"
#include "platform/desktop/FileSystem.h"

#include <QPainter>

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

ScreenAhead::ScreenAhead(DecodePool &pool, const FileSystem &files) : m_pool(pool), m_files(files)
{
}

ScreenAhead::~ScreenAhead()
{
    clear();
}

void ScreenAhead::prepare(const QString &path, const PictureRef &shown, QSize area,
                          qreal pixelRatio)
{
    if (shown && m_shown.lock() == shown && m_path == path && m_raster)
        return;
    clear();
    if (!shown)
        return;
    const QSize natural = shown->naturalSize();
    const ScreenFit fit = fitIntoScreenArea(
        {static_cast<float>(natural.width()), static_cast<float>(natural.height())},
        static_cast<float>(area.width()), static_cast<float>(area.height()));
    const std::optional<FileStamp> stamp = m_files.stampOf(path);
    if (!fit.stretched || !stamp)
        return;
    const QSize device(qMax(1, qRound(fit.size.width * pixelRatio)),
                       qMax(1, qRound(fit.size.height * pixelRatio)));
    m_path = path;
    m_stamp = *stamp;
    m_shown = shown;
    auto raster = std::make_shared<Raster>();
    m_raster = raster;
    raster->job = m_pool.start(
        DecodePool::Priority::Ahead, this,
        [raster, shown, device] { raster->image = shown->rasterAt(device); },
        [raster] {
            raster->made = true;
            // Also when cleared meanwhile: a view waiting with a stand-in then shows
            // the picture itself.
            for (const auto &[context, ready] : raster->whenMade) {
                if (context)
                    ready();
            }
            raster->whenMade.clear();
        });
}

bool ScreenAhead::isCurrent(const PictureRef &shown) const
{
    return shown && m_raster && m_shown.lock() == shown &&
           m_files.stampOf(m_path) == std::optional<FileStamp>(m_stamp);
}

bool ScreenAhead::isReadyFor(const PictureRef &shown) const
{
    return isCurrent(shown) && m_raster->made && !m_raster->image.isNull();
}

bool ScreenAhead::standsInFor(const PictureRef &shown) const
{
    return isCurrent(shown) && !m_raster->made && !shown->coarseRaster().isNull();
}

void ScreenAhead::whenMade(QObject *context, std::function<void()> ready)
{
    if (m_raster && !m_raster->made)
        m_raster->whenMade.emplace_back(context, std::move(ready));
}

PictureRef ScreenAhead::pictureFor(const PictureRef &shown) const
{
    if (standsInFor(shown))
        return std::make_shared<const PreparedPicture>(shown, shown->coarseRaster(), true);
    if (!isReadyFor(shown))
        return shown;
    return std::make_shared<const PreparedPicture>(shown, m_raster->image);
}

void ScreenAhead::clear()
{
    // A raster under way is left to finish on its own; its result is never used.
    if (m_raster)
        m_pool.cancel(m_raster->job);
    m_raster.reset();
    m_path.clear();
    m_shown.reset();
}
