#include "DesktopServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLockFile>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QWidget>
#include <gio/gio.h>

QRect QtScreen::geometryNear(const QWidget *window) const
{
    const QScreen *screen = window ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QImage QtClipboard::bitmap()
{
    // A clipboard owner that never answers would block each request for a long
    // time, so the formats are asked for once and then exactly one type is fetched.
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return {};
    const QStringList formats = data->formats();
    static const QStringList preferred = {QStringLiteral("application/x-qt-image"),
                                          QStringLiteral("image/png"),
                                          QStringLiteral("image/bmp"),
                                          QStringLiteral("image/x-bmp"),
                                          QStringLiteral("image/jpeg"),
                                          QStringLiteral("image/gif")};
    for (const QString &type : preferred) {
        if (!formats.contains(type))
            continue;
        if (type == QLatin1String("application/x-qt-image"))
            return qvariant_cast<QImage>(data->imageData());
        return QImage::fromData(data->data(type));
    }
    return {};
}

bool QtClipboard::setBitmap(const QImage &image)
{
    if (image.isNull())
        return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

bool DesktopShell::open(const QString &file, const QString &workingFolder)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {file}, workingFolder);
}

bool DesktopShell::moveToTrash(const QString &file)
{
    // GIO writes the freedesktop trash correctly for every name and volume.
    GFile *target = g_file_new_for_path(QFile::encodeName(file).constData());
    GError *error = nullptr;
    const gboolean trashed = g_file_trash(target, nullptr, &error);
    if (error)
        g_error_free(error);
    g_object_unref(target);
    return trashed;
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
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/quorvel.lock");
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
