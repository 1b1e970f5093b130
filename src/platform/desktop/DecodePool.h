#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>

// The one pool of threads that pictures are decoded on, away from the user-interface
// thread. The picture the user waits for goes first, then the neighbours read ahead,
// then the rasters made ahead for later; a decode nobody wants any more is taken out
// of the queue before it starts. Whatever a decode makes is handed back on the
// user-interface thread, to an owner that is still there.
class DecodePool : public QObject {
    Q_OBJECT

public:
    enum class Priority { Ahead, Neighbour, Now };

    // The machine's cores (two to eight), and one more, so that the picture waited
    // for never queues behind the neighbours decoded ahead.
    [[nodiscard]] static int machineThreads();

    explicit DecodePool(int threads = machineThreads());
    ~DecodePool() override;
    DecodePool(const DecodePool &) = delete;
    DecodePool &operator=(const DecodePool &) = delete;

    // Runs work on a worker, then done on this object's thread, unless owner has been
    // destroyed by then. work holds what it uses by value, or points only at what
    // outlives the pool. The number returned cancels it.
    quint64 start(Priority priority, QObject *owner, std::function<void()> work,
                  std::function<void()> done);
    // Takes the decode out of the queue when no worker has begun it: its work never
    // runs, its done still does. One under way runs to its end.
    void cancel(quint64 id);
    // Drops whatever is queued and waits for the decodes under way: before the toolkit
    // ends, as a picture drawn on a worker may still ask it for fonts.
    void stop();

private:
    class Task;
    struct Started {
        Task *task;
        QPointer<QObject> owner;
        std::function<void()> done;
    };
    void finish(quint64 id);

    QThreadPool m_threads;
    QHash<quint64, Started> m_started; // until done has run
    quint64 m_lastId = 0;
};
