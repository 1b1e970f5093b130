#include "LargePages.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// "never" when the kernel offers no transparent huge pages at all.
bool systemHasLargePages()
{
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    return std::getline(setting, modes) && modes.find("[never]") == std::string::npos;
}

} // namespace

void startAgainWithLargePages(char *argv[])
{
#if defined(__linux__) && defined(__GLIBC__)
    constexpr const char *kName = "GLIBC_TUNABLES";
    constexpr const char *kTunable = "glibc.malloc.hugetlb";
    const char *current = std::getenv(kName);
    if ((current && std::strstr(current, kTunable)) || !systemHasLargePages())
        return;
    const std::string before = current ? current : "";
    const std::string wanted = (before.empty() ? std::string() : before + ":") + kTunable + "=1";
    if (setenv(kName, wanted.c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // Still here: the program goes on as it was started, and so do the ones it starts.
    if (current)
        setenv(kName, before.c_str(), 1);
    else
        unsetenv(kName);
#else
    (void)argv;
#endif
}
