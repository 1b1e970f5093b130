#include "MetafilePicture.h"

#include "EmbeddedEmf.h"
#include "EmfPlayer.h"
#include "GdiDevice.h"
#include "WmfPlayer.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <cmath>

using namespace metafile;

namespace {

// Cached images bigger than this are not kept; larger views draw directly.
constexpr qint64 kMaxCachePixels = qint64(8192) * 8192;
constexpr int kMaxNaturalSide = 16384;
constexpr qint64 kMaxImagePixels = qint64(8192) * 8192;
// The page a WMF without a size is first played on, to find where it draws.
constexpr QRectF kMeasuringPage(0, 0, 1, 1);

QSize clampNatural(double w, double h)
{
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
        return QSize(1, 1);
    const double scale = qMin(1.0, double(kMaxNaturalSide) / qMax(w, h));
    return QSize(qMax(1, int(std::lround(w * scale))), qMax(1, int(std::lround(h * scale))));
}

} // namespace

MetafilePicture::~MetafilePicture() = default;

std::shared_ptr<const MetafilePicture> MetafilePicture::load(QByteArray bytes, QString *whyNot)
{
    const MetafileKind kind =
        sniffMetafile(QByteArrayView(bytes).first(qMin<qsizetype>(bytes.size(), 88)));
    if (kind == MetafileKind::None) {
        if (whyNot)
            *whyNot = QStringLiteral("not a Windows metafile");
        return nullptr;
    }
    std::shared_ptr<MetafilePicture> pic(new MetafilePicture);
    pic->m_bytes = std::move(bytes);
    pic->m_kind = kind;
    if (kind == MetafileKind::Emf) {
        auto info = scanEmf(pic->m_bytes, whyNot);
        if (!info)
            return nullptr;
        pic->m_emf = std::make_unique<EmfInfo>(*info);
        const QRect f = info->frame;
        pic->m_natural = clampNatural((f.right() - f.left()) * 96.0 / 2540.0,
                                      (f.bottom() - f.top()) * 96.0 / 2540.0);
    } else {
        auto info = scanWmf(pic->m_bytes, whyNot);
        if (!info)
            return nullptr;
        if (info->needsMeasuring) {
            // The file gives no size: play it once to find where it draws.
            QImage scratch(1, 1, QImage::Format_RGB32);
            QPainter painter(&scratch);
            QRectF bounds;
            GdiDevice::Setup setup;
            setup.flavor = GdiDevice::Flavor::Wmf;
            setup.wmfFrame = kMeasuringPage;
            setup.wmfUnitsPerInch = info->unitsPerInch;
            setup.objectSlots = info->objectSlots;
            setup.workBudget = kWorkBudget;
            setup.measure = &bounds;
            {
                GdiDevice device(painter, setup);
                playWmf(pic->m_bytes, *info, device);
            }
            if (bounds.width() >= 1 && bounds.height() >= 1 && bounds.width() < 1e6 &&
                bounds.height() < 1e6) {
                info->frame = bounds.adjusted(0, 0, 1, 1); // both edges count, as in GDI
                info->measured = true;
            }
        }
        pic->m_wmf = std::make_unique<WmfInfo>(*info);
        const double upi = info->unitsPerInch;
        pic->m_natural =
            clampNatural(info->frame.width() * 96.0 / upi, info->frame.height() * 96.0 / upi);
        pic->adoptEmbeddedEmf();
    }
    return pic;
}

void MetafilePicture::adoptEmbeddedEmf()
{
    const qsizetype header = m_wmf->placeable ? 22 : 0;
    auto emf = EmbeddedEmf::extract(QByteArrayView(m_bytes).sliced(header));
    if (!emf)
        return;
    auto info = scanEmf(*emf);
    if (!info || info->drawingRecords == 0)
        return;
    m_embeddedBytes = std::move(*emf);
    m_embeddedEmf = std::make_unique<EmfInfo>(*info);
    if (m_wmf->frameFromBounds) {
        // The stand-in records gave no size of their own: the EMF's frame is the size.
        const QRect f = info->frame;
        m_natural = clampNatural((f.right() - f.left()) * 96.0 / 2540.0,
                                 (f.bottom() - f.top()) * 96.0 / 2540.0);
    }
}

bool MetafilePicture::hasEmfPlus() const
{
    return m_emf && m_emf->emfPlusComments > 0;
}

bool MetafilePicture::isEmfPlusOnly() const
{
    return m_emf && m_emf->emfPlusOnly;
}

bool MetafilePicture::hasDrawingRecords() const
{
    if (m_embeddedEmf)
        return true;
    return m_emf ? m_emf->drawingRecords > 0 : m_wmf->drawingRecords > 0;
}

void MetafilePicture::renderTo(QPainter &painter, const QRectF &target, Stats *stats,
                               QColor paper) const
{
    if (target.isEmpty())
        return;
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.fillRect(target, paper);

    GdiDevice::Setup setup;
    QRectF frame;
    // A WMF that carries an EMF shows the EMF, stretched over the WMF's own frame.
    const EmfInfo *emf = m_emf ? m_emf.get() : m_embeddedEmf.get();
    const QByteArrayView emfBytes = m_emf ? QByteArrayView(m_bytes) : m_embeddedBytes;
    if (emf) {
        setup.flavor = GdiDevice::Flavor::Emf;
        setup.pxPerMmX = emf->pxPerMmX();
        setup.pxPerMmY = emf->pxPerMmY();
        setup.objectSlots = emf->handles;
        frame = emf->frameInDevice();
    } else {
        setup.flavor = GdiDevice::Flavor::Wmf;
        setup.wmfFrame = m_wmf->frame;
        if (m_wmf->measured)
            setup.wmfPage = kMeasuringPage;
        setup.wmfUnitsPerInch = m_wmf->unitsPerInch;
        setup.objectSlots = m_wmf->objectSlots;
        frame = m_wmf->frame;
    }
    if (frame.width() == 0 || frame.height() == 0) {
        painter.restore();
        return;
    }
    QTransform toTarget = QTransform::fromTranslate(-frame.x(), -frame.y());
    toTarget *=
        QTransform::fromScale(target.width() / frame.width(), target.height() / frame.height());
    toTarget *= QTransform::fromTranslate(target.x(), target.y());
    // Coordinates name pixel centres, so one-pixel lines on whole coordinates land
    // on one row of pixels instead of smearing over two.
    setup.deviceToTarget = toTarget * painter.transform() * QTransform::fromTranslate(-0.5, -0.5);
    setup.area = painter.transform().mapRect(target);
    const QTransform full = toTarget * painter.deviceTransform();
    setup.pixelScale = std::sqrt(std::abs(full.determinant()));
    if (!(setup.pixelScale > 0) || !std::isfinite(setup.pixelScale))
        setup.pixelScale = 1;
    setup.workBudget = kWorkBudget;

    {
        GdiDevice device(painter, setup);
        if (emf)
            playEmf(emfBytes, *emf, device);
        else
            playWmf(m_bytes, *m_wmf, device);
        if (stats) {
            stats->budgetExceeded = device.exhausted();
            stats->drewSomething = device.drewSomething();
        }
    }
    painter.restore();
}

QImage MetafilePicture::render(QSize size, Stats *stats, QColor paper) const
{
    if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxCachePixels * 4)
        return {};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(paper);
    QPainter p(&image);
    renderTo(p, QRectF(QPointF(0, 0), QSizeF(size)), stats, paper);
    p.end();
    return image;
}

qint64 MetafilePicture::heldBytes() const
{
    QMutexLocker lock(&m_cacheLock);
    return m_bytes.size() + m_embeddedBytes.size() + m_cache.image.sizeInBytes();
}

QImage MetafilePicture::toImage() const
{
    // A metafile may say it is metres wide; the bitmap copy stops at a sane size.
    QSize size = m_natural;
    if (qint64(size.width()) * size.height() > kMaxImagePixels)
        size = size.scaled(8192, 8192, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return render(size);
}

void MetafilePicture::draw(QPainter &painter, const QRectF &target) const
{
    if (target.isEmpty())
        return;
    const PaintedArea area = paintedArea(painter);
    const QTransform dt = area.toPixels;
    if (dt.type() > QTransform::TxScale) {
        renderTo(painter, target); // rotated or sheared: replay directly
        return;
    }
    const QRectF deviceTarget = dt.mapRect(target);
    QRectF visible = deviceTarget;
    if (!area.devicePixels.isEmpty())
        visible = visible.intersected(area.devicePixels);
    if (painter.hasClipping())
        visible = visible.intersected(dt.mapRect(painter.clipBoundingRect()));
    visible = visible.intersected(QRectF(-1e7, -1e7, 2e7, 2e7));
    const QRect pixels = visible.toAlignedRect();
    if (pixels.isEmpty())
        return;
    if (qint64(pixels.width()) * pixels.height() > kMaxCachePixels) {
        renderTo(painter, target);
        return;
    }

    QImage image;
    {
        QMutexLocker lock(&m_cacheLock);
        if (m_cache.visible == pixels && m_cache.target == deviceTarget && !m_cache.image.isNull())
            image = m_cache.image;
    }
    if (image.isNull()) {
        image = QImage(pixels.size(), QImage::Format_RGB32);
        if (image.isNull())
            return;
        image.fill(Qt::white);
        QPainter ip(&image);
        ip.translate(-pixels.topLeft());
        renderTo(ip, deviceTarget);
        ip.end();
        QMutexLocker lock(&m_cacheLock);
        m_cache = Cache{pixels, deviceTarget, image};
    }
    painter.save();
    bool invertible = false;
    const QTransform inv = dt.inverted(&invertible);
    if (invertible)
        painter.drawImage(inv.mapRect(QRectF(pixels)), image);
    painter.restore();
}
