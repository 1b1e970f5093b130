#include "shell/platform/FilePattern.h"

#include <QTest>

class TestFilePattern : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matches_data();
    void matches();
    void refusesUnusableText_data();
    void refusesUnusableText();
};

void TestFilePattern::matches_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");

    const QString all = QStringLiteral("*.bmp;*.gif;*.jpg;*.ico;*.cur;*.Rle;*.Dib;*.Wmf;*.Emf");
    QTest::newRow("any case") << "*.BMP"
                              << "photo.bmp" << true;
    QTest::newRow("any case, upper name") << "*.bmp"
                                          << "PHOTO.BMP" << true;
    QTest::newRow("second piece") << "*.bmp;*.gif"
                                  << "a.GIF" << true;
    QTest::newRow("no piece") << "*.bmp;*.gif"
                              << "a.jpg" << false;
    QTest::newRow("whole name only") << "*.jpg"
                                     << "a.jpg.txt" << false;
    QTest::newRow("jpeg is not jpg") << "*.jpg"
                                     << "a.jpeg" << false;
    QTest::newRow("mixed-case piece") << all << "clock.dib" << true;
    QTest::newRow("metafile") << all << "DRAWING.EMF" << true;
    QTest::newRow("hidden file") << all << ".secret.gif" << true;
    QTest::newRow("question mark") << "img?.gif"
                                   << "img1.gif" << true;
    QTest::newRow("question mark needs a character") << "img?.gif"
                                                     << "img.gif" << false;
    QTest::newRow("star-dot-star means every file") << "*.*"
                                                    << "README" << true;
    QTest::newRow("blanks around pieces") << " *.gif ; *.bmp "
                                          << "x.bmp" << true;
    QTest::newRow("empty text matches nothing") << ""
                                                << "x.bmp" << false;
    QTest::newRow("literal bracket") << "[a].gif"
                                     << "[a].gif" << true;
    QTest::newRow("many stars stay quick")
        << "*a*a*a*a*a*a*a*a*a*b" << QString(200, QLatin1Char('a')) << false;
}

void TestFilePattern::matches()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, expected);

    const auto parsed = FilePattern::parse(pattern);
    QVERIFY(parsed.has_value());
    QCOMPARE(parsed->matches(name), expected);
}

void TestFilePattern::refusesUnusableText_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::newRow("path separator") << "../*.bmp";
    QTest::newRow("separator in a later piece") << "*.bmp;/etc/*";
    QTest::newRow("control character") << QStringLiteral("*.bmp\t");
    QTest::newRow("unreasonably long") << QString(FilePattern::kMaxLength + 1, QLatin1Char('*'));
}

void TestFilePattern::refusesUnusableText()
{
    QFETCH(QString, pattern);
    QVERIFY(!FilePattern::parse(pattern).has_value());
}

QTEST_APPLESS_MAIN(TestFilePattern)
#include "tst_filepattern.moc"
