#pragma once

#include <thread>

// The first widget that lays out text loads the font configuration: dozens of files
// parsed on the user-interface thread. Loaded here, on a thread of its own, while the
// toolkit connects to the display, it is ready by the time the window is built.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp &) = delete;
    FontWarmUp &operator=(const FontWarmUp &) = delete;

private:
    std::thread m_thread;
};
