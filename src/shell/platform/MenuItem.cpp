#include "MenuItem.h"

#include <QAction>
#include <QMenu>

MenuItem::MenuItem(const QString &name, const QString &caption, QObject *parent)
    : QObject(parent), m_action(new QAction(caption, this))
{
    setObjectName(name);
    m_action->setObjectName(name);
    if (caption == QLatin1String("-"))
        m_action->setSeparator(true);
    connect(m_action, &QAction::triggered, this, &MenuItem::onTriggered);
}

MenuItem::MenuItem(const QString &name, QMenu *menu, QObject *parent)
    : QObject(parent), m_action(menu->menuAction()), m_menu(menu)
{
    setObjectName(name);
    menu->setObjectName(name);
    m_action->setObjectName(name);
}

QString MenuItem::caption() const
{
    return m_menu ? m_menu->title() : m_action->text();
}

bool MenuItem::isVisible() const
{
    return m_action->isVisible();
}

void MenuItem::setVisible(bool visible)
{
    m_action->setVisible(visible);
}

bool MenuItem::isEnabled() const
{
    return m_action->isEnabled();
}

void MenuItem::setEnabled(bool enabled)
{
    m_action->setEnabled(enabled);
}

void MenuItem::setChecked(bool checked)
{
    m_checked = checked;
    if (checked)
        m_action->setCheckable(true);
    m_action->setChecked(checked);
}

void MenuItem::click()
{
    if (m_action->isVisible() && m_action->isEnabled() && !m_menu)
        m_action->trigger();
}

void MenuItem::onTriggered()
{
    // Undo the automatic toggle of a checkable action; the handler sets the mark.
    m_action->setChecked(m_checked);
    Q_EMIT Click();
}
