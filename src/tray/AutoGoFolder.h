#pragma once

#include <QPointer>

class Form1;
class Form2;
struct Form1Controls;
struct Services;

// The folder the browser opens at start-up: its dialog, and the jump to it now.
class AutoGoFolder {
public:
    AutoGoFolder(Form1 &hub, const Services &services);
    ~AutoGoFolder();
    AutoGoFolder(const AutoGoFolder &) = delete;
    AutoGoFolder &operator=(const AutoGoFolder &) = delete;

    // Go to "Folder": opens the dialog.
    void Jump1_Click();
    // Go to "Folder" Now: the browser opens the stored folder.
    void goto1_Click();

    // The open dialog, or null.
    [[nodiscard]] Form2 *dialog() const;

private:
    Form1 &m_hub;
    Form1Controls &c;
    const Services &m_services;
    QPointer<Form2> m_form2;
};
