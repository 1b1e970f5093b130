// A walk through a folder of large pictures with the Down key, through the real
// handlers offscreen in Auto-Fit: 30 pictures (4000 x 3000 bitmaps, 24-megapixel
// baseline and progressive JPEGs, a damaged file in the middle), once with a dwell of
// 300 ms on each and once holding the key (a step every 33 ms). For each step, the
// time from the key press to the picture painted in the panel; for the held key, the
// time from its release to the last picture; and the peak memory growth of the walk.
// The same walk runs with the look-ahead, without it, and on the naive path (decode
// the whole picture and smooth-scale it on the user-interface thread). Each walk is
// a fresh process.
//
//   bench_walk [only walks whose name holds this]

#include "BenchSupport.h"
#include "app/Form1.h"
#include "app/RealDesktop.h"
#include "browse/PictureLoading.h"
#include "picture/FitArithmetic.h"
#include "picture/PictureTestData.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <map>

namespace {

constexpr int kPictures = 30;
constexpr int kDamaged = 15;
constexpr double kDwellMs = 300;
constexpr double kRepeatMs = 33;

QString kindOf(const QString &name)
{
    return name.section(QLatin1Char('-'), 1).section(QLatin1Char('.'), 0, 0);
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(std::ceil(share * double(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

// Lets queued events (decoded pictures among them) in for that long.
void runEventsFor(double milliseconds)
{
    if (milliseconds < 1) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(int(milliseconds), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Walk {
    std::map<QString, std::vector<double>> byKind; // key press to picture, per kind
    std::vector<double> all;
    int steps = 0;
    int late = 0; // pictures not shown by the next key press
    double releaseMs = -1;
    long peakKb = 0;
};

void printWalk(const QString &name, const Walk &walk)
{
    std::printf("%-22s %7.1f %7.1f %7.1f %6zu/%-3d %4d %10.1f %8.1f  ", qPrintable(name),
                bench::median(walk.all), percentile(walk.all, 0.95),
                walk.all.empty() ? 0 : *std::max_element(walk.all.begin(), walk.all.end()),
                walk.all.size() - size_t(walk.late), walk.steps, walk.late, walk.releaseMs,
                double(walk.peakKb) / 1024);
    for (const auto &[kind, times] : walk.byKind)
        std::printf(" %s %.0f/%.0f", qPrintable(kind), bench::median(times),
                    percentile(times, 0.95));
    std::printf("\n");
    std::fflush(stdout);
}

// The walk through the real program's file list.
class ProgramWalk {
public:
    ProgramWalk(const QString &folder, bool lookAhead)
        : m_desktop(folder, {nullptr, &m_messages, &m_application}),
          m_window(m_desktop.services(), folder), c(m_window.controls())
    {
        (void)m_window.Form_Load();
        m_desktop.services().pictureCache.setEnabled(lookAhead);
        m_window.show();
        QApplication::processEvents();
        m_canvas = QImage(c.Picture5->size(), QImage::Format_ARGB32_Premultiplied);
        c.File1->setCurrentRow(0);
        c.Picture5->render(&m_canvas);
        m_shownRow = 0;
        runEventsFor(kDwellMs);
    }

    // Presses Down as a new press or as the key's repeat; after the damaged file has
    // sent the browser back to its start, the next file is clicked instead.
    void press(bool repeat)
    {
        const int next = m_targetRow + 1;
        m_targetRow = next;
        if (c.File1->currentRow() != next - 1 || c.File1->fileName().isEmpty()) {
            c.File1->setCurrentRow(next);
            return;
        }
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(c.File1, &event);
    }
    void release()
    {
        QKeyEvent event(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), false);
        QCoreApplication::sendEvent(c.File1, &event);
    }
    // The row whose picture newly stands painted in the panel, or -1.
    int newlyShown()
    {
        const int row = c.File1->currentRow();
        if (row < 0 || row == m_shownRow || !m_window.loading().awaited().isEmpty() ||
            c.Label3->text() != c.File1->path() + QLatin1Char('/') + c.File1->entry(row))
            return -1;
        c.Picture5->render(&m_canvas);
        m_shownRow = row;
        return row;
    }
    [[nodiscard]] QString entry(int row) const { return c.File1->entry(row); }
    [[nodiscard]] int shownRow() const { return m_shownRow; }

private:
    bench::PrintedMessages m_messages;
    bench::SilentApplication m_application;
    const RealDesktop m_desktop;
    Form1 m_window;
    Form1Controls &c;
    QImage m_canvas;
    int m_shownRow = -1;
    int m_targetRow = 0;
};

// Reads the whole picture and smooth-scales it to the panel, as a plain viewer does.
bool naiveShow(const QString &path, QImage &canvas)
{
    QImageReader reader(path);
    reader.setAllocationLimit(0);
    const QImage full = reader.read();
    if (full.isNull())
        return false;
    const FitResult fit = fitIntoPictureArea({float(full.width()), float(full.height())}, 453, 389);
    const QImage shown = full.scaled(QSize(int(fit.size.width), int(fit.size.height)),
                                     Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, shown);
    return true;
}

void record(Walk &walk, const QString &name, double ms)
{
    walk.all.push_back(ms);
    walk.byKind[kindOf(name)].push_back(ms);
}

int programWalk(const QString &folder, bool lookAhead, bool held)
{
    ProgramWalk program(folder, lookAhead);
    Walk walk;
    walk.steps = kPictures - 1;
    bench::resetPeakMemory();
    const long before = bench::statusKilobytes("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    const auto now = [&] {
        return double(clock.nsecsElapsed()) / 1e6;
    };
    std::vector<double> pressedAt(kPictures, -1);
    const auto collect = [&] {
        const int row = program.newlyShown();
        if (row > 0 && pressedAt[size_t(row)] >= 0)
            record(walk, program.entry(row), now() - pressedAt[size_t(row)]);
    };

    if (!held) {
        for (int step = 1; step < kPictures; ++step) {
            const double start = now();
            pressedAt[size_t(step)] = start;
            program.press(false);
            program.release();
            collect();
            while (now() - start < kDwellMs) {
                runEventsFor(1);
                collect();
            }
            // Not there when the next key comes: counted at the dwell, a bound from below.
            if (program.shownRow() != step &&
                !program.entry(step).contains(QLatin1String("damaged"))) {
                record(walk, program.entry(step), now() - start);
                ++walk.late;
            }
        }
    } else {
        // Presses fall due every 33 ms; those due while the program was busy arrive
        // together afterwards, as queued key events do.
        int step = 1;
        const double releaseAt = (kPictures - 1) * kRepeatMs;
        while (step < kPictures) {
            while (step < kPictures && (step - 1) * kRepeatMs <= now()) {
                pressedAt[size_t(step)] = (step - 1) * kRepeatMs;
                program.press(step > 1);
                collect();
                ++step;
            }
            runEventsFor(qMin(1.0, (step - 1) * kRepeatMs - now()));
            collect();
        }
        while (now() < releaseAt)
            runEventsFor(releaseAt - now());
        program.release();
        const int last = kPictures - 1;
        collect();
        while (program.shownRow() != last && now() - releaseAt < 10000) {
            runEventsFor(1);
            collect();
        }
        walk.releaseMs = now() - releaseAt;
    }
    walk.peakKb = bench::statusKilobytes("VmHWM:") - before;
    printWalk(QStringLiteral("%1, %2").arg(lookAhead ? "look-ahead" : "no look-ahead",
                                           held ? "held" : "300 ms"),
              walk);
    return 0;
}

int naiveWalk(const QString &folder, bool held)
{
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    QImage canvas(453, 389, QImage::Format_ARGB32_Premultiplied);
    (void)naiveShow(folder + QLatin1Char('/') + names.first(), canvas);
    Walk walk;
    walk.steps = kPictures - 1;
    bench::resetPeakMemory();
    const long before = bench::statusKilobytes("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    const auto now = [&] {
        return double(clock.nsecsElapsed()) / 1e6;
    };
    for (int step = 1; step < kPictures; ++step) {
        const double pressed = held ? (step - 1) * kRepeatMs : now();
        while (now() < pressed)
            QThread::usleep(200);
        const QString &name = names.at(step);
        if (naiveShow(folder + QLatin1Char('/') + name, canvas))
            record(walk, name, now() - pressed);
        while (!held && now() - pressed < kDwellMs)
            QThread::usleep(500);
    }
    if (held)
        walk.releaseMs = qMax(0.0, now() - (kPictures - 1) * kRepeatMs);
    walk.peakKb = bench::statusKilobytes("VmHWM:") - before;
    printWalk(QStringLiteral("naive, %1").arg(held ? "held" : "300 ms"), walk);
    return 0;
}

// Flat pictures and photos in turn, the damaged file in the middle.
void makePictures(const QString &folder)
{
    const QImage photo = bench::photoLike(6000, 4000);
    const QByteArray baseline = testdata::jpeg(photo, 90, false);
    const QByteArray progressive = testdata::jpeg(photo, 90, true);
    QByteArray bitmap;
    {
        QBuffer buffer(&bitmap);
        buffer.open(QIODevice::WriteOnly);
        bench::photoLike(4000, 3000, 6).convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP");
    }
    for (int i = 0; i < kPictures; ++i) {
        const QString stem = folder + QStringLiteral("/w%1").arg(i, 2, 10, QLatin1Char('0'));
        if (i == kDamaged)
            bench::writeFile(stem + QStringLiteral("-damaged.jpg"),
                             baseline.left(baseline.size() / 2));
        else if (i % 3 == 0)
            bench::writeFile(stem + QStringLiteral("-bitmap.bmp"), bitmap);
        else if (i % 3 == 1)
            bench::writeFile(stem + QStringLiteral("-baseline.jpg"), baseline);
        else
            bench::writeFile(stem + QStringLiteral("-progressive.jpg"), progressive);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--child")) {
        const bool held = args[3] == QLatin1String("held");
        if (args[2] == QLatin1String("naive"))
            return naiveWalk(args[4], held);
        return programWalk(args[4], args[2] == QLatin1String("look-ahead"), held);
    }
    const QString only = args.size() > 1 ? args[1] : QString();

    QTemporaryDir sandbox;
    const QString folder = bench::preparePicturesSandbox(sandbox);
    std::printf("Making the pictures...\n");
    makePictures(folder);

    std::printf("Walk of %d pictures, Auto-Fit: key press to picture painted (ms), "
                "key release to the last picture (ms), peak memory growth (MB); "
                "look-ahead budget %lld MB\n\n",
                kPictures, PictureCache::kDefaultBudget >> 20);
    std::printf("%-22s %7s %7s %7s %10s %4s %10s %8s   per kind median/p95\n", "walk", "median",
                "p95", "max", "shown", "late", "release", "peak MB");
    for (const char *config : {"look-ahead", "no look-ahead", "naive"}) {
        for (const char *pace : {"dwell", "held"}) {
            if (!QStringLiteral("%1 %2").arg(config, pace).contains(only))
                continue;
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), QString::fromLatin1(config),
                         QString::fromLatin1(pace), folder});
            child.waitForFinished(-1);
        }
    }
    return 0;
}
