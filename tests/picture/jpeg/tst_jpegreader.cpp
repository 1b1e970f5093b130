// The DC reader, progressive and sequential, against libjpeg on the same files: every
// block, the eighth made from them, damage left to libjpeg; and the eighth computed from
// DC values, byte for byte, on frames built for every sampling, marker and clamp.

#include "picture/HugePageAllocator.h"
#include "picture/PictureLoader.h"
#include "picture/jpeg/BitSelect.h"
#include "picture/jpeg/JpegDcImage.h"
#include "picture/jpeg/JpegDcPixels.h"
#include "picture/jpeg/JpegDecoder.h"
#include "picture/jpeg/ProgressiveJpegReader.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTest>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

using namespace picture;

enum class Values { Edges, WithinClamps, Spread, SpreadWithinClamps, Exhaustive };

struct FrameRecipe {
    int width = 64, height = 48, components = 3;
    int lumaH = 1, lumaV = 1, chromaH = 1, chromaV = 1;
    std::array<quint16, 3> dcQuant{8, 8, 8};
    QByteArray markers = {};
    std::array<int, 3> ids{1, 2, 3};
    Values values = Values::Spread;
    bool declined = false; // by JpegDcPixels, left to libjpeg
};
Q_DECLARE_METATYPE(FrameRecipe)

namespace {

const QByteArray kSos("\xFF\xDA", 2), kEoi("\xFF\xD9", 2);

// A compressor, a decompressor and the output buffer, given back however the work ends.
// Errors leave through the jump; warnings (stray bytes, coarse quantisers) are no concern.
struct Libjpeg {
    jpeg_error_mgr err{};
    std::jmp_buf jump{};
    jpeg_compress_struct c{};
    jpeg_decompress_struct d{};
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    Libjpeg()
    {
        c.err = d.err = jpeg_std_error(&err);
        err.error_exit = [](j_common_ptr j) {
            std::longjmp(static_cast<Libjpeg *>(j->client_data)->jump, 1);
        };
        err.emit_message = [](j_common_ptr, int) {
        };
        c.client_data = d.client_data = this;
        jpeg_create_compress(&c);
        jpeg_create_decompress(&d);
        jpeg_mem_dest(&c, &buffer, &size);
    }
    ~Libjpeg()
    {
        jpeg_destroy_compress(&c);
        jpeg_destroy_decompress(&d);
        std::free(buffer);
    }
    QByteArray out() const { return QByteArray(reinterpret_cast<char *>(buffer), size); }
};

// One scan of a progressive script: its components, band and bit positions.
struct Scan {
    std::vector<int> components;
    int ss, se, ah, al;
};

struct Encoding {
    bool progressive = false; // libjpeg's own progression unless scans are given
    bool grey = false;
    QSize luma{2, 2}; // luma sampling factors; the chroma ones are 1
    std::vector<Scan> scans = {};
    bool scanPerComponent = false; // sequential: each component in a scan of its own
    bool optimised = false;        // tables of the picture's own, with longer codes
    int restarts = 0;              // the restart interval
    int quality = 90;
    bool forceBaseline = true;    // else quantisers past 255 make it extended
    QSize size = QSize(203, 157); // sides no MCU divides
};

QByteArray encode(const Encoding &e)
{
    QImage image(e.size, QImage::Format_RGB32); // ramps and noise, like a photo
    QRandomGenerator random(11);
    const int w = e.size.width(), h = e.size.height();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int n = int(random.bounded(40));
            image.setPixel(
                x, y,
                qRgb((x * 255 / w + n) & 255, (y * 255 / h + 2 * n) & 255, ((x ^ y) + n) & 255));
        }
    }
    image = image.convertToFormat(e.grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    std::vector<jpeg_scan_info> script;
    for (int i = 0; e.scanPerComponent && i < 3; ++i)
        script.push_back({1, {i}, 0, 63, 0, 0});
    for (const Scan &s : e.scans) {
        jpeg_scan_info info{int(s.components.size()), {}, s.ss, s.se, s.ah, s.al};
        std::copy(s.components.begin(), s.components.end(), info.component_index);
        script.push_back(info);
    }
    Libjpeg j;
    jpeg_compress_struct &c = j.c;
    if (setjmp(j.jump))
        return {};
    c.image_width = JDIMENSION(image.width());
    c.image_height = JDIMENSION(image.height());
    c.input_components = e.grey ? 1 : 3;
    c.in_color_space = e.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, e.quality, e.forceBaseline ? TRUE : FALSE);
    c.optimize_coding = e.optimised ? TRUE : FALSE;
    if (e.progressive)
        jpeg_simple_progression(&c);
    if (!e.grey) {
        c.comp_info[0].h_samp_factor = e.luma.width();
        c.comp_info[0].v_samp_factor = e.luma.height();
    }
    if (!script.empty()) {
        c.scan_info = script.data();
        c.num_scans = int(script.size());
    }
    c.restart_interval = unsigned(e.restarts);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW rows[] = {const_cast<JSAMPLE *>(image.constScanLine(int(c.next_scanline)))};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    return j.out();
}

struct LibjpegRead {
    std::vector<std::vector<std::array<JCOEF, 64>>> blocks; // per component, row after row
    QByteArray withoutAc; // the same with every AC coefficient zero, as a sequential file
};

// What libjpeg reads of the file's coefficients; empty when it fails.
LibjpegRead libjpegRead(const QByteArray &file)
{
    LibjpegRead read;
    Libjpeg j;
    jpeg_decompress_struct &d = j.d;
    if (setjmp(j.jump))
        return {};
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char *>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    jvirt_barray_ptr *arrays = jpeg_read_coefficients(&d);
    for (int ci = 0; ci < d.num_components; ++ci) {
        auto &blocks = read.blocks.emplace_back();
        for (JDIMENSION y = 0; y < d.comp_info[ci].height_in_blocks; ++y) {
            JBLOCKARRAY row = d.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&d),
                                                        arrays[ci], y, 1, TRUE);
            for (JDIMENSION x = 0; x < d.comp_info[ci].width_in_blocks; ++x) {
                std::copy(row[0][x], row[0][x] + 64, blocks.emplace_back().begin());
                std::fill(row[0][x] + 1, row[0][x] + DCTSIZE2, JCOEF(0));
            }
        }
    }
    jpeg_copy_critical_parameters(&d, &j.c);
    jpeg_write_coefficients(&j.c, arrays);
    jpeg_finish_compress(&j.c);
    jpeg_finish_decompress(&d);
    read.withoutAc = j.out();
    return read;
}

// Whether libjpeg, decoding the file in full, finds it sound.
bool libjpegFindsSound(const QByteArray &file)
{
    const Decoded d = decodeJpeg(Bytes(file), 8);
    return d.ok() && d.warning.isEmpty();
}

bool readsClean(const QByteArray &file)
{
    return ProgressiveJpegReader().read(Bytes(file)) == ProgressiveJpegReader::Verdict::Clean;
}

// Where the k-th coefficient in zig-zag order sits in a block.
constexpr std::array<int, 64> kZigZag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The blocks whose DC, and in a progressive file which AC coefficients are not zero,
// the reader did not read as libjpeg did; -1 when they differ in more than that.
int mismatches(const QByteArray &file, bool progressive)
{
    ProgressiveJpegReader reader;
    if (reader.read(Bytes(file)) != ProgressiveJpegReader::Verdict::Clean)
        return -1;
    const LibjpegRead libjpeg = libjpegRead(file);
    const auto &components = reader.frame().components;
    if (libjpeg.blocks.size() != components.size())
        return -1;
    int wrong = 0;
    for (std::size_t c = 0; c < components.size(); ++c) {
        const auto &k = components[c];
        if (qsizetype(libjpeg.blocks[c].size()) != qsizetype(k.blocksWide) * k.blocksHigh)
            return -1;
        for (int y = 0; y < k.blocksHigh; ++y) {
            for (int x = 0; x < k.blocksWide; ++x) {
                const auto &block = libjpeg.blocks[c][std::size_t(y * k.blocksWide + x)];
                const std::size_t at = std::size_t(y * k.gridWide + x);
                quint64 nonzero = 0;
                for (std::size_t i = 1; i < 64; ++i)
                    nonzero |= quint64(block[std::size_t(kZigZag[i])] != 0) << i;
                wrong += k.dc[at] != block[0] ||
                         (progressive && (k.nonzero[at] & ~quint64(1)) != nonzero);
            }
        }
    }
    return wrong;
}

struct Sample {
    const char *name;
    bool eighthUsesOnlyDc; // no component is scaled by an IDCT of more than one point
    Encoding encoding;
    QByteArray file = encode(encoding);
};

const QSize k444(1, 1), k422(2, 1);
const std::vector<Scan> kSeparateDc = {{{0}, 0, 0, 0, 1},  {{2}, 0, 0, 0, 1},  {{1}, 0, 0, 0, 2},
                                       {{0}, 1, 9, 0, 1},  {{1}, 0, 0, 2, 1},  {{0}, 10, 63, 0, 0},
                                       {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0}, {{0}, 0, 0, 1, 0},
                                       {{1}, 0, 0, 1, 0},  {{0}, 1, 9, 1, 0},  {{2}, 0, 0, 1, 0}};
const std::vector<Scan> kDc = {
    {{0, 1, 2}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}, {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0}};

const QList<Sample> &samples()
{
    static const QList<Sample> all = {
        {"progressive 4:2:0, DC in two steps", false, {.progressive = true}},
        {"progressive 4:4:4, restarts", true, {.progressive = true, .luma = k444, .restarts = 7}},
        {"progressive grey", true, {.progressive = true, .grey = true}},
        {"progressive 4:2:0, a DC scan each", false, {.progressive = true, .scans = kSeparateDc}},
        {"progressive 4:4:4, 1 DC scan", true, {.progressive = true, .luma = k444, .scans = kDc}},
        {"progressive 4:2:2, restarts", true, {.progressive = true, .luma = k422, .restarts = 3}},
        {"4:2:0, own tables", false, {.optimised = true}},
        {"4:4:4, restarts", true, {.luma = k444, .restarts = 7}},
        {"4:2:2, restarts", true, {.luma = k422, .optimised = true, .restarts = 3}},
        {"grey, restarts", true, {.grey = true, .restarts = 5}},
        {"4:2:0, a scan per component", false, {.scanPerComponent = true, .restarts = 2}},
        // Long codes, runs of sixteen zeros, blocks full to the last.
        {"4:4:4, quality 100",
         true,
         {.luma = k444, .optimised = true, .quality = 100, .size = {64, 48}}},
        // Quantisers past 255: 16-bit tables, an SOF1 frame.
        {"extended sequential", false, {.quality = 2, .forceBaseline = false}}};
    return all;
}

// The file with bytes from the middle of scan number `scan`'s data on (at most 40)
// turned into stuffed 0xFF bytes: all one bits, which no AC or DC code starts.
QByteArray onesInScan(const QByteArray &file, int scan)
{
    qsizetype header = -1;
    for (int i = 0; i <= scan; ++i)
        if ((header = file.indexOf(kSos, header + 1)) < 0)
            return {};
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

// The file with restart marker n (from 0) taken out, or renumbered as replacement.
QByteArray withRestart(const QByteArray &file, int n, int replacement = -1)
{
    for (qsizetype at = file.indexOf(kSos), seen = 0; at >= 0 && at + 1 < file.size(); ++at) {
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

// DC values at every edge of libjpeg's post-IDCT table with the quantiser 8 (the value as
// is): the clamps at -384 and 383, the wraps at 512 and 896, an 8-bit file's extremes.
constexpr qint16 kEdges[] = {-16383, -1025, -1024, -1023, -897, -896, -895, -513, -512, -511,
                             -385,   -384,  -383,  -129,  -128, -127, -1,   0,    1,    127,
                             128,    383,   384,   385,   511,  512,  513,  895,  896,  897,
                             1023,   1024,  16383, 200,   -200, 60,   -60};

// Chroma halved both ways goes through a 2x2 transform whose SIMD form clamps, not wraps:
// the bounds of what is taken with a quantiser of 1, and values within them with 8.
constexpr qint16 kWithinClamps[] = {-3076, 3067, -3075, 3066, -3072, 3064, -384, -383, -129,
                                    -128,  -127, -1,    0,    1,     127,  128,  383,  200};

QByteArray segment(int marker, const QByteArray &body)
{
    const qsizetype n = body.size() + 2;
    return QByteArray(1, char(0xFF)) + char(marker) + char(n >> 8) + char(n & 0xFF) + body;
}

const QByteArray kJfif = segment(0xE0, QByteArray("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
QByteArray adobe(int transform)
{
    return segment(0xEE, QByteArray("Adobe\0\x64\0\0\0\0", 11) + char(transform));
}

// A frame laid out as ProgressiveJpegReader lays one out, its DC values as the recipe says.
JpegDcFrame frameOf(const FrameRecipe &s)
{
    JpegDcFrame f;
    f.width = s.width;
    f.height = s.height;
    f.maxH = s.components == 1 ? s.lumaH : std::max(s.lumaH, s.chromaH);
    f.maxV = s.components == 1 ? s.lumaV : std::max(s.lumaV, s.chromaV);
    f.mcusWide = (f.width + 8 * f.maxH - 1) / (8 * f.maxH);
    f.mcusHigh = (f.height + 8 * f.maxV - 1) / (8 * f.maxV);
    f.colourMarkers = s.markers;
    quint32 seed = 12345;
    for (int i = 0; i < s.components; ++i) {
        JpegDcFrame::Component c;
        c.id = s.ids[std::size_t(i)];
        c.h = i == 0 ? s.lumaH : s.chromaH;
        c.v = i == 0 ? s.lumaV : s.chromaV;
        c.table = i;
        c.quant.fill(3);
        c.quant[0] = s.dcQuant[std::size_t(i)];
        c.quantLatched = true;
        c.blocksWide = int((qint64(f.width) * c.h + 8 * f.maxH - 1) / (8 * f.maxH));
        c.blocksHigh = int((qint64(f.height) * c.v + 8 * f.maxV - 1) / (8 * f.maxV));
        c.gridWide = s.components == 1 ? c.blocksWide : f.mcusWide * c.h;
        c.gridHigh = s.components == 1 ? c.blocksHigh : f.mcusHigh * c.v;
        c.dc.resize(std::size_t(c.gridWide) * std::size_t(c.gridHigh));
        for (std::size_t b = 0; b < c.dc.size(); ++b) {
            const int x = int(b % std::size_t(c.gridWide));
            const int y = int(b / std::size_t(c.gridWide));
            seed = seed * 1103515245U + 12345U;
            switch (s.values) {
            case Values::Edges:
                c.dc[b] = kEdges[(b + std::size_t(7 * i)) % std::size(kEdges)];
                break;
            case Values::WithinClamps: {
                const qint16 v = kWithinClamps[(b + std::size_t(5 * i)) % std::size(kWithinClamps)];
                c.dc[b] = b % 2 ? qint16(v / 8) : v; // the quantisers are 1 and 8
                break;
            }
            case Values::SpreadWithinClamps: // luma over the whole range
                c.dc[b] = i == 0 ? qint16(int((seed >> 8) % 32767U) - 16383)
                                 : qint16(int((seed >> 8) % 6144U) - 3076);
                break;
            case Values::Spread:
                c.dc[b] = qint16(int((seed >> 8) % 32767U) - 16383);
                break;
            case Values::Exhaustive: // every Cb with every Cr, Y along both
                c.dc[b] = qint16((i == 0   ? (x * 7 + y * 13) % 256
                                  : i == 1 ? x % 256
                                           : y % 256) -
                                 128);
                break;
            }
        }
        f.components.push_back(std::move(c));
    }
    return f;
}

void row(const char *name, const FrameRecipe &recipe)
{
    QTest::newRow(name) << recipe;
}

} // namespace

class TestJpegReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyBlockAndTheEighthAreLibjpegs_data();
    void everyBlockAndTheEighthAreLibjpegs();
    void damageIsLeftToLibjpeg();
    void theNthSetBitIsFoundAndMasksKeepTheirValuesOnHugePages();
    void savedFilesGetLibjpegsVerdict();
    void pixelsAreLibjpegsOwnOrLeftToLibjpeg_data();
    void pixelsAreLibjpegsOwnOrLeftToLibjpeg();
};

void TestJpegReader::everyBlockAndTheEighthAreLibjpegs_data()
{
    QTest::addColumn<int>("sample");
    for (int i = 0; i < samples().size(); ++i)
        QTest::newRow(samples()[i].name) << i;
}

void TestJpegReader::everyBlockAndTheEighthAreLibjpegs()
{
    QFETCH(int, sample);
    const auto &[name, eighthUsesOnlyDc, encoding, file] = samples()[sample];
    if (!encoding.forceBaseline)
        QVERIFY(file.contains(QByteArray("\xFF\xC1", 2)));
    ProgressiveJpegReader reader;
    QCOMPARE(reader.read(Bytes(file)), ProgressiveJpegReader::Verdict::Clean);
    // Read on two threads, block runs split at restarts.
    QCOMPARE(mismatches(file, encoding.progressive), 0);

    // Pixel for pixel what libjpeg makes of the file's own coefficients without the AC.
    const QImage reference = decodeJpeg(Bytes(libjpegRead(file).withoutAc), 8).image;
    QVERIFY(!reference.isNull());
    const Decoded fromDc = decodeJpeg(Bytes(JpegDcImage::sequentialFile(reader.frame())), 8);
    QVERIFY2(fromDc.ok() && fromDc.warning.isEmpty(), qPrintable(fromDc.failure + fromDc.warning));
    QCOMPARE(fromDc.image, reference);
    const Decoded eighth = JpegDcImage::decodeEighth(Bytes(file));
    QVERIFY(eighth.ok() && eighth.warning.isEmpty());
    QCOMPARE(eighth.image, reference);
    // Computed here rather than by libjpeg, to the byte.
    const std::optional<Decoded> direct = JpegDcPixels::decode(reader.frame());
    QVERIFY(direct);
    QCOMPARE(direct->image, fromDc.image);
    QCOMPARE(QByteArrayView(direct->image.constBits(), direct->image.sizeInBytes()),
             QByteArrayView(fromDc.image.constBits(), fromDc.image.sizeInBytes()));

    // Where libjpeg reads only the DC at 1/8, that is its own eighth. (Colour halved
    // both ways it scales up by a 2-point IDCT instead, which reads AC coefficients.)
    if (eighthUsesOnlyDc)
        QCOMPARE(eighth.image, decodeJpeg(Bytes(file), 8).image);
}

void TestJpegReader::damageIsLeftToLibjpeg()
{
    // Cuts, changed bytes, codes no table has, restarts missing or out of order, scans
    // missing: what the reader calls clean libjpeg reads the same; the eighth's verdict too.
    QRandomGenerator random(9);
    int soundAndClean = 0;
    int damagedAndUndecided = 0;
    for (const Sample &s : samples()) {
        const QByteArray &file = s.file;
        const qsizetype firstScan = file.indexOf(kSos);
        QList<QByteArray> variants;
        for (qsizetype cut = firstScan + 12; cut < file.size(); cut += 97)
            variants.append(file.left(cut));
        for (int i = 0; i < 70; ++i) {
            QByteArray broken = file;
            const qsizetype at = firstScan + 14 + random.bounded(file.size() - firstScan - 16);
            broken[at] = char(random.bounded(256));
            if (i % 3 == 0)
                broken[at + 1] = char(0xFF);
            variants.append(broken);
        }
        // A DC refinement takes the ones as bits, for libjpeg as for the reader.
        const int scans = int(file.count(kSos));
        int refused = 0;
        for (int scan = 0; scan < scans; ++scan) {
            const QByteArray ones = onesInScan(file, scan);
            QVERIFY(!ones.isEmpty());
            if (s.encoding.progressive)
                QCOMPARE(readsClean(ones), libjpegFindsSound(ones));
            refused += !readsClean(ones);
            variants.append(ones);
        }
        QVERIFY2(refused >= scans - 4 && refused > 0, s.name);
        // Closed after the header: no picture, not even a mid-grey eighth. A sequential
        // file closed after the first of several scans lacks the components left out.
        const QByteArray noScan = file.left(firstScan) + kEoi;
        QVERIFY(!JpegDcImage::decodeEighth(Bytes(noScan)).ok());
        for (const QByteArray &variant :
             {noScan, withRestart(file, 1), withRestart(file, 2, 4), withRestart(file, 0, 1)}) {
            if (!variant.isEmpty()) {
                QVERIFY2(!readsClean(variant), s.name);
                QVERIFY2(!libjpegFindsSound(variant), s.name);
                variants.append(variant);
            }
        }
        if (const qsizetype second = file.indexOf(kSos, firstScan + 2);
            second > 0 && !s.encoding.progressive) {
            variants.append(file.left(second) + kEoi);
            QVERIFY2(!readsClean(variants.last()), s.name);
        }
        for (const QByteArray &variant : std::as_const(variants)) {
            const bool clean = readsClean(variant);
            const bool sound = libjpegFindsSound(variant);
            QVERIFY2(!clean || sound, s.name);
            if (clean)
                QCOMPARE(mismatches(variant, s.encoding.progressive), 0);
            soundAndClean += clean && sound;
            damagedAndUndecided += !clean && !sound;
            const Decoded eighth = JpegDcImage::decodeEighth(Bytes(variant));
            QCOMPARE(eighth.ok() && eighth.warning.isEmpty(), sound);
            if (clean && s.eighthUsesOnlyDc)
                QCOMPARE(eighth.image, decodeJpeg(Bytes(variant), 8).image);
        }
    }
    // Both kinds were seen, so the properties above were put to the test.
    QVERIFY2(soundAndClean > 40, qPrintable(QString::number(soundAndClean)));
    QVERIFY2(damagedAndUndecided > 350, qPrintable(QString::number(damagedAndUndecided)));

    // The loader refuses a damaged progressive file.
    const QByteArray &file = samples()[0].file;
    QVERIFY2(PictureLoader::loadBytes(file).picture, "the sound file loads");
    const qsizetype lastScan = file.lastIndexOf(kSos);
    // Cut inside the last AC scan, and between the scans.
    QVERIFY(!PictureLoader::loadBytes(file.left(lastScan + 40)).picture);
    QVERIFY(!PictureLoader::loadBytes(file.left(lastScan)).picture);
    const LoadResult r = PictureLoader::loadBytes(onesInScan(file, int(file.count(kSos)) - 1));
    QVERIFY(!r.picture);
    QVERIFY2(r.failure.startsWith(QStringLiteral("damaged: JPEG")), qPrintable(r.failure));

    // A first scan at full precision may come again, and again: past 500 scans the
    // file is refused, as libjpeg refuses it, before any of them costs a pass.
    const QByteArray &interleaved = samples()[4].file;
    const qsizetype lumaScan = interleaved.indexOf(QByteArray("\xFF\xDA\x00\x08\x01", 5));
    const qsizetype nextScan = interleaved.indexOf(kSos, lumaScan + 2);
    QVERIFY(lumaScan > 0 && nextScan > lumaScan);
    const QByteArray endless = interleaved.left(nextScan) +
                               interleaved.mid(lumaScan, nextScan - lumaScan).repeated(600) +
                               interleaved.mid(nextScan);
    ProgressiveJpegReader reader;
    QVERIFY(reader.read(Bytes(endless)) == ProgressiveJpegReader::Verdict::Undecided);
    QVERIFY2(reader.why().contains(QStringLiteral("too many scans")), qPrintable(reader.why()));
    QVERIFY(!PictureLoader::loadBytes(endless).picture);
}

void TestJpegReader::theNthSetBitIsFoundAndMasksKeepTheirValuesOnHugePages()
{
    // Where the refinement scans' reader finds the zero coefficient a run ends on: the
    // portable way and PDEP where there is one, for words of every density and every n.
#ifdef QUORVEL_HAVE_PDEP
    __builtin_cpu_init();
    const bool pdep = __builtin_cpu_supports("bmi2");
#endif
    QRandomGenerator random(3);
    int wrong = 0;
    for (int i = 0; i < 4000; ++i) {
        quint64 x = random.generate64();
        for (int thinner = 0; thinner < i % 5; ++thinner)
            x &= random.generate64();
        if (i < 4)
            x = std::array<quint64, 4>{0, ~quint64(0), 1, quint64(1) << 63}[std::size_t(i)];
        std::array<int, 64> expected;
        expected.fill(64);
        for (int bit = 0, seen = 0; bit < 64; ++bit) {
            if ((x >> bit) & 1)
                expected[std::size_t(seen++)] = bit;
        }
        for (int n = 0; n < 64; ++n) {
            wrong += selectBitPortable(x, n) != expected[std::size_t(n)];
#ifdef QUORVEL_HAVE_PDEP
            if (pdep)
                wrong += selectBitPdep(x, quint64(1) << n) != expected[std::size_t(n)];
#endif
        }
    }
    QCOMPARE(wrong, 0);

    // A 24-megapixel photo's luma masks take 3 MB, a small picture's a few bytes: both
    // keep what was put in as they grow, and on Linux the large ones start on a huge page.
    for (const std::size_t count : {std::size_t(100), std::size_t(376) * 1000}) {
        std::vector<quint64, HugePageAllocator<quint64>> masks(count, 0);
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

void TestJpegReader::savedFilesGetLibjpegsVerdict()
{
    // Fuzz inputs and the corpus's JPEGs (to 8 MB): clean ones read as libjpeg reads them.
    int seen[2] = {0, 0}, clean = 0;
    for (const QString &folder : {QStringLiteral(QUORVEL_SOURCE_DIR "/fuzz/corpus/jpeg"),
                                  QStringLiteral(QUORVEL_CORPUS_DIR)}) {
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            if (f.size() > (8 << 20) || !f.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = f.readAll();
            JpegHeader header;
            QString why;
            if (!bytes.startsWith("\xFF\xD8") || !readJpegHeader(Bytes(bytes), header, why))
                continue;
            ++seen[header.progressive];
            if (!readsClean(bytes))
                continue;
            ++clean;
            QVERIFY2(libjpegFindsSound(bytes), qPrintable(path));
            QVERIFY2(mismatches(bytes, header.progressive) == 0, qPrintable(path));
            const Decoded eighth = JpegDcImage::decodeEighth(Bytes(bytes));
            QVERIFY2(eighth.ok() && eighth.warning.isEmpty(), qPrintable(path));
            QCOMPARE(eighth.image.size(), decodeJpeg(Bytes(bytes), 8).image.size());
        }
    }
    QVERIFY(seen[false] > 10 && seen[true] > 5 && clean > 5);
}

void TestJpegReader::pixelsAreLibjpegsOwnOrLeftToLibjpeg_data()
{
    using enum Values;
    QTest::addColumn<FrameRecipe>("recipe");
    const QByteArray &j = kJfif;
    row("4:4:4 JFIF spread", {.markers = j});
    row("4:4:4 JFIF range edges", {.markers = j, .values = Edges});
    row("4:4:4 JFIF edges, other quantisers",
        {.dcQuant = {1, 255, 16}, .markers = j, .values = Edges});
    // Past 32767 libjpeg's multipliers turn negative.
    row("4:4:4 JFIF edges, 16-bit quantisers",
        {.dcQuant = {40000, 65535, 32767}, .markers = j, .values = Edges});
    row("4:4:4 JFIF spread, 16-bit quantisers", {.dcQuant = {40000, 65535, 32767}, .markers = j});
    row("4:4:4 every Cb with every Cr",
        {.width = 256 * 8, .height = 256 * 8, .markers = j, .values = Exhaustive});
    row("grey edges, odd size", {.width = 61, .height = 23, .components = 1, .values = Edges});
    row("grey sampled 2x2",
        {.width = 61, .height = 23, .components = 1, .lumaH = 2, .lumaV = 2, .dcQuant = {3, 0, 0}});
    for (int h = 1; h <= 2; ++h) {
        for (int v = 1; v <= 2; ++v) {
            for (const bool edges : {true, false}) {
                for (const QSize size : {QSize(64, 48), QSize(57, 33), QSize(9, 17), QSize(1, 1)}) {
                    const bool halved = h == 2 && v == 2;
                    QTest::addRow("%dx%d chroma 1x1, %s, %dx%d", h, v, edges ? "edges" : "spread",
                                  size.width(), size.height())
                        << FrameRecipe{
                               .width = size.width(),
                               .height = size.height(),
                               .lumaH = h,
                               .lumaV = v,
                               .dcQuant = {7, quint16(halved ? 1 : 300), quint16(halved ? 1 : 2)},
                               .markers = j,
                               .values = halved ? (edges ? WithinClamps : SpreadWithinClamps)
                                                : (edges ? Edges : Spread)};
                }
            }
        }
    }
    const auto halved = [](const QByteArray &markers, std::array<int, 3> ids = {1, 2, 3}) {
        return FrameRecipe{.lumaH = 2,
                           .lumaV = 2,
                           .dcQuant = {8, 1, 1},
                           .markers = markers,
                           .ids = ids,
                           .values = WithinClamps};
    };
    row("4:2:0 Adobe RGB", halved(adobe(0)));
    row("4:2:0 Adobe YCbCr", halved(adobe(1)));
    row("4:2:0 Adobe transform 2", halved(adobe(2)));      // libjpeg warns, and takes it for YCbCr
    row("4:2:0 JFIF and Adobe RGB", halved(j + adobe(0))); // JFIF wins
    // A JFIF segment too short to count.
    row("short JFIF, components R G B",
        halved(segment(0xE0, QByteArray("JFIF\0\x01", 6)), {'R', 'G', 'B'}));
    row("no markers, components R G B", halved({}, {'R', 'G', 'B'}));
    row("no markers, components 1 2 3", halved({}));
    row("no markers, components 0 1 2", halved({}, {0, 1, 2}));
    row("chroma 2x2", {.chromaH = 2, .chromaV = 2, .declined = true}); // sampled finer than luma
    row("4:1:1", {.lumaH = 4, .declined = true}); // libjpeg scales such chroma with a 4x4 transform
    // Past the clamps of the 2x2 transform; -3076 * 2 is just past them.
    row("4:2:0 with DC values past the clamps",
        {.lumaH = 2, .lumaV = 2, .values = Edges, .declined = true});
    row("4:2:0 with a DC value just past the clamps",
        {.lumaH = 2, .lumaV = 2, .dcQuant = {1, 1, 2}, .values = WithinClamps, .declined = true});
    row("two components", {.components = 2, .declined = true});
    // More than libjpeg takes, which the frame can say.
    row("too wide for libjpeg", {.width = 65501, .height = 8, .declined = true});
}

void TestJpegReader::pixelsAreLibjpegsOwnOrLeftToLibjpeg()
{
    QFETCH(FrameRecipe, recipe);
    const JpegDcFrame frame = frameOf(recipe);
    const std::optional<Decoded> got = JpegDcPixels::decode(frame);
    QCOMPARE(got.has_value(), !recipe.declined);
    if (recipe.declined)
        return;
    const Decoded want = decodeJpeg(Bytes(JpegDcImage::sequentialFile(frame)), 8);
    QVERIFY2(want.ok(), qPrintable(want.failure));
    QCOMPARE(got->failure, want.failure);
    QCOMPARE(got->warning, want.warning);
    QCOMPARE(got->iccProfile, want.iccProfile);
    QCOMPARE(got->image, want.image);
    QCOMPARE(QByteArrayView(got->image.constBits(), got->image.sizeInBytes()),
             QByteArrayView(want.image.constBits(), want.image.sizeInBytes()));
    // The whole path takes it too when the frame comes from a file.
    QVERIFY(JpegDcImage::fitsSequentialFile(frame));
}

QTEST_MAIN(TestJpegReader)
#include "tst_jpegreader.moc"
