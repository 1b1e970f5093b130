#include "AutoGoFolder.h"

#include "Form2.h"
#include "browse/FolderBrowser.h"
#include "platform/controls/Form1Controls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Registry.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/Volumes.h"

AutoGoFolder::AutoGoFolder(QWidget &window, Form1Controls &controls, const Services &services,
                           FolderBrowser &browser)
    : m_window(window), c(controls), m_services(services), m_browser(browser)
{
}

AutoGoFolder::~AutoGoFolder()
{
    delete m_form2;
}

Form2 *AutoGoFolder::dialog() const
{
    return m_form2;
}

void AutoGoFolder::Jump1_Click()
{
    if (!m_form2) {
        m_form2 = new Form2(m_services, &m_window);
        MenuItem *goto1 = c.menus.goto1;
        QObject::connect(m_form2, &Form2::Stored, goto1, [goto1] { goto1->setEnabled(true); });
        QObject::connect(m_form2, &Form2::Removed, goto1, [goto1] { goto1->setEnabled(false); });
        m_form2->Form_Load();
    }
    m_form2->show();
    m_form2->raise();
    m_form2->activateWindow();
}

void AutoGoFolder::goto1_Click()
{
    const QString folder =
        m_services.registry.RegistryReadString(Registry::kSettingsKey, Registry::kAutoJump);
    if (folder.isEmpty()) {
        c.menus.goto1->setEnabled(false);
        return;
    }
    c.menus.goto1->setEnabled(true);
    // A folder that has gone since is passed over without a word; the list is
    // read again wherever the browser stands.
    if (c.Dir1->setPath(folder)) {
        c.Drive1->setDrive(m_services.volumes.volumeOf(c.Dir1->path()));
        m_services.messages.show(QStringLiteral("OK!..."), MessageBoxes::NoIcon,
                                 QStringLiteral("Quorvel"));
    }
    m_browser.Dir1_Change();
}
