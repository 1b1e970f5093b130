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
    bool confirm(const QString &text, const QString &title, DefaultAnswer byDefault) override
    {
        shown.append({text, Question, title});
        confirmDefaults.append(byDefault);
        return confirmAnswer;
    }

    QList<RecordedMessage> shown;
    QList<DefaultAnswer> confirmDefaults;
    bool confirmAnswer = true;
};

// The local file system, with folders made to refuse reading (root is refused nothing).
class FakeFileSystem final : public LocalFileSystem {
public:
    std::optional<QStringList> files(const QString &folder, bool includeHidden) const override
    {
        if (unreadable.contains(folder))
            return std::nullopt;
        return listed.contains(folder) ? listed.value(folder)
                                       : LocalFileSystem::files(folder, includeHidden);
    }
    std::optional<QStringList> subfolders(const QString &folder) const override
    {
        return unreadable.contains(folder) ? std::nullopt : LocalFileSystem::subfolders(folder);
    }
    bool isReadableFolder(const QString &folder) const override
    {
        return !unreadable.contains(folder) && LocalFileSystem::isReadableFolder(folder);
    }

    QSet<QString> unreadable;
    QHash<QString, QStringList> listed; // a folder's files, whatever the disk holds
};

// Volumes that are folders of the test's sandbox; the first is the home volume.
class FakeVolumes final : public Volumes {
public:
    QList<Volume> list() const override { return volumes; }
    bool isReady(const Volume &volume) const override
    {
        return probe ? probe->isReady(volume.root)
                     : !notReady.contains(volume.root) &&
                           LocalFileSystem().isReadableFolder(volume.root);
    }

    QList<Volume> volumes;
    QSet<QString> notReady;
    // When set, volumes are asked through it, the way the real ones are.
    std::unique_ptr<VolumeProbe> probe;
};

class FakeScreen final : public Screen {
public:
    QRect geometryNear(const QWidget *) const override { return geometry; }
    QRect geometry{0, 0, 1024, 768};
};

// A clipboard that holds what the test put there and takes what the program gives.
class FakeClipboard final : public Clipboard {
public:
    ClipboardPicture bitmap() override
    {
        ++reads;
        return offered;
    }
    bool setBitmap(const QImage &image) override
    {
        if (refusesPictures)
            return false;
        placed = image;
        return true;
    }

    ClipboardPicture offered;
    QImage placed;
    bool refusesPictures = false;
    int reads = 0;
};

// Records what was handed to the desktop; the trash removes the file unless told to fail.
class FakeShell final : public Shell {
public:
    struct Opened {
        QString file;
        QString workingFolder;
        bool operator==(const Opened &) const = default;
    };

    DesktopOutcome open(const QString &file, const QString &workingFolder) override
    {
        opened.append({file, workingFolder});
        return {openFailure};
    }
    DesktopOutcome moveToTrash(const QString &file) override
    {
        trashed.append(file);
        if (trashFailure.isEmpty())
            QFile::remove(file);
        return {trashFailure};
    }

    QList<Opened> opened;
    QStringList trashed;
    QString openFailure, trashFailure;
};

// A notification area; press() plays a mouse event on the icon.
class FakeTray final : public Tray {
public:
    bool isAvailable() const override { return available; }
    bool add(const QIcon &icon, const QString &text) override
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

    bool available = true, refusesIcon = false, shown = false, iconGiven = false;
    QString tip;
    int addCount = 0, removeCount = 0;
};

// The running copy; deliver() plays a path handed over by a later start.
class FakeApplication final : public ApplicationServices {
public:
    bool isAnotherInstanceRunning() override { return anotherInstance; }
    bool handOver(const QString &path) override
    {
        handedOver.append(path);
        return otherCopyTakes;
    }
    void acceptHandOvers() override { accepting = true; }
    void quit() override { ++quitCount; }
    QString programFolder() const override { return folder; }

    void deliver(const QString &path) { Q_EMIT PathHandedOver(path); }

    bool anotherInstance = false, otherCopyTakes = true, accepting = false;
    QStringList handedOver;
    int quitCount = 0;
    QString folder = QStringLiteral("/opt/quorvel");
};
