#include "fakes/FakeServices.h"
#include "platform/desktop/WorkingFolders.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

} // namespace

// The local file system, and the volumes and working folders built on it.
class TestFileSystem : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_home = m_dir->filePath(QStringLiteral("home/ann"));
        m_stick = m_dir->filePath(QStringLiteral("home/ann/mnt/stick"));
        QDir().mkpath(m_home + QStringLiteral("/Pictures/2024"));
        QDir().mkpath(m_stick + QStringLiteral("/DCIM"));
        m_volumes.volumes = {{m_home, QStringLiteral("Home")},
                             {QStringLiteral("/"), QStringLiteral("File System")},
                             {m_stick, QStringLiteral("stick")}};
        m_files.unreadable.clear();
    }

    void listsPlainFilesAndFoldersApart()
    {
        const QString root = m_dir->filePath(QStringLiteral("list"));
        QDir().mkpath(root);
        writeFile(root + QStringLiteral("/a.bmp"), "x");
        writeFile(root + QStringLiteral("/.hidden.gif"), "x");
        QDir(root).mkdir(QStringLiteral("Sub"));
        QDir(root).mkdir(QStringLiteral(".cache"));
        QFile::link(root + QStringLiteral("/a.bmp"), root + QStringLiteral("/link.bmp"));
        QFile::link(root + QStringLiteral("/missing"), root + QStringLiteral("/broken.bmp"));
        QFile::link(root + QStringLiteral("/Sub"), root + QStringLiteral("/SubLink"));

        QCOMPARE(sorted(*m_files.files(root, false)), (QStringList{"a.bmp", "link.bmp"}));
        QCOMPARE(sorted(*m_files.files(root, true)),
                 (QStringList{".hidden.gif", "a.bmp", "link.bmp"}));
        QCOMPARE(sorted(*m_files.subfolders(root)), (QStringList{"Sub", "SubLink"}));
        QVERIFY(m_files.isReadableFolder(root));
        QVERIFY(!m_files.isReadableFolder(root + QStringLiteral("/a.bmp")));
        QVERIFY(!m_files.isReadableFolder(QStringLiteral("relative/path")));

        // A folder that cannot be read is not an empty one.
        const QString gone = m_dir->filePath(QStringLiteral("gone"));
        QVERIFY(!m_files.files(gone, true).has_value());
        QVERIFY(!m_files.subfolders(gone).has_value());
        QDir(m_dir->path()).mkdir(QStringLiteral("empty"));
        QVERIFY(m_files.files(m_dir->filePath(QStringLiteral("empty")), true)->isEmpty());
    }

    void createsOneFolderLevelOnly()
    {
        const QString folder = m_dir->filePath(QStringLiteral("VozeviZire"));
        QVERIFY(m_files.createFolder(folder).done());
        QCOMPARE(m_files.createFolder(folder).failure, QStringLiteral("File exists"));
        QVERIFY(!m_files.createFolder(m_dir->filePath(QStringLiteral("a/b"))).done()); // no parent
        QVERIFY(m_files.createFolder(folder + QStringLiteral("/For Work")).done());
    }

    void reportsLengthAndDate()
    {
        const QString path = m_dir->filePath(QStringLiteral("icon.ico"));
        writeFile(path, QByteArray(300, 'i'));
        QCOMPARE(m_files.fileLength(path), std::optional<qint64>(300));
        QVERIFY(qAbs(m_files.lastModified(path)->secsTo(QDateTime::currentDateTime())) < 60);
        QVERIFY(!m_files.fileLength(m_dir->path()).has_value());
        QVERIFY(!m_files.lastModified(m_dir->filePath(QStringLiteral("gone"))).has_value());
    }

    void volumeOfTakesTheDeepestRoot()
    {
        QCOMPARE(m_volumes.volumeOf(m_home + QStringLiteral("/Pictures")).root, m_home);
        QCOMPARE(m_volumes.volumeOf(m_stick + QStringLiteral("/DCIM")).root, m_stick);
        QCOMPARE(m_volumes.volumeOf(QStringLiteral("/etc")).root, QStringLiteral("/"));
        // A sibling whose name merely starts like the home folder is not inside it.
        QCOMPARE(m_volumes.volumeOf(m_home + QStringLiteral("ette")).root, QStringLiteral("/"));
        QVERIFY(isInside(m_home, m_home));
        QVERIFY(!isInside(m_home + QStringLiteral("x"), m_home));
    }

    void eachVolumeKeepsItsOwnFolder()
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

    void vanishedFolderGivesWayToItsNearestParent()
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

    void mountedVolumesStartWithHomeAndRoot()
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
        QVERIFY(
            !volumes.isReady({m_dir->filePath(QStringLiteral("gone")), QStringLiteral("gone")}));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeFileSystem m_files;
    FakeVolumes m_volumes;
    QString m_home;
    QString m_stick;
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
