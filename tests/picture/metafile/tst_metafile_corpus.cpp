// Sweeps the shared corpus's metafiles: the good ones load and draw something; the bad
// ones are refused or drawn in part, and none crashes or hangs.
#include "picture/metafile/MetafilePicture.h"
#include "support/Corpus.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace {

constexpr QRgb kPaper = 0x808080;

// Drawn on grey paper so that white shapes count as well.
bool hasInk(const QImage &img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != kPaper)
                return true;
    return false;
}

} // namespace

class TestMetafileCorpus : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sweep_data();
    void sweep();
};

void TestMetafileCorpus::sweep_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("good");
    QUORVEL_SKIP_UNLESS_CORPUS(QStringLiteral(QUORVEL_CORPUS_DIR "/MANIFEST.tsv"));
    QFile manifest(QStringLiteral(QUORVEL_CORPUS_DIR "/MANIFEST.tsv"));
    QVERIFY(manifest.open(QIODevice::ReadOnly | QIODevice::Text));
    manifest.readLine(); // the column names
    int metafiles = 0;
    while (!manifest.atEnd()) {
        const QStringList cols = QString::fromUtf8(manifest.readLine()).trimmed().split('\t');
        if (cols.size() < 3 || (cols[1] != QLatin1String("wmf") && cols[1] != QLatin1String("emf")))
            continue;
        QTest::newRow(qPrintable(cols[0])) << cols[0] << (cols[2] == QLatin1String("load"));
        ++metafiles;
    }
    QVERIFY(metafiles > 0);
}

void TestMetafileCorpus::sweep()
{
    QFETCH(QString, path);
    QFETCH(bool, good);
    QFile f(QStringLiteral(QUORVEL_CORPUS_DIR "/") + path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QElapsedTimer t;
    t.start();
    QString why;
    auto pic = MetafilePicture::load(f.readAll(), &why);
    QVERIFY2(pic || !good, qPrintable(why));
    if (!pic)
        return;
    QVERIFY(!pic->naturalSize().isEmpty());
    // At most 400 pixels on the long side keeps the sweep quick.
    const QSize natural = pic->naturalSize();
    const double scale = qMin(1.0, 400.0 / qMax(natural.width(), natural.height()));
    const QSize size(qMax(1, int(natural.width() * scale)), qMax(1, int(natural.height() * scale)));
    MetafilePicture::Stats stats;
    const QImage img = pic->render(size, &stats, QColor(kPaper));
    QVERIFY(!img.isNull());
    QVERIFY2(t.elapsed() < 20000, qPrintable(QString::number(t.elapsed())));
    if (good)
        QVERIFY2(!stats.budgetExceeded, "a real picture ran out of drawing budget");
    // A file whose EMF+ stream does all the drawing has nothing in its plain records,
    // and one that only selects objects has nothing to show.
    if (good && !pic->isEmfPlusOnly() && pic->hasDrawingRecords())
        QVERIFY2(hasInk(img), "the picture came out blank");
}

QTEST_MAIN(TestMetafileCorpus)
#include "tst_metafile_corpus.moc"
