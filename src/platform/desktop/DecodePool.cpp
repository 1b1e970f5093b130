#include "DecodePool.h"

#include <QThread>
#include <algorithm>

// Deleted on the user-interface thread once its done has run; never by the pool.
class DecodePool::Task final : public QRunnable {
public:
    Task(DecodePool &pool, quint64 id, std::function<void()> work)
        : m_pool(pool), m_id(id), m_work(std::move(work))
    {
        setAutoDelete(false);
    }

    void run() override
    {
        m_work();
        // The last use of this task on the worker: it may be deleted from here on.
        QMetaObject::invokeMethod(
            &m_pool, [pool = &m_pool, id = m_id] { pool->finish(id); }, Qt::QueuedConnection);
    }

private:
    DecodePool &m_pool;
    const quint64 m_id;
    const std::function<void()> m_work;
};

int DecodePool::machineThreads()
{
    return std::clamp(QThread::idealThreadCount(), 2, 8) + 1;
}

DecodePool::DecodePool(int threads)
{
    m_threads.setMaxThreadCount(threads);
}

DecodePool::~DecodePool()
{
    stop();
    for (const Started &started : std::as_const(m_started))
        delete started.task;
}

quint64 DecodePool::start(Priority priority, QObject *owner, std::function<void()> work,
                          std::function<void()> done)
{
    const quint64 id = ++m_lastId;
    auto *task = new Task(*this, id, std::move(work));
    m_started.insert(id, Started{task, owner, std::move(done)});
    m_threads.start(task, static_cast<int>(priority));
    return id;
}

void DecodePool::cancel(quint64 id)
{
    const auto it = m_started.constFind(id);
    if (it == m_started.constEnd() || !m_threads.tryTake(it->task))
        return;
    QMetaObject::invokeMethod(
        this, [this, id] { finish(id); }, Qt::QueuedConnection);
}

void DecodePool::stop()
{
    m_threads.clear();
    m_threads.waitForDone();
}

void DecodePool::finish(quint64 id)
{
    const Started started = m_started.take(id);
    delete started.task;
    if (started.owner && started.done)
        started.done();
}
