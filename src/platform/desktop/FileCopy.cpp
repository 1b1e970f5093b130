#include "FileCopy.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

FileOutcome failed(const QString &what, const QString &path, int error)
{
    return {what.arg(path) + QStringLiteral(": ") + systemReason(error)};
}

// Closes a descriptor when the copy leaves, whichever way.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { close(); }
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    // The result of close(), where delayed write errors of some file systems show.
    int close()
    {
        const int result = m_fd >= 0 ? ::close(m_fd) : 0;
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

// Why a copy of the content stopped: the errno of the failure, and whether it came
// from writing the new file rather than from reading the source.
struct ContentFailure {
    int error = 0;
    bool writing = false;
};

// Every byte of the source into the target.
ContentFailure copyContent(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0)
            return {};
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return {errno, false};
        }
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(to, buffer + written, size_t(got - written));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return {errno, true};
            }
            written += put;
        }
    }
}

// Whether another program holds a lock on the file against what the copy does with
// it: reading (a write lock) or replacing (any lock). Programs take either kind of
// advisory lock, so both are asked, and neither is waited for.
bool lockedAgainst(int fd, bool replacing)
{
    struct flock probe {};
    probe.l_type = replacing ? F_WRLCK : F_RDLCK;
    probe.l_whence = SEEK_SET; // from the start, length 0: the whole file
    if (::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK)
        return true;
    if (::flock(fd, (replacing ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    (void)::flock(fd, LOCK_UN);
    return false;
}

// Why the file at the destination must stay, or nothing. Renaming over a file needs
// only the folder's write permission, so the file's own is asked here: a file its
// owner made read-only is kept even from root, whom access() refuses nothing, and
// an immutable file or a read-only volume refuses through access().
FileOutcome refusalToReplace(const QByteArray &to, const struct stat &info,
                             const QString &destination)
{
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return {QStringLiteral("%1 is read-only").arg(destination)};
    if (::faccessat(AT_FDCWD, to.constData(), W_OK, AT_EACCESS) != 0)
        return failed(QStringLiteral("Cannot replace %1"), destination, errno);
    const Descriptor existing(::open(to.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (existing.isOpen() && lockedAgainst(existing.get(), true))
        return {QStringLiteral("%1 is locked by another program").arg(destination)};
    return {};
}

// The temporary file beside the destination; removed unless it was renamed into place.
class TemporaryFile {
public:
    // A short name of its own, so that a destination of the longest name the file
    // system allows still has a temporary beside it.
    explicit TemporaryFile(const QByteArray &destination)
        : m_path(destination.left(destination.lastIndexOf('/') + 1) + ".quorvel-XXXXXX"),
          m_fd(::mkstemp(m_path.data()))
    {
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        m_fd.close();
        if (!m_kept)
            ::unlink(m_path.constData());
    }
    [[nodiscard]] Descriptor &fd() { return m_fd; }
    [[nodiscard]] const QByteArray &path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    QByteArray m_path;
    Descriptor m_fd;
    bool m_kept = false;
};

} // namespace

FileOutcome copyFileAtomically(const QString &source, const QString &destination)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    const QString folder = QFileInfo(destination).path();

    // Not blocking: a pipe of that name must be refused, not waited on.
    Descriptor input(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!input.isOpen())
        return failed(QStringLiteral("Cannot read %1"), source, errno);
    struct stat sourceInfo {};
    if (::fstat(input.get(), &sourceInfo) != 0)
        return failed(QStringLiteral("Cannot read %1"), source, errno);
    if (!S_ISREG(sourceInfo.st_mode))
        return {QStringLiteral("%1 is not a file").arg(source)};
    if (lockedAgainst(input.get(), false))
        return {QStringLiteral("%1 is locked by another program").arg(source)};

    struct stat destinationInfo {};
    if (::stat(to.constData(), &destinationInfo) == 0) {
        // Writing a file onto itself would first empty the very file being read.
        if (destinationInfo.st_dev == sourceInfo.st_dev &&
            destinationInfo.st_ino == sourceInfo.st_ino)
            return {};
        if (S_ISDIR(destinationInfo.st_mode))
            return {QStringLiteral("%1 is a folder").arg(destination)};
        if (S_ISREG(destinationInfo.st_mode)) {
            if (FileOutcome refused = refusalToReplace(to, destinationInfo, destination);
                !refused.done())
                return refused;
        }
    }

    TemporaryFile temporary(to);
    if (!temporary.fd().isOpen())
        return failed(QStringLiteral("Cannot write in %1"), folder, errno);
    // A full disk is the destination's fault, not the source's.
    if (const ContentFailure stopped = copyContent(input.get(), temporary.fd().get());
        stopped.error != 0)
        return stopped.writing
                   ? failed(QStringLiteral("Cannot write %1"), destination, stopped.error)
                   : failed(QStringLiteral("Cannot read %1"), source, stopped.error);

    const struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (::futimens(temporary.fd().get(), times) != 0 ||
        ::fchmod(temporary.fd().get(), sourceInfo.st_mode & 0777) != 0)
        return failed(QStringLiteral("Cannot write %1"), destination, errno);
    // The data must be on the disk before the name points at it.
    if (::fsync(temporary.fd().get()) != 0 || temporary.fd().close() != 0)
        return failed(QStringLiteral("Cannot write %1"), destination, errno);
    if (::rename(temporary.path().constData(), to.constData()) != 0)
        return failed(QStringLiteral("Cannot write %1"), destination, errno);
    temporary.keep();
    return {};
}
