#pragma once

#include "platform/controls/Form1Controls.h"
#include "show/SlideCounters.h"

#include <QMainWindow>
#include <memory>

class AutoGoFolder;
class ClipboardCommands;
class FavouriteFolders;
class FileCommands;
class FolderBrowser;
class FullScreenSlideShow;
class FullScreenView;
class HandOver;
class HelpMenu;
class PanelFitter;
class PictureLoading;
class SlideSpeed;
class Startup;
class TrayIcon;
class ViewingModes;
class WindowSlideShow;
class WorkingValues;
struct Services;

// The main window. It owns the controls, their working values and the objects that
// handle their events, hands each object the controls and the other objects it calls,
// and wires the events to them.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    // The lists start at startFolder; nothing is read until Form_Load runs.
    Form1(const Services &services, const QString &startFolder, QWidget *parent = nullptr);
    ~Form1() override;

    // Runs the start-up sequence, opening the picture or folder named on the command
    // line if any; false when this copy must end at once.
    [[nodiscard]] bool Form_Load(const QString &commandLinePath = {});

    // The parts, for the program's start and for the tests and benchmarks that drive them.
    [[nodiscard]] Form1Controls &controls() { return m_controls; }
    [[nodiscard]] WorkingValues &values() { return *m_values; }
    [[nodiscard]] PanelFitter &fitter() { return *m_fitter; }
    [[nodiscard]] PictureLoading &loading() { return *m_loading; }
    [[nodiscard]] FullScreenView &fullScreen() { return *m_fullScreen; }
    [[nodiscard]] SlideSpeed &speed() { return *m_speed; }
    [[nodiscard]] WindowSlideShow &windowShow() { return *m_windowShow; }
    [[nodiscard]] FullScreenSlideShow &fullScreenShow() { return *m_fullScreenShow; }
    [[nodiscard]] SlideCounters &slides() { return m_slides; }
    // Whether either slide show is playing or paused.
    [[nodiscard]] bool isSlideShowActive() const;
    [[nodiscard]] TrayIcon &trayIcon() { return *m_trayIcon; }
    [[nodiscard]] AutoGoFolder &autoGo() { return *m_autoGo; }
    [[nodiscard]] HelpMenu &help() { return *m_help; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void wireEvents();
    void wireSlideShows();

    const Services &m_services;
    Form1Controls m_controls;
    std::unique_ptr<WorkingValues> m_values;
    // Each object is declared after those it calls, so that it is destroyed before them.
    std::unique_ptr<PanelFitter> m_fitter;
    std::unique_ptr<FolderBrowser> m_browser;
    std::unique_ptr<FullScreenView> m_fullScreen;
    std::unique_ptr<PictureLoading> m_loading;
    std::unique_ptr<ViewingModes> m_modes;
    std::unique_ptr<SlideSpeed> m_speed;
    std::unique_ptr<FavouriteFolders> m_favourites;
    SlideCounters m_slides;
    std::unique_ptr<WindowSlideShow> m_windowShow;
    std::unique_ptr<FullScreenSlideShow> m_fullScreenShow;
    std::unique_ptr<ClipboardCommands> m_clipboard;
    std::unique_ptr<FileCommands> m_fileCommands;
    std::unique_ptr<TrayIcon> m_trayIcon;
    std::unique_ptr<AutoGoFolder> m_autoGo;
    std::unique_ptr<HelpMenu> m_help;
    std::unique_ptr<Startup> m_startup;
    std::unique_ptr<HandOver> m_handOver;
};
