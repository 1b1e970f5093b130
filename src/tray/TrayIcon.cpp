#include "TrayIcon.h"

#include "Form5.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/Services.h"

TrayIcon::TrayIcon(QWidget &window, const Services &services)
    : m_window(window), m_services(services)
{
    QObject::connect(&services.tray, &Tray::MouseEvent, &window,
                     [this](TrayMouse event) { Form_MouseMove(event); });
}

TrayIcon::~TrayIcon()
{
    Form_Terminate();
    delete m_form5;
}

void TrayIcon::systray_Click()
{
    if (m_inTray)
        return;
    // Asked each time: a panel can be closed or started while the program runs.
    if (!m_services.tray.isAvailable() || !m_services.tray.add(m_window.windowIcon(), kTip))
        return;
    m_inTray = true;
    m_window.hide();
}

void TrayIcon::Tray1_Click()
{
    systray_Click();
}

void TrayIcon::Form_MouseMove(TrayMouse event)
{
    // Only a press of the left button restores; hovering, releases, the right and
    // middle buttons and the second half of a double click do nothing.
    if (event == TrayMouse::LeftButtonDown)
        restore();
}

void TrayIcon::restore()
{
    if (!m_inTray)
        return;
    m_services.tray.remove();
    m_inTray = false;
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void TrayIcon::Form_Terminate()
{
    m_services.tray.remove();
    m_inTray = false;
}

Form5 *TrayIcon::optionDialog() const
{
    return m_form5;
}

void TrayIcon::TrayMin1_Click()
{
    if (!m_form5) {
        m_form5 = new Form5(m_services.registry, m_services.messages, &m_window);
        m_form5->Form_Load();
    }
    m_form5->show();
    m_form5->raise();
    m_form5->activateWindow();
}
