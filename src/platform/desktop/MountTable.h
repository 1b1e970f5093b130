#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One line of the kernel's mount table.
struct Mount {
    QString point;     // where it is mounted, decoded
    QByteArray type;   // file system type, "ext4", "nfs4", "fuse.sshfs"...
    QByteArray source; // the device or remote it comes from
};

// The mounts listed in the text of /proc/self/mountinfo, in mount order.
[[nodiscard]] QList<Mount> parseMountInfo(const QByteArray &text);

// The process's mount table, read from the kernel only when it has changed since the
// last read. Reading it never touches the mounted file systems themselves, so a dead
// network mount cannot block it; the kernel flags each change on the open table.
class MountTable {
public:
    explicit MountTable(const QString &path = QStringLiteral("/proc/self/mountinfo"));
    ~MountTable();
    MountTable(const MountTable &) = delete;
    MountTable &operator=(const MountTable &) = delete;

    [[nodiscard]] const QList<Mount> &mounts();
    // How many times the table was read, for the tests that keep it down.
    [[nodiscard]] int reads() const { return m_reads; }

private:
    [[nodiscard]] bool changedSinceLastRead() const;
    void read();

    int m_fd = -1;
    bool m_read = false;
    int m_reads = 0;
    QList<Mount> m_mounts;
};
