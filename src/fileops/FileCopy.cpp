#include "FileCopy.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

// Every byte of the source into the target; 0 or the errno of the failure.
int copyContent(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(to, buffer + written, size_t(got - written));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            written += put;
        }
    }
}

// The temporary file beside the destination; removed unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const QByteArray &destination)
        : m_path(destination.left(destination.lastIndexOf('/') + 1) + '.' +
                 destination.mid(destination.lastIndexOf('/') + 1) + ".XXXXXX"),
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

    struct stat destinationInfo {};
    if (::stat(to.constData(), &destinationInfo) == 0) {
        // Writing a file onto itself would first empty the very file being read.
        if (destinationInfo.st_dev == sourceInfo.st_dev &&
            destinationInfo.st_ino == sourceInfo.st_ino)
            return {};
        if (S_ISDIR(destinationInfo.st_mode))
            return {QStringLiteral("%1 is a folder").arg(destination)};
    }

    TemporaryFile temporary(to);
    if (!temporary.fd().isOpen())
        return failed(QStringLiteral("Cannot write in %1"), folder, errno);
    if (const int error = copyContent(input.get(), temporary.fd().get()))
        return failed(QStringLiteral("Cannot copy %1"), source, error);

    const struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (::futimens(temporary.fd().get(), times) != 0 ||
        ::fchmod(temporary.fd().get(), sourceInfo.st_mode & 0777) != 0)
        return failed(QStringLiteral("Cannot write in %1"), folder, errno);
    // The data must be on the disk before the name points at it.
    if (::fsync(temporary.fd().get()) != 0 || temporary.fd().close() != 0)
        return failed(QStringLiteral("Cannot write in %1"), folder, errno);
    if (::rename(temporary.path().constData(), to.constData()) != 0)
        return failed(QStringLiteral("Cannot write %1"), destination, errno);
    temporary.keep();
    return {};
}
