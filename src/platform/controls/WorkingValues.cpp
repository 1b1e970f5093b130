#include "WorkingValues.h"

#include "Form1Controls.h"

WorkingValues::WorkingValues(const Form1Controls &controls, QWidget &window)
    : m_window(window), m_defaultFilter(controls.Label1), m_captionPrefix(controls.Label2),
      m_shownPath(controls.Label3), m_slideInterval(controls.Label11),
      m_slidePath(controls.Label12), m_slideName(controls.Label13),
      m_actualSize(controls.menus.Act1), m_autoFit(controls.menus.auto1),
      m_stretched(controls.menus.St1)
{
}

ViewingMode WorkingValues::viewingMode() const
{
    if (m_actualSize->isChecked())
        return ViewingMode::ActualSize;
    if (m_autoFit->isChecked())
        return ViewingMode::AutoFit;
    return ViewingMode::Stretched;
}

void WorkingValues::setViewingMode(ViewingMode mode)
{
    m_actualSize->setChecked(mode == ViewingMode::ActualSize);
    m_stretched->setChecked(mode == ViewingMode::Stretched);
    m_autoFit->setChecked(mode == ViewingMode::AutoFit);
}

QString WorkingValues::defaultFilter() const
{
    return m_defaultFilter->text();
}

void WorkingValues::showInCaption(const QString &subject)
{
    // Doubled, the mark stands for itself.
    QString caption = m_captionPrefix->text() + subject;
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    m_window.setWindowTitle(caption);
}

QString WorkingValues::shownPath() const
{
    return m_shownPath->text();
}

void WorkingValues::setShownPath(const QString &path)
{
    m_shownPath->setText(path);
}

int WorkingValues::slideInterval() const
{
    return m_slideInterval->text().toInt();
}

void WorkingValues::setSlideInterval(int milliseconds)
{
    m_slideInterval->setText(QString::number(milliseconds));
}

QString WorkingValues::slidePath() const
{
    return m_slidePath->text();
}

void WorkingValues::setSlidePath(const QString &path)
{
    m_slidePath->setText(path);
}

void WorkingValues::setSlideName(const QString &name)
{
    m_slideName->setText(name);
}
