#include "WindowStacking.h"

#include <QWidget>
#include <QWindow>

void setTopmost(QWidget &window, bool topmost)
{
    // The flag is set on the native window, so that a shown window is not hidden and
    // shown again as QWidget::setWindowFlags would do.
    window.winId();
    if (QWindow *handle = window.windowHandle())
        handle->setFlag(Qt::WindowStaysOnTopHint, topmost);
}

bool isTopmost(const QWidget &window)
{
    const QWindow *handle = window.windowHandle();
    return handle && handle->flags().testFlag(Qt::WindowStaysOnTopHint);
}
