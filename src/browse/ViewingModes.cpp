#include "ViewingModes.h"

#include "PanelFitter.h"
#include "PictureLoading.h"
#include "app/Form1.h"
#include "picture/FitArithmetic.h"
#include "platform/controls/WorkingValues.h"
#include "show/FullScreenView.h"

#include <QApplication>

ViewingModes::ViewingModes(Form1 &hub) : m_hub(hub), c(hub.controls()), m_values(hub.values()) {}

void ViewingModes::setCursors(int code)
{
    c.Image1->setCursorCode(code);
    c.Picture5->setCursorCode(code);
}

void ViewingModes::setZoomEnabled(bool enabled)
{
    c.menus.normal1->setEnabled(enabled);
    c.menus.Out1->setEnabled(enabled);
    c.menus.In1->setEnabled(enabled);
}

void ViewingModes::Act1_Click()
{
    setCursors(99);
    setZoomEnabled(true);
    m_values.setViewingMode(ViewingMode::ActualSize);
    c.Label9->show();
    c.Label10->hide();
    c.Image1->setStretch(false);
    m_hub.loading().File1_Click();
}

void ViewingModes::auto1_Click()
{
    setCursors(0);
    setZoomEnabled(false);
    m_values.setViewingMode(ViewingMode::AutoFit);
    c.Label9->show();
    c.Label10->hide();
    m_hub.loading().File1_Click();
    // With no file selected the reload hid the picture and loaded nothing.
    c.Image1->setVisible(true);
    m_hub.fitter().Form_Resize();
}

void ViewingModes::St1_Click()
{
    setCursors(0);
    setZoomEnabled(false);
    m_values.setViewingMode(ViewingMode::Stretched);
    c.Label10->show();
    c.Label9->hide();
    c.Image1->setWidth(kPictureArea.width);
    c.Image1->setHeight(kPictureArea.height);
    m_hub.fitter().Form_Resize();
    c.Image1->setStretch(true);
}

void ViewingModes::zoomBy(double factor)
{
    const auto width = static_cast<float>(c.Image1->width() * factor + c.Image1->width());
    const auto height = static_cast<float>(c.Image1->height() * factor + c.Image1->height());
    if (width > kLargestSide || height > kLargestSide) {
        QApplication::beep();
        return;
    }
    c.Image1->setVisible(false);
    c.Image1->setWidth(width);
    c.Image1->setHeight(height);
    c.Image1->setStretch(true);
    m_hub.fitter().Form_Resize();
    c.Image1->setVisible(true);
}

void ViewingModes::In1_Click()
{
    zoomBy(kZoomStep);
}

void ViewingModes::Out1_Click()
{
    zoomBy(-kZoomStep);
}

void ViewingModes::normal1_Click()
{
    m_hub.loading().File1_Click();
}

void ViewingModes::Image1_Click()
{
    switch (m_values.viewingMode()) {
    case ViewingMode::ActualSize:
        Out1_Click();
        break;
    case ViewingMode::AutoFit:
        m_hub.fullScreen().File1_DblClick();
        break;
    case ViewingMode::Stretched:
        break;
    }
}

void ViewingModes::Picture5_Click()
{
    switch (m_values.viewingMode()) {
    case ViewingMode::ActualSize:
        In1_Click();
        break;
    case ViewingMode::AutoFit:
        m_hub.fullScreen().File1_DblClick();
        break;
    case ViewingMode::Stretched:
        break;
    }
}
