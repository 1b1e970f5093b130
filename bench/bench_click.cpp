// The click on a file in Auto-Fit, through the real handlers offscreen: load, file
// information, fit and the first paint of the panel. In the same run, the naive
// path (decode the whole picture, then smooth-scale it to the fitted size) on the
// same files. Each measurement runs in a child process of its own, so that its
// peak memory growth is its own.
#include "browse/FilePictures.h"
#include "browse/FitArithmetic.h"
#include "shell/Form1.h"
#include "shell/Registry.h"
#include "shell/Services.h"
#include "shell/platform/DesktopServices.h"
#include "shell/platform/FileSystem.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/platform/Volumes.h"
#include "shell/platform/WorkingFolders.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class SilentApplication final : public ApplicationServices {
public:
    bool isAnotherInstanceRunning() override { return false; }
    void quit() override {}
    QString programFolder() const override { return {}; }
};

class RecordingMessages final : public MessageBoxes {
public:
    void show(const QString &text, int, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool confirm(const QString &, const QString &) override { return false; }
};

long peakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

long currentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// A picture with the texture of a photograph: smooth light with fine noise.
QImage photoLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = static_cast<int>(random.bounded(24u));
            line[x] = qRgb((x * 255 / width + noise) & 0xff, (y * 255 / height + noise) & 0xff,
                           ((x + y) * 128 / (width + height) + 60 + noise) & 0xff);
        }
    }
    return image;
}

struct Sample {
    double milliseconds = 0;
    long peakGrowthKilobytes = 0;
};

// Runs work in a child process and returns its time and peak memory growth.
template <typename Work> Sample inChild(Work work)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        Sample sample = work();
        (void)::write(channel[1], &sample, sizeof sample);
        ::_exit(0);
    }
    ::close(channel[1]);
    Sample sample;
    (void)::read(channel[0], &sample, sizeof sample);
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QImageReader::setAllocationLimit(1024);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 5;

    QTemporaryDir sandbox;
    qputenv("HOME", QFile::encodeName(sandbox.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.filePath(QStringLiteral(".config"))));
    const QString folder = sandbox.filePath(QStringLiteral("Pictures"));
    QDir().mkpath(folder);

    struct Case {
        QString name;
        int width;
        int height;
        const char *format;
        bool progressive;
    };
    const std::vector<Case> cases = {{QStringLiteral("photo24mp.jpg"), 6000, 4000, "jpeg", false},
                                     {QStringLiteral("photo12mp.jpg"), 4000, 3000, "jpeg", true},
                                     {QStringLiteral("scan.bmp"), 4000, 3000, "bmp", false},
                                     {QStringLiteral("drawing.gif"), 2000, 1500, "gif", false},
                                     {QStringLiteral("icon.ico"), 256, 256, "ico", false}};
    for (const Case &c : cases) {
        QImageWriter writer(folder + QLatin1Char('/') + c.name, c.format);
        writer.setQuality(90);
        writer.setProgressiveScanWrite(c.progressive);
        QImage image = photoLike(c.width, c.height);
        if (QByteArray(c.format) == "gif")
            image = image.convertToFormat(QImage::Format_Indexed8);
        if (!writer.write(image))
            std::fprintf(stderr, "could not write %s\n", qPrintable(c.name));
    }

    RecordingMessages messages;
    LocalFileSystem files;
    MountedVolumes volumes;
    WorkingFolders working(volumes, files, folder);
    Registry registry(Registry::defaultFilePath());
    FilePictures pictures;
    QtScreen screen;
    QtClipboard clipboard;
    DesktopShell shell;
    SystemTray tray;
    SilentApplication application;
    const Services services{messages, files,     volumes, working, registry,   pictures,
                            screen,   clipboard, shell,   tray,    application};
    Form1 window(services, folder);
    (void)window.Form_Load();
    window.show();
    Form1Controls &controls = window.controls();
    QImage canvas(controls.Picture5->size(), QImage::Format_ARGB32_Premultiplied);

    std::printf("%-16s %12s %12s %8s %14s %14s\n", "picture", "click ms", "naive ms", "speed",
                "click peak MB", "naive peak MB");
    for (const Case &c : cases) {
        std::vector<double> ours;
        std::vector<double> naive;
        long oursPeak = 0;
        long naivePeak = 0;
        for (int round = 0; round < rounds; ++round) {
            const Sample click = inChild([&] {
                controls.File1->setCurrentRow(-1);
                const long before = currentKilobytes();
                QElapsedTimer timer;
                timer.start();
                controls.File1->selectFile(c.name);
                controls.Picture5->render(&canvas);
                return Sample{timer.nsecsElapsed() / 1e6, peakKilobytes() - before};
            });
            const Sample plain = inChild([&] {
                const long before = currentKilobytes();
                QElapsedTimer timer;
                timer.start();
                QImageReader reader(folder + QLatin1Char('/') + c.name);
                const QImage full = reader.read();
                const FitResult fit =
                    fitIntoPictureArea({float(full.width()), float(full.height())}, 453, 389);
                const QImage shown = full.scaled(int(fit.size.width), int(fit.size.height),
                                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                QPainter painter(&canvas);
                painter.drawImage(0, 0, shown);
                return Sample{timer.nsecsElapsed() / 1e6, peakKilobytes() - before};
            });
            ours.push_back(click.milliseconds);
            naive.push_back(plain.milliseconds);
            oursPeak = std::max(oursPeak, click.peakGrowthKilobytes);
            naivePeak = std::max(naivePeak, plain.peakGrowthKilobytes);
        }
        std::printf("%-16s %12.1f %12.1f %7.1fx %14.1f %14.1f\n", qPrintable(c.name), median(ours),
                    median(naive), median(naive) / median(ours), oursPeak / 1024.0,
                    naivePeak / 1024.0);
    }
    return 0;
}
