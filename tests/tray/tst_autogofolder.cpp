#include "platform/controls/DirListBox.h"
#include "platform/controls/DriveListBox.h"
#include "support/TestDesktop.h"
#include "tray/AutoGoFolder.h"
#include "tray/Form2.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

const RecordedMessage kTakesEffect{
    QStringLiteral("OK!..It will take effect when you run Quorvel next time."), 0,
    QStringLiteral("Quorvel")};

QString storedFolder(const TestDesktop &desktop)
{
    return desktop.registry->RegistryReadString(Registry::kSettingsKey, Registry::kAutoJump);
}

void store(TestDesktop &desktop, const QString &folder)
{
    QVERIFY(
        desktop.registry->RegistryWriteString(Registry::kSettingsKey, Registry::kAutoJump, folder));
}

Form2 *openDialog(Form1 &form)
{
    form.controls().menus.Jump1->click();
    return form.autoGo().dialog();
}

} // namespace

class TestAutoGoFolder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dialogShowsTheStoredFolderOrItsAbsence();
    void okStoresTheOpenFolderAndEnablesGoNow();
    void cancelStoresNothingAndRemoveStoresTheEmptyText();
    void unreadableDriveIsRefusedAndTheListGoesBack();
    void folderThatCannotBeStoredLeavesGoNowAsItWas();
    void goNowJumpsToTheStoredFolder();
    void goNowPassesSilentlyOverAVanishedOrForgottenFolder();
};

void TestAutoGoFolder::dialogShowsTheStoredFolderOrItsAbsence()
{
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Start"));
    Form1 &form = desktop.started(start);
    QPointer<Form2> dialog = openDialog(form);
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Auto-Go Folder"));
    QVERIFY(dialog->Label5->isVisibleTo(dialog));
    QCOMPARE(dialog->Label5->text(), QStringLiteral("Haven't Set the Folder"));
    QVERIFY(!dialog->Label4->isVisibleTo(dialog));
    QVERIFY(!dialog->Command3->isEnabled());
    // Its own lists, standing where the browser stands.
    QCOMPARE(dialog->Dir1->path(), start);
    QCOMPARE(dialog->Drive1->drive().root, desktop.home());
    QCOMPARE(dialog->Dir1->entryPath(dialog->Dir1->count() - 1), start);
    dialog->Command2_Click();
    QTRY_VERIFY(!dialog);

    store(desktop, QStringLiteral("/somewhere/else"));
    dialog = openDialog(form);
    QVERIFY(dialog->Label4->isVisibleTo(dialog));
    QCOMPARE(dialog->Label4->text(), QStringLiteral("/somewhere/else"));
    QVERIFY(!dialog->Label5->isVisibleTo(dialog));
    QVERIFY(dialog->Command3->isEnabled());
    QVERIFY(desktop.messages.shown.isEmpty());
}

void TestAutoGoFolder::okStoresTheOpenFolderAndEnablesGoNow()
{
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Start"));
    const QString chosen = desktop.makeFolder(start + QStringLiteral("/Chosen"));
    desktop.makeFolder(start + QStringLiteral("/Only highlighted"));
    Form1 &form = desktop.started(start);
    QVERIFY(!form.controls().menus.goto1->isEnabled());
    QPointer<Form2> dialog = openDialog(form);

    QVERIFY(dialog->Dir1->setPath(chosen));
    // Going back up and highlighting a subfolder does not open it.
    QVERIFY(dialog->Dir1->setPath(start));
    dialog->Dir1->setCurrentRow(dialog->Dir1->count() - 1);
    QCOMPARE(dialog->Dir1->entryPath(dialog->Dir1->currentRow()),
             start + QStringLiteral("/Only highlighted"));
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    QCOMPARE(storedFolder(desktop), start);
    QCOMPARE(desktop.messages.shown, QList<RecordedMessage>{kTakesEffect});
    QVERIFY(form.controls().menus.goto1->isEnabled());
    QTRY_VERIFY(!dialog);
    // The browser stays where it was until the next start or Go to "Folder" Now.
    QCOMPARE(form.controls().Dir1->path(), start);
}

void TestAutoGoFolder::cancelStoresNothingAndRemoveStoresTheEmptyText()
{
    TestDesktop desktop;
    const QString other = desktop.makeFolder(desktop.otherVolume() + QStringLiteral("/Else"));
    store(desktop, desktop.home());
    Form1 &form = desktop.started(desktop.home());
    QVERIFY(form.controls().menus.goto1->isEnabled());

    // Cancel stores nothing, whatever the dialog's lists show.
    QPointer<Form2> dialog = openDialog(form);
    QVERIFY(dialog->Dir1->setPath(other));
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);
    QTRY_VERIFY(!dialog);
    QCOMPARE(storedFolder(desktop), desktop.home());
    QVERIFY(form.controls().menus.goto1->isEnabled());
    QVERIFY(desktop.messages.shown.isEmpty());

    dialog = openDialog(form);
    QTest::mouseClick(dialog->Command3, Qt::LeftButton);
    QCOMPARE(storedFolder(desktop), QString());
    QCOMPARE(desktop.messages.shown, QList<RecordedMessage>{kTakesEffect});
    QVERIFY(!form.controls().menus.goto1->isEnabled());
    QTRY_VERIFY(!dialog);
}

void TestAutoGoFolder::unreadableDriveIsRefusedAndTheListGoesBack()
{
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Start"));
    const QString onStick = desktop.makeFolder(desktop.otherVolume() + QStringLiteral("/Photos"));
    Form1 &form = desktop.started(start);
    Form2 *dialog = openDialog(form);
    const Volume stick = desktop.volumes.volumes.at(1);

    desktop.volumes.notReady.insert(stick.root);
    dialog->Drive1->setDrive(stick);
    QCOMPARE(desktop.messages.shown,
             (QList<RecordedMessage>{{QStringLiteral("Device is not accessible or ready"), 16,
                                      QStringLiteral("Quorvel")}}));
    QCOMPARE(dialog->Drive1->drive().root, desktop.home());
    QCOMPARE(dialog->Dir1->path(), start);
    QCOMPARE(QDir::currentPath(), start);

    // Ready, the drive opens at its working folder and becomes the working drive.
    desktop.messages.shown.clear();
    desktop.volumes.notReady.clear();
    dialog->Drive1->setDrive(stick);
    QCOMPARE(dialog->Dir1->path(), stick.root);
    QCOMPARE(QDir::currentPath(), stick.root);
    QVERIFY(dialog->Dir1->setPath(onStick));
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    QCOMPARE(storedFolder(desktop), onStick);
}

void TestAutoGoFolder::folderThatCannotBeStoredLeavesGoNowAsItWas()
{
    TestDesktop desktop;
    const QString folder = QFileInfo(desktop.registry->filePath()).path();
    Form1 &form = desktop.started(desktop.home());
    QPointer<Form2> dialog = openDialog(form);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    QVERIFY(form.controls().menus.goto1->isEnabled());
    QTRY_VERIFY(!dialog);
    desktop.messages.shown.clear();

    // A file where the settings folder belongs, while the dialog is open: nothing can
    // be stored.
    dialog = openDialog(form);
    QVERIFY(dialog->Command3->isEnabled());
    QVERIFY(QDir(folder).removeRecursively());
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    const auto refused = [&desktop](bool goNowEnabled, Form1 &window, Form2 *open) {
        QCOMPARE(window.controls().menus.goto1->isEnabled(), goNowEnabled);
        QVERIFY(open && open->isVisible());
        QCOMPARE(desktop.messages.shown.size(), 1);
        QCOMPARE(desktop.messages.shown.constFirst().style, 16);
        QVERIFY(desktop.messages.shown.constFirst().text.startsWith(
            QStringLiteral("The setting could not be saved in ")));
        desktop.messages.shown.clear();
    };
    QTest::mouseClick(dialog->Command3, Qt::LeftButton);
    refused(true, form, dialog);

    // Nothing stored yet and OK refused: Go to "Folder" Now stays disabled.
    desktop.closeWindow();
    Form1 &fresh = desktop.started(desktop.home());
    QVERIFY(!fresh.controls().menus.goto1->isEnabled());
    dialog = openDialog(fresh);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    refused(false, fresh, dialog);
}

void TestAutoGoFolder::goNowJumpsToTheStoredFolder()
{
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Start"));
    const QString stored = desktop.makeFolder(desktop.otherVolume() + QStringLiteral("/Stored"));
    desktop.makeFile(stored + QStringLiteral("/a.bmp"));
    Form1 &form = desktop.started(start);
    store(desktop, stored);
    form.controls().menus.goto1->setEnabled(true);
    form.controls().menus.goto1->click();
    Form1Controls &c = form.controls();
    QCOMPARE(c.Dir1->path(), stored);
    QCOMPARE(c.Drive1->drive().root, desktop.otherVolume());
    QCOMPARE(QDir::currentPath(), stored);
    QCOMPARE(entriesOf(*c.File1), QStringList{QStringLiteral("a.bmp")});
    QCOMPARE(form.windowTitle(), titleFor(stored));
    QCOMPARE(desktop.messages.shown,
             (QList<RecordedMessage>{{QStringLiteral("OK!..."), 0, QStringLiteral("Quorvel")}}));
    QVERIFY(c.menus.goto1->isEnabled());
}

void TestAutoGoFolder::goNowPassesSilentlyOverAVanishedOrForgottenFolder()
{
    TestDesktop desktop;
    const QString start = desktop.makeFolder(desktop.home() + QStringLiteral("/Start"));
    const QString stored = desktop.makeFolder(desktop.home() + QStringLiteral("/Stored"));
    store(desktop, stored);
    Form1 &form = desktop.started(start);
    Form1Controls &c = form.controls();
    QCOMPARE(c.Dir1->path(), stored);
    QVERIFY(c.Dir1->setPath(start));
    QVERIFY(QDir(stored).removeRecursively());
    desktop.makeFile(start + QStringLiteral("/new.gif"));

    c.menus.goto1->click();
    QCOMPARE(c.Dir1->path(), start);
    // The list is still read again.
    QCOMPARE(entriesOf(*c.File1), QStringList{QStringLiteral("new.gif")});
    QVERIFY(c.menus.goto1->isEnabled());

    // Removed meanwhile by another copy's dialog or by hand: the item disables itself.
    store(desktop, QString());
    c.menus.goto1->click();
    QVERIFY(!c.menus.goto1->isEnabled());
    QCOMPARE(c.Dir1->path(), start);
    QVERIFY(desktop.messages.shown.isEmpty());
}

QTEST_MAIN(TestAutoGoFolder)
#include "tst_autogofolder.moc"
