#pragma once

#include <QObject>

// Tells whether the keys a widget is handling come from a key held down (the
// keyboard's own repeat), and when that key is let go.
class HeldKeyWatch : public QObject {
    Q_OBJECT

public:
    explicit HeldKeyWatch(QObject &watched);

    // True from the first repeat of a held key until it is released.
    [[nodiscard]] bool isRepeating() const { return m_repeating; }
    // True while a key press is being handled.
    [[nodiscard]] bool isHandlingKey() const { return m_handlingKey; }

Q_SIGNALS:
    void released();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_repeating = false;
    bool m_handlingKey = false;
};
