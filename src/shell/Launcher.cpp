#include "LargePages.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>

// The program a user starts. It asks for large pages and then becomes the viewer, which
// so starts once with the setting in place: a viewer starting itself again would load
// the whole toolkit twice. Only the C library is used, so this costs well under a
// millisecond.
int main(int argc, char *argv[])
{
    (void)argc;
    static constexpr char kViewer[] = QUORVEL_VIEWER_FROM_LAUNCHER;
    char path[PATH_MAX];
    const ssize_t room = sizeof path - sizeof kViewer;
    const ssize_t length = readlink("/proc/self/exe", path, room);
    if (length > 0 && length < room)
        path[length] = '\0';
    char *slash = length > 0 && length < room ? std::strrchr(path, '/') : nullptr;
    if (!slash) {
        std::fprintf(stderr, "quorvel: cannot find the folder it is installed in\n");
        return 127;
    }
    std::memcpy(slash + 1, kViewer, sizeof kViewer);
    askForLargePages();
    // The viewer keeps the name it was started under, so its window and its messages are
    // the same whichever way it was started.
    execv(path, argv);
    std::fprintf(stderr, "quorvel: cannot start %s: %s\n", path, std::strerror(errno));
    return 127;
}
