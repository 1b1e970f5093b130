#pragma once

#include "picture/Picture.h"

#include <QObject>
#include <QRectF>

// A lightweight picture control that lives inside a PictureBox. Its geometry is
// kept in single precision, in the host's pixels, and may be far larger than any
// widget could be: the host draws only what is visible.
//
// With stretching off the element takes the natural size of its picture; with
// stretching on it keeps its size and the picture is scaled to fill it.
class PictureElement : public QObject {
    Q_OBJECT

public:
    explicit PictureElement(QObject *parent = nullptr);

    [[nodiscard]] PictureRef picture() const { return m_picture; }
    void setPicture(PictureRef picture);

    [[nodiscard]] bool stretch() const { return m_stretch; }
    void setStretch(bool on);

    [[nodiscard]] float left() const { return m_left; }
    [[nodiscard]] float top() const { return m_top; }
    [[nodiscard]] float width() const { return m_width; }
    [[nodiscard]] float height() const { return m_height; }
    void setLeft(float left);
    void setTop(float top);
    void setWidth(float width);
    void setHeight(float height);
    [[nodiscard]] QRectF rect() const { return {m_left, m_top, m_width, m_height}; }

    [[nodiscard]] bool isVisible() const { return m_visible; }
    void setVisible(bool visible);
    [[nodiscard]] bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    // 0 is the system arrow, 99 the element's own cursor.
    [[nodiscard]] int cursorCode() const { return m_cursorCode; }
    void setCursorCode(int code);

Q_SIGNALS:
    void Click();
    // The host repaints on this; it carries no behaviour of its own.
    void appearanceChanged();

private:
    void takeNaturalSize();

    PictureRef m_picture;
    bool m_stretch = false;
    float m_left = 0;
    float m_top = 0;
    float m_width = 0;
    float m_height = 0;
    bool m_visible = true;
    bool m_enabled = true;
    int m_cursorCode = 0;
};
