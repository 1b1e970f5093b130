#include "ViewingModes.h"

#include "PanelFitter.h"
#include "PanelFullScreen.h"
#include "PictureLoading.h"
#include "picture/FitArithmetic.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"

#include <QApplication>

ViewingModes::ViewingModes(Form1Controls &controls, WorkingValues &values, PanelFitter &fitter,
                           PictureLoading &loading, PanelFullScreen &fullScreen)
    : c(controls), m_values(values), m_fitter(fitter), m_loading(loading), m_fullScreen(fullScreen)
{
}

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
    m_loading.File1_Click();
}

void ViewingModes::auto1_Click()
{
    setCursors(0);
    setZoomEnabled(false);
    m_values.setViewingMode(ViewingMode::AutoFit);
    c.Label9->show();
    c.Label10->hide();
    m_loading.File1_Click();
    // With no file selected the reload hid the picture and loaded nothing.
    c.Image1->setVisible(true);
    m_fitter.Form_Resize();
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
    m_fitter.Form_Resize();
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
    m_fitter.Form_Resize();
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
    m_loading.File1_Click();
}

void ViewingModes::Image1_Click()
{
    switch (m_values.viewingMode()) {
    case ViewingMode::ActualSize:
        Out1_Click();
        break;
    case ViewingMode::AutoFit:
        m_fullScreen.File1_DblClick();
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
        m_fullScreen.File1_DblClick();
        break;
    case ViewingMode::Stretched:
        break;
    }
}

void ViewingModes::fullscreen1_Click()
{
    if (m_values.viewingMode() == ViewingMode::AutoFit)
        Picture5_Click();
    else
        m_fullScreen.File1_DblClick();
}
