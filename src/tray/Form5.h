#pragma once

#include <QDialog>

class MessageBoxes;
class QLabel;
class QPushButton;
class QRadioButton;
class Registry;

// "Minimize to TrayIcon": whether the program starts hidden in the tray.
class Form5 : public QDialog {
    Q_OBJECT

public:
    Form5(Registry &registry, MessageBoxes &messages, QWidget *parent = nullptr);

    // Shows the stored choice.
    void Form_Load();
    // "&OK": stores the choice; the dialog stays open when it could not be stored.
    void Command1_Click();
    // "&Cancel": closes without storing.
    void Command2_Click();

    QLabel *Label1, *Label2, *Label3;
    QRadioButton *Option1; // "Disabled"
    QRadioButton *Option2; // "Enabled"
    QPushButton *Command1, *Command2;
    QLabel *Picture1;

private:
    void unload();

    Registry &m_registry;
    MessageBoxes &m_messages;
};
