#pragma once

#include <QObject>

class QAction;
class QMenu;

// A menu entry with program-controlled state: choosing it never toggles its check
// mark by itself, the handler decides. A hidden menu-bar entry gives up its access
// key: the menu bar claims the key of every entry, hidden or not, and two entries
// with one key take turns, so a hidden one would swallow every other press.
class MenuItem : public QObject {
    Q_OBJECT

public:
    // An item that runs a command.
    MenuItem(const QString &name, const QString &caption, QObject *parent);
    // The entry that opens a submenu (or a menu of the menu bar).
    MenuItem(const QString &name, QMenu *menu, QObject *parent);

    [[nodiscard]] QAction *action() const { return m_action; }
    [[nodiscard]] QMenu *menu() const { return m_menu; }

    [[nodiscard]] QString caption() const;
    [[nodiscard]] bool isVisible() const;
    void setVisible(bool visible);
    [[nodiscard]] bool isEnabled() const;
    void setEnabled(bool enabled);
    [[nodiscard]] bool isChecked() const { return m_checked; }
    void setChecked(bool checked);

    // Chooses the item as a user would: nothing happens while it is disabled or hidden.
    void click();

Q_SIGNALS:
    void Click();

private:
    void onTriggered();

    [[nodiscard]] bool isOnMenuBar() const;

    QAction *m_action = nullptr;
    QMenu *m_menu = nullptr;
    QString m_caption;
    bool m_checked = false;
};
