#include "platform/desktop/FileCopy.h"
#include "platform/desktop/Registry.h"
#include "support/ActingAsNobody.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString kKey = Registry::kSettingsKey;
// What nobody needs to get into a folder of the test's, or to read a file there.
constexpr auto kReach = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                        QFile::ReadOther | QFile::ExeOther;

// Everything in a folder, hidden files included, so a left-over temporary shows.
QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

// The copy into a favourite folder and the settings file, each written whole beside its
// place and renamed over it, on the real file system. The source's name holds "%1", so
// that a message built with arg() twice shows.
class TestFileWrites : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_source = m_dir->filePath(u"My Photo %1.bmp"_s);
        m_folder = m_dir->filePath(u"Temp"_s);
        QDir().mkpath(m_folder);
        writeFile(m_source, QByteArray(300 * 1024, 's') + "end");
        m_path = m_dir->filePath(u"config/Quorvel/registry.conf"_s);
        QDir().mkpath(QFileInfo(m_path).path());
    }

    void copiesWholeWithTheSourcesDateAndPermissions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("over an older file") << u"My Photo %1.bmp"_s;
        QTest::newRow("250 bytes") << QString(246, u'n') + u".bmp"_s;
        QTest::newRow("255 bytes, two each") << QString(125, u'ж') + u"s.bmp"_s;
    }

    void copiesWholeWithTheSourcesDateAndPermissions()
    {
        QFETCH(QString, name);
        const QString source = m_dir->filePath(name);
        QVERIFY(m_source == source || QFile::rename(m_source, source));
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QDateTime taken = QDateTime::fromSecsSinceEpoch(1'500'000'000);
        QVERIFY(file.setFileTime(taken, QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(
            QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QString destination = m_folder + '/' + name;
        writeFile(destination, "an older picture of that name");

        const FileOutcome outcome = copyFileAtomically(source, destination);
        QVERIFY2(outcome.done(), qPrintable(outcome.failure));
        QCOMPARE(readFile(destination), readFile(source));
        QCOMPARE(QFileInfo(destination).lastModified(), taken);
        QCOMPARE(QFileInfo(destination).permissions(), QFileInfo(source).permissions());
        QCOMPARE(everythingIn(m_folder), QStringList{name});
    }

    void copyOntoItselfLeavesTheFileIntact()
    {
        const QByteArray content = readFile(m_source);
        // Itself, through a linked folder, and through a hard link.
        const QString viaLink = m_dir->filePath(u"linked"_s);
        QVERIFY(QFile::link(m_dir->path(), viaLink));
        const QString hardLink = m_folder + u"/hard.bmp"_s;
        QCOMPARE(::link(QFile::encodeName(m_source), QFile::encodeName(hardLink)), 0);
        for (const QString &same : {m_source, viaLink + u"/My Photo %1.bmp"_s, hardLink}) {
            QVERIFY(copyFileAtomically(m_source, same).done());
            QCOMPARE(readFile(m_source), content);
        }
    }

    void failureIsNamedAndLeavesEverythingAsItWas_data()
    {
        // ~ is the test's folder; the source is "~/My Photo %1.bmp" unless a row names one.
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("failure"); // how the message starts
        const auto row = [](const char *tag, const QString &source, const QString &destination,
                            const QString &failure) {
            QTest::newRow(tag) << source << destination << failure;
        };
        const QString kept = u"~/Temp/kept.bmp"_s;
        row("folder in the way", {}, u"~/Temp/In the way"_s, u"~/Temp/In the way is a folder"_s);
        row("source vanished", u"~/gone.bmp"_s, kept, u"Cannot read ~/gone.bmp: No such file"_s);
        row("source is a folder", u"~/Temp"_s, kept, u"~/Temp is not a file"_s);
        row("folder missing", {}, u"~/Missing/x.bmp"_s,
            u"Cannot write in ~/Missing: No such file"_s);
        row("read-only destination", {}, kept, kept + " is read-only");
        row("destination locked whole", {}, kept, kept + " is locked by another program");
        row("destination with a record lock", {}, kept, kept + " is locked by another program");
        row("source being written", {}, kept, u"~/My Photo %1.bmp is locked by another program"_s);
        // The process's own memory file refuses to be read from its start.
        row("source unreadable", u"/proc/self/mem"_s, kept, u"Cannot read /proc/self/mem: "_s);
        // Files may grow only to a tenth of the source here, as on a nearly full disk.
        row("destination full", {}, kept, "Cannot write " + kept + ": ");
        row("folder not writable", {}, u"~/Temp/copy.bmp"_s,
            u"Cannot write in ~/Temp: Permission denied"_s);
    }

    void failureIsNamedAndLeavesEverythingAsItWas()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, failure);
        const QString row = QString::fromLatin1(QTest::currentDataTag());
        for (QString *path : {&source, &destination, &failure})
            path->replace('~', m_dir->path());
        if (source.isEmpty())
            source = m_source;
        const QString kept = m_folder + u"/kept.bmp"_s;
        writeFile(kept, "the user's own picture");
        QDir().mkpath(m_folder + u"/In the way"_s);
        // Another program's lock, as far as the copy can tell: a descriptor of its own.
        QFile holder(row == "source being written" ? m_source : kept);
        QVERIFY(holder.open(QIODevice::ReadOnly));
        if (row == "read-only destination")
            QCOMPARE(::chmod(QFile::encodeName(kept).constData(), 0444), 0);
        if (row.startsWith("destination locked") || row == "source being written")
            QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);
        if (row == "destination with a record lock") {
            struct flock range {};
            range.l_type = F_RDLCK;
            QCOMPARE(::fcntl(holder.handle(), F_OFD_SETLK, &range), 0);
        }
        const QStringList before = everythingIn(m_folder);
        const auto permissions = QFile::permissions(kept);

        FileOutcome outcome;
        if (row == "destination full") {
            rlimit saved{};
            QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
            const rlimit small{30 * 1024, saved.rlim_max};
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
            outcome = copyFileAtomically(source, destination);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
            std::signal(SIGXFSZ, oldHandler);
        } else if (row == "folder not writable") {
            // Nobody reaches the source and the folder but may not write there.
            QVERIFY(QFile::setPermissions(m_dir->path(), kReach | QFile::WriteOwner));
            QVERIFY(QFile::setPermissions(source,
                                          QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            QVERIFY(QFile::setPermissions(m_folder, kReach));
            {
                const ActingAsNobody nobody;
                if (!nobody.refusalsApply())
                    QSKIP("cannot act as a user whom permissions refuse");
                outcome = copyFileAtomically(source, destination);
            }
            QVERIFY(QFile::setPermissions(m_folder, kReach | QFile::WriteOwner));
        } else {
            outcome = copyFileAtomically(source, destination);
        }
        QVERIFY(!outcome.done());
        QVERIFY2(outcome.failure.startsWith(failure), qPrintable(outcome.failure));
        QCOMPARE(readFile(kept), QByteArray("the user's own picture"));
        QCOMPARE(QFile::permissions(kept), permissions);
        QCOMPARE(everythingIn(m_folder), before);
    }

    void writtenTextReadsBackWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        for (const QString &text :
             {u"/home/ann/Pictures"_s, u"/home/ann/My \"Best\", = Shots ; #1"_s,
              u"/home/ann/Фото/写真"_s, u"1 "_s, u"C:\\VozeviZire\\Temp"_s})
            QTest::newRow(qPrintable(text)) << text << text;
        QTest::newRow("empty text") << QString() << QString();
        QTest::newRow("text ends at an embedded NUL")
            << u"/home/ann"_s + QChar(u'\0') + u"junk"_s << u"/home/ann"_s;
    }

    void writtenTextReadsBackWhole()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        Registry registry(m_path);
        QVERIFY(registry.RegistryWriteString(kKey, Registry::kAutoJump, u"old"_s));
        QVERIFY(registry.RegistryWriteString(kKey, Registry::kTrayIcon, u"1"_s));
        QVERIFY(registry.RegistryWriteString(kKey, Registry::kAutoJump, text));
        QCOMPARE(registry.RegistryReadString(kKey, Registry::kAutoJump), expected);
        QCOMPARE(Registry(m_path).RegistryReadString(kKey, Registry::kAutoJump), expected);
        QCOMPARE(registry.RegistryReadString(kKey, Registry::kTrayIcon), u"1"_s);
        QCOMPARE(registry.RegistryReadString(u"Software\\Other"_s, Registry::kTrayIcon), QString());
    }

    void storeWithoutTheTextReadsEmptyAndIsMendedByAWrite_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::newRow("no store") << QByteArray();
        QTest::newRow("number") << QByteArray(
            "[Software]\nQuorvel\\AutoJump=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
        QTest::newRow("list") << QByteArray("[Software]\nQuorvel\\AutoJump=a, b\n");
        QTest::newRow("binary garbage")
            << QByteArray("\x01\x02\xff\xfe[[[") + QByteArray(2, '\0') + QByteArray("=\n\xff");
        QTest::newRow("other key only") << QByteArray("[Elsewhere]\nAutoJump=/tmp\n");
        QTest::newRow("damaged") << QByteArray("[Software\nQuorvel\\AutoJump=\"unterminated\n");
    }

    void storeWithoutTheTextReadsEmptyAndIsMendedByAWrite()
    {
        QFETCH(QByteArray, content);
        // The damage met first by a read, and first by a write. Garbage that is no
        // settings file at all is not yet replaced by a write, so that row stops here.
        const QString writtenFirst = m_path + u"2"_s;
        if (!content.isNull()) {
            writeFile(m_path, content);
            writeFile(writtenFirst, content);
        }
        Registry registry(m_path);
        QCOMPARE(registry.RegistryReadString(kKey, Registry::kAutoJump), QString());
        if (QByteArray(QTest::currentDataTag()) == "binary garbage")
            return;
        QVERIFY(Registry(writtenFirst).RegistryWriteString(kKey, Registry::kTrayIcon, u"1"_s));
        QCOMPARE(Registry(writtenFirst).RegistryReadString(kKey, Registry::kAutoJump), QString());
        QVERIFY(registry.RegistryWriteString(kKey, Registry::kTrayIcon, u"1"_s));
        for (const QString &path : {m_path, writtenFirst}) {
            QCOMPARE(Registry(path).RegistryReadString(kKey, Registry::kTrayIcon), u"1"_s);
            QVERIFY(readFile(path).contains("TrayIcon=1"));
        }
        QCOMPARE(QDir(QFileInfo(m_path).path()).entryList(QDir::Files),
                 (QStringList{u"registry.conf"_s, u"registry.conf2"_s}));

        // A folder where the store should be.
        QVERIFY(QFile::remove(m_path) && QDir().mkpath(m_path));
        QCOMPARE(Registry(m_path).RegistryReadString(kKey, Registry::kTrayIcon), QString());
    }

    void failedWriteIsReportedAndKeepsTheOldValue()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->filePath(u"config"_s)));
        QCOMPARE(Registry::defaultFilePath(), m_path);
        Registry registry(m_path);
        QVERIFY(registry.RegistryWriteString(kKey, Registry::kTrayIcon, u"1"_s));
        // A settings folder that is a file: nothing can be written below it.
        const QString blocked = m_dir->filePath(u"blocked"_s);
        writeFile(blocked, "x");
        Registry unwritable(blocked + u"/Quorvel/registry.conf"_s);
        QVERIFY(!unwritable.RegistryWriteString(kKey, Registry::kTrayIcon, u""_s));
        QCOMPARE(unwritable.writeFailureReason(),
                 "the folder " + blocked + "/Quorvel cannot be made");
        QCOMPARE(registry.RegistryReadString(kKey, Registry::kTrayIcon), u"1"_s);

        // A folder that takes no new file, though the file itself may be written: the
        // file is replaced, never rewritten in place, so it is the folder at fault.
        const QString folder = QFileInfo(m_path).path();
        for (const QString &above : {m_dir->path(), QFileInfo(folder).path()})
            QVERIFY(QFile::setPermissions(above, kReach | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::WriteGroup |
                                                  QFile::ReadOther | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(folder, kReach));
        bool written = true;
        QString reason;
        QString readMeanwhile;
        {
            const ActingAsNobody nobody;
            if (!nobody.refusalsApply())
                QSKIP("cannot act as a user whom permissions refuse");
            written = registry.RegistryWriteString(kKey, Registry::kTrayIcon, u"2"_s);
            reason = registry.writeFailureReason();
            readMeanwhile = registry.RegistryReadString(kKey, Registry::kTrayIcon);
        }
        QVERIFY(QFile::setPermissions(folder, kReach | QFile::WriteOwner));
        QVERIFY(!written);
        QCOMPARE(readMeanwhile, u"1"_s);
        QCOMPARE(reason, "the folder " + folder + " cannot be written: Permission denied");
        // Once the folder takes files again, the refused change is not stored after all,
        // and no temporary file is left beside the settings.
        QVERIFY(registry.RegistryWriteString(kKey, Registry::kAutoJump, u"/srv"_s));
        QCOMPARE(registry.RegistryReadString(kKey, Registry::kTrayIcon), u"1"_s);
        QVERIFY(readFile(m_path).contains("TrayIcon=1\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{u"registry.conf"_s});
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_source;
    QString m_folder;
    QString m_path; // the settings
};

QTEST_GUILESS_MAIN(TestFileWrites)
#include "tst_filewrites.moc"
