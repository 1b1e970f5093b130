#include "platform/desktop/Registry.h"
#include "support/ActingAsNobody.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kKey = Registry::kSettingsKey;

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(u"config/Quorvel/registry.conf"_s);
        QDir().mkpath(QFileInfo(m_path).path());
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
        const auto reach = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                           QFile::ReadOther | QFile::ExeOther;
        for (const QString &above : {m_dir->path(), QFileInfo(folder).path()})
            QVERIFY(QFile::setPermissions(above, reach | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::WriteGroup |
                                                  QFile::ReadOther | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(folder, reach));
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
        QVERIFY(QFile::setPermissions(folder, reach | QFile::WriteOwner));
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
    QString m_path;
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
