#include "fileops/FileCommands.h"
#include "support/TestDesktop.h"

#include <QFile>
#include <QTest>

namespace {

const RecordedMessage kPleaseSelect{QStringLiteral("Please Select A File"), 16,
                                    QStringLiteral("Quorvel")};

RecordedMessage questionFor(const QString &path)
{
    return {QStringLiteral("Are you sure you want to move \"%1\" to the Trash?").arg(path), 32,
            QStringLiteral("Delete File")};
}

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void runOpensTheShownFileFromTheProgramsFolderAndNothingElse();
    void deleteAsksThenKeepsOrTrashesAndReadsTheFolderAgain();
    void failedTrashKeepsTheFileAndSaysWhy();

private:
    Form1 &startWithSelection();

    std::unique_ptr<TestDesktop> m_desktop;
    QString m_folder;
    QString m_picture;
};

void TestFileCommands::init()
{
    m_desktop = std::make_unique<TestDesktop>();
    m_folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/My Pictures"));
    m_picture = m_desktop->makePicture(m_folder + QStringLiteral("/-50% \"off\" café.bmp"), 30, 20,
                                       Qt::red);
    m_desktop->makePicture(m_folder + QStringLiteral("/other.bmp"), 10, 10, Qt::blue);
}

void TestFileCommands::cleanup()
{
    m_desktop.reset();
}

Form1 &TestFileCommands::startWithSelection()
{
    Form1 &form = m_desktop->started(m_folder);
    form.controls().File1->selectFile(QStringLiteral("-50% \"off\" café.bmp"));
    return form;
}

void TestFileCommands::runOpensTheShownFileFromTheProgramsFolderAndNothingElse()
{
    // Nothing shown: both commands refuse.
    Form1 &form = m_desktop->started(m_folder);
    form.controls().menus.run1->click();
    form.controls().menus.delete_->click();
    QCOMPARE(m_desktop->messages.shown, (QList<RecordedMessage>{kPleaseSelect, kPleaseSelect}));
    QVERIFY(m_desktop->shell.opened.isEmpty() && m_desktop->shell.trashed.isEmpty());

    m_desktop->messages.shown.clear();
    form.controls().File1->selectFile(QStringLiteral("-50% \"off\" café.bmp"));
    form.controls().menus.run1->click();
    QVERIFY(m_desktop->messages.shown.isEmpty());
    QCOMPARE(m_desktop->shell.opened,
             (QList<FakeShell::Opened>{{m_picture, m_desktop->application.folder}}));
    // Nothing is re-read: the picture stays shown.
    QCOMPARE(form.controls().Label3->text(), m_picture);

    // A type that nothing opens is reported.
    m_desktop->shell.openFailure = QStringLiteral("No application is registered for this file");
    form.controls().menus.run1->click();
    QCOMPARE(m_desktop->messages.shown,
             (QList<RecordedMessage>{
                 {QStringLiteral("Cannot open \"%1\":\nNo application is registered for this file")
                      .arg(m_picture),
                  16, QStringLiteral("Quorvel")}}));
}

void TestFileCommands::deleteAsksThenKeepsOrTrashesAndReadsTheFolderAgain()
{
    // Answered No: the file stays, and the folder is read again all the same.
    Form1 &form = startWithSelection();
    Form1Controls &c = form.controls();
    m_desktop->messages.confirmAnswer = false;
    c.menus.delete_->click();
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{questionFor(m_picture)});
    QCOMPARE(m_desktop->messages.confirmDefaults,
             QList<MessageBoxes::DefaultAnswer>{MessageBoxes::DefaultNo});
    QVERIFY(m_desktop->shell.trashed.isEmpty());
    QVERIFY(QFile::exists(m_picture));
    QVERIFY(c.Label7->text().isEmpty());
    QVERIFY(c.File1->fileName().isEmpty());
    QCOMPARE(form.windowTitle(), titleFor(m_folder));

    // Answered Yes: to the trash.
    m_desktop->messages.shown.clear();
    c.File1->selectFile(QStringLiteral("-50% \"off\" café.bmp"));
    m_desktop->messages.confirmAnswer = true;
    c.menus.delete_->click();
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{questionFor(m_picture)});
    QCOMPARE(m_desktop->shell.trashed, QStringList{m_picture});
    QCOMPARE(entriesOf(*c.File1), QStringList{QStringLiteral("other.bmp")});
    QCOMPARE(form.windowTitle(), titleFor(m_folder));
    QVERIFY(c.Label3->text().isEmpty() && c.Label7->text().isEmpty());
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
}

void TestFileCommands::failedTrashKeepsTheFileAndSaysWhy()
{
    Form1 &form = startWithSelection();
    m_desktop->shell.trashFailure = QStringLiteral("Unable to find or create trash directory");
    form.controls().menus.delete_->click();
    QCOMPARE(m_desktop->messages.shown,
             (QList<RecordedMessage>{
                 questionFor(m_picture),
                 {QStringLiteral("Cannot move \"%1\" to the Trash:\nUnable to find or create "
                                 "trash directory")
                      .arg(m_picture),
                  16, QStringLiteral("Quorvel")}}));
    QVERIFY(QFile::exists(m_picture));
    QCOMPARE(entriesOf(*form.controls().File1).size(), 2);
    QVERIFY(form.controls().Label7->text().isEmpty());
}

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
