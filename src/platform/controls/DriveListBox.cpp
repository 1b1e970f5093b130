#include "DriveListBox.h"

DriveListBox::DriveListBox(const Volumes &volumes, QWidget *parent)
    : QComboBox(parent), m_volumes(volumes)
{
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (m_filling)
            return;
        setDrive({itemData(index).toString(), itemText(index)});
    });
}

void DriveListBox::initialise(const Volume &volume)
{
    m_drive = volume;
    refreshList();
}

void DriveListBox::refreshList()
{
    m_filling = true;
    clear();
    for (const Volume &volume : m_volumes.list()) {
        addItem(volume.name, volume.root);
        setItemData(count() - 1, volume.root, Qt::ToolTipRole);
    }
    selectEntryOf(m_drive);
    m_filling = false;
}

void DriveListBox::showPopup()
{
    refreshList();
    QComboBox::showPopup();
}

void DriveListBox::setDrive(const Volume &volume)
{
    m_filling = true;
    selectEntryOf(volume);
    m_filling = false;
    if (volume == m_drive)
        return;
    m_drive = volume;
    if (m_drive.name.isEmpty())
        m_drive.name = currentText();
    Q_EMIT Change();
}

void DriveListBox::selectEntryOf(const Volume &volume)
{
    if (volume.root.isEmpty())
        return;
    int index = findData(volume.root);
    if (index < 0) {
        addItem(volume.name.isEmpty() ? volume.root : volume.name, volume.root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}
