#pragma once

#include "picture/Picture.h"

#include <QDateTime>
#include <QFuture>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class FileSystem;
class PictureSource;

// While a picture is on the panel, makes the raster the full-screen view will draw
// it from, on a thread of its own. It reads the file afresh rather than drawing the
// shown picture, whose rasters the panel's own painting needs without waiting.
class ScreenAhead {
public:
    ScreenAhead(PictureSource &pictures, const FileSystem &files);
    ~ScreenAhead();

    // Starts on the raster of path's picture (shown on the panel as shown) fitted
    // into a screen area of that size; a picture that fits needs none. Asked again
    // for the same picture, it goes on with what it has.
    void prepare(const QString &path, const PictureRef &shown, QSize area, qreal pixelRatio);
    // The shown picture, drawing from the raster made ahead when it is ready and its
    // file unchanged. While that raster is still being made, the coarse raster the
    // picture was loaded with, enlarged, when it has one; otherwise shown itself.
    [[nodiscard]] PictureRef pictureFor(const PictureRef &shown) const;
    // Whether the raster for shown is ready.
    [[nodiscard]] bool isReadyFor(const PictureRef &shown) const;
    // Whether pictureFor(shown) is a stand-in until the raster is made; then ready
    // runs on context's thread once it is (or once it has failed).
    [[nodiscard]] bool standsInFor(const PictureRef &shown) const;
    void whenMade(QObject *context, std::function<void()> ready);
    void clear();

private:
    struct FileStamp {
        qint64 length = -1;
        QDateTime modified;
        bool operator==(const FileStamp &) const = default;
    };
    [[nodiscard]] std::optional<FileStamp> stampOf(const QString &path) const;

    PictureSource &m_pictures;
    const FileSystem &m_files;
    QString m_path;
    FileStamp m_stamp;
    std::weak_ptr<const Picture> m_shown;
    QFuture<QImage> m_raster;
    std::shared_ptr<std::atomic<int>> m_generation = std::make_shared<std::atomic<int>>(0);
    // Declared last: its destruction waits for the worker, which uses the members above.
    QThreadPool m_pool;
};
