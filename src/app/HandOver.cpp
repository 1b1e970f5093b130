#include "HandOver.h"

#include "PathArgument.h"
#include "browse/FolderBrowser.h"
#include "platform/controls/Form1Controls.h"
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

HandOver::HandOver(QWidget &window, Form1Controls &controls, WorkingValues &values,
                   const Services &services, FolderBrowser &browser, WindowSlideShow &windowShow,
                   FullScreenSlideShow &fullScreenShow, FullScreenView &fullScreen,
                   TrayIcon &trayIcon)
    : m_window(window), c(controls), m_values(values), m_services(services), m_browser(browser),
      m_windowShow(windowShow), m_fullScreenShow(fullScreenShow), m_fullScreen(fullScreen),
      m_trayIcon(trayIcon)
{
    m_retry.setSingleShot(true);
    QObject::connect(&m_retry, &QTimer::timeout, &window, [this] { openWhenFree(); });
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
    if (m_windowShow.state() != WindowSlideShow::State::Idle)
        m_windowShow.stop1_Click();
    if (m_fullScreenShow.state() != FullScreenSlideShow::State::Idle)
        m_fullScreenShow.Command1_Click();
    if (Form8 *view = m_fullScreen.form())
        view->Picture1_Click();
}

void HandOver::bringForward()
{
    m_trayIcon.restore();
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void HandOver::open(const QString &path)
{
    const QString before = c.Dir1->path();
    PathArgument argument(c, m_values, m_services, path);
    if (!argument.openFolder())
        return;
    // The open folder raises no change when opened again; it is read again all the same,
    // for a picture saved there since.
    if (c.Dir1->path() == before)
        m_browser.Dir1_Change();
    c.Drive1->setDrive(m_services.volumes.volumeOf(c.Dir1->path()));
    argument.showPicture();
}
