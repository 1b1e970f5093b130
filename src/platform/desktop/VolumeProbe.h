#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

// Asks whether a volume's root answers, on a thread of its own and with a time
// limit: an unreachable network mount blocks whoever touches it, for minutes, and
// that must never be the window. A volume that has not answered in time is not
// ready, and is not asked again until its last question has come back.
class VolumeProbe {
public:
    using Check = std::function<bool(const QString &root)>;

    explicit VolumeProbe(Check check = &rootAnswers,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(1500));
    ~VolumeProbe();
    VolumeProbe(const VolumeProbe &) = delete;
    VolumeProbe &operator=(const VolumeProbe &) = delete;

    [[nodiscard]] bool isReady(const QString &root);

    // The check itself: the root can be listed and its file system answers.
    [[nodiscard]] static bool rootAnswers(const QString &root);

private:
    struct Question;

    Check m_check;
    std::chrono::milliseconds m_limit;
    // Questions that got no answer in time, by root; their threads may still be stuck.
    std::map<QString, std::shared_ptr<Question>> m_unanswered;
};
