#include "PictureBox.h"

#include "FineRasters.h"
#include "PictureElement.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget *parent) : QFrame(parent)
{
    setMouseTracking(true);
}

void PictureBox::setDecodePool(DecodePool &pool)
{
    delete m_fine;
    m_fine = new FineRasters(*this, pool);
}

void PictureBox::setPicture(PictureRef picture)
{
    m_picture = std::move(picture);
    update();
}

void PictureBox::addElement(PictureElement *element)
{
    m_elements.append(element);
    m_elementCursors.append(QCursor());
    connect(element, &PictureElement::appearanceChanged, this, [this] {
        update();
        updateCursor(mapFromGlobal(QCursor::pos()));
    });
}

void PictureBox::setCursorCode(int code)
{
    m_cursorCode = code;
    updateCursor(mapFromGlobal(QCursor::pos()));
}

void PictureBox::setOwnCursor(const QCursor &cursor)
{
    m_ownCursor = cursor;
}

void PictureBox::setElementCursor(PictureElement *element, const QCursor &cursor)
{
    const qsizetype index = m_elements.indexOf(element);
    if (index >= 0)
        m_elementCursors[index] = cursor;
}

PictureElement *PictureBox::elementAt(QPoint point) const
{
    if (!contentsRect().contains(point))
        return nullptr;
    const QPointF inner = QPointF(point - contentsRect().topLeft()) + QPointF(0.5, 0.5);
    for (qsizetype i = m_elements.size() - 1; i >= 0; --i) {
        PictureElement *element = m_elements.at(i);
        if (element->isVisible() && element->rect().contains(inner))
            return element;
    }
    return nullptr;
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect inner = contentsRect();
    painter.setClipRect(inner.intersected(event->rect()));
    if (m_picture)
        m_picture->draw(painter, QRectF(inner.topLeft(), QSizeF(m_picture->naturalSize())));
    painter.translate(inner.topLeft());
    for (const PictureElement *element : std::as_const(m_elements)) {
        if (!element->isVisible() || !element->picture())
            continue;
        const QRectF area = element->rect();
        if (area.isEmpty())
            continue;
        painter.save();
        painter.setClipRect(area, Qt::IntersectClip);
        const QRectF target =
            element->stretch() ? area
                               : QRectF(area.topLeft(), QSizeF(element->picture()->naturalSize()));
        if (!m_fine || !m_fine->drawCoarse(painter, target, element->picture()))
            element->picture()->draw(painter, target);
        painter.restore();
    }
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QFrame::mousePressEvent(event);
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double-click arrives as a click and then this second press, which is the
    // double-click itself: it must not make its release a second click.
    m_pressed = false;
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    const bool wasPressed = m_pressed;
    m_pressed = false;
    QFrame::mouseReleaseEvent(event);
    if (!wasPressed || event->button() != Qt::LeftButton || !rect().contains(event->pos()))
        return;
    PictureElement *element = elementAt(event->pos());
    if (element && element->isEnabled())
        Q_EMIT element->Click();
    else
        Q_EMIT Click();
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    updateCursor(event->pos());
    QFrame::mouseMoveEvent(event);
}

void PictureBox::updateCursor(QPoint point)
{
    PictureElement *element = elementAt(point);
    if (element) {
        const qsizetype index = m_elements.indexOf(element);
        setCursor(element->cursorCode() == 99 ? m_elementCursors.at(index) : QCursor());
    } else {
        setCursor(m_cursorCode == 99 ? m_ownCursor : QCursor());
    }
}
