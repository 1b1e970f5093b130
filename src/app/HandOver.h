#pragma once

#include <QString>
#include <QTimer>

class FolderBrowser;
class FullScreenSlideShow;
class FullScreenView;
class QWidget;
class TrayIcon;
class WindowSlideShow;
class WorkingValues;
struct Form1Controls;
struct Services;

// A picture or folder that a later start of the program handed to this copy. It opens
// as the start would have opened it, and the window comes to the front, out of the tray
// if need be. A slide show or the full-screen view ends first, as its own Cancel or a
// click on it would; a message box, or anything else the user is answering, is answered
// first, and of the paths handed over meanwhile the last one opens.
class HandOver {
public:
    // window is the main window that comes to the front.
    HandOver(QWidget &window, Form1Controls &controls, WorkingValues &values,
             const Services &services, FolderBrowser &browser, WindowSlideShow &windowShow,
             FullScreenSlideShow &fullScreenShow, FullScreenView &fullScreen, TrayIcon &trayIcon);

    void PathHandedOver(const QString &path);

private:
    void openWhenFree();
    [[nodiscard]] static bool isUserAnswering();
    void endWhatCoversTheWindow();
    void bringForward();
    void open(const QString &path);

    QWidget &m_window;
    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    FolderBrowser &m_browser;
    WindowSlideShow &m_windowShow;
    FullScreenSlideShow &m_fullScreenShow;
    FullScreenView &m_fullScreen;
    TrayIcon &m_trayIcon;
    QString m_waiting;
    QTimer m_retry;
};
