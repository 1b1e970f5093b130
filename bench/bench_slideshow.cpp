// Both slide shows at "Fastest", through the real handlers and timers, over a folder of
// 24-megapixel photos (baseline and progressive), a large bitmap and a damaged file.
// For every slide, the moment its picture has been painted is set against the ideal
// schedule, the start plus n intervals. Each show plays in a fresh process on a
// 3840 × 2160 offscreen screen, once with the slides decoded ahead and once decoded
// on the tick, and the peak memory growth of the whole show is counted.
//
//   bench_slideshow [slides] [only the shows whose label holds this]

#include "BenchSupport.h"
#include "app/Form1.h"
#include "app/RealDesktop.h"
#include "picture/PictureTestData.h"
#include "platform/controls/WorkingValues.h"
#include "show/Form6.h"
#include "show/FullScreenSlideShow.h"
#include "show/SlideLookAhead.h"
#include "show/SlideSpeed.h"
#include "show/WindowSlideShow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

namespace {

constexpr int kScreenWidth = 3840;
constexpr int kScreenHeight = 2160;

struct ShowFigures {
    double medianLate = 0;
    double p99Late = 0;
    double maxLate = 0;
    double drift = 0; // the last slides' lateness less the first ones'
    double peakMb = 0;
    int slides = 0;
};

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = size_t(std::ceil(fraction * double(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

double meanOf(const std::vector<double> &values, size_t from, size_t count)
{
    double sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += values[i];
    return count ? sum / double(count) : 0;
}

// Plays the folder in this process and prints the figures as one line.
int playInThisProcess(const QString &mode, bool lookAhead, const QString &folder)
{
    bench::PrintedMessages messages;
    bench::SilentApplication application;
    const RealDesktop desktop(folder, {nullptr, &messages, &application});
    Form1 window(desktop.services(), folder);
    (void)window.Form_Load();
    window.show();
    QApplication::processEvents();
    Form1Controls &c = window.controls();
    const bool fullScreen = mode == QLatin1String("full");
    IntervalTimer &timer = fullScreen ? *c.Timer2 : *c.Timer1;
    window.speed().choose(Speed::Fastest, timer);
    desktop.services().pictureCache.setEnabled(lookAhead);
    const int interval = window.values().slideInterval();

    QElapsedTimer clock;
    std::vector<double> lateness;
    // Each slide writes its file name; a new one is a new slide, painted at once, as
    // the user waits for it. A slide may come from the tick or, when its decode
    // outlasts the tick, from the end of that decode.
    const auto slideShown = [&] {
        Form6 *showWindow = window.fullScreenShow().showWindow();
        return fullScreen ? (showWindow ? showWindow->Label4->text() : QString())
                          : c.Label13->text();
    };
    QString lastSlide;
    const auto noteNewSlide = [&] {
        QWidget *shown = fullScreen ? static_cast<QWidget *>(window.fullScreenShow().showWindow())
                                    : static_cast<QWidget *>(&window);
        const QString slide = slideShown();
        if (!shown || slide.isEmpty() || slide == lastSlide)
            return;
        lastSlide = slide;
        shown->repaint();
        const double ideal = double(lateness.size() + 1) * interval;
        lateness.push_back(double(clock.nsecsElapsed()) / 1e6 - ideal);
    };

    bench::resetPeakMemory();
    const long before = bench::statusKilobytes("VmRSS:");
    if (fullScreen)
        window.fullScreenShow().fullscreen_Click();
    else
        window.windowShow().viewmenu_Click();
    clock.start();            // the show's timer has just been started
    lastSlide = slideShown(); // whatever the window held before the first slide
    const auto playing = [&] {
        return fullScreen ? window.fullScreenShow().state() != FullScreenSlideShow::State::Idle
                          : window.windowShow().state() != WindowSlideShow::State::Idle;
    };
    while (playing()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        noteNewSlide();
    }
    const double peakMb = double(bench::statusKilobytes("VmHWM:") - before) / 1024.0;

    if (lateness.size() < 10) {
        std::fprintf(stderr, "only %zu slides were shown\n", lateness.size());
        return 1;
    }
    const size_t edge = 5;
    std::printf("%f %f %f %f %f %zu\n", bench::median(lateness), percentile(lateness, 0.99),
                *std::max_element(lateness.begin(), lateness.end()),
                meanOf(lateness, lateness.size() - edge, edge) - meanOf(lateness, 0, edge), peakMb,
                lateness.size());
    return 0;
}

ShowFigures play(const QString &mode, bool lookAhead, const QString &folder,
                 const QString &screenConfig)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       QStringLiteral("offscreen:configfile=") + screenConfig);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), mode,
                 lookAhead ? QStringLiteral("ahead") : QStringLiteral("on-tick"), folder});
    child.waitForFinished(-1);
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || fields.size() != 6) {
        std::fprintf(stderr, "the %s show failed: %s\n", qPrintable(mode),
                     child.readAllStandardError().constData());
        return {};
    }
    return {fields[0].toDouble(), fields[1].toDouble(), fields[2].toDouble(),
            fields[3].toDouble(), fields[4].toDouble(), fields[5].toInt()};
}

// A few distinct pictures, copied under numbered names so that the kinds alternate.
void makeSlides(const QString &folder, int count)
{
    const QByteArray baselineA = testdata::jpeg(bench::photoLike(6000, 4000), 90, false);
    const QByteArray baselineB = testdata::jpeg(bench::photoLike(4000, 6000, 10), 90, false);
    const QByteArray progressive = testdata::jpeg(bench::photoLike(6000, 4000, 8), 90, true);
    const QString bitmapPath = folder + QStringLiteral("/scan.tmp");
    bench::photoLike(4000, 3000, 6).convertToFormat(QImage::Format_RGB888).save(bitmapPath, "BMP");
    QFile bitmapFile(bitmapPath);
    (void)bitmapFile.open(QIODevice::ReadOnly);
    const QByteArray bitmap = bitmapFile.readAll();
    bitmapFile.remove();
    const QByteArray damaged = baselineA.left(baselineA.size() / 3);

    for (int i = 0; i < count; ++i) {
        const QString stem = folder + QStringLiteral("/slide-%1").arg(i, 2, 10, QLatin1Char('0'));
        if (i == count / 2)
            bench::writeFile(stem + QStringLiteral("-damaged.jpg"), damaged);
        else if (i % 7 == 3)
            bench::writeFile(stem + QStringLiteral(".bmp"), bitmap);
        else if (i % 4 == 1)
            bench::writeFile(stem + QStringLiteral("-progressive.jpg"), progressive);
        else
            bench::writeFile(stem + QStringLiteral(".jpg"), i % 2 ? baselineB : baselineA);
    }
}

void printRow(const char *label, const ShowFigures &f)
{
    std::printf("%-26s %6d %9.1f %9.1f %9.1f %9.1f %9.1f\n", label, f.slides, f.medianLate,
                f.p99Late, f.maxLate, f.drift, f.peakMb);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--child"))
        return playInThisProcess(args[2], args[3] == QLatin1String("ahead"), args[4]);
    const int count = args.size() > 1 ? qMax(12, args[1].toInt()) : 24;
    const QString only = args.size() > 2 ? args[2] : QString();

    QTemporaryDir sandbox;
    const QString folder = bench::preparePicturesSandbox(sandbox);
    const QString screenConfig = sandbox.filePath(QStringLiteral("screen.json"));
    bench::writeFile(screenConfig, QStringLiteral(R"({"screens": [{"name": "large", "x": 0, "y": 0,
        "width": %1, "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                                       .arg(kScreenWidth)
                                       .arg(kScreenHeight)
                                       .toUtf8());
    std::printf("Making %d slides...\n", count);
    makeSlides(folder, count);

    std::printf("Slide shows at Fastest on a %d x %d screen: lateness of each painted slide\n"
                "against start + n x interval, in ms; drift = last five less first five\n\n",
                kScreenWidth, kScreenHeight);
    std::printf("%-26s %6s %9s %9s %9s %9s %9s\n", "show", "slides", "median", "p99", "worst",
                "drift", "peak MB");
    for (const QString &mode : {QStringLiteral("window"), QStringLiteral("full")}) {
        for (const bool ahead : {true, false}) {
            const QString label =
                mode + (ahead ? QStringLiteral(", decoded ahead") : QStringLiteral(", on tick"));
            if (!label.contains(only))
                continue;
            const ShowFigures f = play(mode, ahead, folder, screenConfig);
            printRow(label.toUtf8().constData(), f);
        }
    }
    return 0;
}
