#include "picture/PictureLoader.h"
#include "support/Corpus.h"

#include <QColorSpace>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSettings>
#include <QTest>
#include <map>

// Every file of the shared test corpus against what its source expects of it.
class TestPictureCorpus : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyFileMeetsItsExpectation();

private:
    QString m_root;
};

namespace {

struct Entry {
    QString file, type, expect, note, qt; // qt: what Qt's own reader did with it
};

// Marked for refusal but rightly shown whole: only an unused field is wrong, indices
// past the palette show black, an icon's pixels run past its stated length, a JPEG lacks
// only its end marker, only a later GIF frame is oversized, a .jpg is a PNG.
const QStringList kShownOnPurpose = {"bmpsuite/bmp/bad/badbitssize.bmp",
                                     "bmpsuite/bmp/bad/baddens1.bmp",
                                     "bmpsuite/bmp/bad/baddens2.bmp",
                                     "bmpsuite/bmp/bad/badfilesize.bmp",
                                     "bmpsuite/bmp/bad/pal8badindex.bmp",
                                     "image-rs/ico/bad/Bad_smile-incorrect-image-length.ico",
                                     "pillow/jpeg/bad/truncated_jpeg.jpg",
                                     "pillow/gif/bad/decompression_bomb_extents.gif",
                                     "jpeg-decoder/jpeg/bad/mozilla_jpg-size-6x6.jpg"};

// Marked to load but damaged inside (scans broken off, no image data): refused.
const QStringList kDamagedInside = {"jpeg-decoder/jpeg/good/partial_progressive.jpg",
                                    "pillow/jpeg/good/ultrahdr.jpg"};

// Qt misreads these: 1-bit alpha in 16 bits, 32 bits' unused byte, a nine-bit green.
const QStringList kQtReaderWrong = {"image-rs/bmp/good/V5_A1_R5_G5_B5.bmp",
                                    "image-rs/bmp/good/V5_A8_R8_G8_B8_Rgb.bmp",
                                    "image-rs/bmp/good/rgba16-1924.bmp"};

QList<Entry> readManifest(const QString &path)
{
    QList<Entry> entries;
    QFile file(path);
    file.open(QIODevice::ReadOnly | QIODevice::Text); // unopened, it is at its end
    const QList<QByteArray> header = file.readLine().trimmed().split('\t');
    while (!file.atEnd()) {
        const QList<QByteArray> f = file.readLine().chopped(1).split('\t');
        const auto at = [&](const char *column) {
            return QString::fromUtf8(f[header.indexOf(column)]);
        };
        if (f.size() >= header.size())
            entries.append(
                {at("file"), at("type"), at("expect"), at("note"), at("qt6.4.2_QImageReader")});
    }
    return entries;
}

// Mean difference per channel, in levels, over the RGB of both pictures on a background.
double meanDifference(const QImage &a, const QImage &b, QRgb background = qRgb(255, 255, 255))
{
    QImage x(a.size(), QImage::Format_RGB32), y(b.size(), QImage::Format_RGB32);
    x.fill(background);
    y.fill(background);
    QPainter(&x).drawImage(0, 0, a);
    QPainter(&y).drawImage(0, 0, b);
    double sum = 0;
    for (int i = 0; i < x.width() * x.height(); ++i) {
        const QRgb p = x.pixel(i % x.width(), i / x.width()),
                   q = y.pixel(i % x.width(), i / x.width());
        sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
    }
    return sum / (3.0 * qMax<qint64>(1, qint64(x.width()) * x.height()));
}

// What Qt's reader makes of the file, told the format rather than left to guess.
QImage qtReference(const QString &path, const QByteArray &format)
{
    QImageReader reader(path, format);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(0);
    QImage image = reader.read();
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    return image;
}

// The GIF suite's expected first frame: raw RGBA or a PNG.
QImage suiteFrame(const QString &gifPath)
{
    const QSettings conf(gifPath.chopped(4) + ".conf", QSettings::IniFormat);
    const QString frame = conf.value("config/frames").toString().section(',', 0, 0).trimmed();
    const QString dir = QFileInfo(gifPath).path() + '/',
                  pixels = conf.value(frame + "/pixels").toString();
    if (frame.isEmpty() || pixels.isEmpty())
        return frame.isEmpty() ? QImage() : QImage(dir + conf.value(frame + "/image").toString());
    const int w = conf.value("config/width").toInt(), h = conf.value("config/height").toInt();
    QFile raw(dir + pixels);
    const QByteArray rgba = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
    if (rgba.size() != qsizetype(w) * h * 4)
        return {};
    return QImage(reinterpret_cast<const uchar *>(rgba.constData()), w, h, w * 4,
                  QImage::Format_RGBA8888)
        .copy();
}

// Whether the frames match where either is seen: on white and on black alike.
bool sameFrame(const QImage &a, const QImage &b)
{
    return a.size() == b.size() && meanDifference(a, b) == 0 && meanDifference(a, b, 0) == 0;
}

} // namespace

void TestPictureCorpus::initTestCase()
{
    m_root = QStringLiteral(QUORVEL_CORPUS_DIR);
    QUORVEL_SKIP_UNLESS_CORPUS(m_root + QStringLiteral("/MANIFEST.tsv"));
}

void TestPictureCorpus::everyFileMeetsItsExpectation()
{
    const QList<Entry> entries = readManifest(m_root + QStringLiteral("/MANIFEST.tsv"));
    QVERIFY(entries.size() > 900);

    std::map<QString, int> tally;
    QStringList problems;
    QElapsedTimer total, timer;
    total.start();
    for (const Entry &e : entries) {
        const QString path = m_root + '/' + e.file;
        timer.start();
        const LoadResult r = PictureLoader::loadFile(path);
        const qint64 ms = timer.elapsed();
        const bool loaded = bool(r.picture);
        const char *outcome = loaded ? "shown" : r.warning.isEmpty() ? "refused" : "damaged";
        ++tally[e.expect + " -> " + outcome];
        const auto problem = [&](const QString &what) {
            problems.append(e.file + ": " + what);
        };
        if (ms > 5000)
            problem(QStringLiteral("took %1 ms").arg(ms));
        if (loaded && r.picture->naturalSize().isEmpty())
            problem("loaded with no size");
        const bool metafile = e.type == "wmf" || e.type == "emf";
        if (e.expect == "load" && !loaded) {
            if (metafile || !kDamagedInside.contains(e.file) || r.warning.isEmpty())
                problem("refused: " + r.failure);
            continue;
        }
        // How metafiles draw is the metafile sweep's business.
        if (metafile)
            continue;
        if (e.expect == "load") {
            if (kDamagedInside.contains(e.file))
                problem("shown though its data is damaged inside");
            const QImage ours = r.picture->toImage();
            const bool byQt = e.type == "jpeg" || e.type == "bmp" || e.type == "dib";
            if (e.file.startsWith("gif-test-suite/")) {
                // In images-overlap a second image over the whole screen is a new frame.
                const QImage expected = suiteFrame(path);
                if (!expected.isNull() && !sameFrame(ours, expected) &&
                    QFileInfo(e.file).completeBaseName() != "images-overlap")
                    problem("first frame differs from the suite's");
            } else if (e.qt.startsWith("OK") && !kQtReaderWrong.contains(e.file) && byQt) {
                const QImage reference = qtReference(path, e.type == "jpeg" ? "jpeg" : "bmp");
                if (reference.size() != ours.size())
                    problem("not the size Qt's reader gives");
                // Qt widens 5- and 6-bit channels by shifting alone, a few levels darker.
                else if (const double d = meanDifference(ours, reference); d > 4.0)
                    problem(QStringLiteral("differs from Qt's reader by %1 levels").arg(d));
            }
        } else if (e.type == "not-supported") {
            // The formats read beyond the first nine, which the corpus lists as not read.
            const bool readSince =
                QStringList{"png", "tif", "webp"}.contains(QFileInfo(e.file).suffix());
            if (!readSince && loaded)
                problem("a format that is not read was shown");
            else if (readSince && !loaded)
                problem("refused: " + r.failure);
            else if (readSince && e.file.endsWith(".png") &&
                     meanDifference(r.picture->toImage(), qtReference(path, "png")) > 2.0)
                problem("differs from Qt's PNG reader");
        } else if (e.expect.startsWith("refuse") && loaded &&
                   !e.note.contains("lenient decoders show it") &&
                   !kShownOnPurpose.contains(e.file))
            problem("shown complete though it should be refused");
        // either, no-crash, unknown, no-image: reaching here without a crash or a hang is the test.
    }

    for (const auto &[key, count] : tally)
        qInfo("%s: %d", qPrintable(key), count);
    qInfo("%lld files in %lld ms", qint64(entries.size()), total.elapsed());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestPictureCorpus)
#include "tst_picturecorpus.moc"
