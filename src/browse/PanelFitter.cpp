#include "PanelFitter.h"

#include "picture/FitArithmetic.h"
#include "platform/controls/Form1Controls.h"

PanelFitter::PanelFitter(Form1Controls &controls) : c(controls) {}

void PanelFitter::Form_Resize()
{
    PictureElement &image = *c.Image1;
    const int innerWidth = c.Picture5->innerWidth();
    const int innerHeight = c.Picture5->innerHeight();
    // Both directions divide by the vertical bar's travel; the two bars share a range.
    const int maximum = c.VScroll1->maximum();

    m_horizontalStep = scrollStep(image.width(), innerWidth, maximum);
    c.HScroll1->setVisible(overflows(image.width(), innerWidth));
    image.setVisible(true);

    m_verticalStep = scrollStep(image.height(), innerHeight, maximum);
    c.VScroll1->setVisible(overflows(image.height(), innerHeight));
    image.setVisible(true);

    c.VScroll1->setValue(0);
    c.HScroll1->setValue(0);
}

void PanelFitter::Form_Resize2()
{
    PictureElement &image = *c.Image1;
    image.setStretch(false);
    const FitResult fit = fitIntoPictureArea({image.width(), image.height()},
                                             c.Picture5->innerWidth(), c.Picture5->innerHeight());
    if (fit.stretched) {
        image.setHeight(fit.size.height);
        image.setWidth(fit.size.width);
        image.setStretch(true);
    }
    Form_Resize();
}

void PanelFitter::HScroll1_Change()
{
    c.Image1->setLeft(scrolledOffset(m_horizontalStep, c.HScroll1->value()));
}

void PanelFitter::VScroll1_Change()
{
    c.Image1->setTop(scrolledOffset(m_verticalStep, c.VScroll1->value()));
}
