#pragma once

#include <QPointer>

class FolderBrowser;
class Form2;
class QWidget;
struct Form1Controls;
struct Services;

// The folder the browser opens at start-up: its dialog, and the jump to it now.
class AutoGoFolder {
public:
    // The dialog belongs to window.
    AutoGoFolder(QWidget &window, Form1Controls &controls, const Services &services,
                 FolderBrowser &browser);
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
    QWidget &m_window;
    Form1Controls &c;
    const Services &m_services;
    FolderBrowser &m_browser;
    QPointer<Form2> m_form2;
};
