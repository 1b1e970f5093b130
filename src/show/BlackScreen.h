#pragma once

#include <QWidget>

class PictureBox;
class PictureElement;

// A borderless black window for showing a picture over a whole screen: a black
// picture area that fills the window and the picture element inside it.
class BlackScreen : public QWidget {
    Q_OBJECT

public:
    explicit BlackScreen(QWidget *parent = nullptr);

    PictureBox *Picture1;
    PictureElement *Image1;

    // Covers screen with the window and its picture area.
    void cover(const QRect &screen);

protected:
    void resizeEvent(QResizeEvent *event) override;
};
