#include "Startup.h"

#include "PathArgument.h"
#include "browse/FolderBrowser.h"
#include "browse/PanelFitter.h"
#include "browse/ViewingModes.h"
#include "platform/controls/Form1Controls.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Registry.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/Volumes.h"
#include "tray/TrayIcon.h"

Startup::Startup(Form1Controls &controls, WorkingValues &values, const Services &services,
                 FolderBrowser &browser, ViewingModes &modes, PanelFitter &fitter,
                 TrayIcon &trayIcon)
    : c(controls), m_values(values), m_services(services), m_browser(browser), m_modes(modes),
      m_fitter(fitter), m_trayIcon(trayIcon)
{
}

bool Startup::Form_Load(const QString &commandLinePath)
{
    if (m_services.application.isAnotherInstanceRunning()) {
        // A picture opened from a file manager goes to the copy that runs.
        if (!commandLinePath.isEmpty() && m_services.application.handOver(commandLinePath))
            return false;
        m_services.messages.show(QStringLiteral("The program is already running!"),
                                 MessageBoxes::NoIcon, MessageBoxes::kApplicationTitle);
        return false;
    }
    m_services.application.acceptHandOvers();
    c.Combo1->setText(FolderBrowser::kAllReadable);
    // The command line's path wins over the stored folder, for this run only.
    PathArgument argument(c, m_values, m_services, commandLinePath);
    jumpToStoredFolder(!argument.openFolder());
    c.Drive1->setDrive(m_services.volumes.volumeOf(c.Dir1->path()));
    m_browser.Dir1_Change();
    m_browser.Combo1_Change();
    m_modes.auto1_Click();
    m_fitter.Form_Resize();
    c.File1->setShowHidden(true);
    c.File2->mirror(*c.File1);
    c.File3->setShowHidden(true);
    argument.showPicture();
    // Last, so that the browser is complete when the window comes back from the tray.
    if (m_services.registry.RegistryReadString(Registry::kSettingsKey, Registry::kTrayIcon) ==
        QLatin1String("1"))
        m_trayIcon.systray_Click();
    return true;
}

void Startup::jumpToStoredFolder(bool jump)
{
    const QString folder =
        m_services.registry.RegistryReadString(Registry::kSettingsKey, Registry::kAutoJump);
    c.menus.goto1->setEnabled(!folder.isEmpty());
    if (folder.isEmpty() || !jump)
        return;
    // A stored folder that has gone quietly gives way to the home volume.
    if (!c.Dir1->setPath(folder))
        c.Drive1->setDrive(m_services.volumes.home());
}

void Startup::exitmenu_Click()
{
    m_services.application.quit();
}
