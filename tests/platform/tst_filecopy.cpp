#include "platform/desktop/FileCopy.h"
#include "support/ActingAsNobody.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Everything in a folder, hidden files included, so a left-over temporary shows.
QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

// The copy into a favourite folder, on the real file system.
class TestFileCopy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void replacesAnOlderFileKeepingTheSourcesDateAndPermissions();
    void copyOntoItselfLeavesTheFileIntact();
    void refusalsLeaveTheDestinationAsItWas();
    void protectedFilesStayAsTheyWere_data();
    void protectedFilesStayAsTheyWere();
    void longestNamesAreCopied_data();
    void longestNamesAreCopied();
    void failureMidwayNamesItsCauseAndLeavesNoTemporaryFile_data();
    void failureMidwayNamesItsCauseAndLeavesNoTemporaryFile();
    void readOnlyFolderIsReportedAndNothingWritten();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_source;
    QString m_folder;
};

void TestFileCopy::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_source = m_dir->filePath(QStringLiteral("My Photo %1.bmp"));
    m_folder = m_dir->filePath(QStringLiteral("Temp"));
    QDir().mkpath(m_folder);
    writeFile(m_source, QByteArray(300 * 1024, 's') + "end");
}

void TestFileCopy::replacesAnOlderFileKeepingTheSourcesDateAndPermissions()
{
    const QDateTime taken = QDateTime::fromSecsSinceEpoch(1'500'000'000);
    QFile source(m_source);
    QVERIFY(source.open(QIODevice::ReadWrite));
    QVERIFY(source.setFileTime(taken, QFileDevice::FileModificationTime));
    source.close();
    QVERIFY(
        QFile::setPermissions(m_source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QString destination = m_folder + QStringLiteral("/My Photo %1.bmp");
    writeFile(destination, "an older picture of that name");

    const FileOutcome outcome = copyFileAtomically(m_source, destination);
    QVERIFY2(outcome.done(), qPrintable(outcome.failure));
    QCOMPARE(readFile(destination), readFile(m_source));
    QCOMPARE(QFileInfo(destination).lastModified(), taken);
    QCOMPARE(QFileInfo(destination).permissions(), QFileInfo(m_source).permissions());
    QCOMPARE(everythingIn(m_folder), QStringList{QStringLiteral("My Photo %1.bmp")});
}

void TestFileCopy::copyOntoItselfLeavesTheFileIntact()
{
    const QByteArray content = readFile(m_source);
    QVERIFY(copyFileAtomically(m_source, m_source).done());
    QCOMPARE(readFile(m_source), content);
    // The same file reached by another name is the same file too.
    const QString viaLink = m_dir->filePath(QStringLiteral("linked"));
    QVERIFY(QFile::link(m_dir->path(), viaLink));
    QVERIFY(copyFileAtomically(m_source, viaLink + QStringLiteral("/My Photo %1.bmp")).done());
    QCOMPARE(readFile(m_source), content);
    const QString hardLink = m_folder + QStringLiteral("/hard.bmp");
    QCOMPARE(
        ::link(QFile::encodeName(m_source).constData(), QFile::encodeName(hardLink).constData()),
        0);
    QVERIFY(copyFileAtomically(m_source, hardLink).done());
    QCOMPARE(readFile(m_source), content);
}

void TestFileCopy::refusalsLeaveTheDestinationAsItWas()
{
    // A folder where the copy should go.
    const QString folderInTheWay = m_folder + QStringLiteral("/My Photo %1.bmp");
    QVERIFY(QDir().mkdir(folderInTheWay));
    FileOutcome outcome = copyFileAtomically(m_source, folderInTheWay);
    QVERIFY(!outcome.done());
    QVERIFY2(outcome.failure.contains(QStringLiteral("is a folder")), qPrintable(outcome.failure));
    QVERIFY(QFileInfo(folderInTheWay).isDir());
    QVERIFY(QDir(m_folder).rmdir(QStringLiteral("My Photo %1.bmp")));

    // A source that vanished since it was listed.
    const QString kept = m_folder + QStringLiteral("/kept.bmp");
    writeFile(kept, "a good older copy");
    outcome = copyFileAtomically(m_dir->filePath(QStringLiteral("gone.bmp")), kept);
    QVERIFY(!outcome.done());
    QVERIFY2(outcome.failure.contains(QStringLiteral("No such file")), qPrintable(outcome.failure));
    QCOMPARE(readFile(kept), QByteArray("a good older copy"));

    // A folder as the source, and a destination folder that is not there.
    QVERIFY(!copyFileAtomically(m_folder, m_dir->filePath(QStringLiteral("x"))).done());
    outcome = copyFileAtomically(m_source, m_dir->filePath(QStringLiteral("Missing/x.bmp")));
    QVERIFY(!outcome.done());
    QVERIFY(outcome.failure.contains(QStringLiteral("Missing")));
    QCOMPARE(everythingIn(m_folder), QStringList{QStringLiteral("kept.bmp")});
}

void TestFileCopy::protectedFilesStayAsTheyWere_data()
{
    QTest::addColumn<QString>("protection");
    QTest::addColumn<QString>("failure"); // %1: the protected file
    QTest::newRow("read-only destination") << "chmod 444"
                                           << "%1 is read-only";
    QTest::newRow("destination locked whole") << "flock"
                                              << "%1 is locked by another program";
    QTest::newRow("destination with a record lock") << "read lock"
                                                    << "%1 is locked by another program";
    QTest::newRow("source being written") << "source flock"
                                          << "%1 is locked by another program";
}

void TestFileCopy::protectedFilesStayAsTheyWere()
{
    QFETCH(QString, protection);
    QFETCH(QString, failure);
    const QString kept = m_folder + QStringLiteral("/kept.bmp");
    writeFile(kept, "the user's own picture");
    const QString locked = protection == "source flock" ? m_source : kept;
    // Another program's lock, as far as the copy can tell: a descriptor of its own.
    QFile holder(locked);
    QVERIFY(holder.open(QIODevice::ReadOnly));
    struct flock range {};
    range.l_type = F_RDLCK;
    if (protection == "chmod 444")
        QVERIFY(::chmod(QFile::encodeName(kept).constData(), 0444) == 0);
    else if (protection == "read lock")
        QCOMPARE(::fcntl(holder.handle(), F_OFD_SETLK, &range), 0);
    else
        QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);

    const auto modeOf = [&kept] {
        struct stat info {};
        return ::stat(QFile::encodeName(kept).constData(), &info) == 0 ? info.st_mode : 0;
    };
    const mode_t mode = modeOf();

    const FileOutcome outcome = copyFileAtomically(m_source, kept);
    QCOMPARE(outcome.failure, failure.arg(locked));
    QCOMPARE(readFile(kept), QByteArray("the user's own picture"));
    QCOMPARE(modeOf(), mode);
    QCOMPARE(everythingIn(m_folder), QStringList{QStringLiteral("kept.bmp")});
}

void TestFileCopy::longestNamesAreCopied_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("250 bytes") << QString(246, u'n') + QStringLiteral(".bmp");
    QTest::newRow("255 bytes, two each") << QString(125, u'ж') + QStringLiteral("s.bmp");
}

void TestFileCopy::longestNamesAreCopied()
{
    QFETCH(QString, name);
    const QString source = m_dir->filePath(name);
    QVERIFY(QFile::rename(m_source, source));
    const FileOutcome outcome = copyFileAtomically(source, m_folder + QLatin1Char('/') + name);
    QVERIFY2(outcome.done(), qPrintable(outcome.failure));
    QCOMPARE(everythingIn(m_folder), QStringList{name});
    QCOMPARE(readFile(m_folder + QLatin1Char('/') + name), readFile(source));
}

void TestFileCopy::failureMidwayNamesItsCauseAndLeavesNoTemporaryFile_data()
{
    QTest::addColumn<QString>("source"); // empty: the usual one
    QTest::addColumn<QString>("blamed");
    // The process's own memory file refuses to be read from its start.
    QTest::newRow("source unreadable") << "/proc/self/mem"
                                       << "Cannot read /proc/self/mem: ";
    // Files may grow only to a tenth of the source here, as on a nearly full disk.
    QTest::newRow("destination full") << ""
                                      << "Cannot write %1: ";
}

void TestFileCopy::failureMidwayNamesItsCauseAndLeavesNoTemporaryFile()
{
    QFETCH(QString, source);
    QFETCH(QString, blamed);
    const QString kept = m_folder + QStringLiteral("/kept.bmp");
    writeFile(kept, "a good older copy");
    FileOutcome outcome;
    if (source.isEmpty()) {
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 30 * 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        outcome = copyFileAtomically(m_source, kept);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, oldHandler);
    } else {
        outcome = copyFileAtomically(source, kept);
    }
    QVERIFY(!outcome.done());
    if (blamed.contains(QStringLiteral("%1")))
        blamed = blamed.arg(kept);
    QVERIFY2(outcome.failure.startsWith(blamed), qPrintable(outcome.failure));
    QCOMPARE(readFile(kept), QByteArray("a good older copy"));
    QCOMPARE(everythingIn(m_folder), QStringList{QStringLiteral("kept.bmp")});
}

void TestFileCopy::readOnlyFolderIsReportedAndNothingWritten()
{
    // Nobody must reach the source and the folder, but may not write in the folder.
    // Group and others get the same, as nobody keeps root's groups.
    const auto reach = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                       QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_dir->path(), reach | QFile::WriteOwner));
    QVERIFY(
        QFile::setPermissions(m_source, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(m_folder, reach));
    FileOutcome outcome;
    {
        const ActingAsNobody nobody;
        if (!nobody.refusalsApply())
            QSKIP("cannot act as a user whom permissions refuse");
        outcome = copyFileAtomically(m_source, m_folder + QStringLiteral("/copy.bmp"));
    }
    QVERIFY(
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(!outcome.done());
    QCOMPARE(outcome.failure,
             QStringLiteral("Cannot write in %1: Permission denied").arg(m_folder));
    QVERIFY(everythingIn(m_folder).isEmpty());
}

QTEST_GUILESS_MAIN(TestFileCopy)
#include "tst_filecopy.moc"
