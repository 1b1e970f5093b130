#include "platform/controls/FilePattern.h"

#include <QTest>

class TestFilePattern : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matches_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("expected");

        auto row = [](const char *what, const QString &pattern, const char *name, bool expected) {
            QTest::newRow(what) << pattern << QString::fromUtf8(name) << expected;
        };
        const QString all = QStringLiteral("*.bmp;*.gif;*.jpg;*.ico;*.cur;*.Rle;*.Dib;*.Wmf;*.Emf");
        row("any case", "*.BMP", "photo.bmp", true);
        row("any case, upper name", "*.bmp", "PHOTO.BMP", true);
        row("second piece", "*.bmp;*.gif", "a.GIF", true);
        row("no piece", "*.bmp;*.gif", "a.jpg", false);
        row("whole name only", "*.jpg", "a.jpg.txt", false);
        row("jpeg is not jpg", "*.jpg", "a.jpeg", false);
        row("mixed-case piece", all, "clock.dib", true);
        row("metafile", all, "DRAWING.EMF", true);
        row("hidden file", all, ".secret.gif", true);
        row("question mark", "img?.gif", "img1.gif", true);
        row("question mark needs a character", "img?.gif", "img.gif", false);
        row("star-dot-star means every file", "*.*", "README", true);
        row("blanks around pieces", " *.gif ; *.bmp ", "x.bmp", true);
        row("empty text matches nothing", "", "x.bmp", false);
        row("literal bracket", "[a].gif", "[a].gif", true);
        QTest::newRow("many stars stay quick")
            << "*a*a*a*a*a*a*a*a*a*b" << QString(200, QLatin1Char('a')) << false;
    }

    void matches()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, expected);

        const auto parsed = FilePattern::parse(pattern);
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->matches(name), expected);
    }

    void refusesUnusableText_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("path separator") << "../*.bmp";
        QTest::newRow("separator in a later piece") << "*.bmp;/etc/*";
        QTest::newRow("control character") << QStringLiteral("*.bmp\t");
        QTest::newRow("unreasonably long")
            << QString(FilePattern::kMaxLength + 1, QLatin1Char('*'));
    }

    void refusesUnusableText()
    {
        QFETCH(QString, pattern);
        QVERIFY(!FilePattern::parse(pattern).has_value());
    }
};

QTEST_APPLESS_MAIN(TestFilePattern)
#include "tst_filepattern.moc"
