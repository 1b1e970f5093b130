#pragma once

#include <QString>

class FolderBrowser;
class PanelFitter;
class TrayIcon;
class ViewingModes;
class WorkingValues;
struct Form1Controls;
struct Services;

// The start of a run and its end by the Exit command.
class Startup {
public:
    Startup(Form1Controls &controls, WorkingValues &values, const Services &services,
            FolderBrowser &browser, ViewingModes &modes, PanelFitter &fitter, TrayIcon &trayIcon);

    // Runs the start-up steps in order; false when another copy already runs and
    // this one must end without showing a window, having handed that copy the path if
    // one was named. A picture or folder named on the command line (an absolute path,
    // or empty) is opened instead of the stored folder.
    [[nodiscard]] bool Form_Load(const QString &commandLinePath = {});
    void exitmenu_Click();

private:
    void jumpToStoredFolder(bool jump);

    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    FolderBrowser &m_browser;
    ViewingModes &m_modes;
    PanelFitter &m_fitter;
    TrayIcon &m_trayIcon;
};
