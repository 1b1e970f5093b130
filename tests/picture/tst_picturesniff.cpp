#include "PictureTestData.h"
#include "picture/PictureLoader.h"
#include "picture/metafile/MetafileBuilder.h"

#include <QTemporaryDir>
#include <QTest>
#include <zlib.h>

using namespace testdata;
using metafile::test::EmfBuilder;
using metafile::test::WmfBuilder;

Q_DECLARE_METATYPE(std::optional<PictureFormat>)

class TestPictureSniff : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decidesByContent_data();
    void decidesByContent();
    void fileNamesCarryNoWeight_data();
    void fileNamesCarryNoWeight();
    void metafilesGoToTheirPlayer();
};

namespace {

QByteArray smallBmp()
{
    return bmp({.width = 2, .height = 2, .pixels = QByteArray(16, '\x40')}); // rows padded to 8
}

QByteArray tgaHeader()
{
    // An uncompressed true-colour TGA: as an icon directory, a cursor file with no images.
    return QByteArray("\0\0\x02\0\0\0\0\0\0\0\0\0\x10\0\x10\0\x20\x08", 18) +
           QByteArray(16 * 16 * 4, '\x7F');
}

// A directory of count entries, the first a 16 x 16, 32-bit image at offset 22.
QByteArray iconHeader(quint16 type, quint16 count)
{
    QByteArray b;
    putLe<quint16>(b, 0, type, count, 0x1010, 0, 1, 32);
    putLe<quint32>(b, 1128, 22);
    return b + QByteArray(64, '\0');
}

// A gzip stream of text, stored rather than compressed.
QByteArray gzipped(const QByteArray &text)
{
    QByteArray z("\x1F\x8B\x08\0\0\0\0\0\0\xFF\x01", 11);
    putLe<quint16>(z, text.size(), ~text.size());
    z += text;
    putLe<quint32>(z,
                   crc32(0, reinterpret_cast<const Bytef *>(text.constData()), uInt(text.size())),
                   text.size());
    return z;
}

QByteArray standardWmf(quint16 type, quint16 version)
{
    QByteArray b;
    putLe<quint16>(b, type, 9, version);
    return b + QByteArray(12, '\0');
}

} // namespace

void TestPictureSniff::decidesByContent_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<std::optional<PictureFormat>>("format");
    using enum PictureFormat;
    const auto row = [](const char *name, const QByteArray &head,
                        std::optional<PictureFormat> format = {}) {
        QTest::newRow(name) << head << format;
    };
    row("jpeg", jpeg(QImage(8, 8, QImage::Format_RGB32)), Jpeg);
    row("jpeg SOI alone", QByteArray("\xFF\xD8", 2));
    row("gif89a", QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14), Gif);
    row("gif87a", QByteArray("GIF87a\x01\x00\x01\x00\x00\x00\x00;", 14), Gif);
    row("gif with an unknown version", QByteArray("GIF90a\x01\x00\x01\x00", 10));
    row("gif signature cut short", QByteArray("GIF8"));
    row("bitmap", smallBmp(), Bmp);
    row("bitmap cut inside its file header", smallBmp().left(10));
    row("BM with an impossible header size", smallBmp().replace(15, 1, "\1"));
    row("text starting with BM", QByteArray("BMW owners club\nminutes of the meeting\n"));
    row("OS/2 bitmap array", QByteArray("BA\x28\0\0\0\0\0\0\0\0\0\0\0", 14) + smallBmp(), Bmp);
    row("packed DIB", smallBmp().mid(14), Bmp);
    row("icon", iconHeader(1, 1), Ico);
    row("cursor", iconHeader(2, 1), Cur);
    row("icon with no images", iconHeader(1, 0));
    row("icon whose data overlaps its directory", iconHeader(1, 4));
    row("TGA that Qt takes for an icon", tgaHeader());
    row("placeable WMF", QByteArray("\xD7\xCD\xC6\x9A\0\0\0\0", 8), Wmf);
    row("standard WMF in memory", standardWmf(1, 0x0300), Wmf);
    row("standard WMF on disk, old version", standardWmf(2, 0x0100), Wmf);
    row("WMF-like header, bad version", standardWmf(1, 0x0200));
    row("EMF", EmfBuilder().finish(), Emf);
    row("EMF record without the signature", EmfBuilder().finish().replace(41, 1, "X"));
    row("PNG", png(QImage(4, 4, QImage::Format_RGB32)), Png);
    row("TIFF, Intel order", QByteArray("II*\0\x08\0\0\0", 8), Tiff);
    row("BigTIFF, Motorola order", QByteArray("MM\0+\0\x08\0\0", 8), Tiff);
    row("MM without the TIFF number", QByteArray("MM\0\x2C", 4));
    row("WebP", QByteArray("RIFF\x20\0\0\0WEBPVP8 ", 16), Webp);
    row("RIFF that is a wave file", QByteArray("RIFF\x20\0\0\0WAVEfmt ", 16));
    // A leading ftyp box: the major brand, a version, then the compatible brands.
    auto ftyp = [](const QByteArray &major, const QByteArray &compatible) {
        QByteArray box = QByteArray("\0\0\0\0ftyp", 8) + major + QByteArray(4, '\0') + compatible;
        box[3] = char(box.size());
        return box;
    };
    row("HEIC from a phone", ftyp("heic", "mif1heicmiaf"), Heif);
    row("HEIF by a compatible brand alone", ftyp("abcd", "mif1"), Heif);
    row("AVIF", ftyp("avif", "avifmif1miaf"), Avif);
    row("AVIF among HEIF brands", ftyp("mif1", "mif1avif"), Avif);
    row("MP4 video", ftyp("isom", "isomiso2mp41"));
    row("JPEG XL code stream", QByteArray("\xFF\x0A\xFA\x7F", 4), JpegXl);
    row("JPEG XL container", QByteArray("\0\0\0\x0CJXL \r\n\x87\n\0\0\0\024ftypjxl ", 24), JpegXl);
    row("SVG after a declaration, comments and a document type",
        QByteArray("\xEF\xBB\xBF<?xml version='1.0'?>\n<!-- drawn by hand -->\n"
                   "<!DOCTYPE svg PUBLIC '-//W3C//DTD SVG 1.1//EN' 'svg11.dtd' "
                   "[<!ENTITY ns 'x'>]>\n<svg xmlns='http://www.w3.org/2000/svg'/>"),
        Svg);
    row("SVGZ", gzipped("<svg xmlns='http://www.w3.org/2000/svg'/>"), Svg);
    row("other XML", QByteArray("<?xml version='1.0'?><svgish/>"));
    row("gzip of something else", gzipped("just some words"));
    row("text", QByteArray("just some words in a file\n"));
    row("empty", QByteArray());
}

void TestPictureSniff::decidesByContent()
{
    QFETCH(QByteArray, head);
    QFETCH(std::optional<PictureFormat>, format);
    QCOMPARE(PictureLoader::sniff(head), format);
}

void TestPictureSniff::fileNamesCarryNoWeight_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");

    QTest::newRow("bitmap named .jpg") << "picture.jpg" << smallBmp() << true;
    const QImage tiny(8, 8, QImage::Format_RGB32);
    QTest::newRow("jpeg with no extension") << "picture" << jpeg(tiny) << true;
    QTest::newRow(".jpg that is a PNG") << "photo.jpg" << png(tiny) << true;
    QTest::newRow(".jpg that is text") << "photo.jpg" << QByteArray("not a photo\n") << false;
    QTest::newRow(".ico that is a TGA") << "icon.ico" << tgaHeader() << false;
    QTest::newRow(".bmp that is empty") << "empty.bmp" << QByteArray("") << false;
    QTest::newRow("WMF claiming more than it holds") << "a.wmf" << standardWmf(1, 0x0300) << false;
    QTest::newRow("missing") << "missing/picture.bmp" << QByteArray() << false;
}

void TestPictureSniff::fileNamesCarryNoWeight()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);

    QTemporaryDir dir;
    QFile file(dir.filePath(name));
    if (!bytes.isNull()) // else missing
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const LoadResult result = PictureLoader::loadFile(file.fileName());
    QCOMPARE(bool(result.picture), loads);
    QCOMPARE(result.failure.isEmpty(), loads);
    QVERIFY(!bytes.isNull() || result.failure.startsWith("cannot open"));
    QVERIFY(!PictureLoader::loadBytes(bytes).failure.isEmpty() || loads);
}

void TestPictureSniff::metafilesGoToTheirPlayer()
{
    // A placeable WMF of 2 x 1 inches at 1440 units per inch that fills a rectangle.
    WmfBuilder placeable(QRect(0, 0, 2880, 1440), 1440);
    placeable.rec(0x02FC, {0, 0, 0, 0}).rec(0x012D, {0}); // black solid brush, selected
    placeable.rec(0x041B, {1440, 2880, 0, 0});
    const LoadResult wmf = PictureLoader::loadBytes(placeable.finish());
    QVERIFY2(wmf.picture, qPrintable(wmf.failure));
    QCOMPARE(wmf.picture->naturalSize(), QSize(192, 96));
    QCOMPARE(wmf.picture->toImage().pixel(100, 50), qRgb(0, 0, 0));

    const LoadResult emf = PictureLoader::loadBytes(EmfBuilder(QSize(40, 30)).finish());
    QVERIFY2(emf.picture, qPrintable(emf.failure));
    QCOMPARE(emf.picture->naturalSize(), QSize(40, 30));
}

QTEST_MAIN(TestPictureSniff)
#include "tst_picturesniff.moc"
