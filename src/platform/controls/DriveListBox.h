#pragma once

#include "platform/desktop/Volumes.h"

#include <QComboBox>

// The drive list: the home volume, the root file system and the mounted volumes.
// Choosing an entry changes the drive at once; the change event fires inside any
// change of the drive, whoever makes it. The list is read again each time it opens,
// so media plugged in meanwhile appear.
class DriveListBox : public QComboBox {
    Q_OBJECT

public:
    DriveListBox(const Volumes &volumes, QWidget *parent = nullptr);

    [[nodiscard]] Volume drive() const { return m_drive; }
    // Raises Change when the drive differs from the current one.
    void setDrive(const Volume &volume);
    // Re-reads the volumes, keeping the current drive listed.
    void refreshList();

    // Sets the drive without raising anything; used once before any event is wired.
    void initialise(const Volume &volume);

    void showPopup() override;

Q_SIGNALS:
    void Change();

private:
    void selectEntryOf(const Volume &volume);

    const Volumes &m_volumes;
    Volume m_drive;
    bool m_filling = false;
};
