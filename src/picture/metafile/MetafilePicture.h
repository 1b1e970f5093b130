#pragma once

#include "MetafileFormat.h"
#include "picture/Picture.h"

#include <QByteArray>
#include <QColor>
#include <QMutex>
#include <QString>
#include <memory>

namespace metafile {
struct WmfInfo;
struct EmfInfo;
} // namespace metafile

// A Windows metafile (WMF or EMF) shown by replaying its records onto QPainter, so
// that it stays sharp at any size. The bytes are kept; the file is never read again.
class MetafilePicture final : public Picture {
public:
    struct Stats {
        bool budgetExceeded = false;
        bool drewSomething = false;
    };

    // Null when the bytes are not a metafile or its framing is broken; whyNot says why.
    [[nodiscard]] static std::shared_ptr<const MetafilePicture> load(QByteArray bytes,
                                                                     QString *whyNot = nullptr);
    ~MetafilePicture() override;

    [[nodiscard]] QSize naturalSize() const override { return m_natural; }
    void draw(QPainter &painter, const QRectF &target) const override;
    [[nodiscard]] QImage toImage() const override;
    [[nodiscard]] qint64 heldBytes() const override;
    // Rendered afresh, leaving the rendering kept for the panel as it is.
    [[nodiscard]] QImage rasterAt(QSize deviceSize) const override { return render(deviceSize); }

    // Renders afresh into an image of the given size (white paper under the picture).
    [[nodiscard]] QImage render(QSize size, Stats *stats = nullptr, QColor paper = Qt::white) const;
    // Replays the records into target on any painter, without caching.
    void renderTo(QPainter &painter, const QRectF &target, Stats *stats = nullptr,
                  QColor paper = Qt::white) const;

    [[nodiscard]] metafile::MetafileKind kind() const { return m_kind; }
    [[nodiscard]] bool isEmf() const { return m_kind == metafile::MetafileKind::Emf; }
    // EMF+ records ride in comments; only the plain records are drawn.
    [[nodiscard]] bool hasEmfPlus() const;
    [[nodiscard]] bool isEmfPlusOnly() const;
    // True for a WMF that carries an EMF, which is drawn instead of its own records.
    [[nodiscard]] bool hasEmbeddedEmf() const { return m_embeddedEmf != nullptr; }
    // False for a file that only changes state and never draws.
    [[nodiscard]] bool hasDrawingRecords() const;

    // Limits on the drawing work of one replay.
    static constexpr qint64 kWorkBudget = 2'000'000;

private:
    MetafilePicture() = default;
    void adoptEmbeddedEmf();

    QByteArray m_bytes;
    metafile::MetafileKind m_kind = metafile::MetafileKind::None;
    std::unique_ptr<metafile::WmfInfo> m_wmf;
    std::unique_ptr<metafile::EmfInfo> m_emf;
    QByteArray m_embeddedBytes; // an EMF carried inside a WMF
    std::unique_ptr<metafile::EmfInfo> m_embeddedEmf;
    QSize m_natural;

    struct Cache {
        QRect visible; // device pixels the image covers
        QRectF target; // target in device pixels it was made for
        QImage image;
    };
    mutable QMutex m_cacheLock;
    mutable Cache m_cache;
};
