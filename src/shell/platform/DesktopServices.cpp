#include "DesktopServices.h"

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

bool SystemTray::isShown() const
{
    return m_icon && m_icon->isVisible();
}

RunningApplication::RunningApplication() = default;
RunningApplication::~RunningApplication() = default;

QString RunningApplication::lockFilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty())
        return folder + QStringLiteral("/quorvel.lock");
    // The shared temporary folder is everybody's: each user needs a lock of their own.
    return QDir::tempPath() + QStringLiteral("/quorvel-%1.lock").arg(::getuid());
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

void RunningApplication::quit()
{
    QApplication::exit(0);
}

QString RunningApplication::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}
