#include "shell/platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

} // namespace

class TestFileSystem : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void listsPlainFilesAndFoldersApart();
    void unreadableFolderIsNotAnEmptyOne();
    void copyReplacesTheDestinationWhole();
    void failedCopyLeavesTheDestinationAlone();
    void createsOneFolderLevelOnly();
    void reportsLengthAndDate();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    LocalFileSystem m_files;
};

void TestFileSystem::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestFileSystem::listsPlainFilesAndFoldersApart()
{
    const QString root = m_dir->path();
    write(root + QStringLiteral("/a.bmp"), "x");
    write(root + QStringLiteral("/.hidden.gif"), "x");
    QDir(root).mkdir(QStringLiteral("Sub"));
    QDir(root).mkdir(QStringLiteral(".cache"));
    QFile::link(root + QStringLiteral("/a.bmp"), root + QStringLiteral("/link.bmp"));
    QFile::link(root + QStringLiteral("/missing"), root + QStringLiteral("/broken.bmp"));
    QFile::link(root + QStringLiteral("/Sub"), root + QStringLiteral("/SubLink"));

    QCOMPARE(sorted(*m_files.files(root, false)), (QStringList{"a.bmp", "link.bmp"}));
    QCOMPARE(sorted(*m_files.files(root, true)), (QStringList{".hidden.gif", "a.bmp", "link.bmp"}));
    QCOMPARE(sorted(*m_files.subfolders(root)), (QStringList{"Sub", "SubLink"}));
    QVERIFY(m_files.isReadableFolder(root));
    QVERIFY(!m_files.isReadableFolder(root + QStringLiteral("/a.bmp")));
    QVERIFY(!m_files.isReadableFolder(QStringLiteral("relative/path")));
}

void TestFileSystem::unreadableFolderIsNotAnEmptyOne()
{
    const QString gone = m_dir->filePath(QStringLiteral("gone"));
    QVERIFY(!m_files.files(gone, true).has_value());
    QVERIFY(!m_files.subfolders(gone).has_value());
    QDir(m_dir->path()).mkdir(QStringLiteral("empty"));
    QVERIFY(m_files.files(m_dir->filePath(QStringLiteral("empty")), true)->isEmpty());
}

void TestFileSystem::copyReplacesTheDestinationWhole()
{
    const QString from = m_dir->filePath(QStringLiteral("photo.jpg"));
    const QString to = m_dir->filePath(QStringLiteral("copy.jpg"));
    const QByteArray content(3 << 20, 'p'); // more than one chunk
    write(from, content);
    write(to, "an older, different file");
    QVERIFY(m_files.copyFile(from, to));
    QCOMPARE(read(to), content);
}

void TestFileSystem::failedCopyLeavesTheDestinationAlone()
{
    const QString to = m_dir->filePath(QStringLiteral("copy.jpg"));
    write(to, "keep me");
    QVERIFY(!m_files.copyFile(m_dir->filePath(QStringLiteral("missing.jpg")), to));
    QCOMPARE(read(to), QByteArray("keep me"));
    QVERIFY(!m_files.copyFile(to, m_dir->filePath(QStringLiteral("no/such/folder/x.jpg"))));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"copy.jpg"});
}

void TestFileSystem::createsOneFolderLevelOnly()
{
    const QString folder = m_dir->filePath(QStringLiteral("VozeviZire"));
    QVERIFY(m_files.createFolder(folder));
    QVERIFY(!m_files.createFolder(folder));                                 // exists already
    QVERIFY(!m_files.createFolder(m_dir->filePath(QStringLiteral("a/b")))); // no parent
    QVERIFY(m_files.createFolder(folder + QStringLiteral("/For Work")));
}

void TestFileSystem::reportsLengthAndDate()
{
    const QString path = m_dir->filePath(QStringLiteral("icon.ico"));
    write(path, QByteArray(300, 'i'));
    QCOMPARE(m_files.fileLength(path), std::optional<qint64>(300));
    QVERIFY(qAbs(m_files.lastModified(path)->secsTo(QDateTime::currentDateTime())) < 60);
    QVERIFY(!m_files.fileLength(m_dir->path()).has_value());
    QVERIFY(!m_files.lastModified(m_dir->filePath(QStringLiteral("gone"))).has_value());
}

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
