#pragma once

#include <unistd.h>

// Permissions refuse nothing to root, so a test running as root acts as nobody while
// it needs a refusal. Nobody must be able to reach what the test uses: group and
// others need the permissions, as nobody keeps none of root's groups.
class ActingAsNobody {
public:
    ActingAsNobody() : m_wasRoot(::geteuid() == 0)
    {
        if (m_wasRoot)
            m_switched = ::seteuid(65534) == 0;
    }
    ActingAsNobody(const ActingAsNobody &) = delete;
    ActingAsNobody &operator=(const ActingAsNobody &) = delete;
    ~ActingAsNobody()
    {
        if (m_switched)
            (void)::seteuid(0);
    }
    [[nodiscard]] bool refusalsApply() const { return !m_wasRoot || m_switched; }

private:
    bool m_wasRoot;
    bool m_switched = false;
};
