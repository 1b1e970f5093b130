#include "MenuItem.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

// The caption without its access-key marks; "&&" stays a literal ampersand.
QString withoutAccessKey(const QString &caption)
{
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            plain += caption[i];
        else if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&'))
            plain += QStringLiteral("&&"), ++i;
    }
    return plain;
}

} // namespace

MenuItem::MenuItem(const QString &name, const QString &caption, QObject *parent)
    : QObject(parent), m_action(new QAction(this)), m_caption(caption)
{
    setObjectName(name);
    m_action->setObjectName(name);
    // A caption of "-" is a separator line. Styles draw a separator's text as a
    // section title, so the line itself carries none.
    if (caption == QLatin1String("-"))
        m_action->setSeparator(true);
    else
        m_action->setText(caption);
    connect(m_action, &QAction::triggered, this, &MenuItem::onTriggered);
}

MenuItem::MenuItem(const QString &name, QMenu *menu, QObject *parent)
    : QObject(parent), m_action(menu->menuAction()), m_menu(menu), m_caption(menu->title())
{
    setObjectName(name);
    menu->setObjectName(name);
    m_action->setObjectName(name);
}

QString MenuItem::caption() const
{
    return m_caption;
}

bool MenuItem::isVisible() const
{
    return m_action->isVisible();
}

void MenuItem::setVisible(bool visible)
{
    m_action->setVisible(visible);
    if (!isOnMenuBar())
        return;
    m_action->setText(visible ? m_caption : withoutAccessKey(m_caption));
}

bool MenuItem::isOnMenuBar() const
{
    const QList<QObject *> places = m_action->associatedObjects();
    return std::any_of(places.begin(), places.end(),
                       [](QObject *place) { return qobject_cast<QMenuBar *>(place); });
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
