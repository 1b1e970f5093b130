#include "StartupOption.h"

#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Registry.h"

#include <QDir>

bool storeStartupOption(Registry &registry, MessageBoxes &messages, const QString &valueName,
                        const QString &text)
{
    if (registry.RegistryWriteString(Registry::kSettingsKey, valueName, text)) {
        messages.show(QStringLiteral("OK!..It will take effect when you run Quorvel next time."),
                      MessageBoxes::NoIcon, QStringLiteral("Quorvel"));
        return true;
    }
    messages.show(
        QStringLiteral("The setting could not be saved in %1:\n%2.")
            .arg(QDir::toNativeSeparators(registry.filePath()), registry.writeFailureReason()),
        MessageBoxes::Critical, QStringLiteral("Quorvel"));
    return false;
}
