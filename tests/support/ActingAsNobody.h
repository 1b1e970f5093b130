#pragma once

#include <unistd.h>

// Permissions refuse nothing to root, so a test running as root acts as nobody while
// it needs a refusal. Nobody must be able to reach what the test uses: group and
// others need the permissions, as nobody keeps none of root's groups.
struct ActingAsNobody {
    ActingAsNobody() = default;
    ActingAsNobody(const ActingAsNobody &) = delete;
    ~ActingAsNobody()
    {
        if (switched)
            (void)::seteuid(0);
    }
    [[nodiscard]] bool refusalsApply() const { return !wasRoot || switched; }

    const bool wasRoot = ::geteuid() == 0;
    const bool switched = wasRoot && ::seteuid(65534) == 0;
};
