#include "SlideLookAhead.h"

#include "ScreenFit.h"
#include "SlideCounters.h"
#include "browse/FileInfoText.h"
#include "platform/controls/FileListBox.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/PictureSource.h"

#include <QPainter>

namespace {

// The device size of a picture fitted into area, as the full-screen show draws it.
DrawnSize fittedInto(QSize area)
{
    return [area](QSize natural) {
        const ScreenFit fit = fitIntoScreenArea(
            {static_cast<float>(natural.width()), static_cast<float>(natural.height())},
            static_cast<float>(area.width()), static_cast<float>(area.height()));
        return QSize(qMax(1, qRound(fit.size.width)), qMax(1, qRound(fit.size.height)));
    };
}

} // namespace

SlideLookAhead::SlideLookAhead(PictureCache &cache, PictureSource &pictures,
                               const FileSystem &files)
    : m_cache(cache), m_source(pictures), m_files(files)
{
    QObject::connect(&m_cache, &PictureCache::finished, &m_receiver,
                     [this](const QString &path) { readEnded(path); });
}

bool SlideLookAhead::showWhenRead(const QString &path, std::function<void()> show)
{
    m_awaited.clear();
    m_showAwaited = {};
    m_awaitedRead = false;
    if (m_cache.find(path).state != PictureCache::State::Reading ||
        m_files.fileLength(path).value_or(0) < kLargeSlide)
        return false;
    m_awaited = path;
    m_showAwaited = std::move(show);
    return true;
}

void SlideLookAhead::step(const FileListBox &list, SlideCounters &slides,
                          const std::function<void(int)> &show, std::function<void(int)> showLater,
                          std::optional<QSize> fitInto)
{
    const int entry = markedEntryOfRank(list, slides.index);
    if (entry >= 0) {
        const QString path = joinPath(list.path(), list.entry(entry));
        if (!showWhenRead(path, [showLater = std::move(showLater), entry] { showLater(entry); }))
            show(entry);
    }
    ++slides.index;
    prepareNext(list, slides, fitInto);
}

void SlideLookAhead::prepareNext(const FileListBox &list, const SlideCounters &slides,
                                 std::optional<QSize> fitInto)
{
    QStringList paths;
    for (qint64 rank = slides.index; rank < slides.index + kSlidesAhead; ++rank) {
        if (rank > slides.count)
            break;
        const int entry = markedEntryOfRank(list, rank);
        if (entry >= 0)
            paths.append(joinPath(list.path(), list.entry(entry)));
    }
    if (!paths.isEmpty())
        prepare(paths, fitInto);
}

bool SlideLookAhead::awaitedSlideTakesTick()
{
    if (m_awaited.isEmpty())
        return false;
    if (m_awaitedRead)
        showAwaited();
    return true;
}

void SlideLookAhead::readEnded(const QString &path)
{
    if (path != m_awaited)
        return;
    if (m_paused)
        m_awaitedRead = true;
    else
        showAwaited();
}

void SlideLookAhead::showAwaited()
{
    const std::function<void()> show = std::move(m_showAwaited);
    m_awaited.clear();
    m_showAwaited = {};
    m_awaitedRead = false;
    show();
}

void SlideLookAhead::clear()
{
    m_awaited.clear();
    m_showAwaited = {};
    m_awaitedRead = false;
    m_paused = false;
    // The picture the browser shows stays kept.
    m_cache.want({});
}

void SlideLookAhead::prepare(const QStringList &paths, std::optional<QSize> fitInto)
{
    PictureCache::Preparation fitted;
    if (fitInto) {
        const DrawnSize fittedSize = fittedInto(*fitInto);
        // Drawing once at the fitted size, onto a single pixel, leaves that raster in
        // the picture; the loader decodes a photo for that size to begin with.
        fitted.draw = [fittedSize](const Picture &picture) {
            QImage dot(1, 1, QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&dot);
            picture.draw(painter, QRectF(QPointF(0, 0), fittedSize(picture.naturalSize())));
        };
        fitted.drawnSize = fittedSize;
    }
    // The slide a tick still waits for keeps being read; anything else is let go.
    QStringList wanted = paths;
    if (!m_awaited.isEmpty())
        wanted.prepend(m_awaited); // want() drops a second mention
    m_cache.want(wanted, std::move(fitted), fitInto ? 1 : 0);
}

PictureRef SlideLookAhead::take(const QString &path)
{
    return m_cache.take(path);
}

PictureRef SlideLookAhead::slide(const QString &path, std::optional<QSize> fitInto)
{
    switch (m_cache.find(path).state) {
    case PictureCache::State::Ready:
        return m_cache.take(path);
    case PictureCache::State::Failed:
        return nullptr;
    case PictureCache::State::Reading:
    case PictureCache::State::Unknown:
        break;
    }
    return m_source.load(path, nullptr, fitInto ? fittedInto(*fitInto) : DrawnSize());
}
