#include "PictureLookAhead.h"

#include "picture/JpegPicture.h"
#include "picture/ScaledPicture.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/PictureSource.h"

#include <algorithm>

namespace {

// What a decoded picture keeps in memory: its rasters, and for a JPEG the file's
// bytes it decodes them from.
qint64 heldBytes(const Picture &picture, qint64 fileLength)
{
    if (const auto *jpeg = dynamic_cast<const picture::JpegPicture *>(&picture))
        return jpeg->stats().cachedBytes + fileLength;
    if (dynamic_cast<const picture::DecodedPicture *>(&picture)) {
        const QSize natural = picture.naturalSize();
        qint64 bytes = qint64(natural.width()) * natural.height() * 4;
        if (const auto fitted = picture::ScaledPicture::panelFitSize(natural, 1.0))
            bytes += qint64(fitted->width()) * fitted->height() * 4;
        return bytes;
    }
    return fileLength;
}

} // namespace

PictureLookAhead::PictureLookAhead(PictureSource &pictures, const FileSystem &files,
                                   QObject *parent)
    : QObject(parent), m_pictures(pictures), m_files(files)
{
    // The decodes ahead, and room for one the user is waiting for.
    m_pool.setMaxThreadCount(kParallel + 1);
}

PictureLookAhead::~PictureLookAhead()
{
    clear();
    m_pool.waitForDone();
}

std::optional<PictureLookAhead::FileStamp> PictureLookAhead::stampOf(const QString &path) const
{
    const std::optional<qint64> length = m_files.fileLength(path);
    const std::optional<QDateTime> modified = m_files.lastModified(path);
    if (!length || !modified)
        return std::nullopt;
    return FileStamp{*length, *modified};
}

void PictureLookAhead::want(const QStringList &paths, Preparation prepare, int preparationKey,
                            int parallel)
{
    if (!m_enabled)
        return;
    m_parallel = parallel;
    if (preparationKey != m_preparationKey) {
        for (const QString &path : m_entries.keys()) {
            if (path != m_shown)
                forget(path);
        }
    }
    m_prepare = std::move(prepare);
    m_preparationKey = preparationKey;
    m_wanted = paths;
    m_wanted.removeDuplicates();
    for (const QString &path : m_entries.keys()) {
        if (path != m_shown && !m_wanted.contains(path))
            forget(path);
    }
    keepWithinBudget();
    startNext();
}

void PictureLookAhead::hurry(const QString &path)
{
    if (!m_enabled)
        return;
    m_wanted.removeAll(path);
    m_wanted.prepend(path);
    if (find(path).state == State::Unknown)
        (void)start(path);
}

PictureLookAhead::Found PictureLookAhead::find(const QString &path)
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return {};
    if (it->state == State::Reading && !settle(*it))
        return {State::Reading, {}};
    if (stampOf(path) != std::optional<FileStamp>(it->stamp)) {
        forget(path);
        return {};
    }
    return {it->state, it->picture};
}

PictureRef PictureLookAhead::take(const QString &path)
{
    const Found found = find(path);
    if (found.state == State::Ready) {
        forget(path);
        // Handed out: not to be decoded again when the next decode ends.
        m_wanted.removeAll(path);
    }
    return found.picture;
}

void PictureLookAhead::keepShown(const QString &path, PictureRef picture)
{
    if (!m_enabled || !picture)
        return;
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp)
        return;
    forget(path);
    m_entries.insert(path,
                     Entry{State::Ready, *stamp, picture, heldBytes(*picture, stamp->length), {}});
    m_shown = path;
    keepWithinBudget();
}

void PictureLookAhead::clear()
{
    for (const QString &path : m_entries.keys())
        forget(path);
    m_wanted.clear();
    m_shown.clear();
}

void PictureLookAhead::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        clear();
}

void PictureLookAhead::setBudget(qint64 bytes)
{
    m_budget = bytes;
    keepWithinBudget();
}

qint64 PictureLookAhead::keptBytes() const
{
    qint64 total = 0;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
        if (it.key() != m_shown && it->state == State::Ready)
            total += it->bytes;
    }
    return total;
}

bool PictureLookAhead::isReading() const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [](const Entry &entry) { return entry.state == State::Reading; });
}

void PictureLookAhead::forget(const QString &path)
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return;
    if (it->job)
        it->job->cancelled = true;
    m_entries.erase(it);
    if (path == m_shown)
        m_shown.clear();
}

void PictureLookAhead::keepWithinBudget()
{
    // Counted in the order wanted, a decode not yet done at its file's length; the
    // first wanted file is the one the user is on, and is never let go.
    qint64 used = 0;
    for (int i = 0; i < m_wanted.size(); ++i) {
        const QString &path = m_wanted.at(i);
        if (path == m_shown)
            continue;
        qint64 bytes = 0;
        const auto it = m_entries.constFind(path);
        if (it != m_entries.constEnd())
            bytes = it->state == State::Ready ? it->bytes : it->stamp.length;
        else
            bytes = m_files.fileLength(path).value_or(0);
        used += bytes;
        if (i > 0 && used > m_budget) {
            for (int j = i; j < m_wanted.size(); ++j) {
                if (m_wanted.at(j) != m_shown)
                    forget(m_wanted.at(j));
            }
            m_wanted.erase(m_wanted.begin() + i, m_wanted.end());
            return;
        }
    }
}

void PictureLookAhead::startNext()
{
    for (const QString &path : std::as_const(m_wanted)) {
        if (m_running >= m_parallel)
            return;
        if (!m_entries.contains(path))
            (void)start(path);
    }
}

bool PictureLookAhead::start(const QString &path)
{
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp) {
        // Gone already: whoever asks for it finds out by reading it.
        m_entries.insert(path, Entry{State::Failed, FileStamp{}, nullptr, 0, {}});
        return false;
    }
    auto job = std::make_shared<Job>();
    m_entries.insert(path, Entry{State::Reading, *stamp, nullptr, 0, job});
    ++m_running;
    m_pool.start([this, path, job, prepare = m_prepare, pictures = &m_pictures] {
        PictureRef picture;
        if (!job->cancelled) {
            picture = pictures->load(path, nullptr, prepare.drawnSize);
            if (picture && prepare.draw && !job->cancelled)
                prepare.draw(*picture);
        }
        {
            QMutexLocker lock(&job->lock);
            job->picture = std::move(picture);
            job->ended = true;
        }
        QMetaObject::invokeMethod(
            this, [this, path, job] { done(path, job); }, Qt::QueuedConnection);
    });
    return true;
}

bool PictureLookAhead::settle(Entry &entry)
{
    PictureRef picture;
    {
        QMutexLocker lock(&entry.job->lock);
        if (!entry.job->ended)
            return false;
        picture = std::move(entry.job->picture);
    }
    entry.state = picture ? State::Ready : State::Failed;
    entry.bytes = picture ? heldBytes(*picture, entry.stamp.length) : 0;
    entry.picture = std::move(picture);
    entry.job.reset();
    return true;
}

void PictureLookAhead::done(const QString &path, const std::shared_ptr<Job> &job)
{
    --m_running;
    const auto it = m_entries.find(path);
    // A decode nobody wants was cancelled when its entry was let go. One still wanted
    // may have been taken in already by find().
    if (!job->cancelled && it != m_entries.end()) {
        if (it->job == job)
            (void)settle(*it);
        keepWithinBudget();
        Q_EMIT finished(path);
    }
    startNext();
    if (m_running == 0)
        Q_EMIT settled();
}
