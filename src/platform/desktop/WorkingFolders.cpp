#include "WorkingFolders.h"

#include "FileSystem.h"

#include <QDir>
#include <QFileInfo>

WorkingFolders::WorkingFolders(const Volumes &volumes, const FileSystem &files,
                               const QString &startFolder)
    : m_volumes(volumes), m_files(files)
{
    const QString start = QDir::cleanPath(startFolder);
    m_workingVolume = m_volumes.volumeOf(start);
    m_folderByRoot.insert(m_workingVolume.root, start);
}

QString WorkingFolders::folderOf(const Volume &volume) const
{
    QString folder = m_folderByRoot.value(volume.root, volume.root);
    while (!m_files.isReadableFolder(folder)) {
        if (folder == volume.root || !isInside(folder, volume.root))
            return {};
        folder = QFileInfo(folder).path();
    }
    return folder;
}

bool WorkingFolders::setWorkingVolume(const Volume &volume)
{
    const QString folder = folderOf(volume);
    if (folder.isEmpty() || !QDir::setCurrent(folder))
        return false;
    m_workingVolume = volume;
    m_folderByRoot.insert(volume.root, folder);
    return true;
}

bool WorkingFolders::setFolder(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (!m_files.isReadableFolder(clean))
        return false;
    const Volume volume = m_volumes.volumeOf(clean);
    if (volume == m_workingVolume && !QDir::setCurrent(clean))
        return false;
    m_folderByRoot.insert(volume.root, clean);
    return true;
}
