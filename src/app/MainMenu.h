#pragma once

#include "platform/controls/Form1Controls.h"

class QMenuBar;

// Builds the whole menu tree into the bar; the items belong to owner.
[[nodiscard]] Form1Menus buildMainMenu(QMenuBar &bar, QObject &owner);
