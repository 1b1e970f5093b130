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
#include <X11/extensions/XShm.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The screen is read into shared memory and its pixels counted in place: the timer
// polls every few milliseconds, and what it spends there is taken from the two cores
// the viewer under test runs on.
class ScreenReader {
public:
    ScreenReader(Display *display, Window root, int width, int height)
        : m_display(display), m_root(root), m_width(width), m_height(height)
    {
        const int screen = DefaultScreen(display);
        if (!XShmQueryExtension(display))
            return;
        m_image =
            XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen),
                            ZPixmap, nullptr, &m_segment, width, height);
        if (!m_image)
            return;
        m_segment.shmid =
            shmget(IPC_PRIVATE, m_image->bytes_per_line * m_image->height, IPC_CREAT | 0600);
        m_segment.shmaddr = m_image->data = static_cast<char *>(shmat(m_segment.shmid, nullptr, 0));
        m_segment.readOnly = False;
        XShmAttach(display, &m_segment);
        XSync(display, False);
        shmctl(m_segment.shmid, IPC_RMID, nullptr);
    }
    ~ScreenReader()
    {
        if (!m_image)
            return;
        XShmDetach(m_display, &m_segment);
        XDestroyImage(m_image);
        shmdt(m_segment.shmaddr);
    }
    ScreenReader(const ScreenReader &) = delete;
    ScreenReader &operator=(const ScreenReader &) = delete;

    long matchingPixels(int r, int g, int b)
    {
        XImage *image = m_image;
        if (image && !XShmGetImage(m_display, m_root, image, 0, 0, AllPlanes))
            return 0;
        if (!image)
            image = XGetImage(m_display, m_root, 0, 0, m_width, m_height, AllPlanes, ZPixmap);
        if (!image)
            return 0;
        long count = 0;
        const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xff0000 &&
                            image->green_mask == 0xff00 && image->blue_mask == 0xff;
        for (int y = 0; y < m_height; y += 2) {
            const auto *row =
                reinterpret_cast<const uint32_t *>(image->data + y * image->bytes_per_line);
            for (int x = 0; x < m_width; x += 2) {
                const unsigned long pixel = direct ? row[x] : XGetPixel(image, x, y);
                const int dr = int((pixel >> 16) & 0xff) - r;
                const int dg = int((pixel >> 8) & 0xff) - g;
                const int db = int(pixel & 0xff) - b;
                if (std::abs(dr) < 24 && std::abs(dg) < 24 && std::abs(db) < 24)
                    ++count;
            }
        }
        if (image != m_image)
            XDestroyImage(image);
        return count;
    }

private:
    Display *m_display;
    Window m_root;
    int m_width;
    int m_height;
    XImage *m_image = nullptr;
    XShmSegmentInfo m_segment{};
};

int timeStart(Display *display, Window root, const XWindowAttributes &attributes, int r, int g,
              int b, long wanted, std::chrono::milliseconds timeout, char **command)
{
    ScreenReader screen(display, root, attributes.width, attributes.height);
    if (screen.matchingPixels(r, g, b) >= wanted) {
        std::fprintf(stderr, "first_picture: the colour is on the screen already\n");
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        execvp(command[0], command);
        _exit(127);
    }
    int status = 1;
    while (std::chrono::steady_clock::now() - start < timeout) {
        if (screen.matchingPixels(r, g, b) >= wanted) {
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
    if (status != 0)
        std::fprintf(stderr, "first_picture: the picture did not appear\n");
    return status;
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
    const int status = timeStart(display, root, attributes, r, g, b, wanted, timeout, argv + 7);
    XCloseDisplay(display);
    return status;
}
