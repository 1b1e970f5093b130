#pragma once

#include <QPointer>
#include <QString>

class Form5;
class QWidget;
struct Services;
enum class TrayMouse;

// Hides the main window into the desktop's notification area and brings it back on
// a left press on the icon. Where no notification area is there the window stays
// shown: hidden without an icon, it could never be brought back.
class TrayIcon {
public:
    static inline const QString kTip = QStringLiteral("Quorvel 1.36");

    // window is the program's main window, which the icon stands for.
    TrayIcon(QWidget &window, const Services &services);
    // The icon goes with the main window.
    ~TrayIcon();
    TrayIcon(const TrayIcon &) = delete;
    TrayIcon &operator=(const TrayIcon &) = delete;

    // "Minimize to SysTray..." and, from a paused slide show, "SysTr&ay...".
    void systray_Click();
    void Tray1_Click();
    // The notification area's report of the mouse on the icon.
    void Form_MouseMove(TrayMouse event);
    // Shows the window again and removes the icon, as a left press on it does;
    // nothing when the window is not in the tray.
    void restore();
    void Form_Terminate();
    // Opens the start-in-tray option.
    void TrayMin1_Click();

    [[nodiscard]] bool isInTray() const { return m_inTray; }
    // The open option dialog, or null.
    [[nodiscard]] Form5 *optionDialog() const;

private:
    QWidget &m_window;
    const Services &m_services;
    bool m_inTray = false;
    QPointer<Form5> m_form5;
};
