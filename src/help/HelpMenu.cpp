#include "HelpMenu.h"

#include "Form10.h"
#include "Form4.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Services.h"

namespace {

template <typename Window> void showOnce(QPointer<Window> &window, QWidget *owner)
{
    if (!window)
        window = new Window(owner);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

HelpMenu::HelpMenu(QWidget &owner, const Services &services) : m_owner(owner), m_services(services)
{
}

HelpMenu::~HelpMenu()
{
    delete m_form10;
    delete m_form4;
}

Form10 *HelpMenu::tipsWindow() const
{
    return m_form10;
}

Form4 *HelpMenu::aboutWindow() const
{
    return m_form4;
}

void HelpMenu::tip_Click()
{
    m_services.messages.show(QStringLiteral("Please Read the Readme.txt for more details"),
                             MessageBoxes::NoIcon, QStringLiteral("Tips on Readme.txt"));
    showOnce(m_form10, &m_owner);
}

void HelpMenu::About1_Click()
{
    showOnce(m_form4, &m_owner);
}
