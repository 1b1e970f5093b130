#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <memory>

class QWidget;
class HandOverChannel;
class QLockFile;
class QSystemTrayIcon;
class QIcon;

// The screen a window is on.
class Screen {
public:
    virtual ~Screen() = default;
    // The size of the screen in device-independent pixels.
    [[nodiscard]] virtual QRect geometryNear(const QWidget *window) const = 0;
};

// What the clipboard held when asked for a picture.
struct ClipboardPicture {
    enum Status {
        Found,     // image holds the picture
        NoPicture, // nothing, or nothing but other kinds of data
        Unreadable // a picture was offered but not delivered, not readable, or too large
    };
    Status status = NoPicture;
    QImage image;
};

// Pictures on the system clipboard; nothing else is offered or taken.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Asks the clipboard's owner what it offers once, then fetches one picture type;
    // an owner that does not answer is given up on after a few seconds.
    [[nodiscard]] virtual ClipboardPicture bitmap() = 0;
    [[nodiscard]] virtual bool setBitmap(const QImage &image) = 0;
};

// What the desktop answered: done, or why not, in words a user can read.
struct DesktopOutcome {
    QString failure; // empty when done

    [[nodiscard]] bool done() const { return failure.isEmpty(); }
};

// Handing files to the desktop.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens a file with the program the desktop associates with its type, started
    // on its own in workingFolder; fails when no program opens that type.
    [[nodiscard]] virtual DesktopOutcome open(const QString &file,
                                              const QString &workingFolder) = 0;
    // Moves a file to the desktop's trash, where it can be restored from. Never
    // deletes it for good: when the trash cannot take it, the file stays.
    [[nodiscard]] virtual DesktopOutcome moveToTrash(const QString &file) = 0;
};

// What the mouse did on the tray icon, as far as the notification area tells.
enum class TrayMouse { LeftButtonDown, LeftDoubleClick, RightButton, MiddleButton, Other };

// The icon in the desktop's notification area.
class Tray : public QObject {
    Q_OBJECT

public:
    // Whether a notification area is there now; it can come and go during a run.
    [[nodiscard]] virtual bool isAvailable() const = 0;
    // False when no notification area takes the icon.
    [[nodiscard]] virtual bool add(const QIcon &icon, const QString &tip) = 0;
    // Removing an icon that is not shown does nothing.
    virtual void remove() = 0;

Q_SIGNALS:
    // Every mouse event the notification area reports on the icon.
    void MouseEvent(TrayMouse event);
};

// The running program as a whole.
class ApplicationServices : public QObject {
    Q_OBJECT

public:
    // Whether another copy runs for this user; the first copy to ask owns the answer.
    [[nodiscard]] virtual bool isAnotherInstanceRunning() = 0;
    // From a copy that found another running: gives that copy a picture or folder to
    // open. False when it did not take it, or did not answer within a few seconds.
    [[nodiscard]] virtual bool handOver(const QString &path) = 0;
    // From the copy that runs: takes what later starts hand over, each reported by
    // PathHandedOver.
    virtual void acceptHandOvers() = 0;
    // Ends the program at once.
    virtual void quit() = 0;
    [[nodiscard]] virtual QString programFolder() const = 0;

Q_SIGNALS:
    // An absolute path that a later start was given.
    void PathHandedOver(const QString &path);
};

class QtScreen final : public Screen {
public:
    [[nodiscard]] QRect geometryNear(const QWidget *window) const override;
};

class QtClipboard final : public Clipboard {
public:
    [[nodiscard]] ClipboardPicture bitmap() override;
    [[nodiscard]] bool setBitmap(const QImage &image) override;
};

class DesktopShell final : public Shell {
public:
    [[nodiscard]] DesktopOutcome open(const QString &file, const QString &workingFolder) override;
    [[nodiscard]] DesktopOutcome moveToTrash(const QString &file) override;
};

class SystemTray final : public Tray {
    Q_OBJECT

public:
    SystemTray();
    ~SystemTray() override;
    [[nodiscard]] bool isAvailable() const override;
    [[nodiscard]] bool add(const QIcon &icon, const QString &tip) override;
    void remove() override;

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

class RunningApplication final : public ApplicationServices {
    Q_OBJECT

public:
    // How long a later start waits for the running copy to take its path.
    static constexpr int kHandOverTimeoutMs = 5000;

    RunningApplication();
    ~RunningApplication() override;
    [[nodiscard]] bool isAnotherInstanceRunning() override;
    [[nodiscard]] bool handOver(const QString &path) override;
    void acceptHandOvers() override;
    void quit() override;
    [[nodiscard]] QString programFolder() const override;

    // The per-user lock that marks a running copy.
    [[nodiscard]] static QString lockFilePath();
    // The per-user socket beside it on which the running copy takes paths.
    [[nodiscard]] static QString handOverSocketPath();

private:
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<HandOverChannel> m_channel;
    bool m_asked = false;
    bool m_another = false;
};
