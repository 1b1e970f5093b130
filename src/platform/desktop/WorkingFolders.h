#pragma once

#include "Volumes.h"

#include <QHash>
#include <QString>

class FileSystem;

// The process's working volume and each volume's own working folder, kept for the
// whole run. A volume not visited yet works in its root; the start volume in the
// start folder. The process's current folder follows the working volume.
class WorkingFolders {
public:
    WorkingFolders(const Volumes &volumes, const FileSystem &files, const QString &startFolder);

    [[nodiscard]] Volume workingVolume() const { return m_workingVolume; }
    // The volume's working folder, or its nearest readable parent if that folder has
    // gone since; empty when not even the volume's root can be read.
    [[nodiscard]] QString folderOf(const Volume &volume) const;
    // Makes the volume the working one; false when its folder cannot be entered.
    [[nodiscard]] bool setWorkingVolume(const Volume &volume);
    // Remembers folder as its volume's working folder and, on the working volume,
    // enters it; false when the folder cannot be entered.
    [[nodiscard]] bool setFolder(const QString &folder);

private:
    const Volumes &m_volumes;
    const FileSystem &m_files;
    QHash<QString, QString> m_folderByRoot;
    Volume m_workingVolume;
};
