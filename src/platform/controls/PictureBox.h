#pragma once

#include "picture/Picture.h"

#include <QCursor>
#include <QFrame>
#include <QList>

class DecodePool;
class FineRasters;
class PictureElement;

// A framed drawing surface that can hold a picture of its own and hosts picture
// elements. A click on a visible, enabled element is that element's click; a click
// anywhere else inside the box is the box's own.
class PictureBox : public QFrame {
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    // A large picture drawn at a size whose raster is not made yet is then drawn
    // coarse at once and sharp once pool has made that raster; without a pool it is
    // made in the paint.
    void setDecodePool(DecodePool &pool);

    [[nodiscard]] PictureRef picture() const { return m_picture; }
    void setPicture(PictureRef picture);

    // The drawable area inside the border, in pixels.
    [[nodiscard]] int innerWidth() const { return contentsRect().width(); }
    [[nodiscard]] int innerHeight() const { return contentsRect().height(); }

    // Elements are drawn in the order they were added; the last is on top.
    void addElement(PictureElement *element);

    // 0 is the system arrow, 99 the box's own cursor.
    [[nodiscard]] int cursorCode() const { return m_cursorCode; }
    void setCursorCode(int code);
    void setOwnCursor(const QCursor &cursor);
    void setElementCursor(PictureElement *element, const QCursor &cursor);

    // The element under a point of the box, or null for the bare box.
    [[nodiscard]] PictureElement *elementAt(QPoint point) const;

Q_SIGNALS:
    void Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void updateCursor(QPoint point);

    PictureRef m_picture;
    QList<PictureElement *> m_elements;
    QList<QCursor> m_elementCursors;
    QCursor m_ownCursor;
    int m_cursorCode = 0;
    bool m_pressed = false;
    FineRasters *m_fine = nullptr;
};
