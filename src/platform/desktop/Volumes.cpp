#include "Volumes.h"

#include "MountTable.h"
#include "VolumeProbe.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

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

bool isRealFileSystem(const Mount &mount)
{
    static const QList<QByteArray> network = {"nfs",   "nfs4",  "cifs",       "smb3",
                                              "smbfs", "sshfs", "fuse.sshfs", "9p",
                                              "afs",   "davfs", "fuse.rclone"};
    static const QList<QByteArray> pseudo = {"squashfs", "tmpfs", "devtmpfs", "overlay",
                                             "autofs",   "ramfs", "efivarfs", "fuse.portal"};
    if (pseudo.contains(mount.type))
        return false;
    if (network.contains(mount.type))
        return true;
    return mount.source.startsWith("/dev/");
}

// The file-system labels of the block devices, by device path. udev names each link
// after its label, with blanks and other odd characters as \xNN.
QHash<QString, QString> deviceLabels()
{
    QHash<QString, QString> labels;
    const QDir links(QStringLiteral("/dev/disk/by-label"));
    for (const QFileInfo &link : links.entryInfoList(QDir::System | QDir::Files)) {
        QByteArray name = QFile::encodeName(link.fileName());
        QByteArray label;
        for (qsizetype i = 0; i < name.size(); ++i) {
            bool ok = false;
            if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
                const int value = name.mid(i + 2, 2).toInt(&ok, 16);
                if (ok) {
                    label.append(static_cast<char>(value));
                    i += 3;
                    continue;
                }
            }
            label.append(name[i]);
        }
        labels.insert(link.canonicalFilePath(), QString::fromUtf8(label));
    }
    return labels;
}

QString displayName(const Mount &mount, const QHash<QString, QString> &labels)
{
    const QString device = QFileInfo(QFile::decodeName(mount.source)).canonicalFilePath();
    QString label = device.isEmpty() ? QString() : labels.value(device);
    if (!label.isEmpty())
        return label;
    const QString last = QFileInfo(mount.point).fileName();
    return last.isEmpty() ? mount.point : last;
}

} // namespace

MountedVolumes::MountedVolumes()
    : m_table(std::make_unique<MountTable>()), m_probe(std::make_unique<VolumeProbe>())
{
}

MountedVolumes::~MountedVolumes() = default;

QList<Volume> MountedVolumes::list() const
{
    const QList<Mount> &mounts = m_table->mounts();
    if (m_listedRead == m_table->reads() && !m_volumes.isEmpty())
        return m_volumes;
    m_listedRead = m_table->reads();
    QList<Volume> volumes;
    volumes.append({QDir::cleanPath(QDir::homePath()), QStringLiteral("Home")});
    volumes.append({QStringLiteral("/"), QStringLiteral("File System")});
    const QHash<QString, QString> labels = deviceLabels();
    for (const Mount &mount : mounts) {
        const QString root = QDir::cleanPath(mount.point);
        if (root == QLatin1String("/") || root == volumes.constFirst().root)
            continue;
        if (root.startsWith(QLatin1String("/boot")) || !isRealFileSystem(mount))
            continue;
        const bool known = std::any_of(volumes.cbegin(), volumes.cend(),
                                       [&](const Volume &v) { return v.root == root; });
        if (!known)
            volumes.append({root, displayName(mount, labels)});
    }
    m_volumes = volumes;
    return m_volumes;
}

bool MountedVolumes::isReady(const Volume &volume) const
{
    const bool fixed =
        volume.root == QLatin1String("/") || volume.root == QDir::cleanPath(QDir::homePath());
    // A removed medium leaves its mount point behind as an empty folder.
    if (!fixed) {
        const QList<Mount> &mounts = m_table->mounts();
        const bool mounted = std::any_of(mounts.cbegin(), mounts.cend(), [&](const Mount &m) {
            return QDir::cleanPath(m.point) == volume.root;
        });
        if (!mounted)
            return false;
    }
    return m_probe->isReady(volume.root);
}
