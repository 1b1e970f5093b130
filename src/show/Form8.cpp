#include "Form8.h"

#include "shell/platform/PictureBox.h"
#include "shell/platform/PictureElement.h"

#include <QKeyEvent>

Form8::Form8(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), Picture1(new PictureBox(this)),
      Image1(new PictureElement(this))
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Quorvel"));
    setAttribute(Qt::WA_DeleteOnClose, false);
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

    connect(Image1, &PictureElement::Click, this, &Form8::Image1_Click);
    connect(Picture1, &PictureBox::Click, this, &Form8::Picture1_Click);
}

void Form8::Image1_Click()
{
    Q_EMIT unloadRequested();
}

void Form8::Picture1_Click()
{
    Q_EMIT unloadRequested();
}

void Form8::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT unloadRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form8::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Picture1->setGeometry(rect());
}
