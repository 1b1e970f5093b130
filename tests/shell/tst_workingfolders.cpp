#include "fakes/FakeServices.h"
#include "shell/platform/WorkingFolders.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestWorkingFolders : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void volumeOfTakesTheDeepestRoot();
    void eachVolumeKeepsItsOwnFolder();
    void vanishedFolderGivesWayToItsNearestParent();
    void mountedVolumesStartWithHomeAndRoot();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeVolumes m_volumes;
    FakeFileSystem m_files;
    QString m_home;
    QString m_stick;
};

void TestWorkingFolders::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_home = m_dir->filePath(QStringLiteral("home/ann"));
    m_stick = m_dir->filePath(QStringLiteral("home/ann/mnt/stick"));
    QDir().mkpath(m_home + QStringLiteral("/Pictures/2024"));
    QDir().mkpath(m_stick + QStringLiteral("/DCIM"));
    m_volumes.volumes = {{m_home, QStringLiteral("Home")},
                         {QStringLiteral("/"), QStringLiteral("File System")},
                         {m_stick, QStringLiteral("stick")}};
}

void TestWorkingFolders::volumeOfTakesTheDeepestRoot()
{
    QCOMPARE(m_volumes.volumeOf(m_home + QStringLiteral("/Pictures")).root, m_home);
    QCOMPARE(m_volumes.volumeOf(m_stick + QStringLiteral("/DCIM")).root, m_stick);
    QCOMPARE(m_volumes.volumeOf(QStringLiteral("/etc")).root, QStringLiteral("/"));
    // A sibling whose name merely starts like the home folder is not inside it.
    QCOMPARE(m_volumes.volumeOf(m_home + QStringLiteral("ette")).root, QStringLiteral("/"));
    QVERIFY(isInside(m_home, m_home));
    QVERIFY(!isInside(m_home + QStringLiteral("x"), m_home));
}

void TestWorkingFolders::eachVolumeKeepsItsOwnFolder()
{
    const QString pictures = m_home + QStringLiteral("/Pictures");
    WorkingFolders working(m_volumes, m_files, pictures);
    QCOMPARE(working.workingVolume().root, m_home);
    QCOMPARE(working.folderOf(m_volumes.volumes[0]), pictures);
    QCOMPARE(working.folderOf(m_volumes.volumes[2]), m_stick); // not visited: its root

    // A folder on another volume is remembered there, without leaving this volume.
    QDir::setCurrent(pictures);
    QVERIFY(working.setFolder(m_stick + QStringLiteral("/DCIM")));
    QCOMPARE(QDir::currentPath(), pictures);
    QVERIFY(working.setWorkingVolume(m_volumes.volumes[2]));
    QCOMPARE(QDir::currentPath(), m_stick + QStringLiteral("/DCIM"));
    QVERIFY(working.setWorkingVolume(m_volumes.volumes[0]));
    QCOMPARE(QDir::currentPath(), pictures);
    QVERIFY(!working.setFolder(m_home + QStringLiteral("/nothing")));
}

void TestWorkingFolders::vanishedFolderGivesWayToItsNearestParent()
{
    const QString deep = m_home + QStringLiteral("/Pictures/2024");
    WorkingFolders working(m_volumes, m_files, deep);
    QVERIFY(QDir(m_home + QStringLiteral("/Pictures")).removeRecursively());
    QCOMPARE(working.folderOf(m_volumes.volumes[0]), m_home);

    m_files.unreadable.insert(m_stick);
    QCOMPARE(working.folderOf(m_volumes.volumes[2]), QString()); // never above the root
    QVERIFY(!working.setWorkingVolume(m_volumes.volumes[2]));
    QCOMPARE(working.workingVolume().root, m_home);
}

void TestWorkingFolders::mountedVolumesStartWithHomeAndRoot()
{
    qputenv("HOME", QFile::encodeName(m_home));
    const MountedVolumes volumes;
    const QList<Volume> list = volumes.list();
    QVERIFY(list.size() >= 2);
    QCOMPARE(list[0].root, m_home);
    QCOMPARE(list[0].name, QStringLiteral("Home"));
    QCOMPARE(list[1].root, QStringLiteral("/"));
    QVERIFY(volumes.isReady(list[0]));
    QVERIFY(volumes.isReady(list[1]));
    // A folder that is not a mount point (like a removed medium's) is not a ready volume.
    QVERIFY(!volumes.isReady({m_stick, QStringLiteral("stick")}));
    QVERIFY(!volumes.isReady({m_dir->filePath(QStringLiteral("gone")), QStringLiteral("gone")}));
}

QTEST_GUILESS_MAIN(TestWorkingFolders)
#include "tst_workingfolders.moc"
