#include "BlackScreen.h"

#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureElement.h"

BlackScreen::BlackScreen(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), Picture1(new PictureBox(this)),
      Image1(new PictureElement(this))
{
    setWindowTitle(QStringLiteral("Quorvel"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPalette(black);
    Picture1->setAutoFillBackground(true);
    Picture1->setFrameStyle(QFrame::NoFrame);
    Image1->setObjectName(QStringLiteral("Image1"));
    Picture1->addElement(Image1);
}

void BlackScreen::cover(const QRect &screen)
{
    setGeometry(screen);
    Picture1->setGeometry(0, 0, screen.width(), screen.height());
    showFullScreen();
    raise();
    activateWindow();
}

void BlackScreen::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Picture1->setGeometry(rect());
}
