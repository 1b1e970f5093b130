#pragma once

#include <QList>
#include <QString>
#include <memory>

class MountTable;
class VolumeProbe;

// A place the drive list offers: the home folder standing for the default volume,
// the root file system, and every other mounted real file system.
struct Volume {
    QString root; // absolute, without a trailing separator except for "/"
    QString name; // what the drive list shows

    friend bool operator==(const Volume &a, const Volume &b) { return a.root == b.root; }
};

class Volumes {
public:
    virtual ~Volumes() = default;
    // The home volume first, then the others.
    [[nodiscard]] virtual QList<Volume> list() const = 0;
    // False for a volume that is gone (unmounted) or whose root cannot be read.
    [[nodiscard]] virtual bool isReady(const Volume &volume) const = 0;

    [[nodiscard]] Volume home() const { return list().constFirst(); }
    // The volume whose root is the longest leading part of an absolute path; the
    // home volume for anything under the home folder.
    [[nodiscard]] Volume volumeOf(const QString &path) const;
};

// Whether path is root itself or lies below it.
[[nodiscard]] bool isInside(const QString &path, const QString &root);

// The volumes of the running system. The list comes from the mount table, read
// again only when it changes, so no list ever touches a mounted file system; only
// isReady asks a volume itself, and never for longer than a moment.
class MountedVolumes final : public Volumes {
public:
    MountedVolumes();
    ~MountedVolumes() override;

    [[nodiscard]] QList<Volume> list() const override;
    [[nodiscard]] bool isReady(const Volume &volume) const override;

private:
    std::unique_ptr<MountTable> m_table;
    std::unique_ptr<VolumeProbe> m_probe;
    mutable QList<Volume> m_volumes;
    mutable int m_listedRead = -1; // the table read the list was made from
};
