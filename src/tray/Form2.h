#pragma once

#include <QDialog>

class DirListBox;
class DriveListBox;
class QLabel;
class QPushButton;
struct Services;

// "Auto-Go Folder": the folder the browser opens at start-up, chosen with the same
// drive and folder lists as the main window's, or removed.
class Form2 : public QDialog {
    Q_OBJECT

public:
    explicit Form2(const Services &services, QWidget *parent = nullptr);

    // Shows the stored folder or that none is set.
    void Form_Load();
    void Drive1_Change();
    // "&OK": stores the open folder; raises Stored once it is stored.
    void Command1_Click();
    // "&Cancel": closes without storing.
    void Command2_Click();
    // "&Remove Auto-Go Function": stores the empty text; raises Removed once stored.
    void Command3_Click();

    QWidget *Picture1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    DriveListBox *Drive1;
    DirListBox *Dir1;
    QPushButton *Command1, *Command2, *Command3;

Q_SIGNALS:
    void Stored();
    void Removed();

private:
    const Services &m_services;
};
