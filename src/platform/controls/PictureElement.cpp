#include "PictureElement.h"

PictureElement::PictureElement(QObject *parent) : QObject(parent) {}

void PictureElement::setPicture(PictureRef picture)
{
    m_picture = std::move(picture);
    if (!m_stretch)
        takeNaturalSize();
    Q_EMIT appearanceChanged();
}

void PictureElement::setStretch(bool on)
{
    m_stretch = on;
    if (!m_stretch)
        takeNaturalSize();
    Q_EMIT appearanceChanged();
}

void PictureElement::takeNaturalSize()
{
    const QSize natural = m_picture ? m_picture->naturalSize() : QSize(0, 0);
    m_width = static_cast<float>(natural.width());
    m_height = static_cast<float>(natural.height());
}

void PictureElement::setLeft(float left)
{
    m_left = left;
    Q_EMIT appearanceChanged();
}

void PictureElement::setTop(float top)
{
    m_top = top;
    Q_EMIT appearanceChanged();
}

void PictureElement::setWidth(float width)
{
    m_width = width;
    Q_EMIT appearanceChanged();
}

void PictureElement::setHeight(float height)
{
    m_height = height;
    Q_EMIT appearanceChanged();
}

void PictureElement::setVisible(bool visible)
{
    m_visible = visible;
    Q_EMIT appearanceChanged();
}

void PictureElement::setCursorCode(int code)
{
    m_cursorCode = code;
    Q_EMIT appearanceChanged();
}
