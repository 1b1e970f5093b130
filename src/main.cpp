#include "shell/Form1.h"
#include "shell/RealDesktop.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(QStringLiteral("1.36"));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    // The program ends when its main window closes, and only then: a message box
    // closed while the window is hidden in the tray must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString startFolder = RealDesktop::startFolder();
    const RealDesktop desktop(startFolder);
    Form1 window(desktop.services(), startFolder);
    if (!window.Form_Load())
        return 0;
    window.show();
    return QApplication::exec();
}
