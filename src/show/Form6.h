#pragma once

#include "BlackScreen.h"

class QLabel;

// The full-screen slide show's window: the slide on black, with its path, size in
// pixels and file size in small green captions along the top edge. A click on the
// picture or the black area, or Esc, asks for a pause.
class Form6 : public BlackScreen {
    Q_OBJECT

public:
    explicit Form6(QWidget *parent = nullptr);

    // The path, the picture's size and the file size; Label4 keeps the file name unseen.
    QLabel *Label1, *Label2, *Label3, *Label4;

    void Image1_Click();
    void Picture1_Click();

Q_SIGNALS:
    void pauseRequested();
    // The window was closed from outside the show, by the window manager.
    void closedByUser();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};
