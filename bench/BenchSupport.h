#pragma once

// What the benchmarks share: a sandboxed home, an application that never finds a
// second copy, the process's memory figures and a photo-like test picture.

#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/MessageBoxes.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

class SilentApplication final : public ApplicationServices {
public:
    bool isAnotherInstanceRunning() override { return false; }
    bool handOver(const QString &) override { return false; }
    void acceptHandOvers() override {}
    void quit() override {}
    QString programFolder() const override { return {}; }
};

// Messages go to the error stream, so a benchmark never waits on a dialog.
class PrintedMessages final : public MessageBoxes {
public:
    void show(const QString &text, int, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool confirm(const QString &, const QString &, DefaultAnswer) override { return false; }
};

// Points HOME and the XDG folders into folder, so nothing touches the real home.
inline void useSandboxHome(const QString &folder)
{
    qputenv("HOME", QFile::encodeName(folder));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder + QStringLiteral("/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(folder + QStringLiteral("/.cache")));
}

// Points home, the XDG folders and a private runtime folder into sandbox; returns an
// empty folder there for the pictures.
inline QString preparePicturesSandbox(const QTemporaryDir &sandbox)
{
    useSandboxHome(sandbox.path());
    const QString runtime = sandbox.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    const QString folder = sandbox.filePath(QStringLiteral("Pictures"));
    QDir().mkpath(folder);
    return folder;
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

// A field of /proc/self/status, in kilobytes.
inline long statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Makes the peak resident memory start again from the current one, so that the peak
// read later belongs to what ran in between.
inline void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Smooth light with fine noise: the texture of a photograph, which JPEG cannot
// squeeze much, so the file is about as large as a camera's.
inline QImage photoLike(int width, int height, int noise = 14)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(2 * noise + 1)) - noise;
            line[x] = qRgb(qBound(0, x * 200 / width + 30 + n, 255),
                           qBound(0, y * 180 / height + 40 + n, 255),
                           qBound(0, (x + y) * 150 / (width + height) + 60 - n, 255));
        }
    }
    return image;
}

} // namespace bench
