#include "platform/desktop/MountTable.h"
#include "platform/desktop/VolumeProbe.h"
#include "support/TestDesktop.h"

#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <future>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

// A volume that does not answer until the test lets it, like a dead network mount.
// The check's threads may outlive the test, so they share what they use.
struct HungVolume {
    std::shared_ptr<std::promise<void>> released = std::make_shared<std::promise<void>>();
    std::shared_future<void> answer = released->get_future().share();
    std::shared_ptr<std::atomic<int>> asked = std::make_shared<std::atomic<int>>(0);
    VolumeProbe::Check check() const
    {
        return [answer = answer, asked = asked](const QString &) {
            ++*asked;
            answer.wait();
            return true;
        };
    }
};

} // namespace

// The local file system, and the volumes and working folders built on it.
class TestFileSystem : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listsCreatesAndDescribesFiles()
    {
        TestDesktop desktop;
        FakeFileSystem &files = desktop.files;
        const QString root = desktop.makeFolder(u"list/Sub"_s).chopped(4);
        desktop.makeFolder(root + u"/.cache"_s);
        desktop.makeFile(root + u"/a.bmp"_s, QByteArray(300, 'i'));
        desktop.makeFile(root + u"/.hidden.gif"_s, "x");
        QFile::link(root + u"/a.bmp"_s, root + u"/link.bmp"_s);
        QFile::link(root + u"/missing"_s, root + u"/broken.bmp"_s);
        QFile::link(root + u"/Sub"_s, root + u"/SubLink"_s);
        QCOMPARE(sorted(*files.files(root, false)), (QStringList{"a.bmp", "link.bmp"}));
        QCOMPARE(sorted(*files.files(root, true)),
                 (QStringList{".hidden.gif", "a.bmp", "link.bmp"}));
        QCOMPARE(sorted(*files.subfolders(root)), (QStringList{"Sub", "SubLink"}));
        QVERIFY(files.isReadableFolder(root));
        QVERIFY(!files.isReadableFolder(root + u"/a.bmp"_s));
        QVERIFY(!files.isReadableFolder(u"relative/path"_s));
        QCOMPARE(files.fileLength(root + u"/a.bmp"_s), std::optional<qint64>(300));
        QVERIFY(qAbs(files.lastModified(root + u"/a.bmp"_s)->secsTo(QDateTime::currentDateTime())) <
                60);
        QVERIFY(!files.fileLength(root).has_value());

        // A folder that cannot be read is not an empty one.
        const QString gone = root + u"/gone"_s;
        QVERIFY(!files.files(gone, true) && !files.subfolders(gone) && !files.lastModified(gone));
        QVERIFY(files.files(root + u"/Sub"_s, true)->isEmpty());

        // Folders are made one level at a time.
        const QString folder = root + u"/VozeviZire"_s;
        QVERIFY(files.createFolder(folder).done());
        QCOMPARE(files.createFolder(folder).failure, u"File exists"_s);
        QVERIFY(!files.createFolder(root + u"/a/b"_s).done());
        QVERIFY(files.createFolder(folder + u"/For Work"_s).done());
    }

    void eachVolumeKeepsItsOwnFolder()
    {
        TestDesktop desktop;
        // Volumes: home, a stick mounted inside it, and the root.
        const QString home = desktop.home(), pictures = home + u"/Pictures"_s;
        const QString stick = desktop.makeFolder(home + u"/mnt/stick/DCIM"_s).chopped(5);
        desktop.makeFolder(pictures + u"/2024"_s);
        QList<Volume> &volumes = desktop.volumes.volumes;
        volumes[1].root = stick;
        QCOMPARE(desktop.volumes.volumeOf(pictures).root, home);
        QCOMPARE(desktop.volumes.volumeOf(stick + u"/DCIM"_s).root, stick);
        QCOMPARE(desktop.volumes.volumeOf(u"/etc"_s).root, u"/"_s);
        // A sibling whose name merely starts like the home folder is not inside it.
        QCOMPARE(desktop.volumes.volumeOf(home + u"ette"_s).root, u"/"_s);
        QVERIFY(isInside(home, home));
        QVERIFY(!isInside(home + u"x"_s, home));

        WorkingFolders working(desktop.volumes, desktop.files, pictures);
        QCOMPARE(working.workingVolume().root, home);
        QCOMPARE(working.folderOf(volumes[0]), pictures);
        QCOMPARE(working.folderOf(volumes[1]), stick); // not visited: its root
        // A folder on another volume is remembered there, without leaving this volume.
        QDir::setCurrent(pictures);
        QVERIFY(working.setFolder(stick + u"/DCIM"_s));
        QCOMPARE(QDir::currentPath(), pictures);
        QVERIFY(working.setWorkingVolume(volumes[1]));
        QCOMPARE(QDir::currentPath(), stick + u"/DCIM"_s);
        QVERIFY(working.setWorkingVolume(volumes[0]));
        QCOMPARE(QDir::currentPath(), pictures);
        QVERIFY(!working.setFolder(home + u"/nothing"_s));

        // A vanished folder gives way to its nearest parent, never above the root.
        QVERIFY(working.setFolder(pictures + u"/2024"_s));
        QVERIFY(QDir(pictures).removeRecursively());
        QCOMPARE(working.folderOf(volumes[0]), home);
        QVERIFY(QDir(stick + u"/DCIM"_s).removeRecursively());
        desktop.files.unreadable.insert(stick);
        QCOMPARE(working.folderOf(volumes[1]), QString());
        QVERIFY(!working.setWorkingVolume(volumes[1]));
        QCOMPARE(working.workingVolume().root, home);
    }

    void mountedVolumesStartWithHomeAndRootAndAreReadOnce()
    {
        const QByteArray text =
            "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
            "40 22 8:17 / /media/ann/My\\040Stick rw,nosuid shared:20 master:3 - vfat /dev/sdb1 "
            "rw\n41 22 0:44 / /mnt/back\\134slash rw - nfs4 server:/export rw\n"
            "garbage line\n42 22 0:45 / /no/type rw -\n";
        QStringList decoded;
        for (const Mount &m : parseMountInfo(text))
            decoded << m.point + ' ' + m.type + ' ' + m.source;
        QCOMPARE(decoded, (QStringList{"/ ext4 /dev/sda1", "/media/ann/My Stick vfat /dev/sdb1",
                                       "/mnt/back\\slash nfs4 server:/export"}));

        MountTable table;
        const QList<Mount> first = table.mounts();
        QVERIFY(std::any_of(first.cbegin(), first.cend(),
                            [](const Mount &m) { return m.point == QLatin1String("/"); }));
        for (int i = 0; i < 30; ++i)
            QCOMPARE(table.mounts().size(), first.size());
        QCOMPARE(table.reads(), 1);

        TestDesktop desktop; // its home is $HOME
        const MountedVolumes volumes;
        // Start-up and every folder change reuse the one reading of the mounts.
        for (int i = 0; i < 30; ++i)
            QCOMPARE(volumes.list().constFirst().root, desktop.home());
        const QList<Volume> list = volumes.list();
        QVERIFY(list.size() >= 2);
        QCOMPARE(list[0].name, u"Home"_s);
        QCOMPARE(list[1].root, u"/"_s);
        QVERIFY(volumes.isReady(list[0]) && volumes.isReady(list[1]));
        // A folder that is not a mount point (like a removed medium's) is not a ready volume.
        QVERIFY(!volumes.isReady({desktop.otherVolume(), u"STICK"_s}));
        QVERIFY(!volumes.isReady({desktop.home() + u"/gone"_s, u"gone"_s}));
    }

    void hungVolumeIsNotReadyInTimeAndLeavesTheWindowFree()
    {
        HungVolume hung;
        VolumeProbe probe(hung.check(), 100ms);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!probe.isReady(u"/mnt/dead"_s));
        QVERIFY(clock.elapsed() < 5000);
        // Still stuck: not asked again, answered at once.
        QVERIFY(!probe.isReady(u"/mnt/dead"_s));
        QCOMPARE(hung.asked->load(), 1);

        // The drive list, choosing a hung volume, tells so in time and stays where it was.
        TestDesktop desktop;
        const QString pictures = desktop.makeFolder(desktop.home() + u"/Pictures"_s);
        Form1 &form = desktop.started(pictures);
        desktop.volumes.probe = std::make_unique<VolumeProbe>(hung.check(), 100ms);
        clock.restart();
        form.controls().Drive1->setDrive(desktop.volumes.volumes[1]);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(
            desktop.messages.shown,
            (QList<RecordedMessage>{{u"Device is not accessible or ready"_s, 16, u"Quorvel"_s}}));
        QCOMPARE(form.controls().Dir1->path(), pictures);

        // Once the mount comes back the next question gets the truth.
        hung.released->set_value();
        QTRY_VERIFY(probe.isReady(u"/mnt/dead"_s));
        QVERIFY(VolumeProbe().isReady(u"/"_s));
        QVERIFY(!VolumeProbe().isReady(u"/no/such/volume"_s));
    }
};

QTEST_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
