#include "fileops/FavouriteFolders.h"
#include "show/WindowSlideShow.h"
#include "support/TestDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using Category = FavouriteFolders::Category;

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const RecordedMessage kNoFileSelected{QStringLiteral("No File Selected!"), 16,
                                      QStringLiteral("Quorvel")};

} // namespace

class TestFavouriteFolders : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void fileMenuCopiesTheSelectionIntoEachCategory();
    void nothingShownCreatesTheFoldersAndCopiesNothing();
    void failedCopyIsReportedNotFinished_data();
    void failedCopyIsReportedNotFinished();
    void slideShowCopyTakesTheGivenPicture();
    void viewMyVozeviZireOpensTheTreeSilently();

private:
    std::unique_ptr<TestDesktop> m_desktop;
    QString m_folder;
    QString m_picture;
};

void TestFavouriteFolders::init()
{
    m_desktop = std::make_unique<TestDesktop>();
    m_folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Pictures"));
    m_picture = m_desktop->makePicture(m_folder + QStringLiteral("/sun set.bmp"), 40, 30, Qt::red);
    m_desktop->makePicture(m_folder + QStringLiteral("/other.bmp"), 20, 10, Qt::blue);
}

void TestFavouriteFolders::cleanup()
{
    m_desktop.reset();
}

void TestFavouriteFolders::fileMenuCopiesTheSelectionIntoEachCategory()
{
    Form1 &form = m_desktop->started(m_folder);
    Form1Controls &c = form.controls();
    // An older file of that name is replaced without a question.
    m_desktop->makeFile(
        FavouriteFolders::folderOf(Category::ForWork) + QStringLiteral("/sun set.bmp"), "older");
    c.File1->selectFile(QStringLiteral("sun set.bmp"));
    const Form1Menus &m = c.menus;
    const QList<std::pair<MenuItem *, QString>> categories = {{m.temp1, "Temp"},
                                                              {m.home1, "HomePage"},
                                                              {m.work1, "For Work"},
                                                              {m.per1, "Personal"},
                                                              {m.future1, "Future Use"}};
    for (const auto &[item, name] : categories) {
        m_desktop->messages.shown.clear();
        item->click();
        QCOMPARE(m_desktop->messages.shown,
                 (QList<RecordedMessage>{{QStringLiteral("Process Finished!"), 0,
                                          QStringLiteral("Copy --> C:\\VozeviZire\\") + name}}));
        const QString folder = m_desktop->home() + QStringLiteral("/VozeviZire/") + name;
        QCOMPARE(contentOf(folder + QStringLiteral("/sun set.bmp")), contentOf(m_picture));
        QCOMPARE(c.File3->path(), folder);
        // The reload left the picture shown and the selection as it was.
        QCOMPARE(c.Label3->text(), m_picture);
        QCOMPARE(c.File1->fileName(), QStringLiteral("sun set.bmp"));
    }
}

void TestFavouriteFolders::nothingShownCreatesTheFoldersAndCopiesNothing()
{
    Form1 &form = m_desktop->started(m_folder);
    Form1Controls &c = form.controls();
    c.menus.work1->click();
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{kNoFileSelected});
    const QString folder = FavouriteFolders::folderOf(Category::ForWork);
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(QDir(folder).isEmpty());
    QCOMPARE(QDir(FavouriteFolders::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("For Work")});

    // A selected file that can no longer be read is reported by the reload, which
    // starts the browser over; then nothing is selected to copy.
    c.File1->selectFile(QStringLiteral("other.bmp"));
    QVERIFY(QFile::remove(m_folder + QStringLiteral("/other.bmp")));
    m_desktop->messages.shown.clear();
    c.menus.temp1->click();
    QCOMPARE(m_desktop->messages.shown.size(), 2);
    QCOMPARE(m_desktop->messages.shown.constLast(), kNoFileSelected);
    QVERIFY(QDir(FavouriteFolders::folderOf(Category::Temp)).isEmpty());
}

void TestFavouriteFolders::failedCopyIsReportedNotFinished_data()
{
    QTest::addColumn<QString>("inTheWay"); // below the tree's root; a folder when it ends in '/'
    QTest::addColumn<QString>("failure");  // %1: the tree's root
    QTest::newRow("a folder where the copy goes") << "/HomePage/sun set.bmp/"
                                                  << "%1/HomePage/sun set.bmp is a folder";
    QTest::newRow("a file where the tree goes") << ""
                                                << "Cannot create the folder %1: File exists";
}

void TestFavouriteFolders::failedCopyIsReportedNotFinished()
{
    QFETCH(QString, inTheWay);
    QFETCH(QString, failure);
    const QString path = FavouriteFolders::root() + inTheWay;
    if (path.endsWith(QLatin1Char('/')))
        m_desktop->makeFolder(path);
    else
        m_desktop->makeFile(path);
    Form1 &form = m_desktop->started(m_folder);
    form.controls().File1->selectFile(QStringLiteral("sun set.bmp"));
    form.controls().menus.home1->click();
    QCOMPARE(m_desktop->messages.shown,
             (QList<RecordedMessage>{
                 {QStringLiteral("Copy Failed!\n\n") + failure.arg(FavouriteFolders::root()), 16,
                  QStringLiteral("Copy --> C:\\VozeviZire\\HomePage")}}));
}

void TestFavouriteFolders::slideShowCopyTakesTheGivenPicture()
{
    // The paused window-mode show copies the slide on screen, whatever the list selects.
    Form1 &form = m_desktop->started(m_folder);
    Form1Controls &c = form.controls();
    c.File1->selectFile(QStringLiteral("other.bmp"));
    c.menus.viewmenu->click();
    form.windowShow().Timer1_Timer(); // other.bmp
    form.windowShow().Timer1_Timer(); // sun set.bmp
    c.menus.pause1->click();
    QCOMPARE(c.Label12->text(), m_picture);
    const QString title = form.windowTitle();
    c.menus.per2->click();
    QCOMPARE(m_desktop->messages.shown,
             (QList<RecordedMessage>{{QStringLiteral("Process Finished!"), 0,
                                      QStringLiteral("Copy --> C:\\VozeviZire\\Personal")}}));
    QCOMPARE(
        contentOf(FavouriteFolders::folderOf(Category::Personal) + QStringLiteral("/sun set.bmp")),
        contentOf(m_picture));
    // Neither reloaded nor re-read: the show stays paused on its slide.
    QVERIFY(c.menus.play1->isVisible());
    QCOMPARE(form.windowTitle(), title);
}

void TestFavouriteFolders::viewMyVozeviZireOpensTheTreeSilently()
{
    // Started on the other volume, so the drive changes too.
    Form1 &form = m_desktop->started(m_desktop->otherVolume());
    Form1Controls &c = form.controls();
    m_desktop->makePicture(FavouriteFolders::root() + QStringLiteral("/loose.bmp"), 8, 8,
                           Qt::black);
    for (int run = 0; run < 2; ++run) {
        c.menus.go1->click();
        QVERIFY(m_desktop->messages.shown.isEmpty());
        QCOMPARE(c.Drive1->drive().root, m_desktop->home());
        QCOMPARE(c.Dir1->path(), FavouriteFolders::root());
        QCOMPARE(entriesOf(*c.File1), QStringList{QStringLiteral("loose.bmp")});
        QCOMPARE(form.windowTitle(), titleFor(FavouriteFolders::root()));
        QVERIFY(c.Label7->text().isEmpty());
    }
    QStringList folders =
        QDir(FavouriteFolders::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    folders.sort();
    QCOMPARE(folders, (QStringList{"For Work", "Future Use", "HomePage", "Personal", "Temp"}));
}

QTEST_MAIN(TestFavouriteFolders)
#include "tst_favouritefolders.moc"
