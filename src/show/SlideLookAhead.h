#pragma once

#include "platform/desktop/PictureCache.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class FileListBox;
class FileSystem;
struct SlideCounters;
class PictureSource;

// Has the picture cache decode the slides a show will need next, so that the tick
// only swaps one in. A result is handed out only for the same file, unchanged since
// it was read; anything else is dropped and the tick loads the file itself. Two
// slides are decoded ahead, at once, besides one a tick is still waiting for.
class SlideLookAhead {
public:
    // One slide ahead leaves a photo that takes longer than an interval to decode
    // (a large progressive JPEG at "Fastest") late; two give it two intervals, and
    // the two decodes share the machine's cores.
    static constexpr int kSlidesAhead = 2;

    // A compressed picture this large costs more to decode than a tick can spare
    // twice (a 24-megapixel photo is several times that).
    static constexpr qint64 kLargeSlide = qint64(1) << 20;

    SlideLookAhead(PictureCache &cache, PictureSource &pictures, const FileSystem &files);

    // Starts reading paths, the first first; with a screen size, also makes ready the
    // raster of each picture fitted into that size. Whatever else was read ahead is
    // let go.
    void prepare(const QStringList &paths, std::optional<QSize> fitInto = std::nullopt);
    // The picture read ahead for path, or null when there is none ready for it.
    [[nodiscard]] PictureRef take(const QString &path);
    // The slide's picture: the one read ahead, or else read now (fitted into fitInto,
    // when given). Null when the file is no picture, without a second read when the
    // read ahead found that and the file is unchanged since.
    [[nodiscard]] PictureRef slide(const QString &path,
                                   std::optional<QSize> fitInto = std::nullopt);
    // Whether a slide is still being read.
    [[nodiscard]] bool isReading() const { return m_cache.isReading(); }
    // Decodes still running, a dropped one included.
    [[nodiscard]] int decodesUnderWay() const { return m_cache.decodesUnderWay(); }
    // When path is a large file still being read, show runs once that read ends
    // (whatever its outcome) and true is returned: a tick that comes before its slide
    // is decoded shows it then, rather than reading the file a second time beside the
    // first. A small file is quicker read again on the tick.
    // False (nothing deferred) otherwise.
    [[nodiscard]] bool showWhenRead(const QString &path, std::function<void()> show);
    // Whether a tick's slide is still waited for.
    [[nodiscard]] bool isAwaiting() const { return !m_awaited.isEmpty(); }
    // While the show is paused nothing on screen may change: a waited-for slide whose
    // read ends meanwhile is kept for the first tick after the show goes on.
    void setPaused(bool paused) { m_paused = paused; }
    // Whether this tick belongs to the slide of an earlier tick rather than to the next
    // one. A slide still being read lets the tick pass, so that a slow slide delays
    // the show rather than being skipped; one read while the show was paused is shown
    // now.
    [[nodiscard]] bool awaitedSlideTakesTick();
    // One tick of a show: the marked file of the counter's rank goes to show now, or
    // to showLater when its decode under way ends; the counter moves on and the next
    // slide is read ahead (fitted into fitInto, when given).
    void step(const FileListBox &list, SlideCounters &slides, const std::function<void(int)> &show,
              std::function<void(int)> showLater, std::optional<QSize> fitInto = std::nullopt);
    // Reads ahead the marked files of the counter's rank and the ones after it, as
    // many as are left of kSlidesAhead.
    void prepareNext(const FileListBox &list, const SlideCounters &slides,
                     std::optional<QSize> fitInto = std::nullopt);
    // Drops whatever was read ahead, and the slide waited for; the next show starts
    // unpaused.
    void clear();

private:
    void readEnded(const QString &path);
    void showAwaited();

    PictureCache &m_cache;
    PictureSource &m_source;
    const FileSystem &m_files;
    // Receives the cache's news; gone with this object.
    QObject m_receiver;
    QString m_awaited;
    std::function<void()> m_showAwaited;
    bool m_awaitedRead = false;
    bool m_paused = false;
};
