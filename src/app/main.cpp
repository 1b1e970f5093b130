#include "CommandLine.h"
#include "Form1.h"
#include "RealDesktop.h"
#include "picture/jpeg/JpegPicture.h"
#include "platform/desktop/FilePictures.h"
#include "platform/desktop/PictureCache.h"
#include "tray/TrayIcon.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// The path the file list will give the file named on the command line: its folder,
// cleaned, and its name. Empty when it names no file.
QString listedPath(const QString &path)
{
    const QFileInfo info(path);
    return path.isEmpty() || !info.isFile() ? QString() : QDir::cleanPath(info.absoluteFilePath());
}

} // namespace

int main(int argc, char *argv[])
{
    // QUORVEL_JPEG=libjpeg hands every JPEG to libjpeg, to rule the fast path in or out
    // when a picture looks wrong; read before anything decodes.
    picture::setJpegFastPathEnabled(qgetenv("QUORVEL_JPEG") != "libjpeg");
    // Read before the application exists, so that --version and --help need no display.
    const CommandLine commandLine =
        CommandLine::parse(argumentsOf(argc, argv), QDir::currentPath());
    if (commandLine.action != CommandLine::Action::Start) {
        const bool refused = commandLine.action == CommandLine::Action::Refuse;
        std::fprintf(refused ? stderr : stdout, "%s\n", qPrintable(commandLine.line));
        return refused ? 2 : 0;
    }

    // The picture is decoded now, on the decode pool, while the toolkit and the window
    // are being built; the start-up's click picks it up, or shows it once decoded. The
    // panel is shown in plain pixels on most screens, and a picture drawn at another
    // ratio makes its raster when first drawn. Qt takes the first thread that touches
    // it for its main one, so this one touches it first.
    (void)QThread::currentThread();
    RunningApplication application;
    const bool anotherRuns = application.isAnotherInstanceRunning();
    FilePictures pictures;
    LocalFileSystem files;
    DecodePool decodePool;
    PictureCache pictureCache(decodePool, pictures, files);
    // A copy that finds another running only hands its path over: it reads nothing.
    const QString named = listedPath(commandLine.path);
    if (!named.isEmpty() && !anotherRuns)
        pictureCache.hurry(named);

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
    const RealDesktop desktop(startFolder, {.files = &files,
                                            .application = &application,
                                            .pictures = &pictures,
                                            .decodePool = &decodePool,
                                            .pictureCache = &pictureCache});
    Form1 window(desktop.services(), startFolder);
    int result = 0;
    if (window.Form_Load(commandLine.path)) {
        // A start in the tray shows only the icon.
        if (!window.trayIcon().isInTray())
            window.show();
        result = QApplication::exec();
    }
    // The decodes end before the toolkit does: a picture drawn on a worker may still
    // ask it for fonts.
    decodePool.stop();
    return result;
}
