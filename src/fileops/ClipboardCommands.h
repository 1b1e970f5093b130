#pragma once

#include <QString>

class FolderBrowser;
class PanelFitter;
class WorkingValues;
struct Form1Controls;
struct Services;

// Exchanges the panel's picture with the desktop's clipboard: the picture shown
// goes out at its natural size, and a picture from the clipboard comes in as an
// untitled picture that belongs to no file.
class ClipboardCommands {
public:
    static inline const QString kPleaseSelectAFile = QStringLiteral("Please Select A File");
    static inline const QString kInvalidFormat = QStringLiteral("Invalid Clipboard Format!");
    static inline const QString kNothingToPaste =
        QStringLiteral("No Image/Picture is Found in ClipBoard");
    static inline const QString kUntitled = QStringLiteral("Untitled");

    ClipboardCommands(Form1Controls &controls, WorkingValues &values, const Services &services,
                      FolderBrowser &browser, PanelFitter &fitter);

    // "ClipBoard..": the panel's picture to the clipboard.
    void clip1_Click();
    // "Paste To View": the clipboard's picture into the panel.
    void view2_Click();

private:
    void showMessage(const QString &text, int style);

    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    FolderBrowser &m_browser;
    PanelFitter &m_fitter;
};
