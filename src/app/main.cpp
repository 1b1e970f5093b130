#include "CommandLine.h"
#include "EarlyPicture.h"
#include "FontWarmUp.h"
#include "Form1.h"
#include "RealDesktop.h"
#include "platform/desktop/FilePictures.h"
#include "tray/TrayIcon.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <cstdio>

namespace {

// The arguments as names: on this system file names are bytes, taken as UTF-8.
QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    // Read before the application exists, so that --version and --help need no display.
    const CommandLine commandLine =
        CommandLine::parse(argumentsOf(argc, argv), QDir::currentPath());
    if (commandLine.action != CommandLine::Action::Start) {
        const bool refused = commandLine.action == CommandLine::Action::Refuse;
        std::fprintf(refused ? stderr : stdout, "%s\n", qPrintable(commandLine.line));
        return refused ? 2 : 0;
    }

    // The picture is read now, on a thread of its own, while the toolkit and the window
    // are being built: the panel is shown in plain pixels on most screens, and a picture
    // drawn at another ratio makes its raster when first drawn. Qt takes the first
    // thread that touches it for its main one, so this one touches it first.
    (void)QThread::currentThread();
    // A copy that finds another running only hands its path over: it reads nothing.
    RunningApplication application;
    const bool anotherRuns = application.isAnotherInstanceRunning();
    FilePictures files;
    EarlyPicture early(files, anotherRuns ? QString() : commandLine.path);
    const FontWarmUp fonts;

    // The toolkit sees only the program's name: every argument is the viewer's own.
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(QStringLiteral("1.36"));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    // The program ends when its main window closes, and only then: a message box
    // closed while the window is hidden in the tray must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    const QString startFolder = RealDesktop::startFolder();
    const RealDesktop desktop(startFolder, {.application = &application, .pictures = &early});
    Form1 window(desktop.services(), startFolder);
    const bool started = window.Form_Load(commandLine.path);
    early.release();
    if (!started)
        return 0;
    // A start in the tray shows only the icon.
    if (!window.trayIcon().isInTray())
        window.show();
    return QApplication::exec();
}
