#include "picture/PictureLoader.h"
#include "support/Corpus.h"

#include <QBuffer>
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

// Files marked for refusal that are shown complete, rightly: only a field nothing
// depends on is wrong (the pixel data's size with plain pixels, the pixel density, the
// file size); indices past the palette show black, as Windows shows them; an icon's
// entry runs on past the length its directory gives, and every pixel is there; a JPEG
// lacks only its end marker, and every scan decodes without it; only a later frame of
// a GIF is oversized; a PNG under a .jpg name is read as the PNG it is.
const QStringList kShownOnPurpose = {"bmpsuite/bmp/bad/badbitssize.bmp",
                                     "bmpsuite/bmp/bad/baddens1.bmp",
                                     "bmpsuite/bmp/bad/baddens2.bmp",
                                     "bmpsuite/bmp/bad/badfilesize.bmp",
                                     "bmpsuite/bmp/bad/pal8badindex.bmp",
                                     "image-rs/ico/bad/Bad_smile-incorrect-image-length.ico",
                                     "pillow/jpeg/bad/truncated_jpeg.jpg",
                                     "pillow/gif/bad/decompression_bomb_extents.gif",
                                     "jpeg-decoder/jpeg/bad/mozilla_jpg-size-6x6.jpg"};

// Files marked to load whose data is missing or corrupt inside the picture: the viewer
// says it cannot show them rather than showing a part. The first's progressive scans
// break off in the middle of their data; the second ends where its image data begins.
const QStringList kDamagedInside = {"jpeg-decoder/jpeg/good/partial_progressive.jpg",
                                    "pillow/jpeg/good/ultrahdr.jpg"};

// Files Qt's own reader gets wrong, so it is no reference for them: it misreads the
// one-bit alpha of 16-bit pixels, applies the unused fourth byte of plain 32-bit pixels
// (which Windows ignores), and misreads a nine-bit green channel.
const QStringList kQtReaderWrong = {"image-rs/bmp/good/V5_A1_R5_G5_B5.bmp",
                                    "image-rs/bmp/good/V5_A8_R8_G8_B8_Rgb.bmp",
                                    "image-rs/bmp/good/rgba16-1924.bmp"};

QList<Entry> readManifest(const QString &path)
{
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
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

// Mean difference per channel, in levels, over the RGB of both pictures on white.
double meanDifference(const QImage &a, const QImage &b)
{
    QImage x(a.size(), QImage::Format_RGB32), y(b.size(), QImage::Format_RGB32);
    x.fill(Qt::white);
    y.fill(Qt::white);
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
    QFile file(path);
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
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

// Whether the frames match where either is seen: a transparent pixel's colour means nothing.
bool sameFrame(const QImage &ours, const QImage &expected)
{
    const QImage a = ours.convertToFormat(QImage::Format_ARGB32);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32);
    for (int i = 0; a.size() == b.size() && i < a.width() * a.height(); ++i) {
        const QRgb p = a.pixel(i % a.width(), i / a.width()),
                   q = b.pixel(i % a.width(), i / a.width());
        if (p != q && (qAlpha(p) || qAlpha(q)))
            return false;
    }
    return a.size() == b.size();
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
        ++tally[e.expect + " -> " +
                (loaded                ? "shown"
                 : r.warning.isEmpty() ? "refused"
                                       : "refused as damaged")];
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
        // How metafiles draw is the metafile sweep's business; here, that the loader
        // hands them to the player.
        if (metafile)
            continue;
        if (e.expect == "load") {
            if (kDamagedInside.contains(e.file))
                problem("shown though its data is damaged inside");
            const QImage ours = r.picture->toImage();
            const bool byQt = e.type == "jpeg" || e.type == "bmp" || e.type == "dib";
            if (e.file.startsWith("gif-test-suite/")) {
                // The first-frame rule draws images-overlap differently: a second image over
                // the whole screen starts a new frame, as in the suite's own animations
                // without delays.
                const QImage expected = suiteFrame(path);
                if (!expected.isNull() && !sameFrame(ours, expected) &&
                    QFileInfo(e.file).completeBaseName() != "images-overlap")
                    problem("first frame differs from the suite's");
            } else if (e.qt.startsWith("OK") && !kQtReaderWrong.contains(e.file) && byQt) {
                const QImage reference = qtReference(path, e.type == "jpeg" ? "jpeg" : "bmp");
                if (reference.size() != ours.size())
                    problem(QStringLiteral("size %1x%2, Qt's reader %3x%4")
                                .arg(ours.width())
                                .arg(ours.height())
                                .arg(reference.width())
                                .arg(reference.height()));
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

    QStringList summary;
    for (const auto &[key, count] : tally)
        summary.append(QStringLiteral("%1: %2").arg(key).arg(count));
    qInfo("%s", qPrintable(summary.join(QStringLiteral("; "))));
    qInfo("%lld files in %lld ms", qint64(entries.size()), total.elapsed());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestPictureCorpus)
#include "tst_picturecorpus.moc"
