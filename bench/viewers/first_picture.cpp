// Times a picture viewer from its start to the first screen that shows the picture.
//
// Usage: first_picture R G B MIN_PIXELS TIMEOUT_MS -- COMMAND [ARGUMENTS...]
//
// Starts COMMAND, then reads the whole X screen over and over until at least MIN_PIXELS
// of it (counting every second pixel of every second row) are within a small distance
// of the colour R G B, and prints the milliseconds that took. The viewer is ended
// afterwards. Exit status 1 when the colour never appeared.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

long matchingPixels(Display *display, Window root, int width, int height, int r, int g, int b)
{
    XImage *image = XGetImage(display, root, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    long count = 0;
    for (int y = 0; y < height; y += 2) {
        for (int x = 0; x < width; x += 2) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const int dr = int((pixel >> 16) & 0xff) - r;
            const int dg = int((pixel >> 8) & 0xff) - g;
            const int db = int(pixel & 0xff) - b;
            if (std::abs(dr) < 24 && std::abs(dg) < 24 && std::abs(db) < 24)
                ++count;
        }
    }
    XDestroyImage(image);
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 8 || std::string_view(argv[6]) != "--") {
        std::fprintf(stderr, "usage: first_picture R G B MIN_PIXELS TIMEOUT_MS -- COMMAND...\n");
        return 2;
    }
    const int r = std::atoi(argv[1]), g = std::atoi(argv[2]), b = std::atoi(argv[3]);
    const long wanted = std::atol(argv[4]);
    const auto timeout = std::chrono::milliseconds(std::atol(argv[5]));
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "first_picture: no display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    if (matchingPixels(display, root, attributes.width, attributes.height, r, g, b) >= wanted) {
        std::fprintf(stderr, "first_picture: the colour is on the screen already\n");
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        execvp(argv[7], argv + 7);
        _exit(127);
    }
    int status = 1;
    while (std::chrono::steady_clock::now() - start < timeout) {
        if (matchingPixels(display, root, attributes.width, attributes.height, r, g, b) >= wanted) {
            const auto elapsed =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
            std::printf("%.0f\n", elapsed.count());
            status = 0;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(-child, SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(-child, SIGKILL);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    if (status != 0)
        std::fprintf(stderr, "first_picture: the picture did not appear\n");
    return status;
}
