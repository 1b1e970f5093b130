#include "platform/desktop/MountTable.h"
#include "platform/desktop/VolumeProbe.h"
#include "support/TestDesktop.h"

#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

using namespace std::chrono_literals;

namespace {

// A volume that does not answer until the test lets it, like a dead network mount.
struct HungVolume {
    std::mutex lock;
    std::condition_variable released;
    bool answering = false;
    std::atomic<int> asked = 0;

    // The check's threads may outlive the test, so they share the volume.
    static VolumeProbe::Check check(const std::shared_ptr<HungVolume> &volume)
    {
        return [volume](const QString &) {
            ++volume->asked;
            std::unique_lock<std::mutex> wait(volume->lock);
            volume->released.wait(wait, [&] { return volume->answering; });
            return true;
        };
    }
    void release()
    {
        const std::lock_guard<std::mutex> guard(lock);
        answering = true;
        released.notify_all();
    }
};

} // namespace

class TestVolumes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mountInfoLinesAreDecoded()
    {
        const QByteArray text = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                                "40 22 8:17 / /media/ann/My\\040Stick rw,nosuid shared:20 master:3 "
                                "- vfat /dev/sdb1 rw\n"
                                "41 22 0:44 / /mnt/back\\134slash rw - nfs4 server:/export rw\n"
                                "garbage line\n"
                                "42 22 0:45 / /no/type rw -\n";
        const QList<Mount> mounts = parseMountInfo(text);
        QCOMPARE(mounts.size(), 3);
        QCOMPARE(mounts[0].point, QStringLiteral("/"));
        QCOMPARE(mounts[0].type, QByteArray("ext4"));
        QCOMPARE(mounts[1].point, QStringLiteral("/media/ann/My Stick"));
        QCOMPARE(mounts[1].type, QByteArray("vfat"));
        QCOMPARE(mounts[1].source, QByteArray("/dev/sdb1"));
        QCOMPARE(mounts[2].point, QStringLiteral("/mnt/back\\slash"));
        QCOMPARE(mounts[2].source, QByteArray("server:/export"));
    }

    void mountTableIsReadOnceUntilItChanges()
    {
        MountTable table;
        const QList<Mount> first = table.mounts();
        QVERIFY(std::any_of(first.cbegin(), first.cend(),
                            [](const Mount &m) { return m.point == QLatin1String("/"); }));
        for (int i = 0; i < 30; ++i)
            QCOMPARE(table.mounts().size(), first.size());
        QCOMPARE(table.reads(), 1);

        // The whole desktop asks it through the volume list: start-up and every folder
        // change reuse the one reading.
        MountedVolumes volumes;
        for (int i = 0; i < 30; ++i)
            QCOMPARE(volumes.list().constFirst().root, QDir::cleanPath(QDir::homePath()));
    }

    void hungVolumeIsNotReadyInTime()
    {
        const auto hung = std::make_shared<HungVolume>();
        VolumeProbe probe(HungVolume::check(hung), 100ms);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!probe.isReady(QStringLiteral("/mnt/dead")));
        QVERIFY(clock.elapsed() < 5000);
        // Still stuck: not asked again, answered at once.
        QVERIFY(!probe.isReady(QStringLiteral("/mnt/dead")));
        QCOMPARE(hung->asked.load(), 1);

        // Once the mount comes back the next question gets the truth.
        hung->release();
        QTRY_VERIFY(probe.isReady(QStringLiteral("/mnt/dead")));
        QVERIFY(VolumeProbe().isReady(QStringLiteral("/")));
        QVERIFY(!VolumeProbe().isReady(QStringLiteral("/no/such/volume")));
    }

    void choosingAHungVolumeLeavesTheWindowFree()
    {
        TestDesktop desktop;
        const QString pictures = desktop.makeFolder(desktop.home() + QStringLiteral("/Pictures"));
        Form1 &form = desktop.started(pictures);
        Form1Controls &c = form.controls();
        const auto hung = std::make_shared<HungVolume>();
        desktop.volumes.probe = std::make_unique<VolumeProbe>(HungVolume::check(hung), 100ms);

        QElapsedTimer clock;
        clock.start();
        c.Drive1->setDrive(desktop.volumes.volumes[1]);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(desktop.messages.shown,
                 (QList<RecordedMessage>{{QStringLiteral("Device is not accessible or ready"), 16,
                                          QStringLiteral("Quorvel")}}));
        QCOMPARE(c.Dir1->path(), pictures);
        hung->release();
    }
};

QTEST_MAIN(TestVolumes)
#include "tst_volumes.moc"
