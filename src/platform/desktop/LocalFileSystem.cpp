#include "FileCopy.h"
#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

enum class EntryKind { File, Folder, Other };

EntryKind kindOf(const QByteArray &folder, const dirent *entry)
{
    unsigned char type = entry->d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
        struct stat info {};
        const QByteArray path = folder + '/' + entry->d_name;
        if (::stat(path.constData(), &info) != 0)
            return EntryKind::Other;
        type = S_ISREG(info.st_mode) ? DT_REG : S_ISDIR(info.st_mode) ? DT_DIR : DT_UNKNOWN;
    }
    if (type == DT_REG)
        return EntryKind::File;
    if (type == DT_DIR)
        return EntryKind::Folder;
    return EntryKind::Other;
}

// Reads a folder with one system call per entry at most; a folder that cannot be
// opened gives no list at all, which is different from an empty one.
std::optional<QStringList> entriesOf(const QString &folder, EntryKind wanted, bool includeHidden)
{
    const QByteArray encoded = QFile::encodeName(folder);
    DIR *dir = ::opendir(encoded.constData());
    if (!dir)
        return std::nullopt;
    QStringList names;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (name[0] == '.' && !includeHidden)
            continue;
        if (kindOf(encoded, entry) == wanted)
            names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    return names;
}

} // namespace

std::optional<QStringList> LocalFileSystem::files(const QString &folder, bool includeHidden) const
{
    return entriesOf(folder, EntryKind::File, includeHidden);
}

std::optional<QStringList> LocalFileSystem::subfolders(const QString &folder) const
{
    return entriesOf(folder, EntryKind::Folder, false);
}

bool LocalFileSystem::isReadableFolder(const QString &folder) const
{
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return false;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

std::optional<qint64> LocalFileSystem::fileLength(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    return info.size();
}

std::optional<QDateTime> LocalFileSystem::lastModified(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    return info.lastModified();
}

FileOutcome LocalFileSystem::copyFile(const QString &from, const QString &to)
{
    return copyFileAtomically(from, to);
}

FileOutcome LocalFileSystem::createFolder(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
        return {QString::fromLocal8Bit(std::strerror(errno))};
    return {};
}
