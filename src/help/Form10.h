#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;

// "Tips + help ": how the viewing panel and the full-screen view are used, with a
// picture of each. Nothing in it reacts; it closes with its close box.
class Form10 : public QWidget {
    Q_OBJECT

public:
    // The tips in reading order: four about the viewing panel, three about full screen.
    [[nodiscard]] static QStringList tips();

    explicit Form10(QWidget *parent = nullptr);

    QGroupBox *Frame1, *Frame2, *Frame3;
    QList<QLabel *> tipLabels;
    QLabel *Label8, *Label9; // the captions of the pictures
    QLabel *Picture1, *Picture2;
};
