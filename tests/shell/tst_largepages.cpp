#include "shell/LargePages.h"

#include <QFile>
#include <QTest>
#include <cstdlib>

// The launcher's one change to the environment: glibc's large pages (and a heap that grows
// in steps they fit) are asked for, and whatever the user set in the same variable stays
// as it was, and is given back once the viewer has started.
class TestLargePages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepsTheUsersTunables_data();
    void keepsTheUsersTunables();
};

void TestLargePages::keepsTheUsersTunables_data()
{
    QTest::addColumn<QByteArray>("before"); // "-" for unset
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QByteArray>("after");

    const QByteArray asked = "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=8388608";
    QTest::newRow("unset") << QByteArray("-") << true << asked;
    QTest::newRow("empty") << QByteArray("") << true << asked;
    QTest::newRow("other tunables kept")
        << QByteArray("glibc.malloc.check=0") << true << "glibc.malloc.check=0:" + asked;
    QTest::newRow("the user's own heap padding kept")
        << QByteArray("glibc.malloc.top_pad=0") << true
        << QByteArray("glibc.malloc.top_pad=0:glibc.malloc.hugetlb=1");
    QTest::newRow("the user's own choice wins")
        << QByteArray("glibc.malloc.hugetlb=0") << false << QByteArray("glibc.malloc.hugetlb=0");
}

void TestLargePages::keepsTheUsersTunables()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, asked);
    QFETCH(QByteArray, after);
    QFile thp(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    if (!thp.open(QIODevice::ReadOnly) || thp.readAll().contains("[never]"))
        QSKIP("this system has no transparent huge pages");

    if (before == "-")
        unsetenv("GLIBC_TUNABLES");
    else
        setenv("GLIBC_TUNABLES", before.constData(), 1);
    QCOMPARE(askForLargePages(), asked);
    QCOMPARE(QByteArray(std::getenv("GLIBC_TUNABLES")), after);

    // Started, the viewer gives the programs it opens files with the user's own.
    giveBackUsersTunables();
    if (before == "-" || before.isEmpty())
        QVERIFY(!std::getenv("GLIBC_TUNABLES"));
    else
        QCOMPARE(QByteArray(std::getenv("GLIBC_TUNABLES")), before);
    QVERIFY(!std::getenv("QUORVEL_USERS_GLIBC_TUNABLES"));
}

QTEST_GUILESS_MAIN(TestLargePages)
#include "tst_largepages.moc"
