#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// "About...": the program's name and purpose, where to find it, and the warning.
// Nothing in it reacts; it closes with its close box.
class Form4 : public QWidget {
    Q_OBJECT

public:
    // The author's name is short enough for the title line's one line in its bold font.
    static inline const QString kTitleLine = QStringLiteral("Quorvel 1.36 By Ana Ilić");

    explicit Form4(QWidget *parent = nullptr);

    QLabel *Image1;
    QLabel *Label1, *Label2, *Label4, *Label5, *Label6;
    QLineEdit *Text1, *Text2;

protected:
    void paintEvent(QPaintEvent *event) override;
};
