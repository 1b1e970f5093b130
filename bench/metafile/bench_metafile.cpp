// Times the metafile player over the corpus: load, render at natural size and
// PNG encoding, per file, and compares with LibreOffice's times when given the
// log of tools/metafile/lo_render.py (which times load + render + PNG per file
// inside one soffice run, so LibreOffice's start-up is not counted).
//
// With the LibreOffice log, each file is drawn at the pixel size LibreOffice
// drew it (it fits big pictures to its page); without, at natural size.
//
//   bench_metafile [--corpus DIR] [--lo LO.tsv] [--runs N]
#include "picture/metafile/MetafilePicture.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const double pos = p * double(v.size() - 1);
    const size_t lo = size_t(pos);
    const size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - double(lo));
}

void summary(const char *name, const std::vector<double> &ms)
{
    std::printf("%-28s median %8.2f ms   p95 %8.2f ms   worst %8.2f ms   (%zu files)\n", name,
                percentile(ms, 0.5), percentile(ms, 0.95),
                ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()), ms.size());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QString corpus = QStringLiteral(QUORVEL_CORPUS_DIR);
    QString loLog;
    int runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--corpus"))
            corpus = args[i + 1];
        else if (args[i] == QLatin1String("--lo"))
            loLog = args[i + 1];
        else if (args[i] == QLatin1String("--runs"))
            runs = qMax(1, args[i + 1].toInt());
    }

    QHash<QString, double> loTimes;
    QHash<QString, QSize> loSizes;
    if (!loLog.isEmpty()) {
        QFile f(loLog);
        if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            while (!f.atEnd()) {
                const QStringList cols =
                    QString::fromUtf8(f.readLine()).trimmed().split(QLatin1Char('\t'));
                if (cols.size() == 3 && cols[1] != QLatin1String("ERROR")) {
                    const qsizetype at = cols[0].indexOf(QLatin1String("/corpus/"));
                    const QString key = at >= 0 ? cols[0].mid(at + 8) : cols[0];
                    loTimes.insert(key, cols[1].toDouble());
                    const QStringList wh = cols[2].split(QLatin1Char('x'));
                    if (wh.size() == 2)
                        loSizes.insert(key, QSize(wh[0].toInt(), wh[1].toInt()));
                }
            }
        }
    }

    QFile manifest(corpus + QLatin1String("/MANIFEST.tsv"));
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "no corpus at %s\n", qPrintable(corpus));
        return 1;
    }
    manifest.readLine();
    std::vector<double> ours, oursPng, lo, oursSame;
    QHash<QString, std::vector<double>> perFormat;
    int slower = 0;
    while (!manifest.atEnd()) {
        const QStringList cols =
            QString::fromUtf8(manifest.readLine()).trimmed().split(QLatin1Char('\t'));
        if (cols.size() < 3 ||
            (cols[1] != QLatin1String("wmf") && cols[1] != QLatin1String("emf")) ||
            cols[2] != QLatin1String("load"))
            continue;
        QFile f(corpus + QLatin1Char('/') + cols[0]);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = f.readAll();
        std::vector<double> render, withPng;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            auto pic = MetafilePicture::load(bytes);
            if (!pic)
                break;
            // LibreOffice's pictures are fitted to its page; time both at its size.
            const QImage img =
                loSizes.contains(cols[0]) ? pic->render(loSizes.value(cols[0])) : pic->toImage();
            const double a = double(t.nsecsElapsed()) / 1e6;
            QByteArray png;
            QBuffer buf(&png);
            buf.open(QIODevice::WriteOnly);
            img.save(&buf, "PNG");
            render.push_back(a);
            withPng.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        if (render.empty())
            continue;
        const double ms = percentile(render, 0.5);
        const double msPng = percentile(withPng, 0.5);
        ours.push_back(ms);
        oursPng.push_back(msPng);
        perFormat[cols[1]].push_back(msPng);
        if (loTimes.contains(cols[0])) {
            lo.push_back(loTimes.value(cols[0]));
            oursSame.push_back(msPng);
            if (msPng > loTimes.value(cols[0]))
                ++slower;
            std::printf("%-70s ours %8.2f ms   LibreOffice %8.2f ms\n", qPrintable(cols[0]), msPng,
                        loTimes.value(cols[0]));
        } else {
            std::printf("%-70s ours %8.2f ms\n", qPrintable(cols[0]), msPng);
        }
    }
    std::printf("\n");
    summary("ours: load + render", ours);
    summary("ours: load + render + PNG", oursPng);
    summary("  WMF (with PNG)", perFormat.value(QStringLiteral("wmf")));
    summary("  EMF (with PNG)", perFormat.value(QStringLiteral("emf")));
    if (!lo.empty()) {
        summary("same files, ours", oursSame);
        summary("same files, LibreOffice", lo);
        std::printf("files where ours is slower: %d of %zu\n", slower, lo.size());
    }
    return 0;
}
