#include "Registry.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
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
    const QVariant value = store.value(settingsKey(subkeyPath, valueName));
    if (store.status() != QSettings::NoError)
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
        QSettings store(m_filePath, QSettings::IniFormat);
        (void)store.contains(settingsKey(subkeyPath, valueName));
        if (store.status() == QSettings::NoError) {
            store.setValue(settingsKey(subkeyPath, valueName), text);
            store.sync();
            return store.status() == QSettings::NoError;
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
