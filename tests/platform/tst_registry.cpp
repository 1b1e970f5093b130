#include "platform/desktop/Registry.h"
#include "support/ActingAsNobody.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kKey = Registry::kSettingsKey;

void writeRaw(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void writtenTextReadsBackWhole_data();
    void writtenTextReadsBackWhole();
    void keepsValuesApart();
    void storeWithoutTheTextReadsEmpty_data();
    void storeWithoutTheTextReadsEmpty();
    void damagedStoreIsReplacedOnTheNextWrite();
    void failedWriteIsReportedAndKeepsTheOldValue();
    void defaultFileFollowsTheConfigurationFolder();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestRegistry::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("config/Quorvel/registry.conf"));
}

void TestRegistry::writtenTextReadsBackWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    auto same = [](const char *name, const QString &text) {
        QTest::newRow(name) << text << text;
    };
    same("folder", QStringLiteral("/home/ann/Pictures"));
    same("blanks, comma, quotes, equals", QStringLiteral("/home/ann/My \"Best\", = Shots ; #1"));
    same("non-ASCII", QStringLiteral("/home/ann/Фото/写真"));
    same("trailing blank kept", QStringLiteral("1 "));
    same("backslashes", QStringLiteral("C:\\VozeviZire\\Temp"));
    QTest::newRow("empty text") << QString() << QString();
    QTest::newRow("text ends at an embedded NUL")
        << QStringLiteral("/home/ann") + QChar(u'\0') + QStringLiteral("junk")
        << QStringLiteral("/home/ann");
}

void TestRegistry::writtenTextReadsBackWhole()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Registry registry(m_path);
    QVERIFY(registry.RegistryWriteString(kKey, Registry::kAutoJump, QStringLiteral("old")));
    QVERIFY(registry.RegistryWriteString(kKey, Registry::kAutoJump, text));
    QCOMPARE(registry.RegistryReadString(kKey, Registry::kAutoJump), expected);
    QCOMPARE(Registry(m_path).RegistryReadString(kKey, Registry::kAutoJump), expected);
}

void TestRegistry::keepsValuesApart()
{
    Registry registry(m_path);
    QVERIFY(registry.RegistryWriteString(kKey, Registry::kAutoJump, QStringLiteral("/srv")));
    QVERIFY(registry.RegistryWriteString(kKey, Registry::kTrayIcon, QStringLiteral("1")));
    QCOMPARE(registry.RegistryReadString(kKey, Registry::kAutoJump), QStringLiteral("/srv"));
    QCOMPARE(registry.RegistryReadString(kKey, Registry::kTrayIcon), QStringLiteral("1"));
    QCOMPARE(registry.RegistryReadString(QStringLiteral("Software\\Other"), Registry::kTrayIcon),
             QString());
}

void TestRegistry::storeWithoutTheTextReadsEmpty_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::newRow("no store") << QByteArray();
    QTest::newRow("a folder where the store should be") << QByteArray("folder");
    QTest::newRow("number") << QByteArray(
        "[Software]\nQuorvel\\AutoJump=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    QTest::newRow("list") << QByteArray("[Software]\nQuorvel\\AutoJump=a, b\n");
    QTest::newRow("binary garbage")
        << QByteArray("\x01\x02\xff\xfe[[[") + QByteArray(2, '\0') + QByteArray("=\n\xff");
    QTest::newRow("other key only") << QByteArray("[Elsewhere]\nAutoJump=/tmp\n");
}

void TestRegistry::storeWithoutTheTextReadsEmpty()
{
    QFETCH(QByteArray, content);
    if (content == "folder")
        QDir().mkpath(m_path);
    else if (!content.isNull())
        writeRaw(m_path, content);
    QCOMPARE(Registry(m_path).RegistryReadString(kKey, Registry::kAutoJump), QString());
}

void TestRegistry::damagedStoreIsReplacedOnTheNextWrite()
{
    writeRaw(m_path, "[Software\nQuorvel\\AutoJump=\"unterminated\n");
    Registry registry(m_path);
    QCOMPARE(registry.RegistryReadString(kKey, Registry::kAutoJump), QString());
    QVERIFY(registry.RegistryWriteString(kKey, Registry::kTrayIcon, QStringLiteral("1")));
    QCOMPARE(registry.RegistryReadString(kKey, Registry::kTrayIcon), QStringLiteral("1"));
    QVERIFY(!QFile::exists(m_path + QStringLiteral(".new")));
    // The file is sound again: a fresh reader in another process agrees.
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("TrayIcon=1"));

    // Damage met first by a write: the damaged file is replaced whole.
    const QString other = m_dir->filePath(QStringLiteral("other.conf"));
    writeRaw(other, "[Software\nQuorvel\\AutoJump=\"unterminated\n");
    QVERIFY(Registry(other).RegistryWriteString(kKey, Registry::kTrayIcon, QStringLiteral("1")));
    QCOMPARE(Registry(other).RegistryReadString(kKey, Registry::kTrayIcon), QStringLiteral("1"));
    QCOMPARE(Registry(other).RegistryReadString(kKey, Registry::kAutoJump), QString());
}

void TestRegistry::failedWriteIsReportedAndKeepsTheOldValue()
{
    Registry registry(m_path);
    QVERIFY(registry.RegistryWriteString(kKey, Registry::kTrayIcon, QStringLiteral("1")));
    // A settings folder that is a file: nothing can be written below it.
    const QString blocked = m_dir->filePath(QStringLiteral("blocked"));
    writeRaw(blocked, "x");
    Registry unwritable(blocked + QStringLiteral("/Quorvel/registry.conf"));
    QVERIFY(!unwritable.RegistryWriteString(kKey, Registry::kTrayIcon, QStringLiteral("")));
    QCOMPARE(unwritable.writeFailureReason(),
             QStringLiteral("the folder %1/Quorvel cannot be made").arg(blocked));
    QCOMPARE(registry.RegistryReadString(kKey, Registry::kTrayIcon), QStringLiteral("1"));
    // No temporary file is left beside the settings.
    const QString folder = QFileInfo(m_path).path();
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("registry.conf")});

    // A folder that takes no new file, though the file itself may be written: the
    // file is replaced, never rewritten in place, so it is the folder at fault.
    const auto reach = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                       QFile::ReadOther | QFile::ExeOther;
    const auto anyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                        QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    for (const QString &above : {m_dir->path(), QFileInfo(folder).path()})
        QVERIFY(QFile::setPermissions(above, reach | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(m_path, anyone));
    QVERIFY(QFile::setPermissions(folder, reach));
    bool written = true;
    QString reason;
    QString readMeanwhile;
    {
        const ActingAsNobody nobody;
        if (!nobody.refusalsApply())
            QSKIP("cannot act as a user whom permissions refuse");
        written = registry.RegistryWriteString(kKey, Registry::kTrayIcon, QStringLiteral("2"));
        reason = registry.writeFailureReason();
        readMeanwhile = registry.RegistryReadString(kKey, Registry::kTrayIcon);
    }
    QVERIFY(QFile::setPermissions(folder, reach | QFile::WriteOwner));
    QVERIFY(!written);
    QCOMPARE(readMeanwhile, QStringLiteral("1"));
    QCOMPARE(reason,
             QStringLiteral("the folder %1 cannot be written: Permission denied").arg(folder));
    // Once the folder takes files again, the refused change is not stored after all.
    QVERIFY(registry.RegistryWriteString(kKey, Registry::kAutoJump, QStringLiteral("/srv")));
    QCOMPARE(registry.RegistryReadString(kKey, Registry::kTrayIcon), QStringLiteral("1"));
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("TrayIcon=1\n"));
}

void TestRegistry::defaultFileFollowsTheConfigurationFolder()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("cfg"))));
    QCOMPARE(Registry::defaultFilePath(),
             m_dir->filePath(QStringLiteral("cfg/Quorvel/registry.conf")));
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
