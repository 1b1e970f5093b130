#pragma once

#include "Speed.h"

#include <QPointer>

class Form3;
class IntervalTimer;
class WorkingValues;
struct Form1Controls;
struct Services;

// The current speed, kept as the slide interval of the working values, and the places to choose it
// from: the "Adjust Speed..." dialog and the speed menu of the paused window show.
// Every choice also sets the interval of the timer that belongs to its place, so a
// show on that timer takes it at once.
class SlideSpeed {
public:
    SlideSpeed(Form1Controls &controls, WorkingValues &values, const Services &services);
    ~SlideSpeed();

    void adjustmenu_Click();
    void fastest1_Click() { chooseFromMenu(Speed::Fastest); }
    void fast1_Click() { chooseFromMenu(Speed::Fast); }
    void medium1_Click() { chooseFromMenu(Speed::Medium); }
    void slow1_Click() { chooseFromMenu(Speed::Slow); }
    void slowest1_Click() { chooseFromMenu(Speed::Slowest); }

    // Makes speed current, gives timer its interval (without starting or stopping it)
    // and says so.
    void choose(Speed speed, IntervalTimer &timer);

    // The open dialog, or null.
    [[nodiscard]] Form3 *dialog() const;

private:
    void chooseFromMenu(Speed speed);
    void chooseFromDialog(Speed speed);

    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    QPointer<Form3> m_dialog;
};
