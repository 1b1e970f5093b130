#pragma once

#include "BlackScreen.h"

// The full-screen view: one picture on black, covering the screen, with no border.
// A click anywhere, or Esc, asks for it to be closed.
class Form8 : public BlackScreen {
    Q_OBJECT

public:
    explicit Form8(QWidget *parent = nullptr);

    void Image1_Click();
    void Picture1_Click();

Q_SIGNALS:
    void unloadRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
