#pragma once

#include "SlideLookAhead.h"

#include <QPointer>
#include <QRect>
#include <functional>

class FavouriteFolders;
class FolderBrowser;
class Form6;
class Form7;
class QWidget;
class SlideSpeed;
class WorkingValues;
struct Form1Controls;
struct Services;
struct SlideCounters;
enum class Speed;

// Plays the current folder on a black window covering the main window's screen, one
// slide per tick of Timer2. A click pauses it and opens the option window, from which
// the show goes on, is cancelled, or the program ends.
class FullScreenSlideShow {
public:
    enum class State { Idle, Playing, Paused };

    // The show covers the screen that window is on. otherShowActive tells whether the
    // window show is playing or paused: the two shows step the same counters, so one
    // plays at a time.
    FullScreenSlideShow(const QWidget &window, Form1Controls &controls, WorkingValues &values,
                        const Services &services, SlideCounters &slides, SlideSpeed &speed,
                        FolderBrowser &browser, FavouriteFolders &favourites,
                        std::function<bool()> otherShowActive);
    ~FullScreenSlideShow();

    void fullscreen_Click();
    void Timer2_Timer();
    // A click on the show window's picture or black area.
    void pause();
    // The option window's buttons.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] SlideLookAhead &lookAhead() { return m_lookAhead; }
    // The show window and the option window while they are open, or null.
    [[nodiscard]] Form6 *showWindow() const;
    [[nodiscard]] Form7 *optionWindow() const;

private:
    void showSlide(int entry);
    // A slide whose decode outlasted its tick, now that the decode has ended.
    void showAwaitedSlide(int entry);
    void prepareNextSlide();
    void finish();
    void openOptionWindow();
    void chooseSpeed(Speed speed);
    void unloadOptionWindow();
    void unloadShowWindow();

    const QWidget &m_window;
    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    SlideCounters &m_slides;
    SlideSpeed &m_speed;
    FolderBrowser &m_browser;
    FavouriteFolders &m_favourites;
    std::function<bool()> m_otherShowActive;
    State m_state = State::Idle;
    QPointer<Form6> m_show;
    QPointer<Form7> m_options;
    QRect m_screen;
    SlideLookAhead m_lookAhead;
};
