#include "Volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <unistd.h>

bool isInside(const QString &path, const QString &root)
{
    if (root == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == root || (path.startsWith(root) && path.at(root.size()) == QLatin1Char('/'));
}

Volume Volumes::volumeOf(const QString &path) const
{
    const QList<Volume> volumes = list();
    const QString clean = QDir::cleanPath(path);
    Volume best = volumes.constFirst();
    qsizetype bestLength = -1;
    for (const Volume &volume : volumes) {
        if (isInside(clean, volume.root) && volume.root.size() > bestLength) {
            best = volume;
            bestLength = volume.root.size();
        }
    }
    return best;
}

namespace {

bool isRealFileSystem(const QStorageInfo &storage)
{
    const QByteArray type = storage.fileSystemType();
    static const QList<QByteArray> network = {"nfs",   "nfs4",  "cifs",       "smb3",
                                              "smbfs", "sshfs", "fuse.sshfs", "9p",
                                              "afs",   "davfs", "fuse.rclone"};
    static const QList<QByteArray> pseudo = {"squashfs", "tmpfs", "devtmpfs", "overlay",
                                             "autofs",   "ramfs", "efivarfs", "fuse.portal"};
    if (pseudo.contains(type))
        return false;
    if (network.contains(type))
        return true;
    return storage.device().startsWith("/dev/");
}

QString displayName(const QStorageInfo &storage)
{
    if (!storage.name().isEmpty())
        return storage.name();
    const QString last = QFileInfo(storage.rootPath()).fileName();
    return last.isEmpty() ? storage.rootPath() : last;
}

} // namespace

QList<Volume> MountedVolumes::list() const
{
    QList<Volume> volumes;
    volumes.append({QDir::cleanPath(QDir::homePath()), QStringLiteral("Home")});
    volumes.append({QStringLiteral("/"), QStringLiteral("File System")});
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::cleanPath(storage.rootPath());
        if (root == QLatin1String("/") || root == volumes.constFirst().root)
            continue;
        if (root.startsWith(QLatin1String("/boot")) || !isRealFileSystem(storage))
            continue;
        const bool known = std::any_of(volumes.cbegin(), volumes.cend(),
                                       [&](const Volume &v) { return v.root == root; });
        if (!known)
            volumes.append({root, displayName(storage)});
    }
    return volumes;
}

bool MountedVolumes::isReady(const Volume &volume) const
{
    const QByteArray root = QFile::encodeName(volume.root);
    if (::access(root.constData(), R_OK | X_OK) != 0 || !QFileInfo(volume.root).isDir())
        return false;
    if (volume.root == QLatin1String("/") || volume.root == QDir::cleanPath(QDir::homePath()))
        return true;
    // A removed medium leaves its mount point behind as an empty folder.
    const QStorageInfo storage(volume.root);
    return storage.isValid() && storage.isReady() &&
           QDir::cleanPath(storage.rootPath()) == volume.root;
}
