#pragma once

#include <QString>

class QLabel;
class QWidget;
class MenuItem;
struct Form1Controls;

// How the viewing panel shows a picture: at its own size, shrunk into the panel when
// it overflows, or stretched to a size of its own.
enum class ViewingMode { ActualSize, AutoFit, Stretched };

// The main window's working values, kept where the window has always kept them: in
// hidden labels and in the check marks of the viewing-mode menu items. Every handler
// reads and writes them here, by type.
class WorkingValues {
public:
    // The values go to controls' hidden labels and menu items, the caption to window.
    WorkingValues(const Form1Controls &controls, QWidget &window);

    // The check marks of Actual Size (Act1), Auto-Fit Size (auto1) and Stretched Size
    // (St1), one at a time. Until the start-up chooses Auto-Fit none is set, which
    // every reader takes as Stretched.
    [[nodiscard]] ViewingMode viewingMode() const;
    void setViewingMode(ViewingMode mode);

    // Label1: the filter the file list goes back to after one it cannot use.
    [[nodiscard]] QString defaultFilter() const;
    // The caption: Label2's "Quorvel    -- ", then subject (a folder, a picture's
    // path, "Untitled"), shown as it is: a path may hold "[*]", which a window title
    // otherwise takes as its unsaved-changes mark and drops.
    void showInCaption(const QString &subject);
    // Label3: the picture last shown from the file list, which "Run File Now..." opens;
    // empty when none is.
    [[nodiscard]] QString shownPath() const;
    void setShownPath(const QString &path);
    // Label11: how long each slide of a show stays on screen, in milliseconds.
    [[nodiscard]] int slideInterval() const;
    void setSlideInterval(int milliseconds);
    // Label12 and Label13: the path and the name of the window show's slide, which its
    // "Copy To" menu copies.
    [[nodiscard]] QString slidePath() const;
    void setSlidePath(const QString &path);
    void setSlideName(const QString &name);

private:
    QWidget &m_window;
    QLabel *m_defaultFilter;
    QLabel *m_captionPrefix;
    QLabel *m_shownPath;
    QLabel *m_slideInterval;
    QLabel *m_slidePath;
    QLabel *m_slideName;
    MenuItem *m_actualSize;
    MenuItem *m_autoFit;
    MenuItem *m_stretched;
};
