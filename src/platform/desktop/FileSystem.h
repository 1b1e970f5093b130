#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// What became of a copy or a new folder: done, or why not, in words a user can read.
struct FileOutcome {
    QString failure; // empty when done

    [[nodiscard]] bool done() const { return failure.isEmpty(); }
};

// What a result made from a file is checked against before it is used: a file
// rewritten or gone since it was read has another stamp, or none.
struct FileStamp {
    qint64 length = -1;
    QDateTime modified;
    bool operator==(const FileStamp &) const = default;
};

// The file operations the viewer needs. Every query answers "cannot" with an empty
// optional or false instead of throwing, so each handler decides what the user sees.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Names of the plain files of a folder (links to files included), unsorted.
    [[nodiscard]] virtual std::optional<QStringList> files(const QString &folder,
                                                           bool includeHidden) const = 0;
    // Names of the subfolders of a folder, hidden ones left out, unsorted.
    [[nodiscard]] virtual std::optional<QStringList> subfolders(const QString &folder) const = 0;
    [[nodiscard]] virtual bool isReadableFolder(const QString &folder) const = 0;

    [[nodiscard]] virtual std::optional<qint64> fileLength(const QString &path) const = 0;
    [[nodiscard]] virtual std::optional<QDateTime> lastModified(const QString &path) const = 0;
    // Nothing when the file cannot be read.
    [[nodiscard]] std::optional<FileStamp> stampOf(const QString &path) const
    {
        const std::optional<qint64> length = fileLength(path);
        const std::optional<QDateTime> modified = lastModified(path);
        if (!length || !modified)
            return std::nullopt;
        return FileStamp{*length, *modified};
    }
    // Replaces an existing destination; never leaves a half-written file behind.
    [[nodiscard]] virtual FileOutcome copyFile(const QString &from, const QString &to) = 0;
    // Creates one folder level; fails when it exists already or its parent is missing,
    // with the system's reason ("File exists").
    [[nodiscard]] virtual FileOutcome createFolder(const QString &path) = 0;
};

class LocalFileSystem : public FileSystem {
public:
    [[nodiscard]] std::optional<QStringList> files(const QString &folder,
                                                   bool includeHidden) const override;
    [[nodiscard]] std::optional<QStringList> subfolders(const QString &folder) const override;
    [[nodiscard]] bool isReadableFolder(const QString &folder) const override;
    [[nodiscard]] std::optional<qint64> fileLength(const QString &path) const override;
    [[nodiscard]] std::optional<QDateTime> lastModified(const QString &path) const override;
    [[nodiscard]] FileOutcome copyFile(const QString &from, const QString &to) override;
    [[nodiscard]] FileOutcome createFolder(const QString &path) override;
};
