#include "SlideLookAhead.h"

#include "ScreenFit.h"
#include "shell/platform/FileSystem.h"
#include "shell/platform/PictureSource.h"

#include <QPainter>
#include <QPromise>
#include <QThreadPool>

SlideLookAhead::SlideLookAhead(PictureSource &pictures, const FileSystem &files)
    : m_pictures(pictures), m_files(files)
{
    m_pool.setMaxThreadCount(1);
}

SlideLookAhead::~SlideLookAhead()
{
    ++*m_generation;
    m_pool.waitForDone();
}

std::optional<SlideLookAhead::FileStamp> SlideLookAhead::stampOf(const QString &path) const
{
    const std::optional<qint64> length = m_files.fileLength(path);
    const std::optional<QDateTime> modified = m_files.lastModified(path);
    if (!length || !modified)
        return std::nullopt;
    return FileStamp{*length, *modified};
}

void SlideLookAhead::prepare(const QString &path, std::optional<QSize> fitInto)
{
    clear();
    if (!m_enabled)
        return;
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp)
        return;
    m_path = path;
    auto promise = std::make_shared<QPromise<Prepared>>();
    m_future = promise->future();
    promise->start();
    PictureSource *pictures = &m_pictures;
    const int generation = ++*m_generation;
    m_pool.start(
        [promise, pictures, path, fitInto, stamp = *stamp, generation, current = m_generation] {
            if (*current != generation) {
                promise->finish();
                return;
            }
            PictureRef picture = pictures->load(path);
            if (picture && fitInto) {
                // Drawing once at the fitted size leaves that raster in the picture.
                const ScreenFit fit = fitIntoScreenArea(
                    {static_cast<float>(picture->naturalSize().width()),
                     static_cast<float>(picture->naturalSize().height())},
                    static_cast<float>(fitInto->width()), static_cast<float>(fitInto->height()));
                QImage scratch(qMax(1, qRound(fit.size.width)), qMax(1, qRound(fit.size.height)),
                               QImage::Format_ARGB32_Premultiplied);
                QPainter painter(&scratch);
                picture->draw(painter, QRectF(QPointF(0, 0), QSizeF(scratch.size())));
            }
            promise->addResult(Prepared{std::move(picture), stamp});
            promise->finish();
        });
}

PictureRef SlideLookAhead::take(const QString &path)
{
    if (path != m_path || !m_future.isValid() || !m_future.isFinished() ||
        m_future.resultCount() == 0) {
        return {};
    }
    Prepared prepared = m_future.takeResult();
    m_future = {};
    m_path.clear();
    // A file changed or gone since it was read is read again, or fails, on the tick.
    if (stampOf(path) != std::optional<FileStamp>(prepared.stamp))
        return {};
    return std::move(prepared.picture);
}

void SlideLookAhead::clear()
{
    // A decode under way is left to finish on its own; its result is never used.
    ++*m_generation;
    m_future = {};
    m_path.clear();
}
