#pragma once

#include "platform/desktop/PictureSource.h"

#include <QDateTime>
#include <QMutex>
#include <future>
#include <optional>

// The picture named on the command line, read while the toolkit and the main window
// are still being built (it asks nothing of the application), so that the start-up click finds it
// decoded. Every other path, or the same file changed since it was read, goes to the ordinary
// source.
class EarlyPicture final : public PictureSource {
public:
    // Starts reading path at once when it names a file; otherwise does nothing.
    EarlyPicture(PictureSource &ordinary, const QString &path);
    ~EarlyPicture() override;
    EarlyPicture(const EarlyPicture &) = delete;
    EarlyPicture &operator=(const EarlyPicture &) = delete;

    [[nodiscard]] PictureRef load(const QString &path, QString *failure = nullptr,
                                  const DrawnSize &drawnSize = {}) override;
    // Lets go of a picture the start-up never asked for.
    void release();

private:
    struct Stamp {
        qint64 length = -1;
        QDateTime modified;
        bool operator==(const Stamp &) const = default;
    };
    struct Read {
        PictureRef picture;
        QString failure;
    };
    [[nodiscard]] static std::optional<Stamp> stampOf(const QString &path);
    // The reader, when path (or, when empty, any path) is the one it reads; only once.
    [[nodiscard]] std::future<Read> takeRead(const QString &path);

    PictureSource &m_ordinary;
    QMutex m_lock;
    QString m_path; // canonical; empty once taken or when nothing is read
    Stamp m_stamp;
    std::future<Read> m_read;
};
