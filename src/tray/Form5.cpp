#include "Form5.h"

#include "StartupOption.h"
#include "platform/controls/TwipsLayout.h"
#include "platform/desktop/Registry.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

// The frame that holds every control, and the margin around it.
constexpr int kFrameLeft = 120;
constexpr int kFrameTop = 120;
constexpr int kFrameWidth = 2535;
constexpr int kFrameHeight = 2175;

} // namespace

Form5::Form5(Registry &registry, MessageBoxes &messages, QWidget *parent)
    : QDialog(parent), m_registry(registry), m_messages(messages)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Minimize to TrayIcon"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing an option dialog never ends the program, even with the main window
    // hidden in the tray.
    setAttribute(Qt::WA_QuitOnClose, false);
    useCompactFont(*this);
    useFixedBorder(*this);
    setFixedSize(twipsAsPixels(kFrameWidth + 2 * kFrameLeft),
                 twipsAsPixels(kFrameHeight + 2 * kFrameTop));

    auto *frame = new QGroupBox(this);
    placeInTwips(frame, "Frame1", kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight);
    Label1 = new QLabel(QStringLiteral("Minimize to SysTray when Starts"), frame);
    placeInTwips(Label1, "Label1", 120, 240, 2295, 255);
    Label1->setAlignment(Qt::AlignCenter);
    // The decorative picture: the program's icon between the question and the answers.
    Picture1 = new QLabel(frame);
    placeInTwips(Picture1, "Picture1", 120, 600, 2295, 540);
    Picture1->setPixmap(QPixmap(QStringLiteral(":/icons/quorvel-32.png")));
    Picture1->setAlignment(Qt::AlignCenter);
    // The option buttons are only as wide as their circles; the labels carry the words.
    Option2 = new QRadioButton(frame);
    placeInTwips(Option2, "Option2", 240, 1200, 255, 255);
    Label2 = new QLabel(QStringLiteral("Enabled"), frame);
    placeInTwips(Label2, "Label2", 480, 1200, 735, 255);
    Option1 = new QRadioButton(frame);
    placeInTwips(Option1, "Option1", 1320, 1200, 255, 255);
    Label3 = new QLabel(QStringLiteral("Disabled"), frame);
    placeInTwips(Label3, "Label3", 1560, 1200, 855, 255);
    Option2->setAccessibleName(Label2->text());
    Option1->setAccessibleName(Label3->text());
    Command1 = new QPushButton(QStringLiteral("&OK"), frame);
    placeInTwips(Command1, "Command1", 360, 1560, 855, 375);
    Command2 = new QPushButton(QStringLiteral("&Cancel"), frame);
    placeInTwips(Command2, "Command2", 1320, 1560, 855, 375);
    shrinkFontToFit(Label1);
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);

    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
}

void Form5::Form_Load()
{
    const bool enabled = m_registry.RegistryReadString(Registry::kSettingsKey,
                                                       Registry::kTrayIcon) == QLatin1String("1");
    (enabled ? Option2 : Option1)->setChecked(true);
}

void Form5::Command1_Click()
{
    // Disabling stores the empty text rather than removing the value.
    const QString text = Option2->isChecked() ? QStringLiteral("1") : QString();
    if (storeStartupOption(m_registry, m_messages, Registry::kTrayIcon, text))
        unload();
}

void Form5::Command2_Click()
{
    unload();
}

void Form5::unload()
{
    close();
}
