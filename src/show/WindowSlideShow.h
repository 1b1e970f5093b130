#pragma once

#include "SlideLookAhead.h"

#include <QString>

class Form1;
class MenuItem;
struct Form1Controls;
struct Services;
struct SlideCounters;
class WorkingValues;

// Plays the current folder in the main window's viewing panel, one slide per tick of
// Timer1, with the file information and the window title following each slide.
// While it runs the browser and the ordinary menus are disabled and the menu bar
// offers pause, resume and cancel.
class WindowSlideShow {
public:
    enum class State { Idle, Playing, Paused };

    WindowSlideShow(Form1 &hub, const Services &services, SlideCounters &slides);

    void viewmenu_Click();
    void Timer1_Timer();
    void pause1_Click();
    void play1_Click();
    void stop1_Click();

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] SlideLookAhead &lookAhead() { return m_lookAhead; }

private:
    void showSlide(int entry);
    // A slide whose decode outlasted its tick, now that the decode has ended.
    void showAwaitedSlide(int entry);
    void prepareNextSlide();
    void showError();
    void finish();
    void setBrowserEnabled(bool enabled);
    void setPausedItemsVisible(bool visible);

    Form1 &m_hub;
    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    SlideCounters &m_slides;
    State m_state = State::Idle;
    SlideLookAhead m_lookAhead;
};
