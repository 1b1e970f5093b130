// The eighth-size picture of a progressive JPEG made from its DC scans, against what
// libjpeg makes of the same file, and the damage it must still refuse.

#include "LibjpegFiles.h"
#include "SavedJpegs.h"
#include "picture/HugePageAllocator.h"
#include "picture/PictureLoader.h"
#include "picture/PictureTestData.h"
#include "picture/jpeg/BitSelect.h"
#include "picture/jpeg/JpegDcImage.h"
#include "picture/jpeg/JpegDecoder.h"
#include "picture/jpeg/ProgressiveJpegReader.h"

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QTest>
#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>
#include <vector>

using picture::Bytes;
using picture::JpegDcImage;
using picture::ProgressiveJpegReader;
using namespace testjpeg;

namespace {

// Every file here is progressive: libjpeg's own progression unless scans are given.
struct Encoding : testjpeg::Encoding {
    Encoding() { progressive = true; }
};

QImage photo(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(random.bounded(40));
            line[x] =
                qRgb((x * 255 / w + n) & 255, (y * 255 / h + 2 * n) & 255, ((x ^ y) + n) & 255);
        }
    }
    return image;
}

QList<QByteArray> samples()
{
    const QImage image = photo(203, 157); // sides no MCU divides
    Encoding interleaved;
    interleaved.lumaH = interleaved.lumaV = 1;
    interleaved.scans = {
        {{0, 1, 2}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}, {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0}};
    Encoding separateDc; // 4:2:0 with each component's DC in a scan of its own
    separateDc.scans = {{{0}, 0, 0, 0, 1},  {{2}, 0, 0, 0, 1},  {{1}, 0, 0, 0, 2},
                        {{0}, 1, 9, 0, 1},  {{1}, 0, 0, 2, 1},  {{0}, 10, 63, 0, 0},
                        {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0}, {{0}, 0, 0, 1, 0},
                        {{1}, 0, 0, 1, 0},  {{0}, 1, 9, 1, 0},  {{2}, 0, 0, 1, 0}};
    Encoding grey;
    grey.grey = true;
    Encoding wide; // 4:2:2, restart markers every few MCUs
    wide.lumaV = 1;
    wide.restartInterval = 3;
    Encoding plain444;
    plain444.lumaH = plain444.lumaV = 1;
    plain444.restartInterval = 7;
    return {encode(image, Encoding{}), encode(image, plain444),    encode(image, grey),
            encode(image, separateDc), encode(image, interleaved), encode(image, wide)};
}

// The coefficients of every block as libjpeg reads them: per component, rows of
// blocks of 64 in natural order.
std::vector<std::vector<std::array<JCOEF, 64>>> libjpegCoefficients(const QByteArray &file)
{
    jpeg_decompress_struct d{};
    LibjpegError err{};
    d.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = leaveLibjpeg;
    std::vector<std::vector<std::array<JCOEF, 64>>> all;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        return {};
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char *>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    jvirt_barray_ptr *arrays = jpeg_read_coefficients(&d);
    for (int ci = 0; ci < d.num_components; ++ci) {
        const jpeg_component_info &comp = d.comp_info[ci];
        std::vector<std::array<JCOEF, 64>> blocks;
        for (JDIMENSION y = 0; y < comp.height_in_blocks; ++y) {
            JBLOCKARRAY row = d.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&d),
                                                        arrays[ci], y, 1, FALSE);
            for (JDIMENSION x = 0; x < comp.width_in_blocks; ++x) {
                std::array<JCOEF, 64> block;
                std::copy(row[0][x], row[0][x] + 64, block.begin());
                blocks.push_back(block);
            }
        }
        all.push_back(std::move(blocks));
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return all;
}

// Where the k-th coefficient in zig-zag order sits in a block.
constexpr std::array<int, 64> kZigZag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The file with bytes from the middle of scan number `scan`'s data on (at most 40)
// turned into stuffed 0xFF bytes: all one bits, which no AC or DC code starts.
QByteArray onesInScan(const QByteArray &file, int scan)
{
    qsizetype header = -1;
    for (int i = 0; i <= scan; ++i) {
        header = file.indexOf(QByteArray("\xFF\xDA", 2), header + 1);
        if (header < 0)
            return {};
    }
    const qsizetype data = header + 2 + ((uchar(file[header + 2]) << 8) | uchar(file[header + 3]));
    qsizetype end = data;
    while (end + 1 < file.size() && !(uchar(file[end]) == 0xFF && file[end + 1] != 0 &&
                                      (uchar(file[end + 1]) & 0xF8) != 0xD0))
        ++end;
    QByteArray broken = file;
    for (qsizetype i = (data + end) / 2; i + 1 < end && i < (data + end) / 2 + 40; i += 2) {
        broken[i] = char(0xFF);
        broken[i + 1] = '\0';
    }
    return broken;
}

} // namespace

class TestProgressiveJpeg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dcScansGiveTheEighthOfTheFullDecode_data();
    void dcScansGiveTheEighthOfTheFullDecode();
    void damageLibjpegSeesIsNeverReadAsSound();
    void damagedOrCutProgressiveFilesAreStillRefused();
    void everyBlockReadsAsLibjpegReadsIt();
    void damageInAnyOneScanIsSeen();
    void theNthSetBitIsFoundAsCountingFindsIt();
    void masksOfAPhotoKeepTheirValuesOnHugePages();
    void savedFuzzInputsGetLibjpegsVerdict();
};

void TestProgressiveJpeg::dcScansGiveTheEighthOfTheFullDecode_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("eighthUsesOnlyDc"); // no component is upsampled by the IDCT
    const QList<QByteArray> files = samples();
    QTest::newRow("4:2:0, DC in two steps") << files[0] << false;
    QTest::newRow("4:4:4, restarts") << files[1] << true;
    QTest::newRow("grey") << files[2] << true;
    QTest::newRow("4:2:0, DC scan per component") << files[3] << false;
    QTest::newRow("4:4:4, interleaved DC only") << files[4] << true;
    QTest::newRow("4:2:2, restarts") << files[5] << true;
}

void TestProgressiveJpeg::dcScansGiveTheEighthOfTheFullDecode()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, eighthUsesOnlyDc);
    QVERIFY(!file.isEmpty());
    ProgressiveJpegReader reader;
    QVERIFY2(reader.read(Bytes(file)) == ProgressiveJpegReader::Verdict::Clean,
             qPrintable(reader.why()));
    const QByteArray sequential = JpegDcImage::sequentialFile(reader.frame());
    QVERIFY(!sequential.isEmpty());
    const picture::Decoded fromDc = picture::decodeJpeg(Bytes(sequential), 8);
    QVERIFY2(fromDc.ok() && fromDc.warning.isEmpty(), qPrintable(fromDc.failure + fromDc.warning));

    // Pixel for pixel what libjpeg makes of the file's own coefficients without the AC.
    const QByteArray reference = throughLibjpeg(file, true);
    QVERIFY(!reference.isEmpty());
    QCOMPARE(fromDc.image, picture::decodeJpeg(Bytes(reference), 8).image);
    QCOMPARE(JpegDcImage::decodeEighth(Bytes(file)).image, fromDc.image);

    // Where libjpeg reads only the DC at 1/8, that is its full decode. Colour halved
    // both ways it scales up by a 2-point IDCT instead, which reads AC coefficients.
    const QImage full = picture::decodeJpeg(Bytes(file), 8).image;
    if (eighthUsesOnlyDc) {
        QCOMPARE(fromDc.image, full);
    } else {
        QCOMPARE(fromDc.image.size(), full.size());
        int worst = 0;
        for (int y = 0; y < full.height(); ++y) {
            for (int x = 0; x < full.width(); ++x) {
                const QRgb a = full.pixel(x, y), b = fromDc.image.pixel(x, y);
                worst = std::max({worst, qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)),
                                  qAbs(qBlue(a) - qBlue(b))});
            }
        }
        QVERIFY2(worst < 64, qPrintable(QString::number(worst)));
    }
}

void TestProgressiveJpeg::damageLibjpegSeesIsNeverReadAsSound()
{
    // Every cut and many corrupted bytes of each sample: a file the reader calls
    // clean, libjpeg must find sound too; what the reader leaves undecided goes to
    // libjpeg anyway.
    QRandomGenerator random(5);
    int soundAndClean = 0;
    int damagedAndUndecided = 0;
    for (const QByteArray &file : samples()) {
        const qsizetype firstScan = file.indexOf(QByteArray("\xFF\xDA", 2));
        QList<QByteArray> variants;
        for (qsizetype cut = firstScan + 10; cut < file.size(); cut += 101)
            variants.append(file.left(cut));
        for (int i = 0; i < 80; ++i) {
            QByteArray broken = file;
            const qsizetype at = firstScan + random.bounded(file.size() - firstScan);
            broken[at] = char(random.bounded(256));
            if (i % 3 == 0)
                broken[at + 1 < file.size() ? at + 1 : at] = char(0xFF);
            variants.append(broken);
        }
        for (const QByteArray &variant : std::as_const(variants)) {
            ProgressiveJpegReader reader;
            const bool clean = reader.read(Bytes(variant)) == ProgressiveJpegReader::Verdict::Clean;
            const bool sound = libjpegFindsSound(variant);
            QVERIFY2(!clean || sound, "read as clean, but libjpeg finds damage");
            soundAndClean += clean && sound;
            damagedAndUndecided += !clean && !sound;
            // The loader's answer is libjpeg's, whichever way the picture was made.
            const picture::Decoded eighth = JpegDcImage::decodeEighth(Bytes(variant));
            QCOMPARE(eighth.ok() && eighth.warning.isEmpty(), sound);
        }
    }
    // Both kinds were seen, so the property above was put to the test.
    QVERIFY(soundAndClean > 20);
    QVERIFY(damagedAndUndecided > 200);
}

void TestProgressiveJpeg::damagedOrCutProgressiveFilesAreStillRefused()
{
    const QByteArray file = samples()[0];
    QVERIFY2(PictureLoader::loadBytes(file).picture, "the sound file loads");
    const qsizetype lastScan = file.lastIndexOf(QByteArray("\xFF\xDA", 2));
    // Cut inside the last AC scan, and between the scans.
    QVERIFY(!PictureLoader::loadBytes(file.left(lastScan + 40)).picture);
    QVERIFY(!PictureLoader::loadBytes(file.left(lastScan)).picture);
    // The last scan's data turned into codes its table lacks: all ones.
    QByteArray badCodes = file;
    for (qsizetype i = lastScan + 20; i < lastScan + 60; i += 2) {
        badCodes[i] = char(0xFF);
        badCodes[i + 1] = char(0x00);
    }
    const LoadResult r = PictureLoader::loadBytes(badCodes);
    QVERIFY(!r.picture);
    QVERIFY2(r.failure.startsWith(QStringLiteral("damaged: JPEG")), qPrintable(r.failure));

    // A first scan at full precision may come again, and again: past 500 scans the
    // file is refused, as libjpeg refuses it, before any of them costs a pass.
    const QByteArray interleaved = samples()[4];
    const qsizetype lumaScan = interleaved.indexOf(QByteArray("\xFF\xDA\x00\x08\x01", 5));
    const qsizetype nextScan = interleaved.indexOf(QByteArray("\xFF\xDA", 2), lumaScan + 2);
    QVERIFY(lumaScan > 0 && nextScan > lumaScan);
    QByteArray endless = interleaved.left(nextScan);
    for (int i = 0; i < 600; ++i)
        endless += interleaved.mid(lumaScan, nextScan - lumaScan);
    endless += interleaved.mid(nextScan);
    ProgressiveJpegReader reader;
    QVERIFY(reader.read(Bytes(endless)) == ProgressiveJpegReader::Verdict::Undecided);
    QVERIFY2(reader.why().contains(QStringLiteral("too many scans")), qPrintable(reader.why()));
    QVERIFY(!PictureLoader::loadBytes(endless).picture);

    // Closed before its first scan: libjpeg finds no picture in it, and the eighth
    // must not make one of mid-grey.
    const QByteArray noScan =
        file.left(file.indexOf(QByteArray("\xFF\xDA", 2))) + QByteArray("\xFF\xD9", 2);
    QVERIFY(ProgressiveJpegReader().read(Bytes(noScan)) ==
            ProgressiveJpegReader::Verdict::Undecided);
    QVERIFY(!JpegDcImage::decodeEighth(Bytes(noScan)).ok());
}

void TestProgressiveJpeg::everyBlockReadsAsLibjpegReadsIt()
{
    // The DC coefficient and the non-zero AC ones of every block, after all scans,
    // with restarts, sampling and scan scripts of every kind: what the next scan of a
    // band needs, read on two threads, block runs split at restarts.
    for (const QByteArray &file : samples()) {
        ProgressiveJpegReader reader;
        QVERIFY2(reader.read(Bytes(file)) == ProgressiveJpegReader::Verdict::Clean,
                 qPrintable(reader.why()));
        const auto coefficients = libjpegCoefficients(file);
        const auto &components = reader.frame().components;
        QCOMPARE(coefficients.size(), components.size());
        for (std::size_t c = 0; c < components.size(); ++c) {
            const auto &component = components[c];
            QCOMPARE(qsizetype(coefficients[c].size()),
                     qsizetype(component.blocksWide) * component.blocksHigh);
            int mismatches = 0;
            for (int y = 0; y < component.blocksHigh; ++y) {
                for (int x = 0; x < component.blocksWide; ++x) {
                    const auto &block =
                        coefficients[c][std::size_t(y) * std::size_t(component.blocksWide) +
                                        std::size_t(x)];
                    quint64 expected = 0;
                    for (int k = 1; k < 64; ++k)
                        expected |= quint64(block[std::size_t(kZigZag[std::size_t(k)])] != 0) << k;
                    const std::size_t at =
                        std::size_t(y) * std::size_t(component.gridWide) + std::size_t(x);
                    mismatches += (component.nonzero[at] & ~quint64(1)) != expected ||
                                  component.dc[at] != block[0];
                }
            }
            QCOMPARE(mismatches, 0);
        }
    }
}

void TestProgressiveJpeg::damageInAnyOneScanIsSeen()
{
    // Whichever thread reads the scan, of luma or chroma, of DC or AC, first or
    // refinement: codes a table lacks make the file not clean. A DC refinement takes
    // the ones as bits, for libjpeg as for the reader.
    for (const QByteArray &file : {samples()[0], samples()[3], samples()[5]}) {
        const int scans = int(file.count(QByteArray("\xFF\xDA", 2)));
        int refused = 0;
        for (int scan = 0; scan < scans; ++scan) {
            const QByteArray broken = onesInScan(file, scan);
            QVERIFY(!broken.isEmpty());
            ProgressiveJpegReader reader;
            const bool clean = reader.read(Bytes(broken)) == ProgressiveJpegReader::Verdict::Clean;
            QCOMPARE(clean, libjpegFindsSound(broken));
            refused += !clean;
        }
        QVERIFY2(refused >= scans - 4,
                 qPrintable(QStringLiteral("%1 of %2").arg(refused).arg(scans)));
    }
}

void TestProgressiveJpeg::theNthSetBitIsFoundAsCountingFindsIt()
{
    // Where the refinement scans' reader finds the zero coefficient a run ends on:
    // the portable way, and PDEP where the processor has it (the reader takes one of
    // them), for words of every density and every n.
#ifdef QUORVEL_HAVE_PDEP
    __builtin_cpu_init();
    const bool pdep = __builtin_cpu_supports("bmi2");
#endif
    QRandomGenerator random(3);
    int portableWrong = 0;
    int pdepWrong = 0;
    for (int i = 0; i < 4000; ++i) {
        quint64 x = random.generate64();
        for (int thinner = 0; thinner < i % 5; ++thinner)
            x &= random.generate64();
        if (i < 4)
            x = std::array<quint64, 4>{0, ~quint64(0), 1, quint64(1) << 63}[std::size_t(i)];
        int seen = 0;
        std::array<int, 64> expected;
        expected.fill(64);
        for (int bit = 0; bit < 64; ++bit) {
            if ((x >> bit) & 1)
                expected[std::size_t(seen++)] = bit;
        }
        for (int n = 0; n < 64; ++n) {
            portableWrong += picture::selectBitPortable(x, n) != expected[std::size_t(n)];
#ifdef QUORVEL_HAVE_PDEP
            if (pdep)
                pdepWrong += picture::selectBitPdep(x, quint64(1) << n) != expected[std::size_t(n)];
#endif
        }
    }
    QCOMPARE(portableWrong, 0);
    QCOMPARE(pdepWrong, 0);
}

void TestProgressiveJpeg::masksOfAPhotoKeepTheirValuesOnHugePages()
{
    // A 24-megapixel photo's luma masks take 3 MB, a small picture's a few bytes: both
    // hold what was put in, grow and shrink, and (on Linux) the large ones start on a
    // huge page. The sanitizer build checks each goes back the way it came.
    for (const std::size_t count : {std::size_t(100), std::size_t(376) * 1000}) {
        std::vector<quint64, picture::HugePageAllocator<quint64>> masks(count, 0);
        for (std::size_t i = 0; i < count; ++i)
            masks[i] = quint64(i) * 0x9E3779B97F4A7C15ULL;
        masks.resize(count + count / 2, 7);
        bool kept = true;
        for (std::size_t i = 0; i < count; ++i)
            kept = kept && masks[i] == quint64(i) * 0x9E3779B97F4A7C15ULL;
        QVERIFY(kept);
        QCOMPARE(masks.back(), quint64(7));
#if defined(__linux__)
        if (count * sizeof(quint64) >= (std::size_t(2) << 20))
            QCOMPARE(reinterpret_cast<quintptr>(masks.data()) % (quintptr(2) << 20), quintptr(0));
#endif
    }
}

void TestProgressiveJpeg::savedFuzzInputsGetLibjpegsVerdict()
{
    // The saved fuzz inputs, and the shared corpus's JPEGs where it is there: every
    // progressive one the reader calls clean, libjpeg finds sound, and the eighth made
    // from its DC has libjpeg's size.
    int progressive = 0;
    int clean = 0;
    for (const SavedJpeg &jpeg : savedJpegs()) {
        if (!jpeg.header.progressive)
            continue;
        const QString &path = jpeg.path;
        const QByteArray &bytes = jpeg.bytes;
        ++progressive;
        ProgressiveJpegReader reader;
        if (reader.read(Bytes(bytes)) != ProgressiveJpegReader::Verdict::Clean)
            continue;
        ++clean;
        QVERIFY2(libjpegFindsSound(bytes), qPrintable(path));
        const picture::Decoded eighth = JpegDcImage::decodeEighth(Bytes(bytes));
        QVERIFY2(eighth.ok() && eighth.warning.isEmpty(), qPrintable(path));
        QCOMPARE(eighth.image.size(), picture::decodeJpeg(Bytes(bytes), 8).image.size());
    }
    QVERIFY(progressive > 5);
    QVERIFY(clean > 0);
}

QTEST_MAIN(TestProgressiveJpeg)
#include "tst_progressivejpeg.moc"
