#include "PictureCache.h"

#include "picture/ScaledPicture.h"
#include "platform/desktop/DecodePool.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/PictureSource.h"

#include <algorithm>

PictureCache::PictureCache(DecodePool &pool, PictureSource &pictures, const FileSystem &files)
    : m_pool(pool), m_pictures(pictures), m_files(files)
{
}

PictureCache::~PictureCache()
{
    clear();
}

void PictureCache::want(const QStringList &paths, Preparation prepare, int preparationKey,
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

void PictureCache::hurry(const QString &path)
{
    if (!m_enabled)
        return;
    m_wanted.removeAll(path);
    m_wanted.prepend(path);
    if (find(path).state == State::Unknown)
        (void)start(path, true);
}

PictureCache::Found PictureCache::find(const QString &path)
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return {};
    if (it->state == State::Reading && !settle(*it))
        return {State::Reading, {}, it->hurried};
    if (m_files.stampOf(path) != std::optional<FileStamp>(it->stamp)) {
        forget(path);
        return {};
    }
    return {it->state, it->picture, it->hurried};
}

PictureRef PictureCache::take(const QString &path)
{
    const Found found = find(path);
    if (found.state == State::Ready) {
        forget(path);
        // Handed out: not to be decoded again when the next decode ends.
        m_wanted.removeAll(path);
    }
    return found.picture;
}

void PictureCache::keepShown(const QString &path, PictureRef picture)
{
    if (!m_enabled || !picture)
        return;
    const std::optional<FileStamp> stamp = m_files.stampOf(path);
    if (!stamp)
        return;
    forget(path);
    const qint64 bytes = picture->heldBytes();
    m_entries.insert(path, Entry{State::Ready, *stamp, std::move(picture), bytes, {}, false});
    m_shown = path;
    keepWithinBudget();
}

void PictureCache::clear()
{
    for (const QString &path : m_entries.keys())
        forget(path);
    m_wanted.clear();
    m_shown.clear();
}

void PictureCache::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        clear();
}

void PictureCache::setBudget(qint64 bytes)
{
    m_budget = bytes;
    keepWithinBudget();
}

qint64 PictureCache::keptBytes() const
{
    qint64 total = 0;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
        if (it.key() != m_shown && it->state == State::Ready)
            total += it->bytes;
    }
    return total;
}

bool PictureCache::isReading() const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [](const Entry &entry) { return entry.state == State::Reading; });
}

void PictureCache::forget(const QString &path)
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return;
    if (it->job) {
        it->job->cancelled = true;
        m_pool.cancel(it->job->id);
    }
    m_entries.erase(it);
    if (path == m_shown)
        m_shown.clear();
}

void PictureCache::keepWithinBudget()
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

void PictureCache::startNext()
{
    for (const QString &path : std::as_const(m_wanted)) {
        if (m_running >= m_parallel)
            return;
        if (!m_entries.contains(path))
            (void)start(path, false);
    }
}

bool PictureCache::start(const QString &path, bool hurried)
{
    const std::optional<FileStamp> stamp = m_files.stampOf(path);
    if (!stamp) {
        // Gone already: whoever asks for it finds out by reading it.
        m_entries.insert(path, Entry{State::Failed, FileStamp{}, nullptr, 0, {}, false});
        return false;
    }
    auto job = std::make_shared<Job>();
    m_entries.insert(path, Entry{State::Reading, *stamp, nullptr, 0, job, hurried});
    ++m_running;
    const auto work = [path, job, prepare = m_prepare, pictures = &m_pictures] {
        PictureRef picture;
        if (!job->cancelled) {
            // The picture named on the command line is read before the application
            // exists: nothing here may ask it about screens.
            const picture::ScaledPicture::PlainPixels plain;
            picture = pictures->load(path, nullptr, prepare.drawnSize);
            if (picture && prepare.draw && !job->cancelled)
                prepare.draw(*picture);
        }
        job->picture = std::move(picture);
        job->ended.store(true, std::memory_order_release);
    };
    job->id = m_pool.start(hurried ? DecodePool::Priority::Now : DecodePool::Priority::Neighbour,
                           this, work, [this, path, job] { done(path, job); });
    return true;
}

bool PictureCache::settle(Entry &entry)
{
    if (!entry.job->ended.load(std::memory_order_acquire))
        return false;
    PictureRef picture = std::move(entry.job->picture);
    entry.state = picture ? State::Ready : State::Failed;
    entry.bytes = picture ? picture->heldBytes() : 0;
    entry.picture = std::move(picture);
    entry.job.reset();
    return true;
}

void PictureCache::done(const QString &path, const std::shared_ptr<Job> &job)
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
