#include "SlideLookAhead.h"

#include "ScreenFit.h"
#include "SlideCounters.h"
#include "browse/FileInfoText.h"
#include "shell/platform/FileListBox.h"
#include "shell/platform/FileSystem.h"

#include <QPainter>

SlideLookAhead::SlideLookAhead(PictureSource &pictures, const FileSystem &files)
    : m_files(files), m_pictures(pictures, files)
{
    QObject::connect(&m_pictures, &PictureLookAhead::finished, &m_pictures,
                     [this](const QString &path) { readEnded(path); });
}

bool SlideLookAhead::showWhenRead(const QString &path, std::function<void()> show)
{
    m_awaited.clear();
    m_showAwaited = {};
    if (m_pictures.find(path).state != PictureLookAhead::State::Reading ||
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
    if (slides.isFinished())
        return;
    const int entry = markedEntryOfRank(list, slides.index);
    if (entry >= 0)
        prepare(joinPath(list.path(), list.entry(entry)), fitInto);
}

void SlideLookAhead::readEnded(const QString &path)
{
    if (path != m_awaited)
        return;
    const std::function<void()> show = std::move(m_showAwaited);
    m_awaited.clear();
    m_showAwaited = {};
    show();
}

void SlideLookAhead::clear()
{
    m_awaited.clear();
    m_showAwaited = {};
    m_pictures.clear();
}

void SlideLookAhead::prepare(const QString &path, std::optional<QSize> fitInto)
{
    PictureLookAhead::Preparation fitted;
    if (fitInto) {
        fitted = [area = *fitInto](const Picture &picture) {
            // Drawing once at the fitted size leaves that raster in the picture.
            const ScreenFit fit = fitIntoScreenArea(
                {static_cast<float>(picture.naturalSize().width()),
                 static_cast<float>(picture.naturalSize().height())},
                static_cast<float>(area.width()), static_cast<float>(area.height()));
            QImage scratch(qMax(1, qRound(fit.size.width)), qMax(1, qRound(fit.size.height)),
                           QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&scratch);
            picture.draw(painter, QRectF(QPointF(0, 0), QSizeF(scratch.size())));
        };
    }
    // The slide a tick still waits for keeps being read; anything else is let go.
    QStringList wanted{path};
    if (!m_awaited.isEmpty() && m_awaited != path)
        wanted.prepend(m_awaited);
    m_pictures.want(wanted, std::move(fitted), fitInto ? 1 : 0);
}

PictureRef SlideLookAhead::take(const QString &path)
{
    return m_pictures.take(path);
}
