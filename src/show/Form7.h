#pragma once

#include <QWidget>

class MenuItem;
class QGroupBox;
class QMenuBar;
class QPushButton;

// "Quorvel - Option", the paused full-screen show's window: cancel the show, go on
// with it, or end the program; its menus copy the slide to a favourite folder and
// change the speed.
class Form7 : public QWidget {
    Q_OBJECT

public:
    explicit Form7(QWidget *parent = nullptr);

    QGroupBox *Frame1;
    QPushButton *Command1, *Command2, *Command3;
    MenuItem *copy1, *temp1, *line1, *h1, *line2, *f1, *line3, *pp1, *line4, *fu1;
    MenuItem *speed1, *fastest1, *line5, *fast1, *line6, *medium1, *line7, *slow1, *line8,
        *slowest1;

private:
    QMenuBar *m_menuBar;
};
