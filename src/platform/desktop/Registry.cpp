#include "Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstdio>

namespace {

QString settingsKey(const QString &subkeyPath, const QString &valueName)
{
    QString key = subkeyPath;
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return key + QLatin1Char('/') + valueName;
}

} // namespace

Registry::Registry(QString filePath) : m_filePath(std::move(filePath)) {}

QString Registry::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quorvel/registry.conf");
}

QString Registry::RegistryReadString(const QString &subkeyPath, const QString &valueName) const
{
    if (!QFileInfo(m_filePath).isFile())
        return {};
    const QSettings store(m_filePath, QSettings::IniFormat);
    // The file is parsed on first access; only then does the status tell of damage.
    // An access error is no damage: a file that cannot be read gives no value, and a
    // change held for the file that could not be stored (see RegistryWriteString)
    // leaves the file's own value to read.
    const QVariant value = store.value(settingsKey(subkeyPath, valueName));
    if (store.status() == QSettings::FormatError)
        return {};
    if (value.typeId() != QMetaType::QString)
        return {};
    // Text written by another tool may carry a terminating NUL; it ends the value.
    const QString text = value.toString();
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

bool Registry::RegistryWriteString(const QString &subkeyPath, const QString &valueName,
                                   const QString &text)
{
    {
        const QString key = settingsKey(subkeyPath, valueName);
        QSettings store(m_filePath, QSettings::IniFormat);
        const QVariant old = store.value(key);
        if (store.status() == QSettings::NoError) {
            store.setValue(key, text);
            store.sync();
            if (store.status() == QSettings::NoError)
                return true;
            // Every settings object of the process on this file shares a change that
            // could not be stored, and would read it and store it later: the old value
            // goes back, so a refused change is not kept after all.
            if (old.isValid())
                store.setValue(key, old);
            else
                store.remove(key);
            return false;
        }
        if (store.status() != QSettings::FormatError)
            return false;
    }
    // Nothing in a damaged file can be read, so a fresh file with the new value loses
    // nothing; it replaces the damaged one in one step.
    const QString fresh = m_filePath + QStringLiteral(".new");
    QFile::remove(fresh);
    {
        QSettings store(fresh, QSettings::IniFormat);
        store.setValue(settingsKey(subkeyPath, valueName), text);
        store.sync();
        if (store.status() != QSettings::NoError) {
            QFile::remove(fresh);
            return false;
        }
    }
    return ::rename(QFile::encodeName(fresh).constData(),
                    QFile::encodeName(m_filePath).constData()) == 0;
}

QString Registry::writeFailureReason() const
{
    const QFileInfo file(m_filePath);
    const QString folder = file.absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 cannot be made").arg(folder);
    if (file.isDir())
        return QStringLiteral("a folder of that name is in the way");
    // The file is replaced by a new one beside it, so the folder must take a new file
    // even when the file itself may be written. A probe with some bytes in it fails
    // as that new file did: no permission, a read-only or a full volume.
    QTemporaryFile probe(folder + QStringLiteral("/.write-test-XXXXXX"));
    if (!probe.open() || probe.write(QByteArray(4096, '\n')) != 4096 || !probe.flush())
        return QStringLiteral("the folder %1 cannot be written: %2")
            .arg(folder, probe.errorString());
    if (file.exists() && !file.isWritable())
        return QStringLiteral("the file is read-only");
    return QStringLiteral("the file could not be written");
}
