#include "EarlyPicture.h"

#include "picture/PictureLoader.h"
#include "picture/ScaledPicture.h"

#include <QFileInfo>

EarlyPicture::EarlyPicture(PictureSource &ordinary, const QString &path) : m_ordinary(ordinary)
{
    const QFileInfo info(path);
    const std::optional<Stamp> stamp = stampOf(path);
    if (path.isEmpty() || !info.isFile() || !stamp)
        return;
    m_path = info.canonicalFilePath();
    m_stamp = *stamp;
    m_read = std::async(std::launch::async, [file = m_path] {
        // Started before the application is built: the reader must not ask it.
        const picture::ScaledPicture::PlainPixels plain;
        LoadResult result = PictureLoader::loadFile(file);
        return Read{std::move(result.picture), std::move(result.failure)};
    });
}

EarlyPicture::~EarlyPicture()
{
    release();
}

void EarlyPicture::release()
{
    std::future<Read> read = takeRead({});
    // A start that ends before the click (another copy is running) lets the reader
    // finish first: the picture it makes belongs to no one.
    if (read.valid())
        (void)read.get();
}

std::optional<EarlyPicture::Stamp> EarlyPicture::stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    return Stamp{info.size(), info.lastModified()};
}

std::future<EarlyPicture::Read> EarlyPicture::takeRead(const QString &path)
{
    // Neighbours read ahead on other threads ask for their files here too.
    QMutexLocker lock(&m_lock);
    if (m_path.isEmpty() || (!path.isEmpty() && QFileInfo(path).canonicalFilePath() != m_path))
        return {};
    m_path.clear();
    return std::move(m_read);
}

PictureRef EarlyPicture::load(const QString &path, QString *failure, const DrawnSize &drawnSize)
{
    std::future<Read> early = takeRead(path);
    if (!early.valid())
        return m_ordinary.load(path, failure, drawnSize);
    // The start-up click comes before the window is first shown and would read the
    // same file itself, so waiting here for the reader never costs more than that.
    Read read = early.get();
    if (stampOf(path) != std::optional<Stamp>(m_stamp))
        return m_ordinary.load(path, failure, drawnSize);
    if (failure)
        *failure = read.failure;
    return std::move(read.picture);
}
