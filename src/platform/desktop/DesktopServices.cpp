#include "DesktopServices.h"

#include "HandOverChannel.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLockFile>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QWidget>
#include <gio/gio.h>
#include <unistd.h>

QRect QtScreen::geometryNear(const QWidget *window) const
{
    const QScreen *screen = window ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

SystemTray::SystemTray() = default;
SystemTray::~SystemTray() = default;

bool SystemTray::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool SystemTray::add(const QIcon &icon, const QString &tip)
{
    if (!isAvailable())
        return false;
    if (!m_icon) {
        m_icon = std::make_unique<QSystemTrayIcon>();
        // A left press is a Trigger both on an XEmbed tray and through a status
        // notifier's Activate; a status notifier's SecondaryActivate is a MiddleClick.
        connect(m_icon.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    switch (reason) {
                    case QSystemTrayIcon::Trigger:
                        Q_EMIT MouseEvent(TrayMouse::LeftButtonDown);
                        break;
                    case QSystemTrayIcon::DoubleClick:
                        Q_EMIT MouseEvent(TrayMouse::LeftDoubleClick);
                        break;
                    case QSystemTrayIcon::Context:
                        Q_EMIT MouseEvent(TrayMouse::RightButton);
                        break;
                    case QSystemTrayIcon::MiddleClick:
                        Q_EMIT MouseEvent(TrayMouse::MiddleButton);
                        break;
                    default:
                        Q_EMIT MouseEvent(TrayMouse::Other);
                        break;
                    }
                });
    }
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->show();
    return m_icon->isVisible();
}

void SystemTray::remove()
{
    if (m_icon)
        m_icon->hide();
}

RunningApplication::RunningApplication() = default;
RunningApplication::~RunningApplication() = default;

namespace {

// A file of this user's copies: in the user's runtime folder, or else in the shared
// temporary folder, which is everybody's, under a name of the user's own.
QString runtimeFile(const QString &suffix)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty())
        return folder + QStringLiteral("/quorvel.") + suffix;
    return QDir::tempPath() + QStringLiteral("/quorvel-%1.").arg(::getuid()) + suffix;
}

} // namespace

QString RunningApplication::lockFilePath()
{
    return runtimeFile(QStringLiteral("lock"));
}

QString RunningApplication::handOverSocketPath()
{
    return runtimeFile(QStringLiteral("socket"));
}

bool RunningApplication::isAnotherInstanceRunning()
{
    if (m_asked)
        return m_another;
    m_asked = true;
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // No age limit: a lock is stale exactly when the process that took it is gone,
    // which QLockFile checks by its process id.
    m_lock->setStaleLockTime(0);
    m_another = !m_lock->tryLock(0);
    return m_another;
}

bool RunningApplication::handOver(const QString &path)
{
    return HandOverChannel::send(handOverSocketPath(), path, kHandOverTimeoutMs);
}

void RunningApplication::acceptHandOvers()
{
    // Only the copy that holds the lock may take the socket over.
    if (m_channel || !m_lock || !m_lock->isLocked())
        return;
    m_channel = std::make_unique<HandOverChannel>(handOverSocketPath());
    connect(m_channel.get(), &HandOverChannel::PathReceived, this,
            &ApplicationServices::PathHandedOver);
    // A copy on its way out takes nothing more, and its socket goes while the toolkit
    // it needs is still there.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { m_channel.reset(); });
    // Without the socket, later starts say that this copy runs, as they always did.
    (void)m_channel->listen();
}

void RunningApplication::quit()
{
    QApplication::exit(0);
}

QString RunningApplication::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}
