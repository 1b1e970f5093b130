#pragma once

#include "Form1Controls.h"

#include <QMainWindow>
#include <memory>

class ClipboardCommands;
class FavouriteFolders;
class FileCommands;
class FolderBrowser;
class FullScreenView;
class PictureLoading;
class ViewingModes;
class PanelFitter;
class Startup;
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
    [[nodiscard]] FavouriteFolders &favourites() { return *m_favourites; }
    [[nodiscard]] ClipboardCommands &clipboardCommands() { return *m_clipboard; }
    [[nodiscard]] FileCommands &fileCommands() { return *m_fileCommands; }

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
    std::unique_ptr<FavouriteFolders> m_favourites;
    std::unique_ptr<ClipboardCommands> m_clipboard;
    std::unique_ptr<FileCommands> m_fileCommands;
    std::unique_ptr<Startup> m_startup;
};
