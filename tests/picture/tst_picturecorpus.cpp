#include "picture/PictureLoader.h"
#include "support/Corpus.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QSettings>
#include <QTest>
#include <algorithm>
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
    QString file;
    QString type;
    QString expect;
    QString note;
    QString qt; // what Qt's own reader did with it
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

// Files of the formats read beyond the first nine, which the corpus lists as not read.
const QStringList kReadSince = {".png", ".tif", ".webp"};

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

// A frame of the GIF suite that the first-frame rule draws differently: a second image
// over the whole screen starts a new frame, as in the suite's own animations without
// delays.
const QStringList kSuiteDifferences = {"images-overlap"};

QList<Entry> readManifest(const QString &path)
{
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    const QList<QByteArray> header = file.readLine().trimmed().split('\t');
    const int cFile = header.indexOf("file"), cType = header.indexOf("type"),
              cExpect = header.indexOf("expect"), cNote = header.indexOf("note"),
              cQt = header.indexOf("qt6.4.2_QImageReader");
    while (!file.atEnd()) {
        const QList<QByteArray> f = file.readLine().chopped(1).split('\t');
        if (f.size() < header.size())
            continue;
        entries.append({QString::fromUtf8(f[cFile]), QString::fromUtf8(f[cType]),
                        QString::fromUtf8(f[cExpect]), QString::fromUtf8(f[cNote]),
                        QString::fromUtf8(f[cQt])});
    }
    return entries;
}

QImage onWhite(const QImage &image)
{
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter(&out).drawImage(0, 0, image);
    return out;
}

// Mean difference per channel, in levels, over the RGB of both pictures on white.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = onWhite(a), y = onWhite(b);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            sum += qAbs(qRed(p[col]) - qRed(q[col])) + qAbs(qGreen(p[col]) - qGreen(q[col])) +
                   qAbs(qBlue(p[col]) - qBlue(q[col]));
        }
    }
    return sum / (3.0 * qMax<qint64>(1, qint64(x.width()) * x.height()));
}

// What Qt's reader makes of the file, told the format rather than left to guess.
QImage qtReference(const QString &path, const QByteArray &format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
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
    const QString conf = gifPath.chopped(4) + QStringLiteral(".conf");
    QSettings settings(conf, QSettings::IniFormat);
    const QString frames = settings.value(QStringLiteral("config/frames")).toString();
    if (frames.isEmpty())
        return {};
    const QString frame = frames.split(QLatin1Char(',')).first().trimmed();
    const QString dir = QFileInfo(gifPath).path() + QLatin1Char('/');
    const QString pixels = settings.value(frame + QStringLiteral("/pixels")).toString();
    if (!pixels.isEmpty()) {
        const int w = settings.value(QStringLiteral("config/width")).toInt();
        const int h = settings.value(QStringLiteral("config/height")).toInt();
        QFile raw(dir + pixels);
        if (!raw.open(QIODevice::ReadOnly))
            return {};
        const QByteArray rgba = raw.readAll();
        if (rgba.size() != qsizetype(w) * h * 4)
            return {};
        return QImage(reinterpret_cast<const uchar *>(rgba.constData()), w, h, w * 4,
                      QImage::Format_RGBA8888)
            .copy();
    }
    return QImage(dir + settings.value(frame + QStringLiteral("/image")).toString());
}

bool sameFrame(const QImage &ours, const QImage &expected)
{
    if (ours.size() != expected.size())
        return false;
    const QImage a = ours.convertToFormat(QImage::Format_ARGB32);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (qAlpha(p) == 0 && qAlpha(q) == 0)
                continue; // the colour of a transparent pixel means nothing
            if (p != q)
                return false;
        }
    }
    return true;
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
    QElapsedTimer total;
    total.start();
    for (const Entry &e : entries) {
        const QString path = m_root + QLatin1Char('/') + e.file;
        QElapsedTimer timer;
        timer.start();
        const LoadResult r = PictureLoader::loadFile(path);
        const qint64 ms = timer.elapsed();
        const bool loaded = bool(r.picture);
        const QString outcome = loaded                ? QStringLiteral("shown")
                                : r.warning.isEmpty() ? QStringLiteral("refused")
                                                      : QStringLiteral("refused as damaged");
        ++tally[e.expect + QStringLiteral(" -> ") + outcome];
        auto problem = [&](const QString &what) {
            problems.append(e.file + QStringLiteral(": ") + what);
        };

        if (ms > 5000)
            problem(QStringLiteral("took %1 ms").arg(ms));
        if (loaded && r.picture->naturalSize().isEmpty())
            problem(QStringLiteral("loaded with no size"));

        if (e.type == QLatin1String("wmf") || e.type == QLatin1String("emf")) {
            // How they draw is the metafile sweep's business; here, that the loader
            // hands them to the player.
            if (e.expect == QLatin1String("load") && !loaded)
                problem(QStringLiteral("refused: ") + r.failure);
            continue;
        }

        if (e.expect == QLatin1String("load")) {
            if (!loaded) {
                if (!kDamagedInside.contains(e.file) || r.warning.isEmpty())
                    problem(QStringLiteral("refused: ") + r.failure);
                continue;
            }
            if (kDamagedInside.contains(e.file))
                problem(QStringLiteral("shown though its data is damaged inside"));
            const QImage ours = r.picture->toImage();
            if (e.file.startsWith(QLatin1String("gif-test-suite/"))) {
                const QString name = QFileInfo(e.file).completeBaseName();
                const QImage expected = suiteFrame(path);
                if (!expected.isNull() && !sameFrame(ours, expected) &&
                    !kSuiteDifferences.contains(name))
                    problem(QStringLiteral("first frame differs from the suite's"));
            } else if (e.qt.startsWith(QLatin1String("OK")) && !kQtReaderWrong.contains(e.file) &&
                       (e.type == QLatin1String("jpeg") || e.type == QLatin1String("bmp") ||
                        e.type == QLatin1String("dib"))) {
                const QImage reference =
                    qtReference(path, e.type == QLatin1String("jpeg") ? "jpeg" : "bmp");
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
        } else if (e.expect.startsWith(QLatin1String("refuse")) ||
                   e.type == QLatin1String("not-supported")) {
            const bool lenientAllowed = e.note.contains(QLatin1String("lenient decoders show it"));
            const bool readSince =
                std::any_of(kReadSince.cbegin(), kReadSince.cend(),
                            [&](const QString &s) { return e.file.endsWith(s); });
            if (e.type == QLatin1String("not-supported") && readSince) {
                if (!loaded)
                    problem(QStringLiteral("refused: ") + r.failure);
                else if (e.file.endsWith(QLatin1String(".png")) &&
                         meanDifference(r.picture->toImage(), qtReference(path, "png")) > 2.0)
                    problem(QStringLiteral("differs from Qt's PNG reader"));
            } else if (e.type == QLatin1String("not-supported") && loaded)
                problem(QStringLiteral("a format that is not read was shown"));
            else if (loaded && !lenientAllowed && !kShownOnPurpose.contains(e.file))
                problem(QStringLiteral("shown complete though it should be refused"));
        }
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
