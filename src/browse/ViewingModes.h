#pragma once

class PanelFitter;
class PanelFullScreen;
class PictureLoading;
class WorkingValues;
struct Form1Controls;

// Actual Size, Auto-Fit and Stretched, held as the check marks of their menu items,
// with the zoom commands and what a click on the picture or the panel does.
class ViewingModes {
public:
    // Each zoom step scales the width and height by 1 + or - this.
    static constexpr double kZoomStep = 0.3;
    // The largest side a zoomed picture may reach; a step beyond it is refused.
    static constexpr float kLargestSide = 1'000'000.f;

    ViewingModes(Form1Controls &controls, WorkingValues &values, PanelFitter &fitter,
                 PictureLoading &loading, PanelFullScreen &fullScreen);

    void Act1_Click();
    void auto1_Click();
    void St1_Click();
    void In1_Click();
    void Out1_Click();
    void normal1_Click();
    void Image1_Click();
    void Picture5_Click();
    // "Full Screen View...": in Auto-Fit what a click on the panel does, otherwise the
    // full-screen view.
    void fullscreen1_Click();

private:
    void setCursors(int code);
    void setZoomEnabled(bool enabled);
    void zoomBy(double factor);

    Form1Controls &c;
    WorkingValues &m_values;
    PanelFitter &m_fitter;
    PictureLoading &m_loading;
    PanelFullScreen &m_fullScreen;
};
