#pragma once

class QWidget;

// Keeps a window above all ordinary windows, or lets it take its ordinary place again.
void setTopmost(QWidget &window, bool topmost);
[[nodiscard]] bool isTopmost(const QWidget &window);
