#include "browse/FileInfoText.h"

#include <QTest>

class TestFileInfoText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizeText_data()
    {
        QTest::addColumn<qint64>("length");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty file") << qint64(0) << "0bytes";
        QTest::newRow("half a kilobyte rounds to even 0") << qint64(512) << "512bytes";
        QTest::newRow("just over half") << qint64(513) << "1KB";
        QTest::newRow("1.5 rounds to even 2") << qint64(1536) << "2KB";
        QTest::newRow("2.5 rounds to even 2") << qint64(2560) << "2KB";
        QTest::newRow("3.5 rounds to even 4") << qint64(3584) << "4KB";
        QTest::newRow("largest that fitted 16 bits") << qint64(33553919) << "32767KB";
        QTest::newRow("past 16 bits shows the truth") << qint64(33553920) << "32768KB";
        QTest::newRow("beyond 4 GB") << qint64(5) * 1024 * 1024 * 1024 << "5242880KB";
    }
    void sizeText()
    {
        QFETCH(qint64, length);
        QFETCH(QString, expected);
        QCOMPARE(::sizeText(length), expected);
    }

    void dateLeavesOutMidnightAndTimeZones_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("afternoon") << QTime(14, 5, 9) << QLocale::English << "7/9/24 2:05:09 PM";
        QTest::newRow("German") << QTime(14, 5, 9) << QLocale::German << "09.07.24 14:05:09";
        QTest::newRow("midnight") << QTime(0, 0) << QLocale::English << "7/9/24";
        // The fraction of a second a file system keeps is not shown.
        QTest::newRow("midnight and a fraction")
            << QTime(0, 0, 0, 300) << QLocale::English << "7/9/24";
        QTest::newRow("a second past")
            << QTime(0, 0, 1) << QLocale::English << "7/9/24 12:00:01 AM";
    }
    void dateLeavesOutMidnightAndTimeZones()
    {
        QFETCH(QTime, time);
        QFETCH(QLocale::Language, language);
        QFETCH(QString, expected);
        const QLocale locale(language, language == QLocale::German ? QLocale::Germany
                                                                   : QLocale::UnitedStates);
        QCOMPARE(dateText(QDateTime(QDate(2024, 7, 9), time), locale), expected);
    }

    void pictureSizeUsesTheShortestText_data()
    {
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::addColumn<QString>("expected");
        QTest::newRow("natural size") << 640.f << 480.f << "640 X 480";
        QTest::newRow("half pixel") << 449.f << 200.5f << "449 X 200.5";
        QTest::newRow("single precision digits")
            << static_cast<float>(385.0 / 898 * 449) << 385.f << "192.5 X 385";
        QTest::newRow("a third") << 1.f / 3.f << 1.f << "0.33333334 X 1";
        QTest::newRow("large") << 65535.f << 1000000.f << "65535 X 1000000";
    }
    void pictureSizeUsesTheShortestText()
    {
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(QString, expected);
        QCOMPARE(pictureSizeText(width, height), expected);
    }

    void joinsPathsWithoutDoubling()
    {
        QCOMPARE(joinPath(QStringLiteral("/home/ann"), QStringLiteral("a.bmp")), "/home/ann/a.bmp");
        QCOMPARE(joinPath(QStringLiteral("/"), QStringLiteral("photo.bmp")), "/photo.bmp");
    }
};

QTEST_APPLESS_MAIN(TestFileInfoText)
#include "tst_fileinfotext.moc"
