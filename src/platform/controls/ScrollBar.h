#pragma once

#include <QScrollBar>

// A scroll bar whose change event fires once the value has settled: on an arrow or
// page click, a key press, when a dragged thumb is released, and when code sets a
// new value. Setting the value it already has raises nothing.
class ScrollBar : public QScrollBar {
    Q_OBJECT

public:
    explicit ScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

Q_SIGNALS:
    void Change();
};
