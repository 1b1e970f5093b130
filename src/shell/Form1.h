#pragma once

#include "Form1Controls.h"

#include <QMainWindow>
#include <memory>

class AutoGoFolder;
class FolderBrowser;
class FullScreenView;
class HelpMenu;
class PictureLoading;
class ViewingModes;
class PanelFitter;
class Startup;
class TrayIcon;
struct Services;

// The main window. It owns the controls and the objects that handle their events,
// wires the two together, and is the way those objects reach one another.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    // The lists start at startFolder; nothing is read until Form_Load runs.
    Form1(const Services &services, const QString &startFolder, QWidget *parent = nullptr);
    ~Form1() override;

    [[nodiscard]] Form1Controls &controls() { return m_controls; }
    [[nodiscard]] const Services &services() const { return m_services; }
    [[nodiscard]] FolderBrowser &browser() { return *m_browser; }
    [[nodiscard]] PanelFitter &fitter() { return *m_fitter; }
    [[nodiscard]] Startup &startup() { return *m_startup; }
    [[nodiscard]] PictureLoading &loading() { return *m_loading; }
    [[nodiscard]] ViewingModes &modes() { return *m_modes; }
    [[nodiscard]] FullScreenView &fullScreen() { return *m_fullScreen; }
    [[nodiscard]] TrayIcon &trayIcon() { return *m_trayIcon; }
    [[nodiscard]] AutoGoFolder &autoGo() { return *m_autoGo; }
    [[nodiscard]] HelpMenu &help() { return *m_help; }

    // Runs the start-up sequence; false when this copy must end at once.
    [[nodiscard]] bool Form_Load();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void wireEvents();

    const Services &m_services;
    Form1Controls m_controls;
    std::unique_ptr<PanelFitter> m_fitter;
    std::unique_ptr<FolderBrowser> m_browser;
    std::unique_ptr<PictureLoading> m_loading;
    std::unique_ptr<ViewingModes> m_modes;
    std::unique_ptr<FullScreenView> m_fullScreen;
    std::unique_ptr<TrayIcon> m_trayIcon;
    std::unique_ptr<AutoGoFolder> m_autoGo;
    std::unique_ptr<HelpMenu> m_help;
    std::unique_ptr<Startup> m_startup;
};
