#pragma once

#include "Speed.h"

#include <QWidget>

class QLabel;
class QPushButton;

// "Adjust the Speed of Slide Show": one button per speed, and a pointing hand under
// the speed that was current when the dialog opened.
class Form3 : public QWidget {
    Q_OBJECT

public:
    // currentInterval is the slide interval of the moment, in milliseconds.
    explicit Form3(int currentInterval, QWidget *parent = nullptr);

    QLabel *Label1, *Label2;
    QPushButton *Command6, *Command1, *Command2, *Command3, *Command5;
    QLabel *Image1, *Image2, *Image3, *Image4, *Image5;

    // The button and the marker of a speed.
    [[nodiscard]] QPushButton *buttonOf(Speed speed) const;
    [[nodiscard]] QLabel *markerOf(Speed speed) const;

Q_SIGNALS:
    void speedChosen(Speed speed);

private:
    void Form_Load(int currentInterval);
};
