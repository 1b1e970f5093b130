// Baseline and extended sequential JPEGs read for their DC coefficients alone, against
// what libjpeg reads of the same files, and the damage that must leave them to libjpeg.

#include "LibjpegFiles.h"
#include "SavedJpegs.h"
#include "picture/jpeg/JpegDcImage.h"
#include "picture/jpeg/JpegDecoder.h"
#include "picture/jpeg/ProgressiveJpegReader.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTest>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

using picture::Bytes;
using picture::JpegDcImage;
using picture::ProgressiveJpegReader;
using namespace testjpeg;

namespace {

QImage photo(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator random(17);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(random.bounded(60));
            line[x] =
                qRgb((x * 255 / w + n) & 255, (y * 255 / h + 3 * n) & 255, ((x * y) / 7 + n) & 255);
        }
    }
    return image;
}

bool readsClean(const QByteArray &file, QString *why = nullptr)
{
    ProgressiveJpegReader reader;
    const bool clean = reader.read(Bytes(file)) == ProgressiveJpegReader::Verdict::Clean;
    if (why)
        *why = reader.why();
    return clean;
}

// Every DC coefficient the reader kept is the one libjpeg reads.
int dcMismatches(const QByteArray &file)
{
    ProgressiveJpegReader reader;
    if (reader.read(Bytes(file)) != ProgressiveJpegReader::Verdict::Clean)
        return -1;
    std::vector<std::vector<JCOEF>> expected;
    if (throughLibjpeg(file, false, &expected).isEmpty())
        return -1;
    const auto &components = reader.frame().components;
    if (expected.size() != components.size())
        return -1;
    int mismatches = 0;
    for (std::size_t c = 0; c < components.size(); ++c) {
        const auto &component = components[c];
        if (qsizetype(expected[c].size()) != qsizetype(component.blocksWide) * component.blocksHigh)
            return -1;
        for (int y = 0; y < component.blocksHigh; ++y) {
            for (int x = 0; x < component.blocksWide; ++x) {
                const std::size_t at = std::size_t(y) * std::size_t(component.gridWide) + x;
                mismatches += component.dc[at] !=
                              expected[c][std::size_t(y) * std::size_t(component.blocksWide) + x];
            }
        }
    }
    return mismatches;
}

struct Sample {
    const char *name;
    QByteArray file;
    bool eighthUsesOnlyDc; // no component is scaled by an IDCT of more than one point
};

QList<Sample> samples()
{
    const QImage odd = photo(203, 157); // sides no MCU divides
    Encoding e420;
    e420.optimised = true;
    Encoding e444;
    e444.lumaH = e444.lumaV = 1;
    e444.restartInterval = 7;
    Encoding e422;
    e422.lumaV = 1;
    e422.restartInterval = 3;
    e422.optimised = true;
    Encoding grey;
    grey.grey = true;
    grey.restartInterval = 5;
    Encoding separate;
    separate.scanPerComponent = true;
    separate.restartInterval = 2;
    Encoding finest; // long codes, runs of sixteen zeros, blocks full to the last
    finest.lumaH = finest.lumaV = 1;
    finest.quality = 100;
    finest.optimised = true;
    Encoding extended; // quantisers past 255: 16-bit tables, an SOF1 frame
    extended.quality = 2;
    extended.forceBaseline = false;
    return {{"4:2:0, own tables", encode(odd, e420), false},
            {"4:4:4, restarts", encode(odd, e444), true},
            {"4:2:2, restarts", encode(odd, e422), true},
            {"grey, restarts", encode(odd, grey), true},
            {"4:2:0, a scan per component", encode(odd, separate), false},
            {"4:4:4, quality 100", encode(photo(64, 48), finest), true},
            {"extended sequential", encode(odd, extended), false}};
}

// The file with restart marker number n (counted from 0) taken out, or, with
// replacement, given another number.
QByteArray withRestart(const QByteArray &file, int n, int replacement = -1)
{
    qsizetype at = file.indexOf(QByteArray("\xFF\xDA", 2));
    for (int seen = 0; at >= 0 && at + 1 < file.size(); ++at) {
        if (uchar(file[at]) == 0xFF && (uchar(file[at + 1]) & 0xF8) == 0xD0 && seen++ == n) {
            QByteArray out = file;
            if (replacement < 0)
                out.remove(at, 2);
            else
                out[at + 1] = char(0xD0 + replacement);
            return out;
        }
    }
    return {};
}

} // namespace

class TestSequentialJpeg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dcOfEveryBlockAndTheEighthAreLibjpegs();
    void damageIsLeftToLibjpeg();
    void corpusFilesGetLibjpegsVerdict();
};

void TestSequentialJpeg::dcOfEveryBlockAndTheEighthAreLibjpegs()
{
    for (const Sample &s : samples()) {
        QVERIFY2(!s.file.isEmpty(), s.name);
        QString why;
        QVERIFY2(readsClean(s.file, &why), qPrintable(QString::fromLatin1(s.name) + ": " + why));
        QCOMPARE(dcMismatches(s.file), 0);
        // Pixel for pixel what libjpeg makes of the same coefficients without the AC,
        // and where libjpeg reads only the DC at 1/8, its own picture of the file.
        const picture::Decoded eighth = JpegDcImage::decodeEighth(Bytes(s.file));
        QVERIFY2(eighth.ok() && eighth.warning.isEmpty(), s.name);
        const QByteArray reference = throughLibjpeg(s.file, true);
        QVERIFY(!reference.isEmpty());
        QCOMPARE(eighth.image, picture::decodeJpeg(Bytes(reference), 8).image);
        if (s.eighthUsesOnlyDc)
            QCOMPARE(eighth.image, picture::decodeJpeg(Bytes(s.file), 8).image);
    }
    QVERIFY(samples().last().file.contains(QByteArray("\xFF\xC1", 2)));
}

void TestSequentialJpeg::damageIsLeftToLibjpeg()
{
    // Cuts, changed bytes, codes no table has, restarts missing or out of order: a
    // file the reader calls clean libjpeg finds sound and pictures the same, and the
    // eighth's verdict is always libjpeg's.
    QRandomGenerator random(9);
    int soundAndClean = 0;
    int damagedAndUndecided = 0;
    for (const Sample &s : samples()) {
        const QByteArray &file = s.file;
        const qsizetype firstScan = file.indexOf(QByteArray("\xFF\xDA", 2));
        QList<QByteArray> variants;
        for (qsizetype cut = firstScan + 12; cut < file.size(); cut += 97)
            variants.append(file.left(cut));
        for (int i = 0; i < 60; ++i) {
            QByteArray broken = file;
            const qsizetype at = firstScan + 14 + random.bounded(file.size() - firstScan - 16);
            broken[at] = char(random.bounded(256));
            if (i % 4 == 0)
                broken[at + 1] = char(0xFF);
            variants.append(broken);
        }
        QByteArray ones = file; // stuffed 0xFF bytes: all one bits
        for (qsizetype i = (firstScan + file.size()) / 2; i < (firstScan + file.size()) / 2 + 40;
             i += 2) {
            ones[i] = char(0xFF);
            ones[i + 1] = '\0';
        }
        variants.append(ones);
        const QList<QByteArray> restartDamage = {withRestart(file, 1), withRestart(file, 2, 4),
                                                 withRestart(file, 0, 1)};
        for (const QByteArray &variant : restartDamage) {
            if (!variant.isEmpty()) {
                QVERIFY2(!readsClean(variant), s.name);
                QVERIFY2(!libjpegFindsSound(variant), s.name);
                variants.append(variant);
            }
        }
        // Closed right after the header: libjpeg finds no picture. Closed after the
        // first of several scans: the components left out are not taken on.
        const QByteArray noScan = file.left(firstScan) + QByteArray("\xFF\xD9", 2);
        QVERIFY2(!readsClean(noScan), s.name);
        QVERIFY2(!libjpegFindsSound(noScan), s.name);
        variants.append(noScan);
        const qsizetype secondScan = file.indexOf(QByteArray("\xFF\xDA", 2), firstScan + 2);
        if (secondScan > 0) {
            variants.append(file.left(secondScan) + QByteArray("\xFF\xD9", 2));
            QVERIFY2(!readsClean(variants.last()), s.name);
        }
        for (const QByteArray &variant : std::as_const(variants)) {
            const bool clean = readsClean(variant);
            const bool sound = libjpegFindsSound(variant);
            QVERIFY2(!clean || sound, s.name);
            if (clean)
                QCOMPARE(dcMismatches(variant), 0);
            soundAndClean += clean && sound;
            damagedAndUndecided += !clean && !sound;
            const picture::Decoded eighth = JpegDcImage::decodeEighth(Bytes(variant));
            QCOMPARE(eighth.ok() && eighth.warning.isEmpty(), sound);
            if (clean && s.eighthUsesOnlyDc)
                QCOMPARE(eighth.image, picture::decodeJpeg(Bytes(variant), 8).image);
        }
    }
    // The same for a progressive file without its scans.
    Encoding progressive;
    progressive.progressive = true;
    const QByteArray file = encode(photo(40, 30), progressive);
    const QByteArray noScan =
        file.left(file.indexOf(QByteArray("\xFF\xDA", 2))) + QByteArray("\xFF\xD9", 2);
    QVERIFY(!readsClean(noScan));
    QVERIFY(!JpegDcImage::decodeEighth(Bytes(noScan)).ok());

    // Both kinds were seen, so the properties above were put to the test.
    QVERIFY2(soundAndClean > 20, qPrintable(QString::number(soundAndClean)));
    QVERIFY2(damagedAndUndecided > 150, qPrintable(QString::number(damagedAndUndecided)));
}

void TestSequentialJpeg::corpusFilesGetLibjpegsVerdict()
{
    // The saved fuzz inputs and the shared corpus's sequential JPEGs: every one the
    // reader calls clean, libjpeg finds sound, with the same DC in every block.
    int sequential = 0;
    int clean = 0;
    for (const SavedJpeg &jpeg : savedJpegs()) {
        if (jpeg.header.progressive)
            continue;
        const QString &path = jpeg.path;
        const QByteArray &bytes = jpeg.bytes;
        ++sequential;
        if (!readsClean(bytes))
            continue;
        ++clean;
        QVERIFY2(libjpegFindsSound(bytes), qPrintable(path));
        QVERIFY2(dcMismatches(bytes) == 0, qPrintable(path));
        const picture::Decoded eighth = JpegDcImage::decodeEighth(Bytes(bytes));
        QVERIFY2(eighth.ok() && eighth.warning.isEmpty(), qPrintable(path));
        QCOMPARE(eighth.image.size(), picture::decodeJpeg(Bytes(bytes), 8).image.size());
    }
    QVERIFY(sequential > 10);
    QVERIFY(clean > 5);
}

QTEST_MAIN(TestSequentialJpeg)
#include "tst_sequentialjpeg.moc"
