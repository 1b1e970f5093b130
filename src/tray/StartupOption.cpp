#include "StartupOption.h"

#include "shell/Registry.h"
#include "shell/platform/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

bool storeStartupOption(Registry &registry, MessageBoxes &messages, const QString &valueName,
                        const QString &text)
{
    if (registry.RegistryWriteString(Registry::kSettingsKey, valueName, text)) {
        messages.show(QStringLiteral("OK!..It will take effect when you run Quorvel next time."),
                      MessageBoxes::NoIcon, QStringLiteral("Quorvel"));
        return true;
    }
    messages.show(QStringLiteral("The setting could not be saved in %1:\n%2.")
                      .arg(QDir::toNativeSeparators(registry.filePath()),
                           settingsWriteFailureReason(registry.filePath())),
                  MessageBoxes::Critical, QStringLiteral("Quorvel"));
    return false;
}

QString settingsWriteFailureReason(const QString &filePath)
{
    const QFileInfo file(filePath);
    const QString folder = file.absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 cannot be made").arg(folder);
    if (file.isDir())
        return QStringLiteral("a folder of that name is in the way");
    // A new file beside it, with some bytes in it, fails for the same reason the
    // settings file did: no permission, a read-only or a full volume.
    QTemporaryFile probe(folder + QStringLiteral("/.write-test-XXXXXX"));
    if (!probe.open())
        return probe.errorString();
    if (probe.write(QByteArray(4096, '\n')) != 4096 || !probe.flush())
        return probe.errorString();
    if (file.exists() && !file.isWritable())
        return QStringLiteral("the file is read-only");
    return QStringLiteral("the file could not be written");
}
