#pragma once

#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/VolumeProbe.h"
#include "platform/desktop/Volumes.h"

#include <QDebug>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QSet>
#include <QString>

// A message box that was asked for: never shown, only recorded.
struct RecordedMessage {
    QString text;
    int style = 0;
    QString title;
    bool operator==(const RecordedMessage &) const = default;
};

inline QDebug operator<<(QDebug debug, const RecordedMessage &m)
{
    return debug << m.text << m.style << m.title;
}

class FakeMessageBoxes final : public MessageBoxes {
public:
    void show(const QString &text, int style, const QString &title) override
    {
        shown.append({text, style, title.isEmpty() ? kApplicationTitle : title});
    }
    [[nodiscard]] bool confirm(const QString &text, const QString &title,
                               DefaultAnswer byDefault) override
    {
        shown.append({text, Question, title});
        confirmDefaults.append(byDefault);
        return confirmAnswer;
    }

    QList<RecordedMessage> shown;
    QList<DefaultAnswer> confirmDefaults;
    bool confirmAnswer = true;
};

// The local file system, with folders that can be made to refuse reading (the
// tests run as root, for whom permissions refuse nothing).
class FakeFileSystem final : public LocalFileSystem {
public:
    [[nodiscard]] std::optional<QStringList> files(const QString &folder,
                                                   bool includeHidden) const override
    {
        if (unreadable.contains(folder))
            return std::nullopt;
        if (listed.contains(folder))
            return listed.value(folder);
        return LocalFileSystem::files(folder, includeHidden);
    }
    [[nodiscard]] std::optional<QStringList> subfolders(const QString &folder) const override
    {
        if (unreadable.contains(folder))
            return std::nullopt;
        return LocalFileSystem::subfolders(folder);
    }
    [[nodiscard]] bool isReadableFolder(const QString &folder) const override
    {
        return !unreadable.contains(folder) && LocalFileSystem::isReadableFolder(folder);
    }

    QSet<QString> unreadable;
    // Folders whose files are these names, whatever the disk holds.
    QHash<QString, QStringList> listed;
};

// Volumes that are folders of the test's sandbox; the first is the home volume.
class FakeVolumes final : public Volumes {
public:
    [[nodiscard]] QList<Volume> list() const override { return volumes; }
    [[nodiscard]] bool isReady(const Volume &volume) const override
    {
        if (probe)
            return probe->isReady(volume.root);
        return !notReady.contains(volume.root) && LocalFileSystem().isReadableFolder(volume.root);
    }

    QList<Volume> volumes;
    QSet<QString> notReady;
    // When set, volumes are asked through it, the way the real ones are.
    std::unique_ptr<VolumeProbe> probe;
};

class FakeScreen final : public Screen {
public:
    [[nodiscard]] QRect geometryNear(const QWidget *) const override { return geometry; }
    QRect geometry{0, 0, 1024, 768};
};

// A clipboard that holds what the test put there and takes what the program gives.
class FakeClipboard final : public Clipboard {
public:
    [[nodiscard]] ClipboardPicture bitmap() override
    {
        ++reads;
        return offered;
    }
    [[nodiscard]] bool setBitmap(const QImage &image) override
    {
        if (refusesPictures)
            return false;
        placed = image;
        return true;
    }

    ClipboardPicture offered; // nothing, until a test offers a picture
    QImage placed;
    bool refusesPictures = false;
    int reads = 0;
};

// Records what was handed to the desktop. The trash takes a file by removing it
// from its folder, unless a test makes it fail with a reason.
class FakeShell final : public Shell {
public:
    struct Opened {
        QString file;
        QString workingFolder;
        bool operator==(const Opened &) const = default;
    };

    [[nodiscard]] DesktopOutcome open(const QString &file, const QString &workingFolder) override
    {
        opened.append({file, workingFolder});
        return {openFailure};
    }
    [[nodiscard]] DesktopOutcome moveToTrash(const QString &file) override
    {
        trashed.append(file);
        if (!trashFailure.isEmpty())
            return {trashFailure};
        QFile::remove(file);
        return {};
    }

    QList<Opened> opened;
    QStringList trashed;
    QString openFailure;
    QString trashFailure;
};

// A notification area that is there unless told otherwise, and takes the icon
// unless told to refuse it; press() plays a mouse event on the icon.
class FakeTray final : public Tray {
public:
    [[nodiscard]] bool isAvailable() const override { return available; }
    [[nodiscard]] bool add(const QIcon &icon, const QString &text) override
    {
        ++addCount;
        if (!available || refusesIcon)
            return false;
        shown = true;
        iconGiven = !icon.isNull();
        tip = text;
        return true;
    }
    void remove() override
    {
        ++removeCount;
        shown = false;
    }

    void press(TrayMouse event) { Q_EMIT MouseEvent(event); }

    bool available = true;
    bool refusesIcon = false;
    bool shown = false;
    bool iconGiven = false;
    QString tip;
    int addCount = 0;
    int removeCount = 0;
};

// The copy that runs takes what is handed over unless told otherwise; deliver() plays
// a path handed over by a later start.
class FakeApplication final : public ApplicationServices {
public:
    [[nodiscard]] bool isAnotherInstanceRunning() override { return anotherInstance; }
    [[nodiscard]] bool handOver(const QString &path) override
    {
        handedOver.append(path);
        return otherCopyTakes;
    }
    void acceptHandOvers() override { accepting = true; }
    void quit() override { ++quitCount; }
    [[nodiscard]] QString programFolder() const override { return folder; }

    void deliver(const QString &path) { Q_EMIT PathHandedOver(path); }

    bool anotherInstance = false;
    bool otherCopyTakes = true;
    QStringList handedOver;
    bool accepting = false;
    int quitCount = 0;
    QString folder = QStringLiteral("/opt/quorvel");
};
