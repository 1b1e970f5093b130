#pragma once

#include "ScreenAhead.h"
#include "browse/PanelFullScreen.h"

#include <QPointer>

class Form8;
class QWidget;
struct Form1Controls;
struct Services;

// Shows the panel's picture alone on a black window that covers the screen the
// main window is on: shrunk to fit if larger, centred either way.
class FullScreenView final : public PanelFullScreen {
public:
    // The view covers the screen that window is on.
    FullScreenView(const QWidget &window, Form1Controls &controls, const Services &services);
    ~FullScreenView() override;

    void File1_DblClick() override;

    // The view's raster for the panel's picture is made ahead.
    void pictureShown(const QString &path, const PictureRef &picture) override;
    [[nodiscard]] ScreenAhead &screenAhead() { return m_ahead; }

    // The open view, or null.
    [[nodiscard]] Form8 *form() const;

private:
    void unload();

    const QWidget &m_window;
    Form1Controls &c;
    const Services &m_services;
    QPointer<Form8> m_form;
    ScreenAhead m_ahead;
};
