#include "browse/FolderBrowser.h"
#include "support/TestDesktop.h"

#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

namespace {

// Where the folder list shows the entry that stands for folder.
QPoint entryCentre(const DirListBox &list, const QString &folder)
{
    for (int row = 0; row < list.count(); ++row) {
        if (list.entryPath(row) == folder)
            return list.visualItemRect(list.item(row)).center();
    }
    return {};
}

void chooseFilterItem(ComboBox &combo, const QString &text)
{
    const int index = combo.findText(text);
    QVERIFY(index >= 0);
    combo.setCurrentIndex(index);
    Q_EMIT combo.activated(index);
}

} // namespace

class TestFolderBrowser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void filterItemsSelectTheirTypes();
    void typedPatternRefiltersOnEveryKeystroke();
    void invalidPatternIsRefusedAndAnEmptyOneListsNothing();
    void listsAreSortedWithoutRegardToCase();
    void folderListOpensOnDoubleClickOnly();
    void eachVolumeKeepsItsWorkingFolder();
    void refreshReturnsThePanelToThePlaceholderAndKeepsTheFavouriteList();
    void vanishedFolderFallsBackToItsNearestParent();
    void volumeThatIsNotReadyGivesWayToHome();
    void driveFallbackEndsOnAReadableFolder();
    void leavingTheFilterUnchangedKeepsThePicture();
    void captionShowsBracketedStarsAsTheyAre();

private:
    std::unique_ptr<TestDesktop> m_desktop;
    QString m_pictures;
};

void TestFolderBrowser::init()
{
    m_desktop = std::make_unique<TestDesktop>();
    m_pictures = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Pictures"));
    for (const char *name : {"a.bmp", "B.BMP", "c.gif", "d.jpg", "e.ico", "f.cur", "g.rle", "h.DIB",
                             "i.wmf", "j.emf", "k.png", "l.txt", "m.JPEG", "n.svgz"})
        m_desktop->makeFile(m_pictures + QLatin1Char('/') + QString::fromLatin1(name));
    m_desktop->makeFolder(m_pictures + QStringLiteral("/Sub"));
}

void TestFolderBrowser::cleanup()
{
    m_desktop.reset();
}

void TestFolderBrowser::filterItemsSelectTheirTypes()
{
    Form1 &form = m_desktop->started(m_pictures);
    Form1Controls &c = form.controls();
    QStringList items;
    for (int i = 0; i < c.Combo1->count(); ++i)
        items.append(c.Combo1->itemText(i));
    QCOMPARE(items, (QStringList{"ALL Readable Format", "*.bmp;*.gif;*.jpg;*.ico;*.cur",
                                 "*.Rle;*.Dib;*.Wmf;*.Emf", "*.bmp;*.gif;*.jpg", "*.ico;*.cur",
                                 "*.bmp", "*.jpg", "*.gif", "*.ico", "*.cur",
                                 "*.jpg;*.jpeg;*.jpe;*.jfif", "*.png", "*.webp", "*.tif;*.tiff",
                                 "*.heic;*.heif;*.hif", "*.avif", "*.jxl", "*.svg;*.svgz"}));
    QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
    QCOMPARE(entriesOf(*c.File1),
             (QStringList{"a.bmp", "B.BMP", "c.gif", "d.jpg", "e.ico", "f.cur", "g.rle", "h.DIB",
                          "i.wmf", "j.emf", "k.png", "m.JPEG", "n.svgz"}));

    chooseFilterItem(*c.Combo1, QStringLiteral("*.gif"));
    QCOMPARE(entriesOf(*c.File1), QStringList{"c.gif"});
    QCOMPARE(entriesOf(*c.File2), QStringList{"c.gif"});
    chooseFilterItem(*c.Combo1, QStringLiteral("*.Rle;*.Dib;*.Wmf;*.Emf"));
    QCOMPARE(entriesOf(*c.File1), (QStringList{"g.rle", "h.DIB", "i.wmf", "j.emf"}));
    chooseFilterItem(*c.Combo1, QStringLiteral("*.jpg;*.jpeg;*.jpe;*.jfif"));
    QCOMPARE(entriesOf(*c.File1), (QStringList{"d.jpg", "m.JPEG"}));
    chooseFilterItem(*c.Combo1, QStringLiteral("ALL Readable Format"));
    QVERIFY(c.File1->pattern().startsWith(
        QStringLiteral("*.bmp;*.gif;*.jpg;*.ico;*.cur;*.Rle;*.Dib;*.Wmf;*.Emf;")));
    QVERIFY(m_desktop->messages.shown.isEmpty());
}

void TestFolderBrowser::typedPatternRefiltersOnEveryKeystroke()
{
    Form1 &form = m_desktop->started(m_pictures);
    Form1Controls &c = form.controls();
    c.Combo1->lineEdit()->clear();
    QTest::keyClicks(c.Combo1->lineEdit(), QStringLiteral("*.BM"));
    QVERIFY(entriesOf(*c.File1).isEmpty());
    c.Label7->setText(QStringLiteral("12KB")); // as if a picture had been shown meanwhile
    QTest::keyClick(c.Combo1->lineEdit(), Qt::Key_P);
    QCOMPARE(entriesOf(*c.File1), (QStringList{"a.bmp", "B.BMP"}));
    QCOMPARE(c.Label7->text(), QString());
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
}

void TestFolderBrowser::invalidPatternIsRefusedAndAnEmptyOneListsNothing()
{
    Form1 &form = m_desktop->started(m_pictures);
    Form1Controls &c = form.controls();
    c.Combo1->setText(QString());
    QVERIFY(entriesOf(*c.File1).isEmpty());
    QVERIFY(m_desktop->messages.shown.isEmpty());

    c.Combo1->setText(QStringLiteral("../*.bmp"));
    QCOMPARE(
        m_desktop->messages.shown,
        (QList<RecordedMessage>{{QStringLiteral("This action is not allowed in this application!"),
                                 16, QStringLiteral("Quorvel -Error")}}));
    QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
    QCOMPARE(c.File1->pattern(), FolderBrowser::kAllReadablePattern);
    QCOMPARE(entriesOf(*c.File1).size(), 13);
}

void TestFolderBrowser::listsAreSortedWithoutRegardToCase()
{
    const QString folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Mixed"));
    for (const char *name : {"beta.gif", "Alpha.gif", "alpha2.GIF", ".zeta.gif", "Gamma.gif"})
        m_desktop->makeFile(folder + QLatin1Char('/') + QString::fromLatin1(name));
    for (const char *name : {"zoo", "Apple", "banana", ".hidden"})
        m_desktop->makeFolder(folder + QLatin1Char('/') + QString::fromLatin1(name));
    Form1 &form = m_desktop->started(folder);
    QCOMPARE(entriesOf(*form.controls().File1),
             (QStringList{".zeta.gif", "Alpha.gif", "alpha2.GIF", "beta.gif", "Gamma.gif"}));
    const DirListBox &dirs = *form.controls().Dir1;
    QCOMPARE(dirs.entryPath(dirs.count() - 3), folder + QStringLiteral("/Apple"));
    QCOMPARE(dirs.entryPath(dirs.count() - 1), folder + QStringLiteral("/zoo"));
}

void TestFolderBrowser::folderListOpensOnDoubleClickOnly()
{
    Form1 &form = m_desktop->started(m_pictures);
    form.show();
    DirListBox &dirs = *form.controls().Dir1;
    const QString sub = m_pictures + QStringLiteral("/Sub");
    const QPoint onSub = entryCentre(dirs, sub);
    QVERIFY(!onSub.isNull());
    QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, onSub);
    QCOMPARE(dirs.path(), m_pictures); // a single click only highlights
    QTest::mouseDClick(dirs.viewport(), Qt::LeftButton, {}, onSub);
    QCOMPARE(dirs.path(), sub);
    QCOMPARE(form.windowTitle(), titleFor(sub));
    QCOMPARE(QDir::currentPath(), sub);
    QVERIFY(entriesOf(*form.controls().File1).isEmpty());

    // Enter opens the highlighted parent.
    dirs.setCurrentRow(dirs.count() - 2);
    QTest::keyClick(&dirs, Qt::Key_Return);
    QCOMPARE(dirs.path(), m_pictures);
}

void TestFolderBrowser::eachVolumeKeepsItsWorkingFolder()
{
    const QString dcim = m_desktop->makeFolder(m_desktop->otherVolume() + QStringLiteral("/DCIM"));
    Form1 &form = m_desktop->started(m_pictures);
    Form1Controls &c = form.controls();
    const Volume home = m_desktop->volumes.volumes[0];
    const Volume stick = m_desktop->volumes.volumes[1];

    c.Drive1->setDrive(stick);
    QCOMPARE(c.Dir1->path(), m_desktop->otherVolume()); // not visited yet: its root
    QVERIFY(c.Dir1->setPath(dcim));
    QCOMPARE(QDir::currentPath(), dcim);
    c.Drive1->setDrive(home);
    QCOMPARE(c.Dir1->path(), m_pictures);
    QCOMPARE(QDir::currentPath(), m_pictures);
    c.Drive1->setDrive(stick);
    QCOMPARE(c.Dir1->path(), dcim);
    QCOMPARE(form.windowTitle(), titleFor(dcim));
    QVERIFY(m_desktop->messages.shown.isEmpty());
}

void TestFolderBrowser::refreshReturnsThePanelToThePlaceholderAndKeepsTheFavouriteList()
{
    const QString favourite = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Fav"));
    m_desktop->makeFile(favourite + QStringLiteral("/kept.gif"));
    Form1 &form = m_desktop->started(m_pictures);
    Form1Controls &c = form.controls();
    QVERIFY(c.File3->setPath(favourite));
    c.File1->setCurrentRow(0);
    c.Image1->setPicture(RasterPicture::fromImage(QImage(800, 600, QImage::Format_RGB32)));
    c.Label3->setText(m_pictures + QStringLiteral("/a.bmp"));
    for (QLabel *label : {c.Label7, c.Label8, c.Label9})
        label->setText(QStringLiteral("x"));
    m_desktop->makeFile(m_pictures + QStringLiteral("/new.gif"));

    c.menus.refresh1->click();
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
    QCOMPARE(c.Image1->width(), 179.f);
    for (QLabel *label : {c.Label3, c.Label7, c.Label8, c.Label9})
        QCOMPARE(label->text(), QString());
    QVERIFY(entriesOf(*c.File1).contains(QStringLiteral("new.gif")));
    QCOMPARE(c.File1->fileName(), QString());
    QCOMPARE(form.windowTitle(), titleFor(m_pictures));
    // The favourite list keeps its own folder, read again.
    QCOMPARE(c.File3->path(), favourite);
    QCOMPARE(entriesOf(*c.File3), QStringList{"kept.gif"});

    // A favourite folder deleted meanwhile does not make the browser fall back.
    m_desktop->messages.shown.clear();
    QVERIFY(QDir(favourite).removeRecursively());
    c.menus.refresh1->click();
    QCOMPARE(c.Dir1->path(), m_pictures);
    QVERIFY(m_desktop->messages.shown.isEmpty());
}

void TestFolderBrowser::vanishedFolderFallsBackToItsNearestParent()
{
    const QString deep = m_desktop->makeFolder(m_pictures + QStringLiteral("/Sub/Deeper"));
    Form1 &form = m_desktop->started(deep);
    QVERIFY(QDir(m_pictures + QStringLiteral("/Sub")).removeRecursively());
    form.controls().menus.refresh1->click();
    QCOMPARE(form.controls().Dir1->path(), m_pictures);
    QCOMPARE(form.windowTitle(), titleFor(m_pictures));
    QCOMPARE(form.controls().Combo1->text(), QStringLiteral("ALL Readable Format"));
    QVERIFY(m_desktop->messages.shown.isEmpty());

    // An unreadable folder is treated alike.
    const QString locked = m_desktop->makeFolder(m_pictures + QStringLiteral("/Locked"));
    QVERIFY(form.controls().Dir1->setPath(locked));
    m_desktop->files.unreadable.insert(locked);
    form.controls().menus.refresh1->click();
    QCOMPARE(form.controls().Dir1->path(), m_pictures);
}

void TestFolderBrowser::driveFallbackEndsOnAReadableFolder()
{
    // The home volume cannot be used and the stick the lists are on is pulled: the
    // fallback from one to the other must end, with one message, on the root.
    const QString dcim = m_desktop->makeFolder(m_desktop->otherVolume() + QStringLiteral("/DCIM"));
    Form1 &form = m_desktop->started(m_pictures);
    Form1Controls &c = form.controls();
    const Volume stick = m_desktop->volumes.volumes[1];
    c.Drive1->setDrive(stick);
    QVERIFY(c.Dir1->setPath(dcim));
    m_desktop->volumes.notReady = {m_desktop->home(), stick.root};
    QVERIFY(QDir(m_desktop->otherVolume()).removeRecursively());

    c.menus.refresh1->click();
    const RecordedMessage notReady{QStringLiteral("Device is not accessible or ready"), 16,
                                   QStringLiteral("Quorvel")};
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{notReady});
    QCOMPARE(c.Dir1->path(), QStringLiteral("/"));
    QCOMPARE(c.Drive1->drive().root, QStringLiteral("/"));
    QCOMPARE(form.windowTitle(), titleFor(QStringLiteral("/")));

    // Choosing the pulled stick again while on a readable folder stays there.
    m_desktop->messages.shown.clear();
    c.Drive1->setDrive(stick);
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{notReady});
    QCOMPARE(c.Dir1->path(), QStringLiteral("/"));
    QCOMPARE(c.Drive1->drive().root, QStringLiteral("/"));
}

void TestFolderBrowser::volumeThatIsNotReadyGivesWayToHome()
{
    const QString dcim = m_desktop->makeFolder(m_desktop->otherVolume() + QStringLiteral("/DCIM"));
    Form1 &form = m_desktop->started(m_pictures);
    Form1Controls &c = form.controls();
    const Volume stick = m_desktop->volumes.volumes[1];
    m_desktop->volumes.notReady.insert(stick.root);
    c.Drive1->setDrive(stick);
    const RecordedMessage notReady{QStringLiteral("Device is not accessible or ready"), 16,
                                   QStringLiteral("Quorvel")};
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{notReady});
    QCOMPARE(c.Drive1->drive().root, m_desktop->home());
    QCOMPARE(c.Dir1->path(), m_pictures);

    // A volume that vanishes while open is noticed on the next refresh.
    m_desktop->volumes.notReady.clear();
    m_desktop->messages.shown.clear();
    c.Drive1->setDrive(stick);
    QVERIFY(c.Dir1->setPath(dcim));
    QVERIFY(QDir(m_desktop->otherVolume()).removeRecursively());
    c.menus.refresh1->click();
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{notReady});
    QCOMPARE(c.Drive1->drive().root, m_desktop->home());
    QCOMPARE(c.Dir1->path(), m_pictures);
    QCOMPARE(QDir::currentPath(), m_pictures);
}

void TestFolderBrowser::leavingTheFilterUnchangedKeepsThePicture()
{
    const QString path = m_desktop->makePicture(m_pictures + QStringLiteral("/shown.bmp"), 20, 10,
                                                QColor(200, 30, 30));
    Form1 &form = m_desktop->started(m_pictures);
    Form1Controls &c = form.controls();
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    c.File1->selectFile(QStringLiteral("shown.bmp"));
    QCOMPARE(c.Label3->text(), path);

    // Into the filter text and out again with Tab, changing nothing.
    c.Combo1->lineEdit()->setFocus();
    QTRY_VERIFY(c.Combo1->lineEdit()->hasFocus());
    QTest::keyClick(c.Combo1->lineEdit(), Qt::Key_Tab);
    QTRY_VERIFY(!c.Combo1->lineEdit()->hasFocus());
    QCOMPARE(c.Label3->text(), path);
    QCOMPARE(c.File1->fileName(), QStringLiteral("shown.bmp"));
    QCOMPARE(form.windowTitle(), titleFor(path));
    QVERIFY(c.Image1->picture() != c.Picture2->picture());
}

void TestFolderBrowser::captionShowsBracketedStarsAsTheyAre()
{
    // Window titles take "[*]" as their unsaved-changes mark; a folder may be named so.
    const QString odd = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/odd[*]name"));
    Form1 &form = m_desktop->started(odd);
    form.winId();
    QCOMPARE(form.windowHandle()->title(), titleFor(odd));
}

QTEST_MAIN(TestFolderBrowser)
#include "tst_folderbrowser.moc"
