// The click on a file in Auto-Fit, through the real handlers offscreen: load, file
// information, fit and the first paint of the panel. In the same run, the naive path
// (decode the whole picture, then smooth-scale it to the fitted size) on the same
// files. Every measurement is a fresh process, as the first click after start-up is,
// and its peak memory growth is counted from just before the click. With
// QUORVEL_JPEG=libjpeg, as for the viewer, the JPEGs shown at an eighth are decoded by
// libjpeg instead of from their DC coefficients: run it both ways to compare.
//
//   bench_click [runs] [only pictures whose name holds this]

#include "BenchSupport.h"
#include "app/Form1.h"
#include "app/RealDesktop.h"
#include "picture/FitArithmetic.h"
#include "picture/PictureLoader.h"
#include "picture/PictureTestData.h"
#include "picture/WebpReader.h"
#include "picture/jpeg/JpegPicture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Measured {
    double milliseconds = 0;
    double peakGrowthMb = 0;
};

void report(const QElapsedTimer &timer, long residentBefore)
{
    std::printf("%lld %ld\n", timer.nsecsElapsed() / 1000,
                bench::statusKilobytes("VmHWM:") - residentBefore);
}

// The real program's click: start-up first, unmeasured, then the click and paint.
int clickInThisProcess(const QString &folder, const QString &name)
{
    bench::PrintedMessages messages;
    bench::SilentApplication application;
    const RealDesktop desktop(folder, {nullptr, &messages, &application});
    Form1 window(desktop.services(), folder);
    (void)window.Form_Load();
    window.show();
    QApplication::processEvents();
    Form1Controls &c = window.controls();
    QImage canvas(c.Picture5->size(), QImage::Format_ARGB32_Premultiplied);
    c.Picture5->render(&canvas);

    bench::resetPeakMemory();
    const long before = bench::statusKilobytes("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    c.File1->selectFile(name);
    c.Picture5->render(&canvas);
    if (!window.windowTitle().endsWith(name)) {
        std::fprintf(stderr, "the click did not show %s\n", qPrintable(name));
        return 1;
    }
    report(timer, before);
    return 0;
}

// The whole picture at its natural size: through Qt's reader where it has one, else
// through the library the loader drives (a WebP at full size, the others as loaded).
QImage decodedInFull(const QString &path)
{
    QImageReader reader(path);
    reader.setAllocationLimit(0);
    if (reader.canRead())
        return reader.read();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (PictureLoader::sniff(bytes) == PictureFormat::Webp) {
        QString why;
        const auto webp = picture::WebpReader::open(std::move(bytes), &why);
        return webp ? webp->decode(webp->naturalSize()).image : QImage();
    }
    const LoadResult loaded = PictureLoader::loadBytes(std::move(bytes));
    return loaded.picture ? loaded.picture->toImage() : QImage();
}

int naiveInThisProcess(const QString &path)
{
    QImage canvas(453, 389, QImage::Format_ARGB32_Premultiplied);
    bench::resetPeakMemory();
    const long before = bench::statusKilobytes("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    const QImage full = decodedInFull(path);
    if (full.isNull()) {
        std::fprintf(stderr, "%s: not decoded\n", qPrintable(path));
        return 1;
    }
    const FitResult fit = fitIntoPictureArea({float(full.width()), float(full.height())}, 453, 389);
    const QSize fitted(int(fit.size.width), int(fit.size.height));
    const QImage shown = full.size() == fitted
                             ? full
                             : full.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, shown);
    painter.end();
    report(timer, before);
    return 0;
}

Measured measure(const QString &mode, const QString &folder, const QString &name, int runs)
{
    std::vector<double> times;
    std::vector<double> peaks;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), mode, folder, name});
        child.waitForFinished(-1);
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || fields.size() != 2) {
            std::fprintf(stderr, "%s failed on %s: %s\n", qPrintable(mode), qPrintable(name),
                         child.readAllStandardError().constData());
            return {};
        }
        times.push_back(fields[0].toDouble() / 1000.0);
        peaks.push_back(fields[1].toDouble() / 1024.0);
    }
    return {bench::median(times), bench::median(peaks)};
}

// A chart-like GIF: bands of grey with a fine checker, as drawings have.
QByteArray chartGif(int width, int height)
{
    testdata::GifImage image;
    image.width = width;
    image.height = height;
    image.indices.resize(qsizetype(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.indices[qsizetype(y) * width + x] =
                uchar((x * 6 / width) * 36 + (y * 6 / height) * 6 + (x / 50 + y / 50) % 6);
    }
    return testdata::gif(width, height, {image});
}

// An icon as applications ship them: small bitmaps first, the 256-pixel PNG last.
QByteArray applicationIcon()
{
    const QImage art = bench::photoLike(256, 256, 8);
    return testdata::icon({{testdata::iconDib(art.scaled(32, 32)), 32, 32},
                           {testdata::iconDib(art.scaled(48, 48)), 48, 48},
                           {testdata::png(art), 0, 0}});
}

// A screenshot: flat panels, lines of text-like marks and a photo in a window.
QImage screenshot(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(242, 242, 242));
    QPainter painter(&image);
    painter.fillRect(0, 0, width, 40, QColor(48, 48, 56));
    painter.fillRect(0, 40, 320, height - 40, QColor(230, 232, 236));
    for (int y = 60; y < height - 20; y += 22) {
        for (int x = 20; x < 300; x += 9 + (x * 7 + y) % 13)
            painter.fillRect(x, y, 6, 10, QColor(60, 60, 70));
        for (int x = 360; x < width / 2; x += 8 + (x * 5 + y) % 11)
            painter.fillRect(x, y, 5, 11, QColor(20, 20, 20));
    }
    painter.drawImage(width / 2 + 40, 80, bench::photoLike(width / 2 - 80, height - 160, 6));
    return image;
}

// Encodes a PNG with one of the formats' own command-line encoders.
void encodeWith(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(-1) || tool.exitCode() != 0)
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     tool.readAllStandardError().constData());
}

// An SVG drawing of some thousands of shapes, as a map or a diagram has.
QByteArray drawing()
{
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='2400' height='1600'>";
    for (int i = 0; i < 4000; ++i) {
        svg += QStringLiteral("<path d='M%1 %2 q40 -30 80 0 t80 0' stroke='#%3' fill='none' "
                              "stroke-width='3'/>")
                   .arg(i * 37 % 2300)
                   .arg(i * 53 % 1550 + 30)
                   .arg(i * 2654435761u % 0xFFFFFF, 6, 16, QLatin1Char('0'))
                   .toLatin1();
    }
    return svg + "</svg>";
}

// The newer formats, as people meet them: photos from phones and the web, a 4K
// screenshot, a scan, a drawing.
QStringList makeNewerPictures(const QString &folder)
{
    const QString source = folder + QStringLiteral("/../photo-source.png");
    bench::photoLike(6000, 4000).save(source);
    const QString photo = folder + QStringLiteral("/photo-24mp.");
    encodeWith(QStringLiteral("cwebp"), {QStringLiteral("-quiet"), QStringLiteral("-mt"), source,
                                         QStringLiteral("-o"), photo + "webp"});
    encodeWith(QStringLiteral("heif-enc"),
               {QStringLiteral("-q"), QStringLiteral("80"), QStringLiteral("-p"),
                QStringLiteral("preset=ultrafast"), source, QStringLiteral("-o"), photo + "heic"});
    // As phones write them: with a thumbnail, which is the first paint.
    encodeWith(QStringLiteral("heif-enc"),
               {QStringLiteral("-q"), QStringLiteral("80"), QStringLiteral("-p"),
                QStringLiteral("preset=ultrafast"), QStringLiteral("-t"), QStringLiteral("320"),
                source, QStringLiteral("-o"), photo + "thumbnail.heic"});
    encodeWith(QStringLiteral("avifenc"),
               {QStringLiteral("-s"), QStringLiteral("10"), QStringLiteral("--min"),
                QStringLiteral("20"), QStringLiteral("--max"), QStringLiteral("30"),
                QStringLiteral("-j"), QStringLiteral("2"), source, photo + "avif"});
    encodeWith(QStringLiteral("cjxl"), {source, photo + "jxl", QStringLiteral("-e"),
                                        QStringLiteral("3"), QStringLiteral("--quiet")});
    QFile::remove(source);
    screenshot(3840, 2160).save(folder + QStringLiteral("/screenshot-4k.png"));
    bench::writeFile(folder + QStringLiteral("/drawing.svg"), drawing());
    encodeWith(QStringLiteral("convert"),
               {folder + QStringLiteral("/scan.bmp"), QStringLiteral("-compress"),
                QStringLiteral("lzw"), folder + QStringLiteral("/scan.tif")});
    return {QStringLiteral("photo-24mp.webp"),
            QStringLiteral("photo-24mp.heic"),
            QStringLiteral("photo-24mp.thumbnail.heic"),
            QStringLiteral("photo-24mp.avif"),
            QStringLiteral("photo-24mp.jxl"),
            QStringLiteral("screenshot-4k.png"),
            QStringLiteral("scan.tif"),
            QStringLiteral("drawing.svg")};
}

QStringList makePictures(const QString &folder)
{
    bench::writeFile(folder + QStringLiteral("/photo-24mp.jpg"),
                     testdata::jpeg(bench::photoLike(6000, 4000), 90, false));
    bench::writeFile(folder + QStringLiteral("/photo-24mp-progressive.jpg"),
                     testdata::jpeg(bench::photoLike(6000, 4000), 90, true));
    bench::writeFile(folder + QStringLiteral("/photo-50mp.jpg"),
                     testdata::jpeg(bench::photoLike(8660, 5773), 90, false));
    bench::photoLike(4000, 3000, 6)
        .convertToFormat(QImage::Format_RGB888)
        .save(folder + QStringLiteral("/scan.bmp"), "BMP");
    bench::writeFile(folder + QStringLiteral("/chart.gif"), chartGif(2000, 1500));
    bench::writeFile(folder + QStringLiteral("/application.ico"), applicationIcon());
    return QStringList{
               QStringLiteral("photo-24mp.jpg"), QStringLiteral("photo-24mp-progressive.jpg"),
               QStringLiteral("photo-50mp.jpg"), QStringLiteral("scan.bmp"),
               QStringLiteral("chart.gif"),      QStringLiteral("application.ico")} +
           makeNewerPictures(folder);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    // The children inherit the environment, and decode as the viewer would with it.
    picture::setJpegFastPathEnabled(qgetenv("QUORVEL_JPEG") != "libjpeg");
    if (args.size() == 5 && args[1] == QLatin1String("--child")) {
        return args[2] == QLatin1String("click")
                   ? clickInThisProcess(args[3], args[4])
                   : naiveInThisProcess(args[3] + QLatin1Char('/') + args[4]);
    }
    const int runs = args.size() > 1 ? qMax(1, args[1].toInt()) : 11;
    const QString only = args.size() > 2 ? args[2] : QString();

    QTemporaryDir sandbox;
    const QString folder = bench::preparePicturesSandbox(sandbox);
    std::printf("Making the pictures...\n");
    const QStringList names = makePictures(folder);

    std::printf("Auto-Fit click to first paint of the panel, median of %d fresh processes\n", runs);
    std::printf("JPEGs at an eighth: %s\n\n", picture::jpegFastPathEnabled()
                                                  ? "from their DC coefficients"
                                                  : "by libjpeg (QUORVEL_JPEG=libjpeg)");
    std::printf("%-28s %9s %9s %7s %11s %11s %7s\n", "picture", "click ms", "naive ms", "faster",
                "click MB", "naive MB", "memory");
    QHash<QString, std::pair<Measured, Measured>> results; // click, naive
    for (const QString &name : names) {
        if (!name.contains(only))
            continue;
        (void)measure(QStringLiteral("click"), folder, name, 1); // warms the file cache
        const Measured click = measure(QStringLiteral("click"), folder, name, runs);
        const Measured naive = measure(QStringLiteral("naive"), folder, name, runs);
        const double fileMb = double(QFileInfo(folder + QLatin1Char('/') + name).size()) / 1048576;
        std::printf("%-28s %9.1f %9.1f %6.1fx %11.1f %11.1f %6.0f%%   (%.1f MB file)\n",
                    qPrintable(name), click.milliseconds, naive.milliseconds,
                    naive.milliseconds / qMax(click.milliseconds, 0.001), click.peakGrowthMb,
                    naive.peakGrowthMb,
                    naive.peakGrowthMb > 0 ? 100.0 * click.peakGrowthMb / naive.peakGrowthMb : 0.0,
                    fileMb);
        results.insert(name, {click, naive});
    }

    std::printf("\nTargets\n");
    const QString baseline = QStringLiteral("photo-24mp.jpg");
    const QString progressive = QStringLiteral("photo-24mp-progressive.jpg");
    if (results.contains(baseline) && results.contains(progressive)) {
        const double ratio = results[progressive].first.milliseconds /
                             qMax(results[baseline].first.milliseconds, 0.001);
        std::printf("  progressive JPEG / baseline JPEG: %.2fx (at most 1.5x)\n", ratio);
    }
    for (const QString &name :
         {QStringLiteral("scan.bmp"), QStringLiteral("chart.gif"),
          QStringLiteral("photo-24mp.webp"), QStringLiteral("photo-24mp.heic"),
          QStringLiteral("photo-24mp.thumbnail.heic"), QStringLiteral("photo-24mp.avif"),
          QStringLiteral("photo-24mp.jxl"), QStringLiteral("screenshot-4k.png"),
          QStringLiteral("scan.tif")}) {
        if (results.contains(name)) {
            const auto &[click, naive] = results[name];
            std::printf("  %s: %.1f ms against %.1f ms naive (no slower)\n", qPrintable(name),
                        click.milliseconds, naive.milliseconds);
        }
    }
    return 0;
}
