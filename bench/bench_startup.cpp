// Start-up on a folder of many pictures, against the cost of reading and sorting
// that folder once (the least any viewer has to do to list it).
#include "BenchSupport.h"
#include "app/Form1.h"
#include "app/RealDesktop.h"

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

class CountingFileSystem final : public LocalFileSystem {
public:
    std::optional<QStringList> files(const QString &folder, bool includeHidden) const override
    {
        ++listings;
        return LocalFileSystem::files(folder, includeHidden);
    }
    mutable int listings = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int fileCount = argc > 1 ? QByteArray(argv[1]).toInt() : 20000;
    QTemporaryDir sandbox;
    bench::useSandboxHome(sandbox.path());
    const QString folder = sandbox.filePath(QStringLiteral("Pictures"));
    QDir().mkpath(folder);
    for (int i = 0; i < fileCount; ++i) {
        QFile file(folder + QStringLiteral("/IMG_%1.%2").arg(i).arg(i % 3 ? "jpg" : "png"));
        (void)file.open(QIODevice::WriteOnly);
    }

    CountingFileSystem files;
    bench::SilentApplication application;

    std::vector<double> baseline;
    std::vector<double> startup;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 7;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        QStringList names = *files.files(folder, true);
        std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        baseline.push_back(timer.nsecsElapsed() / 1e6);

        const RealDesktop desktop(folder, {&files, nullptr, &application});
        files.listings = 0;
        timer.restart();
        Form1 window(desktop.services(), folder);
        (void)window.Form_Load();
        startup.push_back(timer.nsecsElapsed() / 1e6);
        if (round == 0)
            std::printf("folder listings during start-up: %d\n", files.listings);
    }
    std::printf("folder of %d files\n", fileCount);
    std::printf("baseline (read and sort once): %8.1f ms\n", bench::median(baseline));
    std::printf("start-up (window and lists):   %8.1f ms\n", bench::median(startup));
    std::printf("ratio: %.1f x the baseline\n", bench::median(startup) / bench::median(baseline));
    return 0;
}
