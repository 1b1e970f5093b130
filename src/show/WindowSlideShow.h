#pragma once

#include "SlideLookAhead.h"

#include <QString>
#include <functional>

class FolderBrowser;
class PanelFitter;
class WorkingValues;
struct Form1Controls;
struct Services;
struct SlideCounters;

// Plays the current folder in the main window's viewing panel, one slide per tick of
// Timer1, with the file information and the window title following each slide.
// While it runs the browser and the ordinary menus are disabled and the menu bar
// offers pause, resume and cancel.
class WindowSlideShow {
public:
    enum class State { Idle, Playing, Paused };

    // otherShowActive tells whether the full-screen show is playing or paused: the two
    // shows step the same counters, so one plays at a time.
    WindowSlideShow(Form1Controls &controls, WorkingValues &values, const Services &services,
                    SlideCounters &slides, FolderBrowser &browser, PanelFitter &fitter,
                    std::function<bool()> otherShowActive);

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

    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    SlideCounters &m_slides;
    FolderBrowser &m_browser;
    PanelFitter &m_fitter;
    std::function<bool()> m_otherShowActive;
    State m_state = State::Idle;
    SlideLookAhead m_lookAhead;
};
