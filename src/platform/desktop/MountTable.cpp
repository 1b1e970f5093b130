#include "MountTable.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Mount points escape blanks, tabs, newlines and backslashes as \ooo.
QByteArray unescape(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3 && value < 256) {
                out.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

} // namespace

QList<Mount> parseMountInfo(const QByteArray &text)
{
    // id parent major:minor root mount-point options [optional fields...] - type source
    // super-options
    QList<Mount> mounts;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 6 || dash + 2 >= fields.size())
            continue;
        mounts.append(
            {QFile::decodeName(unescape(fields[4])), fields[dash + 1], unescape(fields[dash + 2])});
    }
    return mounts;
}

MountTable::MountTable(const QString &path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
}

MountTable::~MountTable()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

const QList<Mount> &MountTable::mounts()
{
    if (!m_read || changedSinceLastRead())
        read();
    return m_mounts;
}

bool MountTable::changedSinceLastRead() const
{
    if (m_fd < 0)
        return false;
    pollfd watch{m_fd, POLLPRI, 0};
    return ::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR));
}

void MountTable::read()
{
    m_read = true;
    if (m_fd < 0 || ::lseek(m_fd, 0, SEEK_SET) < 0)
        return;
    QByteArray text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, got);
    }
    ++m_reads;
    m_mounts = parseMountInfo(text);
}
