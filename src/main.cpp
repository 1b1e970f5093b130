#include "shell/Form1.h"
#include "shell/RealDesktop.h"
#include "tray/TrayIcon.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(QStringLiteral("1.36"));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    // The tray keeps the program alive while its window is hidden.
    QApplication::setQuitOnLastWindowClosed(true);

    const QString startFolder = RealDesktop::startFolder();
    const RealDesktop desktop(startFolder);
    Form1 window(desktop.services(), startFolder);
    if (!window.Form_Load())
        return 0;
    // A start in the tray shows only the icon.
    if (!window.trayIcon().isInTray())
        window.show();
    return QApplication::exec();
}
