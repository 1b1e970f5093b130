#pragma once

#include "picture/Picture.h"
#include "platform/desktop/FileSystem.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

class DecodePool;
class PictureSource;

// The pictures decoded ahead, for the browser and the slide shows alike: decoded on
// the pool, kept within one memory budget until they are asked for. A picture is
// handed out only while its file is unchanged (length and modification time) since it
// was read; a file that failed to decode is remembered as a failure, never as a
// picture. Everything but the decoding itself runs on the thread that owns it.
class PictureCache : public QObject {
    Q_OBJECT

public:
    struct Preparation {
        // Runs on a worker after a successful decode, so that the rasters the picture
        // will be drawn from are ready; it may touch nothing but the picture.
        std::function<void(const Picture &)> draw;
        // Where known, the size that drawing is at, so that the loader decodes for it
        // at once.
        DrawnSize drawnSize;
    };

    enum class State { Unknown, Reading, Ready, Failed };
    struct Found {
        State state = State::Unknown;
        PictureRef picture;   // set when Ready
        bool hurried = false; // read as the picture wanted now
    };

    static constexpr qint64 kDefaultBudget = qint64(160) << 20;
    // Decodes ahead at once; one more may be hurried.
    static constexpr int kParallel = 2;

    PictureCache(DecodePool &pool, PictureSource &pictures, const FileSystem &files);
    ~PictureCache() override;

    // The files wanted, the most wanted first. Whatever is kept for other files is
    // let go, and so are the wanted ones beyond the budget; a decode nobody wants any
    // more is cancelled, or dropped when it ends. Files are decoded in this order.
    // A different preparationKey drops what was prepared for the earlier one.
    // At most parallel decodes run at once, those nobody wants any more included.
    void want(const QStringList &paths, Preparation prepare = {}, int preparationKey = 0,
              int parallel = kParallel);
    // Starts decoding path at once, ahead of every other decode; path joins the front
    // of the wanted files.
    void hurry(const QString &path);
    // What is known of path; a kept picture or failure whose file changed or went
    // away since it was read is forgotten and reported Unknown.
    [[nodiscard]] Found find(const QString &path);
    // find(), then forgets path, which is no longer wanted either.
    [[nodiscard]] PictureRef take(const QString &path);
    // Keeps the picture the user is looking at, outside the budget, so that it is
    // ready when the user comes back to it; the one kept before goes under the budget.
    void keepShown(const QString &path, PictureRef picture);
    // Lets everything go; decodes under way end unseen.
    void clear();

    void setEnabled(bool enabled);
    [[nodiscard]] bool isEnabled() const { return m_enabled; }
    void setBudget(qint64 bytes);
    [[nodiscard]] qint64 budget() const { return m_budget; }
    // The bytes the kept pictures hold, the shown one left out.
    [[nodiscard]] qint64 keptBytes() const;
    // Decodes still running, wanted or not.
    [[nodiscard]] int decodesUnderWay() const { return m_running; }
    // Whether a decode of a wanted file is under way.
    [[nodiscard]] bool isReading() const;

Q_SIGNALS:
    // A decode of path ended; find() tells how.
    void finished(const QString &path);
    // The last decode under way ended and nothing wanted is left to decode.
    void settled();

private:
    // One decode on a worker, which sets ended once picture is in place and touches
    // neither after that: the hand-over takes no lock.
    struct Job {
        std::atomic<bool> cancelled = false;
        std::atomic<bool> ended = false;
        PictureRef picture;
        quint64 id = 0;
    };
    struct Entry {
        State state = State::Unknown;
        FileStamp stamp;
        PictureRef picture;
        qint64 bytes = 0;
        std::shared_ptr<Job> job; // while Reading
        bool hurried = false;
    };
    // False when the file is gone and nothing was started.
    [[nodiscard]] bool start(const QString &path, bool hurried);
    void startNext();
    void done(const QString &path, const std::shared_ptr<Job> &job);
    // Takes in the result of a decode that has ended, if it has; false otherwise.
    static bool settle(Entry &entry);
    void keepWithinBudget();
    void forget(const QString &path);

    DecodePool &m_pool;
    PictureSource &m_pictures;
    const FileSystem &m_files;
    QStringList m_wanted;
    QHash<QString, Entry> m_entries;
    QString m_shown;
    Preparation m_prepare;
    int m_preparationKey = 0;
    qint64 m_budget = kDefaultBudget;
    int m_running = 0;
    int m_parallel = kParallel;
    bool m_enabled = true;
};
