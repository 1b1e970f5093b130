#include "SlideSpeed.h"

#include "Form3.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Services.h"

SlideSpeed::SlideSpeed(Form1Controls &controls, WorkingValues &values, const Services &services)
    : c(controls), m_values(values), m_services(services)
{
}

SlideSpeed::~SlideSpeed()
{
    delete m_dialog;
}

Form3 *SlideSpeed::dialog() const
{
    return m_dialog;
}

void SlideSpeed::adjustmenu_Click()
{
    // A dialog left open keeps the marker it opened with; a closed one is made anew
    // and marks the speed of this moment.
    if (!m_dialog) {
        m_dialog = new Form3(m_values.slideInterval());
        QObject::connect(m_dialog, &Form3::speedChosen, m_dialog,
                         [this](Speed speed) { chooseFromDialog(speed); });
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void SlideSpeed::choose(Speed speed, IntervalTimer &timer)
{
    m_values.setSlideInterval(intervalOf(speed));
    timer.setInterval(intervalOf(speed));
    m_services.messages.show(speedMessage(speed), MessageBoxes::NoIcon, QStringLiteral("Quorvel"));
}

void SlideSpeed::chooseFromMenu(Speed speed)
{
    choose(speed, *c.Timer1);
}

void SlideSpeed::chooseFromDialog(Speed speed)
{
    choose(speed, *c.Timer1);
    // Called from the dialog's own button: it goes once that click is over.
    if (m_dialog) {
        m_dialog->hide();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
}
