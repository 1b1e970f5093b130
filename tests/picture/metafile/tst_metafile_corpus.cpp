// Sweeps the shared corpus of real metafiles: every file the corpus calls good
// loads and draws something; the bad ones are refused or drawn in part, never
// crash and never hang.
#include "picture/metafile/MetafilePicture.h"
#include "support/Corpus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace {

struct Entry {
    QString path;
    QString type;
    QString expect;
};

QList<Entry> manifest()
{
    QList<Entry> out;
    QFile f(QStringLiteral(QUORVEL_CORPUS_DIR "/MANIFEST.tsv"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    f.readLine();
    while (!f.atEnd()) {
        const QStringList cols = QString::fromUtf8(f.readLine()).trimmed().split(QLatin1Char('\t'));
        if (cols.size() >= 3 &&
            (cols[1] == QLatin1String("wmf") || cols[1] == QLatin1String("emf")))
            out.append({cols[0], cols[1], cols[2]});
    }
    return out;
}

constexpr QRgb kPaper = 0x808080;

// Drawn on grey paper so that white shapes count as well.
bool hasInk(const QImage &img)
{
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0xFFFFFF) != kPaper)
                return true;
    }
    return false;
}

// At most 400 pixels on the long side keeps the sweep quick.
QSize sweepSize(QSize natural)
{
    const double scale = qMin(1.0, 400.0 / qMax(natural.width(), natural.height()));
    return QSize(qMax(1, int(natural.width() * scale)), qMax(1, int(natural.height() * scale)));
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
    QTest::addColumn<QString>("expect");
    QUORVEL_SKIP_UNLESS_CORPUS(QStringLiteral(QUORVEL_CORPUS_DIR "/MANIFEST.tsv"));
    const QList<Entry> entries = manifest();
    QVERIFY(!entries.isEmpty());
    for (const Entry &e : entries)
        QTest::newRow(qPrintable(e.path)) << e.path << e.expect;
}

void TestMetafileCorpus::sweep()
{
    QFETCH(QString, path);
    QFETCH(QString, expect);
    QFile f(QStringLiteral(QUORVEL_CORPUS_DIR "/") + path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QElapsedTimer t;
    t.start();
    QString why;
    auto pic = MetafilePicture::load(f.readAll(), &why);
    if (expect == QLatin1String("load"))
        QVERIFY2(pic, qPrintable(why));
    if (!pic)
        return;
    QVERIFY(!pic->naturalSize().isEmpty());
    MetafilePicture::Stats stats;
    const QImage img = pic->render(sweepSize(pic->naturalSize()), &stats, QColor(kPaper));
    QVERIFY(!img.isNull());
    QVERIFY2(t.elapsed() < 20000, qPrintable(QString::number(t.elapsed())));
    if (expect == QLatin1String("load"))
        QVERIFY2(!stats.budgetExceeded, "a real picture ran out of drawing budget");
    // A file whose EMF+ stream does all the drawing has nothing in its plain records,
    // and one that only selects objects has nothing to show.
    if (expect == QLatin1String("load") && !pic->isEmfPlusOnly() && pic->hasDrawingRecords())
        QVERIFY2(hasInk(img), "the picture came out blank");
}

QTEST_MAIN(TestMetafileCorpus)
#include "tst_metafile_corpus.moc"
