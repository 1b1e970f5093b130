#pragma once

#include "picture/Picture.h"

#include <QDateTime>
#include <QFuture>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <optional>

class FileSystem;
class PictureSource;

// Decodes the slide a show will need next off the user-interface thread, so that the
// tick only swaps it in. A result is handed out only for the same file, unchanged
// since it was read; anything else is dropped and the tick loads the file itself.
// At most one slide is decoded ahead.
class SlideLookAhead {
public:
    SlideLookAhead(PictureSource &pictures, const FileSystem &files);
    ~SlideLookAhead();

    // Starts reading path; with a screen size, also makes ready the raster of the
    // picture fitted into that size.
    void prepare(const QString &path, std::optional<QSize> fitInto = std::nullopt);
    // The picture read ahead for path, or null when there is none ready for it.
    [[nodiscard]] PictureRef take(const QString &path);
    // Whether a slide is still being read.
    [[nodiscard]] bool isReading() const { return m_future.isValid() && !m_future.isFinished(); }
    // Drops whatever was read ahead.
    void clear();

    // Off for measuring what it saves; every tick then loads its own slide.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    [[nodiscard]] bool isEnabled() const { return m_enabled; }

private:
    struct FileStamp {
        qint64 length = -1;
        QDateTime modified;
        bool operator==(const FileStamp &) const = default;
    };
    struct Prepared {
        PictureRef picture;
        FileStamp stamp;
    };
    [[nodiscard]] std::optional<FileStamp> stampOf(const QString &path) const;

    PictureSource &m_pictures;
    const FileSystem &m_files;
    QString m_path;
    QFuture<Prepared> m_future;
    // Bumped by every new request, so that a request still queued behind it is skipped.
    std::shared_ptr<std::atomic<int>> m_generation = std::make_shared<std::atomic<int>>(0);
    bool m_enabled = true;
    // Declared last: its destruction waits for the worker, which uses the members above.
    QThreadPool m_pool;
};
