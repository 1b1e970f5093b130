#pragma once

#include <QObject>
#include <QTimer>

// A timer that ticks only while it is enabled and its interval is above zero.
// Changing the interval of a running timer starts a new full interval.
class IntervalTimer : public QObject {
    Q_OBJECT

public:
    explicit IntervalTimer(QObject *parent = nullptr);

    [[nodiscard]] bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    [[nodiscard]] int interval() const { return m_interval; }
    void setInterval(int milliseconds);
    [[nodiscard]] bool isTicking() const { return m_timer.isActive(); }

Q_SIGNALS:
    void Tick();

private:
    void apply();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval = 0;
};
