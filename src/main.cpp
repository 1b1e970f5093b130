#include "browse/FilePictures.h"
#include "shell/Form1.h"
#include "shell/Registry.h"
#include "shell/Services.h"
#include "shell/platform/DesktopServices.h"
#include "shell/platform/FileSystem.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/platform/Volumes.h"
#include "shell/platform/WorkingFolders.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(QStringLiteral("1.36"));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    // The tray keeps the program alive while its window is hidden.
    QApplication::setQuitOnLastWindowClosed(true);

    QtMessageBoxes messages;
    LocalFileSystem files;
    MountedVolumes volumes;
    QString startFolder = QDir::currentPath();
    if (!files.isReadableFolder(startFolder))
        startFolder = QDir::homePath();
    WorkingFolders working(volumes, files, startFolder);
    Registry registry(Registry::defaultFilePath());
    FilePictures pictures;
    QtScreen screen;
    QtClipboard clipboard;
    DesktopShell shell;
    SystemTray tray;
    RunningApplication application;
    const Services services{messages, files,     volumes, working, registry,   pictures,
                            screen,   clipboard, shell,   tray,    application};

    Form1 window(services, startFolder);
    if (!window.Form_Load())
        return 0;
    window.show();
    return QApplication::exec();
}
