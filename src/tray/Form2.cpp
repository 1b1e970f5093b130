#include "Form2.h"

#include "StartupOption.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/DriveListBox.h"
#include "platform/controls/TwipsLayout.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Registry.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/Volumes.h"
#include "platform/desktop/WorkingFolders.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kClientWidth = 4335;
constexpr int kClientHeight = 5055;

QLabel *wrappedLabel(QWidget *parent, const char *name, const QString &caption, int left, int top,
                     int width, int height)
{
    auto *label = new QLabel(caption, parent);
    placeInTwips(label, name, left, top, width, height);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

Form2::Form2(const Services &services, QWidget *parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Auto-Go Folder"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    useCompactFont(*this);
    useFixedBorder(*this);
    setFixedSize(twipsAsPixels(kClientWidth), twipsAsPixels(kClientHeight));

    Picture1 = new QWidget(this);
    placeInTwips(Picture1, "Picture1", 0, 0, kClientWidth, kClientHeight);
    Picture1->setAutoFillBackground(true);

    Label1 = wrappedLabel(
        Picture1, "Label1",
        QStringLiteral("This Option helps you to go to the specify folder when Quorvel Loads..."),
        120, 120, 4095, 495);
    Label2 = wrappedLabel(Picture1, "Label2",
                          QStringLiteral("Please Select a Folder..and then Click \"OK\" button"),
                          120, 600, 3975, 375);
    Label3 = wrappedLabel(Picture1, "Label3", QStringLiteral("Current Auto-Go Folder:"), 120, 960,
                          2055, 255);
    Label4 = wrappedLabel(Picture1, "Label4", QString(), 120, 1200, 3855, 495);
    Label4->hide();
    Label5 = wrappedLabel(Picture1, "Label5", QStringLiteral("Haven't Set the Folder"), 120, 1200,
                          3855, 255);
    Label5->hide();

    // The dialog's own lists, standing where the process works now, which is where
    // the main window's browser stands.
    const Volume drive = services.working.workingVolume();
    Drive1 = new DriveListBox(services.volumes, Picture1);
    placeInTwips(Drive1, "Drive1", 120, 1800, 3855, 315);
    Drive1->initialise(drive);
    Dir1 = new DirListBox(services.files, services.volumes, Picture1);
    placeInTwips(Dir1, "Dir1", 120, 2280, 3855, 2115);
    Dir1->setIconSize(QSize(16, 16));
    const QString folder = services.working.folderOf(drive);
    Dir1->initialise(folder.isEmpty() ? drive.root : folder);
    (void)Dir1->refresh();

    Command3 = new QPushButton(QStringLiteral("&Remove Auto-Go Function"), Picture1);
    placeInTwips(Command3, "Command3", 120, 4560, 2175, 375);
    Command1 = new QPushButton(QStringLiteral("&OK"), Picture1);
    placeInTwips(Command1, "Command1", 2400, 4560, 855, 375);
    Command2 = new QPushButton(QStringLiteral("&Cancel"), Picture1);
    placeInTwips(Command2, "Command2", 3240, 4560, 855, 375);
    for (QPushButton *button : {Command1, Command2, Command3}) {
        button->setAutoDefault(false);
        shrinkFontToFit(button);
    }
    for (QLabel *caption : {Label1, Label2, Label3, Label5})
        shrinkFontToFit(caption);

    connect(Drive1, &DriveListBox::Change, this, &Form2::Drive1_Change);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
}

void Form2::Form_Load()
{
    const QString folder =
        m_services.registry.RegistryReadString(Registry::kSettingsKey, Registry::kAutoJump);
    const bool set = !folder.isEmpty();
    Command3->setEnabled(set);
    Label4->setText(folder);
    Label4->setVisible(set);
    Label5->setVisible(!set);
}

void Form2::Drive1_Change()
{
    const Volume drive = Drive1->drive();
    const QString folder = m_services.working.folderOf(drive);
    const bool ready = m_services.volumes.isReady(drive) && !folder.isEmpty() &&
                       Dir1->setPath(folder) && m_services.working.setWorkingVolume(drive);
    if (ready)
        return;
    m_services.messages.show(QStringLiteral("Device is not accessible or ready"),
                             MessageBoxes::Critical, QStringLiteral("Quorvel"));
    Drive1->setDrive(m_services.volumes.volumeOf(Dir1->path()));
}

void Form2::Command1_Click()
{
    // The folder open in the list, not an entry that is merely highlighted.
    if (!storeStartupOption(m_services.registry, m_services.messages, Registry::kAutoJump,
                            Dir1->path()))
        return;
    close();
    Q_EMIT Stored();
}

void Form2::Command2_Click()
{
    close();
}

void Form2::Command3_Click()
{
    if (!storeStartupOption(m_services.registry, m_services.messages, Registry::kAutoJump,
                            QString()))
        return;
    close();
    Q_EMIT Removed();
}
