#include "browse/FolderBrowser.h"
#include "browse/Said.h"

#include <QDir>
#include <QLineEdit>
#include <QWindow>

class TestFolderBrowser : public QObject {
    Q_OBJECT

    std::optional<TestDesktop> m_desktop;
    QString m_pictures;
    Form1 *m_form = nullptr;

    Form1Controls &start(const QString &folder = {})
    {
        m_form = &m_desktop->started(folder.isEmpty() ? m_pictures : folder);
        return m_form->controls();
    }
    void refresh() { m_form->controls().menus.refresh1->click(); }

private Q_SLOTS:
    void init()
    {
        m_desktop.emplace();
        m_pictures = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Pictures"));
        for (const char *name : {"a.bmp", "B.BMP", "c.gif", "d.jpg", "e.ico", "f.cur", "g.rle",
                                 "h.DIB", "i.wmf", "j.emf", "k.png", "l.txt", "m.JPEG", "n.svgz"})
            m_desktop->makeFile(m_pictures + QLatin1Char('/') + QString::fromLatin1(name));
        m_desktop->makeFolder(m_pictures + QStringLiteral("/Sub"));
    }

    void filterItemsSelectTheirTypes()
    {
        Form1Controls &c = start();
        QStringList items;
        for (int i = 0; i < c.Combo1->count(); ++i)
            items.append(c.Combo1->itemText(i));
        QCOMPARE(items, (QStringList{"ALL Readable Format", "*.bmp;*.gif;*.jpg;*.ico;*.cur",
                                     "*.Rle;*.Dib;*.Wmf;*.Emf", "*.bmp;*.gif;*.jpg", "*.ico;*.cur",
                                     "*.bmp", "*.jpg", "*.gif", "*.ico", "*.cur",
                                     "*.jpg;*.jpeg;*.jpe;*.jfif", "*.png", "*.webp", "*.tif;*.tiff",
                                     "*.heic;*.heif;*.hif", "*.avif", "*.jxl", "*.svg;*.svgz"}));
        QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
        const QList<std::pair<QString, QStringList>> chosen = {
            {"*.gif", {"c.gif"}},
            {"*.Rle;*.Dib;*.Wmf;*.Emf", {"g.rle", "h.DIB", "i.wmf", "j.emf"}},
            {"*.jpg;*.jpeg;*.jpe;*.jfif", {"d.jpg", "m.JPEG"}},
            {"ALL Readable Format",
             {"a.bmp", "B.BMP", "c.gif", "d.jpg", "e.ico", "f.cur", "g.rle", "h.DIB", "i.wmf",
              "j.emf", "k.png", "m.JPEG", "n.svgz"}}};
        for (const auto &[item, entries] : chosen) {
            const int index = c.Combo1->findText(item);
            c.Combo1->setCurrentIndex(index);
            Q_EMIT c.Combo1->activated(index);
            QCOMPARE(entriesOf(*c.File1), entries);
            QCOMPARE(entriesOf(*c.File2), entries);
        }
        QVERIFY(m_desktop->messages.shown.isEmpty());
    }

    void typedPatternsRefilterAtEachKeyAndAnInvalidOneIsRefused()
    {
        Form1Controls &c = start();
        c.Combo1->lineEdit()->clear();
        QTest::keyClicks(c.Combo1->lineEdit(), QStringLiteral("*.BM"));
        QVERIFY(entriesOf(*c.File1).isEmpty());    // and an empty pattern lists nothing either
        c.Label7->setText(QStringLiteral("12KB")); // as if a picture had been shown meanwhile
        QTest::keyClick(c.Combo1->lineEdit(), Qt::Key_P);
        QCOMPARE(entriesOf(*c.File1), (QStringList{"a.bmp", "B.BMP"}));
        QCOMPARE(c.Label7->text(), QString());
        QCOMPARE(c.Image1->picture(), c.Picture2->picture());
        c.Combo1->setText(QString());
        QVERIFY(entriesOf(*c.File1).isEmpty());
        QVERIFY(m_desktop->messages.shown.isEmpty());

        c.Combo1->setText(QStringLiteral("../*.bmp"));
        QCOMPARE(m_desktop->messages.shown,
                 Said({{QStringLiteral("This action is not allowed in this application!"), 16,
                        QStringLiteral("Quorvel -Error")}}));
        QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
        QCOMPARE(c.File1->pattern(), FolderBrowser::kAllReadablePattern);
        QCOMPARE(entriesOf(*c.File1).size(), 13);
    }

    void listsAreSortedWithoutRegardToCase()
    {
        const QString folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Mixed"));
        for (const char *name : {"beta.gif", "Alpha.gif", "alpha2.GIF", ".zeta.gif", "Gamma.gif"})
            m_desktop->makeFile(folder + QLatin1Char('/') + QString::fromLatin1(name));
        for (const char *name : {"zoo", "Apple", "banana", ".hidden"})
            m_desktop->makeFolder(folder + QLatin1Char('/') + QString::fromLatin1(name));
        Form1Controls &c = start(folder);
        QCOMPARE(entriesOf(*c.File1),
                 (QStringList{".zeta.gif", "Alpha.gif", "alpha2.GIF", "beta.gif", "Gamma.gif"}));
        QCOMPARE(c.Dir1->entryPath(c.Dir1->count() - 3), folder + QStringLiteral("/Apple"));
        QCOMPARE(c.Dir1->entryPath(c.Dir1->count() - 1), folder + QStringLiteral("/zoo"));
    }

    void folderListOpensOnDoubleClickOnly()
    {
        DirListBox &dirs = *start().Dir1;
        m_form->show();
        const QString sub = m_pictures + QStringLiteral("/Sub");
        int row = 0;
        while (row < dirs.count() && dirs.entryPath(row) != sub)
            ++row;
        const QPoint onSub = dirs.visualItemRect(dirs.item(row)).center();
        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, onSub);
        QCOMPARE(dirs.path(), m_pictures); // a single click only highlights
        QTest::mouseDClick(dirs.viewport(), Qt::LeftButton, {}, onSub);
        QCOMPARE(dirs.path(), sub);
        QCOMPARE(m_form->windowTitle(), titleFor(sub));
        QCOMPARE(QDir::currentPath(), sub);
        QVERIFY(entriesOf(*m_form->controls().File1).isEmpty());
        // Enter opens the highlighted parent.
        dirs.setCurrentRow(dirs.count() - 2);
        QTest::keyClick(&dirs, Qt::Key_Return);
        QCOMPARE(dirs.path(), m_pictures);
    }

    void refreshReturnsThePanelToThePlaceholderAndKeepsTheFavouriteList()
    {
        const QString favourite = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Fav"));
        m_desktop->makeFile(favourite + QStringLiteral("/kept.gif"));
        Form1Controls &c = start();
        QVERIFY(c.File3->setPath(favourite));
        c.File1->setCurrentRow(0);
        c.Image1->setPicture(RasterPicture::fromImage(QImage(800, 600, QImage::Format_RGB32)));
        for (QLabel *label : {c.Label3, c.Label7, c.Label8, c.Label9})
            label->setText(QStringLiteral("x"));
        m_desktop->makeFile(m_pictures + QStringLiteral("/new.gif"));
        refresh();
        verifyStartedOver(c);
        QCOMPARE(c.Image1->width(), 179.f);
        QVERIFY(entriesOf(*c.File1).contains(QStringLiteral("new.gif")));
        QCOMPARE(m_form->windowTitle(), titleFor(m_pictures));
        // The favourite list keeps its own folder, read again.
        QCOMPARE(c.File3->path(), favourite);
        QCOMPARE(entriesOf(*c.File3), QStringList{"kept.gif"});

        // A favourite folder deleted meanwhile does not make the browser fall back.
        m_desktop->messages.shown.clear();
        QVERIFY(QDir(favourite).removeRecursively());
        refresh();
        QCOMPARE(c.Dir1->path(), m_pictures);
        QVERIFY(m_desktop->messages.shown.isEmpty());
    }

    void vanishedOrUnreadableFolderFallsBackToItsNearestParent()
    {
        Form1Controls &c = start(m_desktop->makeFolder(m_pictures + QStringLiteral("/Sub/Deeper")));
        QVERIFY(QDir(m_pictures + QStringLiteral("/Sub")).removeRecursively());
        refresh();
        QCOMPARE(c.Dir1->path(), m_pictures);
        QCOMPARE(m_form->windowTitle(), titleFor(m_pictures));
        QVERIFY(m_desktop->messages.shown.isEmpty());
        const QString locked = m_desktop->makeFolder(m_pictures + QStringLiteral("/Locked"));
        QVERIFY(c.Dir1->setPath(locked));
        m_desktop->files.unreadable.insert(locked);
        refresh();
        QCOMPARE(c.Dir1->path(), m_pictures);
    }

    void eachVolumeKeepsItsWorkingFolderAndOneNotReadyGivesWayToHome()
    {
        const QString dcim =
            m_desktop->makeFolder(m_desktop->otherVolume() + QStringLiteral("/DCIM"));
        Form1Controls &c = start();
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
        QCOMPARE(m_form->windowTitle(), titleFor(dcim));
        QVERIFY(m_desktop->messages.shown.isEmpty());

        c.Drive1->setDrive(home);
        m_desktop->volumes.notReady.insert(stick.root);
        c.Drive1->setDrive(stick);
        QCOMPARE(m_desktop->messages.shown, Said{kNotReady});
        QCOMPARE(c.Drive1->drive().root, m_desktop->home());
        QCOMPARE(c.Dir1->path(), m_pictures);

        // A volume that vanishes while open is noticed on the next refresh.
        m_desktop->volumes.notReady.clear();
        m_desktop->messages.shown.clear();
        c.Drive1->setDrive(stick);
        QCOMPARE(c.Dir1->path(), dcim);
        QVERIFY(QDir(m_desktop->otherVolume()).removeRecursively());
        refresh();
        QCOMPARE(m_desktop->messages.shown, Said{kNotReady});
        QCOMPARE(c.Drive1->drive().root, m_desktop->home());
        QCOMPARE(c.Dir1->path(), m_pictures);
        QCOMPARE(QDir::currentPath(), m_pictures);
    }

    void driveFallbackEndsOnAReadableFolder()
    {
        // The home volume cannot be used and the stick the lists are on is pulled: the
        // fallback from one to the other must end, with one message, on the root.
        const QString dcim =
            m_desktop->makeFolder(m_desktop->otherVolume() + QStringLiteral("/DCIM"));
        Form1Controls &c = start();
        const Volume stick = m_desktop->volumes.volumes[1];
        c.Drive1->setDrive(stick);
        QVERIFY(c.Dir1->setPath(dcim));
        m_desktop->volumes.notReady = {m_desktop->home(), stick.root};
        QVERIFY(QDir(m_desktop->otherVolume()).removeRecursively());
        for (int again = 0; again < 2; ++again) {
            // Again: choosing the pulled stick while on a readable folder stays there.
            if (again)
                c.Drive1->setDrive(stick);
            else
                refresh();
            QCOMPARE(m_desktop->messages.shown, Said{kNotReady});
            QCOMPARE(c.Dir1->path(), QStringLiteral("/"));
            QCOMPARE(c.Drive1->drive().root, QStringLiteral("/"));
            QCOMPARE(m_form->windowTitle(), titleFor(QStringLiteral("/")));
            m_desktop->messages.shown.clear();
        }
    }

    void leavingTheFilterUnchangedKeepsThePicture()
    {
        const QString path = m_desktop->makePicture(m_pictures + QStringLiteral("/shown.bmp"), 20,
                                                    10, QColor(200, 30, 30));
        Form1Controls &c = start();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form));
        c.File1->selectFile(QStringLiteral("shown.bmp"));
        // Into the filter text and out again with Tab, changing nothing.
        c.Combo1->lineEdit()->setFocus();
        QTRY_VERIFY(c.Combo1->lineEdit()->hasFocus());
        QTest::keyClick(c.Combo1->lineEdit(), Qt::Key_Tab);
        QTRY_VERIFY(!c.Combo1->lineEdit()->hasFocus());
        QCOMPARE(c.Label3->text(), path);
        QCOMPARE(c.File1->fileName(), QStringLiteral("shown.bmp"));
        QCOMPARE(m_form->windowTitle(), titleFor(path));
        QVERIFY(c.Image1->picture() != c.Picture2->picture());
    }

    void captionShowsBracketedStarsAsTheyAre()
    {
        // Window titles take "[*]" as their unsaved-changes mark; a folder may be named so.
        const QString odd =
            m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/odd[*]name"));
        start(odd);
        m_form->winId();
        QCOMPARE(m_form->windowHandle()->title(), titleFor(odd));
    }
};

QTEST_MAIN(TestFolderBrowser)
#include "tst_folderbrowser.moc"
