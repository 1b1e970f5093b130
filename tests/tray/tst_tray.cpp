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

class TestTray : public FeatureTest {
    Q_OBJECT

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
    QString settingsFolder() { return QFileInfo(m_desktop->registry->filePath()).path(); }
    // Puts a file where the settings folder belongs, so that nothing can be stored.
    void breakSettingsFolder()
    {
        QDir(settingsFolder()).removeRecursively();
        QDir().mkpath(QFileInfo(settingsFolder()).path());
        QFile blocker(settingsFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    void verifyNotStored()
    {
        const QString file = m_desktop->registry->filePath();
        const QString text =
            u"The setting could not be saved in %1:\nthe folder %2 cannot be made."_s;
        QCOMPARE(told(), Said{said(text.arg(file, QFileInfo(file).path()), 16)});
    }

private Q_SLOTS:
    void init() { makeDesktop(u"Start"_s); }

    void hidesAndComesBackOnlyOnALeftPress()
    {
        Form1Menus &menus = start().menus;
        m_form->show();
        FakeTray &tray = m_desktop->tray;
        for (MenuItem *hide : {menus.systray, menus.Tray1}) {
            // The paused slide show's item is on the bar only while the show is paused.
            hide->setVisible(true);
            hide->click();
            QVERIFY2(m_form->isHidden() && m_form->trayIcon().isInTray() && tray.shown &&
                         tray.iconGiven && tray.tip == "Quorvel 1.36",
                     qPrintable(hide->objectName()));
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

        // No notification area, or one refusing the icon: the window stays; a later one is found.
        for (const auto &[available, refuses, hidden] :
             {std::tuple{false, false, false}, {true, false, true}, {true, true, false}}) {
            tray.available = available;
            tray.refusesIcon = refuses;
            menus.systray->click();
            QVERIFY(m_form->isHidden() == hidden && tray.shown == hidden);
            tray.press(TrayMouse::LeftButtonDown);
            QVERIFY(m_form->isVisible());
        }
        QVERIFY(shown().isEmpty());

        tray.refusesIcon = false;
        menus.systray->click();
        QVERIFY(tray.shown);
        m_desktop->closeWindow(); // takes its icon along
        QVERIFY(!tray.shown);
    }

    void startsInTheTrayOnlyForExactlyOne()
    {
        FakeTray &tray = m_desktop->tray;
        // The stored text, whether there is a notification area, and whether it starts there.
        const std::tuple<const char *, bool, bool> rows[] = {
            {"1", true, true},   {"1", false, false},   {"", true, false},
            {"1 ", true, false}, {"true", true, false},
        };
        for (const auto &[stored, available, inTray] : rows) {
            tray.available = available;
            tray.tip.clear();
            store(Registry::kTrayIcon, QString::fromLatin1(stored));
            start();
            QVERIFY(m_form->trayIcon().isInTray() == inTray && tray.shown == inTray);
            QCOMPARE(tray.tip, inTray ? u"Quorvel 1.36"_s : QString());
            // The browser is complete behind the icon.
            QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
            tray.press(TrayMouse::LeftButtonDown);
            QVERIFY(!inTray || m_form->isVisible());
        }
    }

    void trayOptionShowsAndStoresTheChoice()
    {
        // Stored text (none at first), option shown, chosen, stored; last, unstorable settings.
        for (const auto &[stored, shownEnabled, chooseEnabled, expected] :
             {std::tuple{QString(), false, true, u"1"_s},
              {u"1"_s, true, false, u""_s},
              {u"0"_s, false, false, u""_s},
              {u"0"_s, false, true, QString()}}) {
            if (!stored.isNull())
                store(Registry::kTrayIcon, stored);
            Form1Menus &menus = start().menus;
            const bool startedInTray = m_form->trayIcon().isInTray();
            if (expected.isNull())
                breakSettingsFolder();
            menus.TrayMin1->click();
            QPointer<Form5> dialog = m_form->trayIcon().optionDialog();
            QVERIFY(dialog && dialog->isVisible() &&
                    dialog->windowTitle() == "Minimize to TrayIcon");
            QVERIFY(dialog->Option2->isChecked() == shownEnabled &&
                    dialog->Option1->isChecked() != shownEnabled);
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
                QVERIFY(shown().isEmpty() && setting(Registry::kTrayIcon).isEmpty());
                return;
            }
            QCOMPARE(told(), Said{kTakesEffect});
            QTRY_VERIFY(!dialog && setting(Registry::kTrayIcon) == expected);
            // Disabling keeps the value, empty, rather than removing it.
            const QSettings file(m_desktop->registry->filePath(), QSettings::IniFormat);
            QVERIFY(file.contains(u"Software/Quorvel/TrayIcon"_s));
            // Nothing changes until the next start.
            QCOMPARE(m_form->trayIcon().isInTray(), startedInTray);
        }
    }

    void goDialogStoresOnOkNothingOnCancelRemovesRefusesABadDriveAndGoNowJumps()
    {
        const QString chosen = m_desktop->makeFolder(m_folder + u"/Chosen"_s);
        m_desktop->makeFolder(m_folder + u"/Only highlighted"_s);
        Form1Menus &menus = start().menus;
        QVERIFY(!menus.goto1->isEnabled());
        QPointer<Form2> dialog = openGoDialog();
        QVERIFY(dialog && dialog->isVisible() && dialog->windowTitle() == "Auto-Go Folder");
        QVERIFY(dialog->Label5->isVisibleTo(dialog) && !dialog->Label4->isVisibleTo(dialog));
        QVERIFY(dialog->Label5->text() == "Haven't Set the Folder" &&
                !dialog->Command3->isEnabled());
        // Its own lists, standing where the browser stands.
        QVERIFY(dialog->Dir1->path() == m_folder &&
                dialog->Drive1->drive().root == m_desktop->home());
        // Settings that cannot be written: nothing is stored, the dialog stays.
        breakSettingsFolder();
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        verifyNotStored();
        QVERIFY(!menus.goto1->isEnabled() && dialog && dialog->isVisible());
        QVERIFY(QFile::remove(settingsFolder()));

        QVERIFY(dialog->Dir1->setPath(chosen));
        // Going back up and highlighting a subfolder does not open it.
        QVERIFY(dialog->Dir1->setPath(m_folder));
        dialog->Dir1->setCurrentRow(dialog->Dir1->count() - 1);
        QCOMPARE(dialog->Dir1->entryPath(dialog->Dir1->currentRow()),
                 m_folder + u"/Only highlighted"_s);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QVERIFY(setting(Registry::kAutoJump) == m_folder && menus.goto1->isEnabled());
        QCOMPARE(told(), Said{kTakesEffect});
        QTRY_VERIFY(!dialog);
        // The browser stays where it was until the next start or Go to "Folder" Now.
        QCOMPARE(m_form->controls().Dir1->path(), m_folder);

        // Cancel stores nothing, whatever the dialog's lists show.
        dialog = openGoDialog();
        QVERIFY(dialog->Label4->isVisibleTo(dialog) && !dialog->Label5->isVisibleTo(dialog));
        QVERIFY(dialog->Label4->text() == m_folder && dialog->Command3->isEnabled());
        QVERIFY(dialog->Dir1->setPath(chosen));
        QTest::mouseClick(dialog->Command2, Qt::LeftButton);
        QTRY_VERIFY(!dialog);
        QCOMPARE(setting(Registry::kAutoJump), m_folder);
        QVERIFY(menus.goto1->isEnabled() && shown().isEmpty());

        dialog = openGoDialog();
        breakSettingsFolder();
        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        verifyNotStored();
        QVERIFY(menus.goto1->isEnabled() && dialog && dialog->isVisible());
        QVERIFY(QFile::remove(settingsFolder()));
        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        QVERIFY(setting(Registry::kAutoJump).isEmpty() && !menus.goto1->isEnabled());
        QCOMPARE(told(), Said{kTakesEffect});
        QTRY_VERIFY(!dialog);

        // An unreadable drive is refused; Go to "Folder" Now jumps to the stored folder.
        const QString stored = m_desktop->makeFolder(m_desktop->otherVolume() + "/Stored");
        m_desktop->makeFile(stored + u"/a.bmp"_s);
        dialog = openGoDialog();
        const Volume stick = m_desktop->volumes.volumes.at(1);
        m_desktop->volumes.notReady.insert(stick.root);
        dialog->Drive1->setDrive(stick);
        QVERIFY(shown() == Said{kNotReady} && dialog->Drive1->drive().root == m_desktop->home());
        QVERIFY(dialog->Dir1->path() == m_folder && QDir::currentPath() == m_folder);
        // Ready, the drive opens at its working folder and becomes the working drive.
        m_desktop->volumes.notReady.clear();
        dialog->Drive1->setDrive(stick);
        QVERIFY(dialog->Dir1->path() == stick.root && QDir::currentPath() == stick.root);
        QVERIFY(dialog->Dir1->setPath(stored));
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(setting(Registry::kAutoJump), stored);

        // Go to "Folder" Now goes there; the next start's going there is the start-up's.
        Form1Controls &c = m_form->controls();
        QVERIFY(told() == Said({kNotReady, kTakesEffect}) && c.Dir1->path() == m_folder);
        menus.goto1->click();
        QVERIFY(c.Dir1->path() == stored && c.Drive1->drive().root == m_desktop->otherVolume());
        QVERIFY(QDir::currentPath() == stored && m_form->windowTitle() == titleFor(stored));
        QCOMPARE(entriesOf(*c.File1), QStringList{"a.bmp"});
        QCOMPARE(told(), Said{said(u"OK!..."_s)});

        // Vanished: the browser stays, and its list is still read again.
        QVERIFY(c.Dir1->setPath(m_folder));
        QVERIFY(QDir(stored).removeRecursively());
        m_desktop->makeFile(m_folder + u"/new.gif"_s);
        menus.goto1->click();
        QVERIFY(c.Dir1->path() == m_folder && menus.goto1->isEnabled());
        QCOMPARE(entriesOf(*c.File1), QStringList{"new.gif"});
        // Removed meanwhile by another copy's dialog or by hand: the item disables itself.
        store(Registry::kAutoJump, QString());
        menus.goto1->click();
        QVERIFY(!menus.goto1->isEnabled() && c.Dir1->path() == m_folder && shown().isEmpty());
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
