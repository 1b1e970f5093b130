#pragma once

#include <QString>

// The program's two start-up options, kept as named text values under a key path
// in a per-user settings file. Reading never fails towards the caller: anything
// that cannot be read as text reads as the empty text.
class Registry {
public:
    static inline const QString kSettingsKey = QStringLiteral("Software\\Quorvel");
    static inline const QString kAutoJump = QStringLiteral("AutoJump");
    static inline const QString kTrayIcon = QStringLiteral("TrayIcon");

    explicit Registry(QString filePath);
    // The settings file in the user's configuration folder ($XDG_CONFIG_HOME).
    [[nodiscard]] static QString defaultFilePath();

    [[nodiscard]] QString RegistryReadString(const QString &subkeyPath,
                                             const QString &valueName) const;
    // Stores the text, replacing the file in one step so that a crash never leaves a
    // half-written file; false when it could not be stored.
    [[nodiscard]] bool RegistryWriteString(const QString &subkeyPath, const QString &valueName,
                                           const QString &text);

    [[nodiscard]] const QString &filePath() const { return m_filePath; }
    // Why the file cannot be written, found out by trying what a write needs, in
    // words that name the file or its folder, whichever is at fault.
    [[nodiscard]] QString writeFailureReason() const;

private:
    QString m_filePath;
};
