#include "platform/desktop/DecodePool.h"

#include <QMutex>
#include <QSemaphore>
#include <QTest>

class TestDecodePool : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wantedNowFirstCancelledNeverRunAndEveryOwnerHearsTheEnd()
    {
        DecodePool pool(1);
        QObject owner;
        QMutex lock;
        QStringList ran;
        QStringList ended;
        QSemaphore gate;
        const auto job = [&](DecodePool::Priority priority, const QString &name, QObject *to) {
            return pool.start(
                priority, to,
                [&, name] {
                    QMutexLocker locker(&lock);
                    ran.append(name);
                },
                [&, name] { ended.append(name); });
        };
        // The one worker is kept busy while the rest queue up.
        (void)pool.start(
            DecodePool::Priority::Now, &owner, [&] { gate.acquire(); }, [] {});
        (void)job(DecodePool::Priority::Ahead, QStringLiteral("ahead"), &owner);
        const quint64 unwanted =
            job(DecodePool::Priority::Neighbour, QStringLiteral("unwanted"), &owner);
        (void)job(DecodePool::Priority::Neighbour, QStringLiteral("neighbour"), &owner);
        (void)job(DecodePool::Priority::Now, QStringLiteral("now"), &owner);
        {
            QObject gone;
            (void)job(DecodePool::Priority::Now, QStringLiteral("owner gone"), &gone);
        }
        pool.cancel(unwanted);
        gate.release();
        QTRY_COMPARE(ended.size(), 4);
        QCOMPARE(ran, (QStringList{QStringLiteral("now"), QStringLiteral("owner gone"),
                                   QStringLiteral("neighbour"), QStringLiteral("ahead")}));
        // The cancelled decode is told it ended, so that its owner stops counting it.
        QVERIFY(ended.contains(QStringLiteral("unwanted")));
        QVERIFY(!ended.contains(QStringLiteral("owner gone")));
    }
};

QTEST_MAIN(TestDecodePool)
#include "tst_decodepool.moc"
