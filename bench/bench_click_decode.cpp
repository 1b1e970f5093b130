// Time and memory of showing a picture in Auto-Fit: the loader and first paint
// against the naive path (Qt's reader decodes in full, then the picture is smoothly
// scaled to the fitted size). Every measurement runs in a fresh child process, so
// its peak resident memory (VmHWM) belongs to that one load.
//
//   bench_click_decode [runs]

#include "browse/FitArithmetic.h"
#include "browse/PictureLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A photo-like picture: smooth gradients with fine noise, which JPEG cannot squeeze
// much, so the file is about as large as a camera's.
QImage photo(int w, int h, int noise)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(random.bounded(2 * noise + 1)) - noise;
            line[x] =
                qRgb(qBound(0, x * 200 / w + 30 + n, 255), qBound(0, y * 180 / h + 40 + n, 255),
                     qBound(0, (x + y) * 150 / (w + h) + 60 - n, 255));
        }
    }
    return image;
}

bool writeJpeg(const QImage &image, const QString &path, bool progressive)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image);
}

void putLe16(QByteArray &b, int v)
{
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}
void putLe32(QByteArray &b, quint32 v)
{
    putLe16(b, int(v & 0xFFFF));
    putLe16(b, int(v >> 16));
}

// A one-frame GIF of 8-bit indices, LZW-compressed.
QByteArray gif(const std::vector<uchar> &indices, int w, int h, const std::vector<QRgb> &palette)
{
    QByteArray out("GIF89a");
    putLe16(out, w);
    putLe16(out, h);
    out.append(char(0xF7)).append('\0').append('\0');
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < int(palette.size()) ? palette[i] : 0;
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    out.append(',');
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, w);
    putLe16(out, h);
    out.append('\0').append(char(8));

    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    auto put = [&](int code, int width) {
        bits |= quint32(code) << count;
        count += width;
        while (count >= 8) {
            data.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    const int clear = 256, end = 257;
    std::vector<quint16> table(4096 * 256, 0);
    int next = 258, width = 9;
    put(clear, width);
    int prefix = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
        const int c = indices[i];
        quint16 &slot = table[std::size_t(prefix) * 256 + c];
        if (slot) {
            prefix = slot;
            continue;
        }
        put(prefix, width);
        if (next < 4096) {
            slot = quint16(next++);
            if (next > (1 << width) && width < 12)
                ++width;
        } else {
            put(clear, width);
            std::fill(table.begin(), table.end(), 0);
            next = 258;
            width = 9;
        }
        prefix = c;
    }
    put(prefix, width);
    put(end, width);
    if (count > 0)
        data.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        out.append(char(block.size())).append(block);
    }
    out.append('\0').append(';');
    return out;
}

QByteArray png(const QImage &image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return out;
}

QByteArray iconDib32(const QImage &image)
{
    QByteArray d;
    putLe32(d, 40);
    putLe32(d, quint32(image.width()));
    putLe32(d, quint32(2 * image.height()));
    putLe16(d, 1);
    putLe16(d, 32);
    for (int i = 0; i < 6; ++i)
        putLe32(d, 0);
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = argb.height() - 1; y >= 0; --y) {
        for (int x = 0; x < argb.width(); ++x)
            putLe32(d, argb.pixel(x, y));
    }
    d.append(QByteArray(((image.width() + 31) / 32) * 4 * image.height(), '\0'));
    return d;
}

// An icon as applications ship them: small bitmaps first, the 256 PNG last.
QByteArray icon()
{
    const QImage art = photo(256, 256, 8);
    const QList<QByteArray> images = {iconDib32(art.scaled(32, 32)), iconDib32(art.scaled(48, 48)),
                                      png(art)};
    const int sizes[] = {32, 48, 0};
    QByteArray out;
    putLe16(out, 0);
    putLe16(out, 1);
    putLe16(out, int(images.size()));
    quint32 offset = quint32(6 + 16 * images.size());
    for (int i = 0; i < images.size(); ++i) {
        out.append(char(sizes[i])).append(char(sizes[i])).append('\0').append('\0');
        putLe16(out, 1);
        putLe16(out, 32);
        putLe32(out, quint32(images[i].size()));
        putLe32(out, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray &b : images)
        out.append(b);
    return out;
}

QRectF fitted(QSize natural)
{
    const FitResult fit =
        fitIntoPictureArea({float(natural.width()), float(natural.height())}, 453, 389);
    return {0, 0, fit.size.width, fit.size.height};
}

// One measured load in this process: prints "milliseconds peak-growth-kB".
int child(const QString &mode, const QString &path)
{
    QImage panel(453, 389, QImage::Format_ARGB32_Premultiplied);
    panel.fill(Qt::white);
    const qint64 before = peakResidentKb();
    QElapsedTimer timer;
    timer.start();
    if (mode == QLatin1String("ours")) {
        const LoadResult r = PictureLoader::loadFile(path);
        if (!r.picture) {
            std::fprintf(stderr, "%s\n", qPrintable(r.failure));
            return 1;
        }
        QPainter painter(&panel);
        painter.setClipRect(panel.rect());
        r.picture->draw(painter, fitted(r.picture->naturalSize()));
    } else {
        QImageReader reader(path);
        reader.setAllocationLimit(0);
        const QImage full = reader.read();
        if (full.isNull()) {
            std::fprintf(stderr, "%s\n", qPrintable(reader.errorString()));
            return 1;
        }
        const QRectF target = fitted(full.size());
        const QImage scaled = full.size() == target.size().toSize()
                                  ? full
                                  : full.scaled(target.size().toSize(), Qt::IgnoreAspectRatio,
                                                Qt::SmoothTransformation);
        QPainter painter(&panel);
        painter.drawImage(target.topLeft(), scaled);
    }
    const qint64 ms = timer.nsecsElapsed() / 1000;
    std::printf("%lld %lld\n", ms, peakResidentKb() - before);
    return 0;
}

struct Sample {
    double ms = 0;
    double peakMb = 0;
};

Sample measure(const QString &mode, const QString &path, int runs)
{
    std::vector<double> times, peaks;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, path});
        p.waitForFinished(-1);
        const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
        if (p.exitCode() != 0 || f.size() != 2) {
            std::fprintf(stderr, "%s failed on %s: %s\n", qPrintable(mode), qPrintable(path),
                         p.readAllStandardError().constData());
            return {};
        }
        times.push_back(f[0].toDouble() / 1000.0);
        peaks.push_back(f[1].toDouble() / 1024.0);
    }
    std::sort(times.begin(), times.end());
    std::sort(peaks.begin(), peaks.end());
    return {times[times.size() / 2], peaks[peaks.size() / 2]};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--child"))
        return child(args[2], args[3]);
    const int runs = args.size() > 1 ? qMax(1, args[1].toInt()) : 5;

    QTemporaryDir dir;
    std::printf("Making the pictures...\n");
    struct Case {
        QString label;
        QString path;
    };
    QList<Case> cases;
    {
        const QString p = dir.filePath(QStringLiteral("photo-24mp.jpg"));
        writeJpeg(photo(6000, 4000, 14), p, false);
        cases.append({QStringLiteral("JPEG 6000x4000 baseline"), p});
    }
    {
        const QString p = dir.filePath(QStringLiteral("photo-12mp-progressive.jpg"));
        writeJpeg(photo(4000, 3000, 14), p, true);
        cases.append({QStringLiteral("JPEG 4000x3000 progressive"), p});
    }
    {
        const QString p = dir.filePath(QStringLiteral("scan.bmp"));
        photo(4000, 3000, 6).convertToFormat(QImage::Format_RGB888).save(p, "BMP");
        cases.append({QStringLiteral("BMP 4000x3000 24-bit"), p});
    }
    {
        const int w = 2000, h = 1500;
        std::vector<QRgb> palette;
        for (int i = 0; i < 216; ++i)
            palette.push_back(qRgb(i / 36 * 51, i / 6 % 6 * 51, i % 6 * 51));
        std::vector<uchar> indices(std::size_t(w) * h);
        QRandomGenerator random(5);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int r = qBound(0, x * 6 / w + int(random.bounded(2)), 5);
                const int g = qBound(0, y * 6 / h, 5);
                indices[std::size_t(y) * w + x] = uchar(r * 36 + g * 6 + (x / 50 + y / 50) % 6);
            }
        }
        const QString p = dir.filePath(QStringLiteral("chart.gif"));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(gif(indices, w, h, palette));
        cases.append({QStringLiteral("GIF 2000x1500"), p});
    }
    {
        const QString p = dir.filePath(QStringLiteral("app.ico"));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(icon());
        cases.append({QStringLiteral("ICO 256x256 (PNG)"), p});
    }

    std::printf("Auto-Fit into 449 x 385: load and first paint, median of %d runs, each in a "
                "fresh process\n\n",
                runs);
    std::printf("%-28s %9s %9s %7s %12s %12s %7s\n", "picture", "ours ms", "naive ms", "faster",
                "ours peak MB", "naive peak MB", "memory");
    for (const Case &c : cases) {
        const double size = double(QFileInfo(c.path).size()) / (1024 * 1024);
        measure(QStringLiteral("ours"), c.path, 1); // warm the file cache
        const Sample ours = measure(QStringLiteral("ours"), c.path, runs);
        const Sample naive = measure(QStringLiteral("naive"), c.path, runs);
        std::printf("%-28s %9.1f %9.1f %6.1fx %12.1f %12.1f %6.0f%%   (%.1f MB file)\n",
                    qPrintable(c.label), ours.ms, naive.ms, naive.ms / qMax(ours.ms, 0.001),
                    ours.peakMb, naive.peakMb,
                    naive.peakMb > 0 ? 100.0 * ours.peakMb / naive.peakMb : 0.0, size);
    }
    return 0;
}
