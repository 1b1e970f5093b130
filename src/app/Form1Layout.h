#pragma once

#include "platform/controls/Form1Controls.h"

class QWidget;
struct Services;

// Window geometry is designed in twips; 15 twips make one pixel.
[[nodiscard]] constexpr int twipsToPixels(int twips)
{
    return (twips + 7) / 15;
}

// The client area below the menu bar.
inline constexpr int kClientWidth = 632;
inline constexpr int kClientHeight = 409;

// Creates the main window's controls on client at their fixed places, holding the
// start folder, without raising any event. The menus are built separately.
[[nodiscard]] Form1Controls buildForm1Controls(QWidget &client, QObject &owner,
                                               const Services &services,
                                               const QString &startFolder);
