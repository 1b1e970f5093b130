#pragma once

struct Form1Controls;

// Fits the viewing panel's picture into the picture area and lays out the panel's
// scroll bars. Every layout returns the picture to the panel's top-left corner.
class PanelFitter {
public:
    explicit PanelFitter(Form1Controls &controls);

    // Lays out the scroll bars for the picture at its current size.
    void Form_Resize();
    // Shrinks an overflowing picture into the picture area, then lays out.
    void Form_Resize2();
    void HScroll1_Change();
    void VScroll1_Change();

    [[nodiscard]] float horizontalStep() const { return m_horizontalStep; }

private:
    Form1Controls &c;
    float m_horizontalStep = 0;
    float m_verticalStep = 0;
};
