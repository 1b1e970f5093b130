#include "app/EarlyPicture.h"
#include "picture/PictureTestData.h"
#include "support/TestFiles.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Counts what reaches the ordinary source and answers with a marker picture.
class CountingPictures final : public PictureSource {
public:
    PictureRef load(const QString &, QString *failure, const DrawnSize &) override
    {
        ++loads;
        if (failure)
            failure->clear();
        return marker;
    }
    int loads = 0;
    const PictureRef marker = RasterPicture::fromImage(QImage(3, 3, QImage::Format_RGB32));
};

QByteArray bitmapOf(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return testdata::encoded(image, "BMP");
}

} // namespace

class TestEarlyPicture : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theNamedFileIsReadOnceAheadAndOtherPathsGoThrough();
    void aFileChangedSinceItWasReadIsReadAgain();
    void aDamagedFileFailsWithItsReason();
};

void TestEarlyPicture::theNamedFileIsReadOnceAheadAndOtherPathsGoThrough()
{
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.bmp"));
    writeFile(photo, bitmapOf({40, 30}, Qt::red));
    CountingPictures ordinary;
    // Named through a relative detour, as a command line may name it.
    EarlyPicture early(ordinary, dir.path() + QStringLiteral("/./photo.bmp"));

    PictureRef other = early.load(dir.filePath(QStringLiteral("elsewhere.bmp")));
    QCOMPARE(other, ordinary.marker);
    PictureRef first = early.load(photo);
    QVERIFY(first && first != ordinary.marker);
    QCOMPARE(first->naturalSize(), QSize(40, 30));
    QCOMPARE(first->toImage().pixelColor(5, 5), QColor(Qt::red));
    QCOMPARE(ordinary.loads, 1);
    // Only the first click is served ahead; a later one reads the file as usual.
    QCOMPARE(early.load(photo), ordinary.marker);
    QCOMPARE(ordinary.loads, 2);
}

void TestEarlyPicture::aFileChangedSinceItWasReadIsReadAgain()
{
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.bmp"));
    writeFile(photo, bitmapOf({40, 30}, Qt::red));
    CountingPictures ordinary;
    EarlyPicture early(ordinary, photo);
    writeFile(photo, bitmapOf({41, 30}, Qt::blue));
    QCOMPARE(early.load(photo), ordinary.marker);
    QCOMPARE(ordinary.loads, 1);

    // Let go unasked, the read picture is never handed out.
    EarlyPicture unused(ordinary, photo);
    unused.release();
    QCOMPARE(unused.load(photo), ordinary.marker);
}

void TestEarlyPicture::aDamagedFileFailsWithItsReason()
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.bmp"));
    writeFile(broken, bitmapOf({40, 30}, Qt::red).left(60));
    CountingPictures ordinary;
    EarlyPicture early(ordinary, broken);
    QString failure;
    QVERIFY(!early.load(broken, &failure));
    QVERIFY(!failure.isEmpty());
    QCOMPARE(ordinary.loads, 0);
}

QTEST_MAIN(TestEarlyPicture)
#include "tst_earlypicture.moc"
