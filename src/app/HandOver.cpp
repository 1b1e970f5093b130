#include "HandOver.h"

#include "Form1.h"
#include "PathArgument.h"
#include "browse/FolderBrowser.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/Volumes.h"
#include "show/Form8.h"
#include "show/FullScreenSlideShow.h"
#include "show/FullScreenView.h"
#include "show/WindowSlideShow.h"
#include "tray/TrayIcon.h"

#include <QApplication>
#include <QThread>

namespace {

// How often a waiting path looks again whether the user has answered.
constexpr int kRetryMs = 100;

} // namespace

HandOver::HandOver(Form1 &hub, const Services &services)
    : m_hub(hub), c(hub.controls()), m_services(services)
{
    m_retry.setSingleShot(true);
    QObject::connect(&m_retry, &QTimer::timeout, &hub, [this] { openWhenFree(); });
}

void HandOver::PathHandedOver(const QString &path)
{
    m_waiting = path;
    // Opened from the event loop, never inside whatever handler let the request in.
    if (!m_retry.isActive())
        m_retry.start(0);
    // The box the user has to answer first comes forward, so that it is seen.
    if (QWidget *box = QApplication::activeModalWidget()) {
        box->raise();
        box->activateWindow();
    }
}

bool HandOver::isUserAnswering()
{
    // A message box runs an event loop of its own inside the handler that asked.
    return QApplication::activeModalWidget() || QThread::currentThread()->loopLevel() > 1;
}

void HandOver::openWhenFree()
{
    if (m_waiting.isEmpty())
        return;
    if (isUserAnswering()) {
        m_retry.start(kRetryMs);
        return;
    }
    const QString path = m_waiting;
    m_waiting.clear();
    endWhatCoversTheWindow();
    bringForward();
    open(path);
}

void HandOver::endWhatCoversTheWindow()
{
    if (m_hub.windowShow().state() != WindowSlideShow::State::Idle)
        m_hub.windowShow().stop1_Click();
    if (m_hub.fullScreenShow().state() != FullScreenSlideShow::State::Idle)
        m_hub.fullScreenShow().Command1_Click();
    if (Form8 *view = m_hub.fullScreen().form())
        view->Picture1_Click();
}

void HandOver::bringForward()
{
    m_hub.trayIcon().restore();
    m_hub.setWindowState(m_hub.windowState() & ~Qt::WindowMinimized);
    m_hub.show();
    m_hub.raise();
    m_hub.activateWindow();
}

void HandOver::open(const QString &path)
{
    const QString before = c.Dir1->path();
    PathArgument argument(m_hub, m_services, path);
    if (!argument.openFolder())
        return;
    // The open folder raises no change when opened again; it is read again all the same,
    // for a picture saved there since.
    if (c.Dir1->path() == before)
        m_hub.browser().Dir1_Change();
    c.Drive1->setDrive(m_services.volumes.volumeOf(c.Dir1->path()));
    argument.showPicture();
}
