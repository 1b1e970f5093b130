#pragma once

#include <QString>
#include <QTimer>

class Form1;
struct Form1Controls;
struct Services;

// A picture or folder that a later start of the program handed to this copy. It opens
// as the start would have opened it, and the window comes to the front, out of the tray
// if need be. A slide show or the full-screen view ends first, as its own Cancel or a
// click on it would; a message box, or anything else the user is answering, is answered
// first, and of the paths handed over meanwhile the last one opens.
class HandOver {
public:
    HandOver(Form1 &hub, const Services &services);

    void PathHandedOver(const QString &path);

private:
    void openWhenFree();
    [[nodiscard]] static bool isUserAnswering();
    void endWhatCoversTheWindow();
    void bringForward();
    void open(const QString &path);

    Form1 &m_hub;
    Form1Controls &c;
    const Services &m_services;
    QString m_waiting;
    QTimer m_retry;
};
