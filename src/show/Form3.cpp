#include "Form3.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {

// The dialog is laid out in twips, fifteen to the pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

struct SpeedControls {
    Speed speed;
    QPushButton *Form3::*button;
    const char *buttonName;
    int buttonLeft;
    QLabel *Form3::*marker;
    const char *markerName;
    int markerLeft;
};

constexpr SpeedControls kControls[] = {
    {Speed::Fastest, &Form3::Command6, "Command6", 960, &Form3::Image1, "Image1", 1080},
    {Speed::Fast, &Form3::Command1, "Command1", 1800, &Form3::Image2, "Image2", 2040},
    {Speed::Medium, &Form3::Command2, "Command2", 2640, &Form3::Image3, "Image3", 2880},
    {Speed::Slow, &Form3::Command3, "Command3", 3480, &Form3::Image4, "Image4", 3720},
    {Speed::Slowest, &Form3::Command5, "Command5", 4320, &Form3::Image5, "Image5", 4440},
};

QLabel *caption(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(px(left), px(top));
    label->adjustSize();
    return label;
}

} // namespace

Form3::Form3(int currentInterval, QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Adjust the Speed of Slide Show"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(px(5340), px(1380));

    Label1 = caption(this, "Label1", QStringLiteral("Speed:"), 120, 360);
    Label2 = caption(this, "Label2", QStringLiteral("Now is :"), 120, 840);
    const QPixmap hand(QStringLiteral(":/icons/pointing-hand-32.png"));
    for (const SpeedControls &row : kControls) {
        auto *button = new QPushButton(speedName(row.speed), this);
        button->setObjectName(QLatin1String(row.buttonName));
        button->setGeometry(px(row.buttonLeft), px(240), px(735), px(375));
        connect(button, &QPushButton::clicked, this,
                [this, speed = row.speed] { Q_EMIT speedChosen(speed); });
        this->*row.button = button;

        auto *marker = new QLabel(this);
        marker->setObjectName(QLatin1String(row.markerName));
        marker->setGeometry(px(row.markerLeft), px(720), px(360), px(360));
        marker->setPixmap(hand);
        marker->setScaledContents(true);
        marker->setToolTip(QStringLiteral("Now is"));
        marker->hide();
        this->*row.marker = marker;
    }
    Form_Load(currentInterval);
}

QPushButton *Form3::buttonOf(Speed speed) const
{
    return this->*kControls[static_cast<int>(speed)].button;
}

QLabel *Form3::markerOf(Speed speed) const
{
    return this->*kControls[static_cast<int>(speed)].marker;
}

void Form3::Form_Load(int currentInterval)
{
    if (const std::optional<Speed> current = speedOfInterval(currentInterval))
        markerOf(*current)->show();
}
