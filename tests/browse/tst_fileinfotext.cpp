#include "browse/FileInfoText.h"

#include <QTest>

class TestFileInfoText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizeText()
    {
        // Halves round to even; past 33553919 bytes, the most 16 bits held, the truth shows.
        const std::pair<qint64, const char *> rows[] = {
            {0, "0bytes"},         {512, "512bytes"},     {513, "1KB"},
            {1536, "2KB"},         {2560, "2KB"},         {3584, "4KB"},
            {33553919, "32767KB"}, {33553920, "32768KB"}, {qint64(5) << 30, "5242880KB"}};
        for (const auto &[length, expected] : rows)
            QCOMPARE(::sizeText(length), QString::fromLatin1(expected));
    }

    void dateLeavesOutMidnightAndTimeZones()
    {
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const QLocale german(QLocale::German, QLocale::Germany);
        // The fraction of a second a file system keeps is not shown.
        const std::tuple<QTime, const QLocale &, const char *> rows[] = {
            {QTime(14, 5, 9), english, "7/9/24 2:05:09 PM"},
            {QTime(14, 5, 9), german, "09.07.24 14:05:09"},
            {QTime(0, 0), english, "7/9/24"},
            {QTime(0, 0, 0, 300), english, "7/9/24"},
            {QTime(0, 0, 1), english, "7/9/24 12:00:01 AM"}};
        for (const auto &[time, locale, expected] : rows)
            QCOMPARE(dateText(QDateTime(QDate(2024, 7, 9), time), locale),
                     QString::fromLatin1(expected));
    }

    void pictureSizeUsesTheShortestText()
    {
        const std::tuple<float, float, const char *> rows[] = {
            {640, 480, "640 X 480"},
            {449, 200.5f, "449 X 200.5"},
            {static_cast<float>(385.0 / 898 * 449), 385, "192.5 X 385"}, // single precision
            {1.f / 3.f, 1, "0.33333334 X 1"},
            {65535, 1000000, "65535 X 1000000"}};
        for (const auto &[width, height, expected] : rows)
            QCOMPARE(pictureSizeText(width, height), QString::fromLatin1(expected));
    }

    void joinsPathsWithoutDoubling()
    {
        QCOMPARE(joinPath(QStringLiteral("/home/ann"), QStringLiteral("a.bmp")), "/home/ann/a.bmp");
        QCOMPARE(joinPath(QStringLiteral("/"), QStringLiteral("photo.bmp")), "/photo.bmp");
    }
};

QTEST_APPLESS_MAIN(TestFileInfoText)
#include "tst_fileinfotext.moc"
