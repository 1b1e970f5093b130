#include "Form6.h"

#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureElement.h"

#include <QKeyEvent>
#include <QLabel>

namespace {

// Laid out in twips, fifteen to the pixel.
QRect twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

QLabel *greenCaption(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    // Arial's metrics, from its metric-compatible stand-in.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(8.25);
    font.setBold(true);
    label->setFont(font);
    QPalette green = label->palette();
    green.setColor(QPalette::WindowText, QColor(0, 255, 0));
    green.setColor(QPalette::Window, Qt::black);
    label->setPalette(green);
    label->setAutoFillBackground(true);
    // A click on a caption is neither the picture's nor the black area's.
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

} // namespace

Form6::Form6(QWidget *parent) : BlackScreen(parent)
{
    setObjectName(QStringLiteral("Form6"));
    Label1 = greenCaption(Picture1, "Label1", twips(0, 0, 5655, 255));
    Label2 = greenCaption(Picture1, "Label2", twips(5520, 0, 1335, 255));
    Label3 = greenCaption(Picture1, "Label3", twips(6840, 0, 1215, 255));
    Label4 = greenCaption(Picture1, "Label4", twips(1080, 1560, 1095, 375));
    Label4->setText(QStringLiteral("Label4"));
    Label4->hide();
    connect(Image1, &PictureElement::Click, this, &Form6::Image1_Click);
    connect(Picture1, &PictureBox::Click, this, &Form6::Picture1_Click);
}

void Form6::Image1_Click()
{
    Q_EMIT pauseRequested();
}

void Form6::Picture1_Click()
{
    Q_EMIT pauseRequested();
}

void Form6::keyPressEvent(QKeyEvent *event)
{
    // A black window with no border needs a way back to the user.
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT pauseRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form6::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    Q_EMIT closedByUser();
}
