#include "VolumeProbe.h"

#include <QFile>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>

struct VolumeProbe::Question {
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    bool ready = false;
};

VolumeProbe::VolumeProbe(Check check, std::chrono::milliseconds limit)
    : m_check(std::move(check)), m_limit(limit)
{
}

// The threads of unanswered questions own what they use and end on their own.
VolumeProbe::~VolumeProbe() = default;

bool VolumeProbe::isReady(const QString &root)
{
    if (const auto it = m_unanswered.find(root); it != m_unanswered.end()) {
        const std::lock_guard<std::mutex> guard(it->second->lock);
        if (!it->second->done)
            return false; // still stuck: one waiting thread per volume is enough
    }
    m_unanswered.erase(root);

    auto question = std::make_shared<Question>();
    std::thread([question, check = m_check, root] {
        const bool ready = check(root);
        const std::lock_guard<std::mutex> guard(question->lock);
        question->ready = ready;
        question->done = true;
        question->answered.notify_all();
    }).detach();

    std::unique_lock<std::mutex> wait(question->lock);
    if (question->answered.wait_for(wait, m_limit, [&] { return question->done; }))
        return question->ready;
    wait.unlock();
    m_unanswered.emplace(root, std::move(question));
    return false;
}

bool VolumeProbe::rootAnswers(const QString &root)
{
    const QByteArray path = QFile::encodeName(root);
    struct stat info {};
    struct statfs volume {};
    return ::access(path.constData(), R_OK | X_OK) == 0 && ::stat(path.constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && ::statfs(path.constData(), &volume) == 0;
}
