#include "HeldKeyWatch.h"

#include <QKeyEvent>

HeldKeyWatch::HeldKeyWatch(QObject &watched) : QObject(&watched)
{
    watched.installEventFilter(this);
}

bool HeldKeyWatch::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        m_repeating = static_cast<QKeyEvent *>(event)->isAutoRepeat();
        // Over once the event loop runs again, which is after this press.
        m_handlingKey = true;
        QMetaObject::invokeMethod(
            this, [this] { m_handlingKey = false; }, Qt::QueuedConnection);
        break;
    case QEvent::KeyRelease:
        // A held key repeats as release and press pairs, both marked as repeats.
        if (static_cast<QKeyEvent *>(event)->isAutoRepeat() || !m_repeating)
            break;
        m_repeating = false;
        Q_EMIT released();
        break;
    case QEvent::FocusOut:
        // The release goes elsewhere now.
        if (m_repeating) {
            m_repeating = false;
            Q_EMIT released();
        }
        break;
    default:
        break;
    }
    return false;
}
