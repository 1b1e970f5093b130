// A JPEG decoded at an eighth of its size: the DC-coefficient path the viewer takes
// (JpegDcImage::decodeEighth) against libjpeg's own scaled decode, alternating in the
// same process on the same bytes, in processor time so that other programs on the
// machine count little. Only the calling thread's time counts: fair for a sequential
// file, which one thread reads, not for a progressive one, whose scans two share.
// Prints the median and the fastest of each, where the time of the first goes (the
// pixels computed from the DC values, or the DC-only file written for libjpeg), and
// whether the two pictures are the same.
//
//   bench_eighth file.jpg [runs]

#include "picture/Bytes.h"
#include "picture/jpeg/JpegDcImage.h"
#include "picture/jpeg/JpegDcPixels.h"
#include "picture/jpeg/JpegDecoder.h"
#include "picture/jpeg/ProgressiveJpegReader.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

// The processor time of this thread: what another program on the same cores leaves
// out, where the wall clock counts it.
class CpuTimer {
public:
    CpuTimer() { restart(); }
    void restart() { m_start = now(); }
    [[nodiscard]] double elapsedMs() const { return (now() - m_start) / 1e6; }

private:
    static double now()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
    }
    double m_start = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_eighth file.jpg [runs]\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray bytes = file.readAll();
    const picture::Bytes data(bytes);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    std::vector<double> dc;
    std::vector<double> libjpeg;
    QImage fromDc;
    QImage fromLibjpeg;
    for (int i = 0; i < runs; ++i) {
        CpuTimer timer;
        fromDc = picture::JpegDcImage::decodeEighth(data).image;
        dc.push_back(timer.elapsedMs());
        timer.restart();
        fromLibjpeg = picture::decodeJpeg(data, 8).image;
        libjpeg.push_back(timer.elapsedMs());
    }
    const double dcMedian = median(dc);
    const double libjpegMedian = median(libjpeg);
    std::printf("decodeEighth   median %7.2f ms  fastest %7.2f ms\n", dcMedian,
                *std::min_element(dc.begin(), dc.end()));
    std::printf("libjpeg at 1/8 median %7.2f ms  fastest %7.2f ms\n", libjpegMedian,
                *std::min_element(libjpeg.begin(), libjpeg.end()));
    // Where the DC path's time goes, the fastest of a few runs each.
    double readMs = 1e9;
    double writeMs = 1e9;
    double finishMs = 1e9;
    double pixelsMs = 1e9;
    bool direct = false;
    QString why;
    for (int i = 0; i < runs; ++i) {
        CpuTimer timer;
        picture::ProgressiveJpegReader reader;
        const bool clean = reader.read(data) == picture::ProgressiveJpegReader::Verdict::Clean;
        readMs = std::min(readMs, timer.elapsedMs());
        why = clean ? QStringLiteral("clean") : reader.why();
        timer.restart();
        const QByteArray sequential =
            clean ? picture::JpegDcImage::sequentialFile(reader.frame()) : QByteArray();
        writeMs = std::min(writeMs, timer.elapsedMs());
        timer.restart();
        (void)picture::decodeJpeg(picture::Bytes(sequential), 8);
        finishMs = std::min(finishMs, timer.elapsedMs());
        timer.restart();
        direct = clean && picture::JpegDcPixels::decode(reader.frame()).has_value();
        pixelsMs = std::min(pixelsMs, timer.elapsedMs());
    }
    std::printf("DC path: read %.2f ms (%s), write %.2f ms, libjpeg finishes in %.2f ms\n", readMs,
                qPrintable(why), writeMs, finishMs);
    std::printf("         or the pixels computed in %.2f ms (%s)\n", pixelsMs,
                direct ? "taken" : "not taken: written for libjpeg");
    // Colour halved both ways, libjpeg scales the colour by a 2-point IDCT that reads
    // AC coefficients too: the pictures then differ a little.
    int worst = 0;
    if (fromDc.size() == fromLibjpeg.size()) {
        for (int y = 0; y < fromDc.height(); ++y) {
            for (int x = 0; x < fromDc.width(); ++x) {
                const QRgb a = fromDc.pixel(x, y);
                const QRgb b = fromLibjpeg.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)),
                                  std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            }
        }
    }
    std::printf("speed-up %.2fx, pictures %s (largest difference %d)\n", libjpegMedian / dcMedian,
                fromDc == fromLibjpeg ? "identical" : "differ", worst);
    return 0;
}
