#pragma once

#include <QWidget>

class PictureBox;
class PictureElement;

// The full-screen view: one picture on black, covering the screen, with no border.
// A click anywhere, or Esc, asks for it to be closed.
class Form8 : public QWidget {
    Q_OBJECT

public:
    explicit Form8(QWidget *parent = nullptr);

    PictureBox *Picture1;
    PictureElement *Image1;

    void Image1_Click();
    void Picture1_Click();

Q_SIGNALS:
    void unloadRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
};
