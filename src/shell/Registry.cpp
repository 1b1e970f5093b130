#include "Registry.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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
    if (store.status() != QSettings::NoError)
        return {};
    const QVariant value = store.value(settingsKey(subkeyPath, valueName));
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
    QSettings store(m_filePath, QSettings::IniFormat);
    if (store.status() != QSettings::NoError)
        return false;
    store.setValue(settingsKey(subkeyPath, valueName), text);
    store.sync();
    return store.status() == QSettings::NoError;
}
