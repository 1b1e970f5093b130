#pragma once

class Form1;
struct Form1Controls;
struct Services;

// The start of a run and its end by the Exit command.
class Startup {
public:
    Startup(Form1 &hub, const Services &services);

    // Runs the start-up steps in order; false when another copy already runs and
    // this one must end without showing a window.
    [[nodiscard]] bool Form_Load();
    void exitmenu_Click();

private:
    void jumpToStoredFolder();

    Form1 &m_hub;
    Form1Controls &c;
    const Services &m_services;
};
