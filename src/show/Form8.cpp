#include "Form8.h"

#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureElement.h"

#include <QKeyEvent>

Form8::Form8(QWidget *parent) : BlackScreen(parent)
{
    setObjectName(QStringLiteral("Form8"));
    setAttribute(Qt::WA_DeleteOnClose, false);
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
