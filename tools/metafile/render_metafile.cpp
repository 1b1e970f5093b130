// Renders a WMF or EMF file to PNG with Quorvel's metafile player.
//
//   render_metafile IN.wmf OUT.png [WIDTH HEIGHT]
//   render_metafile --batch LIST     (lines: IN<TAB>OUT<TAB>WIDTH<TAB>HEIGHT; 0 0 = natural size)
//   render_metafile --info IN...     (prints kind, natural size, EMF+ use)
//   render_metafile --compare LIST   (lines: A.png<TAB>B.png; prints the RGB RMSE of the
//                                     two over white, both box-averaged to 64 x 64)
#include "picture/metafile/MetafilePicture.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Averages the picture (composited over white) down to side x side with an exact box filter.
std::vector<double> boxDown(const QImage &src, int side)
{
    const QImage img = src.convertToFormat(QImage::Format_ARGB32);
    std::vector<double> out(size_t(side) * side * 3, 1.0);
    const int w = img.width(), h = img.height();
    if (w == 0 || h == 0)
        return out;
    // Horizontal then vertical weights of each source column/row in each output cell.
    auto spans = [](int n, int cells) {
        std::vector<std::vector<std::pair<int, double>>> s(static_cast<size_t>(cells));
        for (int c = 0; c < cells; ++c) {
            const double a = double(c) * n / cells, b = double(c + 1) * n / cells;
            for (int i = int(a); i < n && i < b; ++i) {
                const double wgt = std::min<double>(b, i + 1) - std::max<double>(a, i);
                if (wgt > 0)
                    s[size_t(c)].push_back({i, wgt});
            }
        }
        return s;
    };
    const auto xs = spans(w, side), ys = spans(h, side);
    std::vector<double> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const double a = qAlpha(line[x]) / 255.0;
            const size_t i = (size_t(y) * w + x) * 3;
            rgb[i] = qRed(line[x]) / 255.0 * a + (1 - a);
            rgb[i + 1] = qGreen(line[x]) / 255.0 * a + (1 - a);
            rgb[i + 2] = qBlue(line[x]) / 255.0 * a + (1 - a);
        }
    }
    for (int cy = 0; cy < side; ++cy)
        for (int cx = 0; cx < side; ++cx) {
            double acc[3] = {0, 0, 0}, total = 0;
            for (const auto &[y, wy] : ys[size_t(cy)])
                for (const auto &[x, wx] : xs[size_t(cx)]) {
                    const size_t i = (size_t(y) * w + x) * 3;
                    for (int k = 0; k < 3; ++k)
                        acc[k] += rgb[i + k] * wx * wy;
                    total += wx * wy;
                }
            for (int k = 0; k < 3; ++k)
                out[(size_t(cy) * side + cx) * 3 + k] = total > 0 ? acc[k] / total : 1.0;
        }
    return out;
}

double rmse(const QImage &a, const QImage &b)
{
    const auto da = boxDown(a, 64), db = boxDown(b, 64);
    double sum = 0;
    for (size_t i = 0; i < da.size(); ++i)
        sum += (da[i] - db[i]) * (da[i] - db[i]);
    return std::sqrt(sum / double(da.size()));
}

bool renderOne(const QString &in, const QString &out, int w, int h)
{
    QFile f(in);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot open\n", qPrintable(in));
        return false;
    }
    QString why;
    auto pic = MetafilePicture::load(f.readAll(), &why);
    if (!pic) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(in), qPrintable(why));
        return false;
    }
    const QSize size = (w > 0 && h > 0) ? QSize(w, h) : pic->naturalSize();
    const QImage img = pic->render(size);
    if (img.isNull() || !img.save(out, "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", qPrintable(in), qPrintable(out));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args[0] == QLatin1String("--batch")) {
        QFile list(args[1]);
        if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
            return 2;
        int failures = 0;
        QTextStream ts(&list);
        while (!ts.atEnd()) {
            const QStringList parts = ts.readLine().split(QLatin1Char('\t'));
            if (parts.size() < 2)
                continue;
            const int w = parts.size() >= 4 ? parts[2].toInt() : 0;
            const int h = parts.size() >= 4 ? parts[3].toInt() : 0;
            if (!renderOne(parts[0], parts[1], w, h))
                ++failures;
        }
        return failures ? 1 : 0;
    }
    if (args.size() >= 2 && args[0] == QLatin1String("--compare")) {
        QFile list(args[1]);
        if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
            return 2;
        QTextStream ts(&list);
        while (!ts.atEnd()) {
            const QStringList parts = ts.readLine().split(QLatin1Char('\t'));
            if (parts.size() < 2)
                continue;
            const QImage a(parts[0]), b(parts[1]);
            if (a.isNull() || b.isNull())
                std::printf("%s\tMISSING\n", qPrintable(parts[0]));
            else
                std::printf("%s\t%.4f\n", qPrintable(parts[0]), rmse(a, b));
        }
        return 0;
    }
    if ((args.size() == 4 || args.size() == 9) && args[0] == QLatin1String("--side-by-side")) {
        // Puts two renders next to each other (over white) for looking at; optionally
        // a crop (x y w h) of both, enlarged by a factor.
        QImage a(args[1]), b(args[2]);
        if (args.size() == 9) {
            const QRect crop(args[4].toInt(), args[5].toInt(), args[6].toInt(), args[7].toInt());
            const int f = args[8].toInt();
            a = a.copy(crop).scaled(crop.size() * f);
            b = b.copy(crop).scaled(crop.size() * f);
        } else if (a.height() < 300 && a.height() > 0) {
            const int f = 300 / a.height() + 1;
            a = a.scaled(a.size() * f);
            b = b.scaled(b.size() * f);
        }
        QImage out(a.width() + b.width() + 8, qMax(a.height(), b.height()), QImage::Format_RGB32);
        out.fill(Qt::red);
        QPainter p(&out);
        p.fillRect(QRect(0, 0, a.width(), a.height()), Qt::white);
        p.drawImage(0, 0, a);
        p.fillRect(QRect(a.width() + 8, 0, b.width(), b.height()), Qt::white);
        p.drawImage(a.width() + 8, 0, b);
        p.end();
        return out.save(args[3]) ? 0 : 1;
    }
    if (args.size() >= 2 && args[0] == QLatin1String("--info")) {
        for (const QString &in : args.mid(1)) {
            QFile f(in);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            QString why;
            auto pic = MetafilePicture::load(f.readAll(), &why);
            if (!pic) {
                std::printf("%s\tREFUSED\t%s\n", qPrintable(in), qPrintable(why));
                continue;
            }
            std::printf("%s\t%s\t%dx%d\t%s\n", qPrintable(in), pic->isEmf() ? "EMF" : "WMF",
                        pic->naturalSize().width(), pic->naturalSize().height(),
                        pic->isEmfPlusOnly() ? "emf+only"
                        : pic->hasEmfPlus()  ? "emf+dual"
                                             : "-");
        }
        return 0;
    }
    if (args.size() != 2 && args.size() != 4) {
        std::fprintf(
            stderr,
            "usage: render_metafile IN OUT.png [WIDTH HEIGHT] | --batch LIST | --info IN...\n");
        return 2;
    }
    const int w = args.size() == 4 ? args[2].toInt() : 0;
    const int h = args.size() == 4 ? args[3].toInt() : 0;
    return renderOne(args[0], args[1], w, h) ? 0 : 1;
}
