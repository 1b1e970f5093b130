#pragma once

#include "ScreenAhead.h"

#include <QPointer>

class Form1;
class Form8;
struct Form1Controls;
struct Services;
class WorkingValues;

// Shows the panel's picture alone on a black window that covers the screen the
// main window is on: shrunk to fit if larger, centred either way.
class FullScreenView {
public:
    FullScreenView(Form1 &hub, const Services &services);
    ~FullScreenView();

    void File1_DblClick();
    void fullscreen1_Click();

    // The panel now shows picture, read from path: the view's raster is made ahead.
    void pictureShown(const QString &path, const PictureRef &picture);
    [[nodiscard]] ScreenAhead &screenAhead() { return m_ahead; }

    // The open view, or null.
    [[nodiscard]] Form8 *form() const;

private:
    void unload();

    Form1 &m_hub;
    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    QPointer<Form8> m_form;
    ScreenAhead m_ahead;
};
