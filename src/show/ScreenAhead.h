#pragma once

#include "picture/Picture.h"
#include "platform/desktop/FileSystem.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class DecodePool;

// While a picture is on the panel, makes the raster the full-screen view will draw
// it from, on the decode pool, after anything wanted sooner. The picture makes it
// afresh, leaving the rasters the panel draws from as they are.
class ScreenAhead : public QObject {
public:
    ScreenAhead(DecodePool &pool, const FileSystem &files);
    ~ScreenAhead() override;

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
    // One raster under way; written on the worker, read here once its decode is done.
    struct Raster {
        QImage image;
        bool made = false;
        quint64 job = 0;
        std::vector<std::pair<QPointer<QObject>, std::function<void()>>> whenMade;
    };
    [[nodiscard]] bool isCurrent(const PictureRef &shown) const;

    DecodePool &m_pool;
    const FileSystem &m_files;
    QString m_path;
    FileStamp m_stamp;
    std::weak_ptr<const Picture> m_shown;
    std::shared_ptr<Raster> m_raster;
};
