#include "support/TestDesktop.h"
#include "tray/Form5.h"
#include "tray/TrayIcon.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>

namespace {

const RecordedMessage kTakesEffect{
    QStringLiteral("OK!..It will take effect when you run Quorvel next time."), 0,
    QStringLiteral("Quorvel")};

QString storedTrayIcon(const TestDesktop &desktop)
{
    return desktop.registry->RegistryReadString(Registry::kSettingsKey, Registry::kTrayIcon);
}

// Puts a file where the settings folder belongs, so that nothing can be stored.
void breakSettingsFolder(const TestDesktop &desktop)
{
    const QString folder = QFileInfo(desktop.registry->filePath()).path();
    QDir(folder).removeRecursively();
    QDir().mkpath(QFileInfo(folder).path());
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
}

} // namespace

class TestTrayIcon : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hidesAndComesBackOnlyOnALeftPress();
    void withoutATrayTheWindowStaysShown();
    void startsInTheTrayOnlyForExactlyOne_data();
    void startsInTheTrayOnlyForExactlyOne();
    void optionDialogShowsAndStoresTheChoice_data();
    void optionDialogShowsAndStoresTheChoice();
    void optionThatCannotBeStoredIsReportedThenCancelled();
};

void TestTrayIcon::hidesAndComesBackOnlyOnALeftPress()
{
    TestDesktop desktop;
    Form1 &form = desktop.started(desktop.home());
    form.show();
    Form1Menus &menus = form.controls().menus;

    for (MenuItem *hide : {menus.systray, menus.Tray1}) {
        // The paused slide show's item is on the bar only while the show is paused.
        hide->setVisible(true);
        hide->click();
        QVERIFY2(form.isHidden(), qPrintable(hide->objectName()));
        QVERIFY(form.trayIcon().isInTray());
        QVERIFY(desktop.tray.shown);
        QCOMPARE(desktop.tray.tip, QStringLiteral("Quorvel 1.36"));
        QVERIFY(desktop.tray.iconGiven);
        // Hiding again while hidden adds no second icon.
        const int adds = desktop.tray.addCount;
        form.trayIcon().systray_Click();
        QCOMPARE(desktop.tray.addCount, adds);

        for (TrayMouse ignored : {TrayMouse::Other, TrayMouse::RightButton, TrayMouse::MiddleButton,
                                  TrayMouse::LeftDoubleClick}) {
            desktop.tray.press(ignored);
            QVERIFY(form.isHidden());
            QVERIFY(desktop.tray.shown);
        }
        desktop.tray.press(TrayMouse::LeftButtonDown);
        QVERIFY(form.isVisible());
        QVERIFY(!desktop.tray.shown);
        QVERIFY(!form.trayIcon().isInTray());
        // A press arriving late, with no icon, changes nothing.
        const int removes = desktop.tray.removeCount;
        desktop.tray.press(TrayMouse::LeftButtonDown);
        QCOMPARE(desktop.tray.removeCount, removes);
    }
    QVERIFY(desktop.messages.shown.isEmpty());

    // The icon goes with the window.
    menus.systray->click();
    QVERIFY(desktop.tray.shown);
    desktop.closeWindow();
    QVERIFY(!desktop.tray.shown);
}

void TestTrayIcon::withoutATrayTheWindowStaysShown()
{
    TestDesktop desktop;
    Form1 &form = desktop.started(desktop.home());
    form.show();

    // No notification area at all.
    desktop.tray.available = false;
    form.controls().menus.systray->click();
    QVERIFY(form.isVisible());
    QVERIFY(!form.trayIcon().isInTray());

    // One that turns up later is found when hiding again.
    desktop.tray.available = true;
    form.controls().menus.systray->click();
    QVERIFY(form.isHidden());
    desktop.tray.press(TrayMouse::LeftButtonDown);
    QVERIFY(form.isVisible());

    // One that is there but refuses the icon.
    desktop.tray.refusesIcon = true;
    form.controls().menus.systray->click();
    QVERIFY(form.isVisible());
    QVERIFY(!desktop.tray.shown);
    QVERIFY(desktop.messages.shown.isEmpty());
}

void TestTrayIcon::startsInTheTrayOnlyForExactlyOne_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("trayThere");
    QTest::addColumn<bool>("inTray");
    QTest::newRow("1") << "1" << true << true;
    QTest::newRow("1 without a tray: shown") << "1" << false << false;
    QTest::newRow("empty") << "" << true << false;
    QTest::newRow("1 with a blank") << "1 " << true << false;
    QTest::newRow("true") << "true" << true << false;
}

void TestTrayIcon::startsInTheTrayOnlyForExactlyOne()
{
    QFETCH(QString, stored);
    QFETCH(bool, trayThere);
    QFETCH(bool, inTray);
    TestDesktop desktop;
    desktop.tray.available = trayThere;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/Pictures"));
    QVERIFY(
        desktop.registry->RegistryWriteString(Registry::kSettingsKey, Registry::kTrayIcon, stored));
    Form1 &form = desktop.started(folder);
    QCOMPARE(form.trayIcon().isInTray(), inTray);
    QCOMPARE(desktop.tray.shown, inTray);
    QCOMPARE(desktop.tray.tip, inTray ? QStringLiteral("Quorvel 1.36") : QString());
    // The browser is complete behind the icon.
    QCOMPARE(form.windowTitle(), titleFor(folder));
    if (inTray) {
        desktop.tray.press(TrayMouse::LeftButtonDown);
        QVERIFY(form.isVisible());
    }
}

void TestTrayIcon::optionDialogShowsAndStoresTheChoice_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("shownEnabled");
    QTest::addColumn<bool>("chooseEnabled");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing: disabled; enable") << QString() << false << true << "1";
    QTest::newRow("1: enabled; disable stores the empty text") << "1" << true << false << "";
    QTest::newRow("0: disabled; keep it") << "0" << false << false << "";
}

void TestTrayIcon::optionDialogShowsAndStoresTheChoice()
{
    QFETCH(QString, stored);
    QFETCH(bool, shownEnabled);
    QFETCH(bool, chooseEnabled);
    QFETCH(QString, expected);
    TestDesktop desktop;
    if (!stored.isNull())
        QVERIFY(desktop.registry->RegistryWriteString(Registry::kSettingsKey, Registry::kTrayIcon,
                                                      stored));
    Form1 &form = desktop.started(desktop.home());
    const bool startedInTray = form.trayIcon().isInTray();
    form.controls().menus.TrayMin1->click();
    QPointer<Form5> dialog = form.trayIcon().optionDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Minimize to TrayIcon"));
    QCOMPARE(dialog->Option2->isChecked(), shownEnabled);
    QCOMPARE(dialog->Option1->isChecked(), !shownEnabled);
    // Choosing it again brings the same dialog forward.
    form.controls().menus.TrayMin1->click();
    QCOMPARE(form.trayIcon().optionDialog(), dialog.data());

    QTest::mouseClick(chooseEnabled ? dialog->Option2 : dialog->Option1, Qt::LeftButton);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    QCOMPARE(desktop.messages.shown, QList<RecordedMessage>{kTakesEffect});
    QTRY_VERIFY(!dialog);
    QCOMPARE(storedTrayIcon(desktop), expected);
    // Disabling keeps the value, empty, rather than removing it.
    const QSettings file(desktop.registry->filePath(), QSettings::IniFormat);
    QVERIFY(file.contains(QStringLiteral("Software/Quorvel/TrayIcon")));
    // Nothing changes until the next start.
    QCOMPARE(form.trayIcon().isInTray(), startedInTray);
}

void TestTrayIcon::optionThatCannotBeStoredIsReportedThenCancelled()
{
    TestDesktop desktop;
    Form1 &form = desktop.started(desktop.home());
    breakSettingsFolder(desktop);
    form.controls().menus.TrayMin1->click();
    QPointer<Form5> dialog = form.trayIcon().optionDialog();
    QTest::mouseClick(dialog->Option2, Qt::LeftButton);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);

    const QString folder = QFileInfo(desktop.registry->filePath()).path();
    QCOMPARE(desktop.messages.shown,
             (QList<RecordedMessage>{{QStringLiteral("The setting could not be saved in %1:\n"
                                                     "the folder %2 cannot be made.")
                                          .arg(desktop.registry->filePath(), folder),
                                      16, QStringLiteral("Quorvel")}}));
    // The choice stays on screen to try again or cancel; Cancel stores nothing.
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(dialog->Option2->isChecked());
    QCOMPARE(storedTrayIcon(desktop), QString());
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);
    QTRY_VERIFY(!dialog);
    QCOMPARE(desktop.messages.shown.size(), 1);
}

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
