#include "LargePages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char *kName = "GLIBC_TUNABLES";
// The variable as the user had it (empty when unset), for the programs the viewer starts.
constexpr const char *kUsers = "QUORVEL_USERS_GLIBC_TUNABLES";
constexpr const char *kTunable = "glibc.malloc.hugetlb";
// The heap then grows 8 MB at a time. Grown by the few hundred kilobytes it needs at a
// time, its newest part never spans a whole aligned 2 MB range when first touched, and
// the start-up's many small blocks land on 4 KB pages after all. The first picture comes
// a tenth sooner; each thread's heap then holds whole 2 MB pages, some 15 MB in all.
constexpr const char *kPadTunable = "glibc.malloc.top_pad";
constexpr const char *kPad = "glibc.malloc.top_pad=8388608";

// "never" when the kernel offers no transparent huge pages at all.
bool systemHasLargePages()
{
    const int file = open("/sys/kernel/mm/transparent_hugepage/enabled", O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    char modes[128] = {};
    const ssize_t length = read(file, modes, sizeof modes - 1);
    close(file);
    return length > 0 && !std::strstr(modes, "[never]");
}

} // namespace

bool askForLargePages()
{
#if defined(__linux__) && defined(__GLIBC__)
    const char *current = std::getenv(kName);
    if (current && !*current)
        current = nullptr;
    if ((current && std::strstr(current, kTunable)) || !systemHasLargePages())
        return false;
    const bool padded = current && std::strstr(current, kPadTunable);
    // Plain C strings: the launcher has only the C library.
    const std::size_t size = (current ? std::strlen(current) + 1 : 0) + std::strlen(kTunable) + 3 +
                             std::strlen(kPad) + 1;
    char *wanted = static_cast<char *>(std::malloc(size));
    if (!wanted)
        return false;
    std::snprintf(wanted, size, "%s%s%s=1%s%s", current ? current : "", current ? ":" : "",
                  kTunable, padded ? "" : ":", padded ? "" : kPad);
    const bool asked =
        setenv(kUsers, current ? current : "", 1) == 0 && setenv(kName, wanted, 1) == 0;
    std::free(wanted);
    if (!asked)
        giveBackUsersTunables();
    return asked;
#else
    return false;
#endif
}

void startAgainWithLargePages(char *argv[])
{
    if (askForLargePages())
        execv("/proc/self/exe", argv);
    // Still here: the setting is in place, or the program goes on as it was started.
    giveBackUsersTunables();
}

void giveBackUsersTunables()
{
    const char *users = std::getenv(kUsers);
    if (!users)
        return;
    if (*users)
        setenv(kName, users, 1);
    else
        unsetenv(kName);
    unsetenv(kUsers);
}
