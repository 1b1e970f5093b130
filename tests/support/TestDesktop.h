#pragma once

#include "app/Form1.h"
#include "fakes/FakeServices.h"
#include "platform/desktop/DecodePool.h"
#include "platform/desktop/FilePictures.h"
#include "platform/desktop/PictureCache.h"
#include "platform/desktop/Registry.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/WorkingFolders.h"

#include <QTemporaryDir>
#include <memory>

// A sandboxed desktop for behaviour tests: a temporary home folder (also $HOME and
// the XDG folders), a second volume beside it, fake services, and a main window
// built on them. Nothing touches the real home.
class TestDesktop {
public:
    TestDesktop();
    ~TestDesktop();

    [[nodiscard]] QString home() const { return m_homeRoot; }
    [[nodiscard]] QString otherVolume() const { return m_otherRoot; }
    // Make a folder, a file or a BMP of one colour, with the folders above; a relative path
    // lies in the sandbox. Each returns its path.
    QString makeFolder(const QString &path);
    QString makeFile(const QString &path, const QByteArray &content = QByteArray(10, 'x'));
    QString makePicture(const QString &path, int width, int height, const QColor &colour);

    // Builds the main window with the lists at startFolder, without running start-up.
    Form1 &window(const QString &startFolder);
    // Builds the window and runs start-up, with the path named on the command line.
    Form1 &started(const QString &startFolder, const QString &commandLinePath = {});
    [[nodiscard]] Form1Controls &controls() { return m_window->controls(); }
    // Destroys the main window, as the end of the program does.
    void closeWindow() { m_window.reset(); }

    FakeMessageBoxes messages;
    FakeFileSystem files;
    FakeVolumes volumes;
    FakeScreen screen;
    FakeClipboard clipboard;
    FakeShell shell;
    FakeTray tray;
    FakeApplication application;
    FilePictures pictures;
    // When set before the window is built, the window reads its pictures here instead.
    PictureSource *pictureSource = nullptr;
    DecodePool decodePool;
    // Made with the window, on its picture source.
    std::unique_ptr<PictureCache> pictureCache;
    std::unique_ptr<Registry> registry;
    std::unique_ptr<WorkingFolders> working;

private:
    QTemporaryDir m_sandbox;
    QString m_homeRoot;
    QString m_otherRoot;
    std::unique_ptr<Services> m_services;
    std::unique_ptr<Form1> m_window;
    QByteArray m_savedHome;
};

// The main window's title while it shows folder (or a picture's path).
[[nodiscard]] inline QString titleFor(const QString &path)
{
    return QStringLiteral("Quorvel    -- ") + path;
}

// The names a file list shows, in order.
[[nodiscard]] QStringList entriesOf(const FileListBox &list);
