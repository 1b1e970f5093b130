#include "browse/Said.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/DriveListBox.h"
#include "tray/AutoGoFolder.h"
#include "tray/Form2.h"
#include "tray/Form5.h"
#include "tray/TrayIcon.h"

#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

// The notification-area icon and the folder to go to, both kept in the settings.
class TestTray : public QObject {
    Q_OBJECT

    std::optional<TestDesktop> m_desktop;
    Form1 *m_form = nullptr;
    QString m_start;

    Form1Menus &start()
    {
        m_form = &m_desktop->started(m_start);
        return m_form->controls().menus;
    }
    Said &shown() { return m_desktop->messages.shown; }
    QString setting(const QString &name)
    {
        return m_desktop->registry->RegistryReadString(Registry::kSettingsKey, name);
    }
    void store(const QString &name, const QString &value)
    {
        QVERIFY(m_desktop->registry->RegistryWriteString(Registry::kSettingsKey, name, value));
    }
    Form2 *openGoDialog()
    {
        m_form->controls().menus.Jump1->click();
        return m_form->autoGo().dialog();
    }
    // Puts a file where the settings folder belongs, so that nothing can be stored.
    void breakSettingsFolder()
    {
        const QString folder = QFileInfo(m_desktop->registry->filePath()).path();
        QDir(folder).removeRecursively();
        QDir().mkpath(QFileInfo(folder).path());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    void verifyNotStored()
    {
        const QString file = m_desktop->registry->filePath();
        QCOMPARE(shown(), Said{said(QStringLiteral("The setting could not be saved in %1:\nthe "
                                                   "folder %2 cannot be made.")
                                        .arg(file, QFileInfo(file).path()),
                                    16)});
        shown().clear();
    }

private Q_SLOTS:
    void init()
    {
        m_desktop.emplace();
        m_start = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Start"));
    }

    void hidesAndComesBackOnlyOnALeftPress()
    {
        Form1Menus &menus = start();
        m_form->show();
        FakeTray &tray = m_desktop->tray;
        for (MenuItem *hide : {menus.systray, menus.Tray1}) {
            // The paused slide show's item is on the bar only while the show is paused.
            hide->setVisible(true);
            hide->click();
            QVERIFY2(m_form->isHidden(), qPrintable(hide->objectName()));
            QVERIFY(m_form->trayIcon().isInTray() && tray.shown && tray.iconGiven);
            QCOMPARE(tray.tip, QStringLiteral("Quorvel 1.36"));
            // Hiding again while hidden adds no second icon.
            const int adds = tray.addCount;
            m_form->trayIcon().systray_Click();
            QCOMPARE(tray.addCount, adds);
            for (TrayMouse ignored : {TrayMouse::Other, TrayMouse::RightButton,
                                      TrayMouse::MiddleButton, TrayMouse::LeftDoubleClick}) {
                tray.press(ignored);
                QVERIFY(m_form->isHidden() && tray.shown);
            }
            tray.press(TrayMouse::LeftButtonDown);
            QVERIFY(m_form->isVisible() && !tray.shown && !m_form->trayIcon().isInTray());
            // A press arriving late, with no icon, changes nothing.
            const int removes = tray.removeCount;
            tray.press(TrayMouse::LeftButtonDown);
            QCOMPARE(tray.removeCount, removes);
        }
        QVERIFY(shown().isEmpty());

        // Without a notification area, or one that refuses the icon, the window stays;
        // one that turns up later is found when hiding again.
        for (const auto &[available, refuses, hidden] :
             {std::tuple{false, false, false}, {true, false, true}, {true, true, false}}) {
            tray.available = available;
            tray.refusesIcon = refuses;
            menus.systray->click();
            QCOMPARE(m_form->isHidden(), hidden);
            QCOMPARE(tray.shown, hidden);
            tray.press(TrayMouse::LeftButtonDown);
            QVERIFY(m_form->isVisible());
        }
        QVERIFY(shown().isEmpty());

        // The icon goes with the window.
        tray.refusesIcon = false;
        menus.systray->click();
        QVERIFY(tray.shown);
        m_desktop->closeWindow();
        QVERIFY(!tray.shown);
    }

    void startsInTheTrayOnlyForExactlyOne_data()
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
    void startsInTheTrayOnlyForExactlyOne()
    {
        QFETCH(QString, stored);
        QFETCH(bool, trayThere);
        QFETCH(bool, inTray);
        m_desktop->tray.available = trayThere;
        store(Registry::kTrayIcon, stored);
        start();
        QCOMPARE(m_form->trayIcon().isInTray(), inTray);
        QCOMPARE(m_desktop->tray.shown, inTray);
        QCOMPARE(m_desktop->tray.tip, inTray ? QStringLiteral("Quorvel 1.36") : QString());
        // The browser is complete behind the icon.
        QCOMPARE(m_form->windowTitle(), titleFor(m_start));
        m_desktop->tray.press(TrayMouse::LeftButtonDown);
        QVERIFY(!inTray || m_form->isVisible());
    }

    void trayOptionShowsAndStoresTheChoice_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("shownEnabled");
        QTest::addColumn<bool>("chooseEnabled");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing: disabled; enable") << QString() << false << true << "1";
        QTest::newRow("1: enabled; disable stores the empty text") << "1" << true << false << "";
        QTest::newRow("0: disabled; keep it") << "0" << false << false << "";
        QTest::newRow("cannot be stored") << QString() << false << true << QString();
    }
    void trayOptionShowsAndStoresTheChoice()
    {
        QFETCH(QString, stored);
        QFETCH(bool, shownEnabled);
        QFETCH(bool, chooseEnabled);
        QFETCH(QString, expected);
        if (!stored.isNull())
            store(Registry::kTrayIcon, stored);
        Form1Menus &menus = start();
        const bool startedInTray = m_form->trayIcon().isInTray();
        if (expected.isNull())
            breakSettingsFolder();
        menus.TrayMin1->click();
        QPointer<Form5> dialog = m_form->trayIcon().optionDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Minimize to TrayIcon"));
        QCOMPARE(dialog->Option2->isChecked(), shownEnabled);
        QCOMPARE(dialog->Option1->isChecked(), !shownEnabled);
        // Choosing it again brings the same dialog forward.
        menus.TrayMin1->click();
        QCOMPARE(m_form->trayIcon().optionDialog(), dialog.data());
        QTest::mouseClick(chooseEnabled ? dialog->Option2 : dialog->Option1, Qt::LeftButton);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        if (expected.isNull()) {
            // The choice stays on screen to try again or cancel; Cancel stores nothing.
            verifyNotStored();
            QVERIFY(dialog && dialog->isVisible() && dialog->Option2->isChecked());
            QTest::mouseClick(dialog->Command2, Qt::LeftButton);
            QTRY_VERIFY(!dialog);
            QVERIFY(shown().isEmpty());
            QCOMPARE(setting(Registry::kTrayIcon), QString());
            return;
        }
        QCOMPARE(shown(), Said{kTakesEffect});
        QTRY_VERIFY(!dialog);
        QCOMPARE(setting(Registry::kTrayIcon), expected);
        // Disabling keeps the value, empty, rather than removing it.
        const QSettings file(m_desktop->registry->filePath(), QSettings::IniFormat);
        QVERIFY(file.contains(QStringLiteral("Software/Quorvel/TrayIcon")));
        // Nothing changes until the next start.
        QCOMPARE(m_form->trayIcon().isInTray(), startedInTray);
    }

    void goDialogShowsTheStoredFolderOrItsAbsence()
    {
        start();
        QPointer<Form2> dialog = openGoDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Auto-Go Folder"));
        QVERIFY(dialog->Label5->isVisibleTo(dialog) && !dialog->Label4->isVisibleTo(dialog));
        QCOMPARE(dialog->Label5->text(), QStringLiteral("Haven't Set the Folder"));
        QVERIFY(!dialog->Command3->isEnabled());
        // Its own lists, standing where the browser stands.
        QCOMPARE(dialog->Dir1->path(), m_start);
        QCOMPARE(dialog->Drive1->drive().root, m_desktop->home());
        QCOMPARE(dialog->Dir1->entryPath(dialog->Dir1->count() - 1), m_start);
        dialog->Command2_Click();
        QTRY_VERIFY(!dialog);

        store(Registry::kAutoJump, QStringLiteral("/somewhere/else"));
        dialog = openGoDialog();
        QVERIFY(dialog->Label4->isVisibleTo(dialog) && !dialog->Label5->isVisibleTo(dialog));
        QCOMPARE(dialog->Label4->text(), QStringLiteral("/somewhere/else"));
        QVERIFY(dialog->Command3->isEnabled());
        QVERIFY(shown().isEmpty());
    }

    void goDialogOkStoresTheOpenFolderCancelNothingAndRemoveTheEmptyText()
    {
        const QString chosen = m_desktop->makeFolder(m_start + QStringLiteral("/Chosen"));
        m_desktop->makeFolder(m_start + QStringLiteral("/Only highlighted"));
        Form1Menus &menus = start();
        QVERIFY(!menus.goto1->isEnabled());
        QPointer<Form2> dialog = openGoDialog();
        QVERIFY(dialog->Dir1->setPath(chosen));
        // Going back up and highlighting a subfolder does not open it.
        QVERIFY(dialog->Dir1->setPath(m_start));
        dialog->Dir1->setCurrentRow(dialog->Dir1->count() - 1);
        QCOMPARE(dialog->Dir1->entryPath(dialog->Dir1->currentRow()),
                 m_start + QStringLiteral("/Only highlighted"));
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(setting(Registry::kAutoJump), m_start);
        QCOMPARE(shown(), Said{kTakesEffect});
        QVERIFY(menus.goto1->isEnabled());
        QTRY_VERIFY(!dialog);
        // The browser stays where it was until the next start or Go to "Folder" Now.
        QCOMPARE(m_form->controls().Dir1->path(), m_start);

        // Cancel stores nothing, whatever the dialog's lists show.
        shown().clear();
        dialog = openGoDialog();
        QVERIFY(dialog->Dir1->setPath(chosen));
        QTest::mouseClick(dialog->Command2, Qt::LeftButton);
        QTRY_VERIFY(!dialog);
        QCOMPARE(setting(Registry::kAutoJump), m_start);
        QVERIFY(menus.goto1->isEnabled());
        QVERIFY(shown().isEmpty());

        dialog = openGoDialog();
        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        QCOMPARE(setting(Registry::kAutoJump), QString());
        QCOMPARE(shown(), Said{kTakesEffect});
        QVERIFY(!menus.goto1->isEnabled());
        QTRY_VERIFY(!dialog);
    }

    void goDialogRefusesAnUnreadableDriveAndTheListGoesBack()
    {
        const QString onStick = m_desktop->makeFolder(m_desktop->otherVolume() + "/Photos");
        start();
        Form2 *dialog = openGoDialog();
        const Volume stick = m_desktop->volumes.volumes.at(1);
        m_desktop->volumes.notReady.insert(stick.root);
        dialog->Drive1->setDrive(stick);
        QCOMPARE(shown(), Said{kNotReady});
        QCOMPARE(dialog->Drive1->drive().root, m_desktop->home());
        QCOMPARE(dialog->Dir1->path(), m_start);
        QCOMPARE(QDir::currentPath(), m_start);
        // Ready, the drive opens at its working folder and becomes the working drive.
        m_desktop->volumes.notReady.clear();
        dialog->Drive1->setDrive(stick);
        QCOMPARE(dialog->Dir1->path(), stick.root);
        QCOMPARE(QDir::currentPath(), stick.root);
        QVERIFY(dialog->Dir1->setPath(onStick));
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(setting(Registry::kAutoJump), onStick);
    }

    void goFolderThatCannotBeStoredLeavesGoNowAsItWas()
    {
        Form1Menus *menus = &start();
        QPointer<Form2> dialog = openGoDialog();
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QTRY_VERIFY(!dialog);
        shown().clear();
        // Settings that cannot be written while the dialog is open: nothing is stored.
        dialog = openGoDialog();
        breakSettingsFolder();
        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        verifyNotStored();
        QVERIFY(menus->goto1->isEnabled() && dialog && dialog->isVisible());
        // Nothing stored yet and OK refused: Go to "Folder" Now stays disabled.
        m_desktop->closeWindow();
        menus = &start();
        QVERIFY(!menus->goto1->isEnabled());
        dialog = openGoDialog();
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        verifyNotStored();
        QVERIFY(!menus->goto1->isEnabled() && dialog && dialog->isVisible());
    }

    void goNowJumpsToTheStoredFolderOrPassesSilentlyOverAVanishedOne()
    {
        const QString stored = m_desktop->makeFolder(m_desktop->otherVolume() + "/Stored");
        m_desktop->makeFile(stored + QStringLiteral("/a.bmp"));
        store(Registry::kAutoJump, stored);
        Form1Menus &menus = start();
        Form1Controls &c = m_form->controls();
        QCOMPARE(c.Dir1->path(), stored); // at the start
        QVERIFY(c.Dir1->setPath(m_start));
        menus.goto1->click();
        QCOMPARE(c.Dir1->path(), stored);
        QCOMPARE(c.Drive1->drive().root, m_desktop->otherVolume());
        QCOMPARE(QDir::currentPath(), stored);
        QCOMPARE(entriesOf(*c.File1), QStringList{"a.bmp"});
        QCOMPARE(m_form->windowTitle(), titleFor(stored));
        QCOMPARE(shown(), Said{said(QStringLiteral("OK!..."))});
        shown().clear();

        // Vanished: the browser stays, and its list is still read again.
        QVERIFY(c.Dir1->setPath(m_start));
        QVERIFY(QDir(stored).removeRecursively());
        m_desktop->makeFile(m_start + QStringLiteral("/new.gif"));
        menus.goto1->click();
        QCOMPARE(c.Dir1->path(), m_start);
        QCOMPARE(entriesOf(*c.File1), QStringList{"new.gif"});
        QVERIFY(menus.goto1->isEnabled());
        // Removed meanwhile by another copy's dialog or by hand: the item disables itself.
        store(Registry::kAutoJump, QString());
        menus.goto1->click();
        QVERIFY(!menus.goto1->isEnabled());
        QCOMPARE(c.Dir1->path(), m_start);
        QVERIFY(shown().isEmpty());
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
