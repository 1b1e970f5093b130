#include "PictureTestData.h"
#include "picture/HugePageBytes.h"
#include "picture/PictureLoader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace testdata;

// A large file is read into a buffer laid out by hand; it must behave as any other
// QByteArray, and the picture read through it must be the picture in the file.
class TestHugePageBytes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void isAnOrdinaryArrayOnWholePages();
    void aLargeFileReadsAsItsBytes();
};

void TestHugePageBytes::isAnOrdinaryArrayOnWholePages()
{
    const qsizetype size = (6 << 20) + 123;
    QByteArray bytes = picture::hugePageBytes(size);
    QCOMPARE(bytes.size(), size);
    QCOMPARE(bytes.constData()[size], '\0');
    const auto offset = reinterpret_cast<quintptr>(bytes.constData()) % (quintptr(2) << 20);
    QVERIFY2(offset < 64, "the bytes start on a 2 MB boundary, after the header");

    bytes.fill('a');
    QByteArray copy = bytes;
    copy[0] = 'b';
    QCOMPARE(bytes.front(), 'a');
    bytes.resize(10);
    QCOMPARE(bytes, QByteArray(10, 'a'));
    bytes.append(QByteArray(8 << 20, 'c')); // grows past the block
    QCOMPARE(bytes.size(), 10 + (8 << 20));
    QCOMPARE(bytes.back(), 'c');
    QCOMPARE(copy.size(), size);

    QCOMPARE(picture::hugePageBytes(100).size(), 100);
}

void TestHugePageBytes::aLargeFileReadsAsItsBytes()
{
    // A small photo behind 5 MB of application segments, which every reader skips.
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(30, 160, 90));
    const QByteArray photo = jpeg(image);
    QByteArray padded = photo.left(2);
    const QByteArray segment = QByteArray("\xFF\xEF\xFF\xF0", 4) + QByteArray(0xFFF0 - 2, 'x');
    while (padded.size() < (5 << 20))
        padded += segment;
    padded += photo.mid(2);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("padded.jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(padded);
    file.close();

    const LoadResult fromFile = PictureLoader::loadFile(path);
    const LoadResult fromBytes = PictureLoader::loadBytes(padded);
    QVERIFY2(fromFile.picture, qPrintable(fromFile.failure));
    QVERIFY(fromBytes.picture);
    QCOMPARE(fromFile.picture->toImage(), fromBytes.picture->toImage());
}

QTEST_MAIN(TestHugePageBytes)
#include "tst_hugepagebytes.moc"
