#include "browse/FolderBrowser.h"
#include "browse/Said.h"

#include <QDir>
#include <QLineEdit>
#include <QWindow>

class TestFolderBrowser : public FeatureTest {
    Q_OBJECT

    void refresh() { m_form->controls().menus.refresh1->click(); }

private Q_SLOTS:
    void init()
    {
        makeDesktop(u"Pictures"_s);
        for (const char *name : {"a.bmp", "B.BMP", "c.gif", "d.jpg", "e.ico", "f.cur", "g.rle",
                                 "h.DIB", "i.wmf", "j.emf", "k.png", "l.txt", "m.JPEG", "n.svgz"})
            m_desktop->makeFile(m_folder + u'/' + QString::fromLatin1(name));
        m_desktop->makeFolder(m_folder + u"/Sub"_s);
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
        QCOMPARE(c.Combo1->text(), u"ALL Readable Format"_s);
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
            QVERIFY(entriesOf(*c.File1) == entries && entriesOf(*c.File2) == entries);
        }
        QVERIFY(shown().isEmpty());
    }

    void typedPatternsRefilterAtEachKeyAndAnInvalidOneIsRefused()
    {
        Form1Controls &c = start();
        c.Combo1->lineEdit()->clear();
        QTest::keyClicks(c.Combo1->lineEdit(), u"*.BM"_s);
        QVERIFY(entriesOf(*c.File1).isEmpty()); // and an empty pattern lists nothing either
        c.Label7->setText(u"12KB"_s);           // as if a picture had been shown meanwhile
        QTest::keyClick(c.Combo1->lineEdit(), Qt::Key_P);
        QCOMPARE(entriesOf(*c.File1), (QStringList{"a.bmp", "B.BMP"}));
        QVERIFY(c.Label7->text().isEmpty() && c.Image1->picture() == c.Picture2->picture());
        c.Combo1->setText(QString());
        QVERIFY(entriesOf(*c.File1).isEmpty() && shown().isEmpty());

        c.Combo1->setText(u"../*.bmp"_s);
        QCOMPARE(shown(), Said({{u"This action is not allowed in this application!"_s, 16,
                                 u"Quorvel -Error"_s}}));
        QVERIFY(c.Combo1->text() == "ALL Readable Format" &&
                c.File1->pattern() == FolderBrowser::kAllReadablePattern);
        QCOMPARE(entriesOf(*c.File1).size(), 13);
    }

    void listsAreSortedWithoutRegardToCase()
    {
        // Window titles take "[*]" as their unsaved-changes mark; a folder may be named so.
        const QString folder = m_desktop->makeFolder(m_desktop->home() + u"/odd[*]name"_s);
        for (const char *name : {"beta.gif", "Alpha.gif", "alpha2.GIF", ".zeta.gif", "Gamma.gif"})
            m_desktop->makeFile(folder + u'/' + QString::fromLatin1(name));
        for (const char *name : {"zoo", "Apple", "banana", ".hidden"})
            m_desktop->makeFolder(folder + u'/' + QString::fromLatin1(name));
        Form1Controls &c = start(folder);
        QCOMPARE(entriesOf(*c.File1),
                 (QStringList{".zeta.gif", "Alpha.gif", "alpha2.GIF", "beta.gif", "Gamma.gif"}));
        QVERIFY(c.Dir1->entryPath(c.Dir1->count() - 3) == folder + u"/Apple"_s &&
                c.Dir1->entryPath(c.Dir1->count() - 1) == folder + u"/zoo"_s);
        m_form->winId();
        QCOMPARE(m_form->windowHandle()->title(), titleFor(folder));
    }

    void folderListOpensOnDoubleClickOnly()
    {
        DirListBox &dirs = *start().Dir1;
        m_form->show();
        const QString sub = m_folder + u"/Sub"_s;
        int row = 0;
        while (row < dirs.count() && dirs.entryPath(row) != sub)
            ++row;
        const QPoint onSub = dirs.visualItemRect(dirs.item(row)).center();
        QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, onSub);
        QCOMPARE(dirs.path(), m_folder); // a single click only highlights
        QTest::mouseDClick(dirs.viewport(), Qt::LeftButton, {}, onSub);
        QVERIFY(dirs.path() == sub && m_form->windowTitle() == titleFor(sub));
        QVERIFY(QDir::currentPath() == sub && entriesOf(*m_form->controls().File1).isEmpty());
        // Enter opens the highlighted parent.
        dirs.setCurrentRow(dirs.count() - 2);
        QTest::keyClick(&dirs, Qt::Key_Return);
        QCOMPARE(dirs.path(), m_folder);
    }

    void refreshReturnsThePanelToThePlaceholderAndKeepsTheFavouriteList()
    {
        const QString favourite = m_desktop->makeFolder(m_desktop->home() + u"/Fav"_s);
        m_desktop->makeFile(favourite + u"/kept.gif"_s);
        Form1Controls &c = start();
        QVERIFY(c.File3->setPath(favourite));
        c.File1->setCurrentRow(0);
        c.Image1->setPicture(RasterPicture::fromImage(QImage(800, 600, QImage::Format_RGB32)));
        for (QLabel *label : {c.Label3, c.Label7, c.Label8, c.Label9})
            label->setText(u"x"_s);
        m_desktop->makeFile(m_folder + u"/new.gif"_s);
        refresh();
        verifyStartedOver(c);
        QVERIFY(c.Image1->width() == 179.f && entriesOf(*c.File1).contains(u"new.gif"_s));
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
        // The favourite list keeps its own folder, read again.
        QVERIFY(c.File3->path() == favourite && entriesOf(*c.File3) == QStringList{"kept.gif"});

        // A vanished favourite folder is no cause to fall back; a vanished open one is.
        told();
        QVERIFY(c.Dir1->setPath(m_desktop->makeFolder(m_folder + u"/Sub/Deeper"_s)));
        QVERIFY(QDir(favourite).removeRecursively());
        refresh();
        QVERIFY(c.Dir1->path() == m_folder + u"/Sub/Deeper"_s && shown().isEmpty());
        QVERIFY(QDir(m_folder + u"/Sub"_s).removeRecursively());
        refresh();
        QVERIFY(c.Dir1->path() == m_folder && m_form->windowTitle() == titleFor(m_folder));
        QVERIFY(shown().isEmpty());
        const QString locked = m_desktop->makeFolder(m_folder + u"/Locked"_s);
        QVERIFY(c.Dir1->setPath(locked));
        m_desktop->files.unreadable.insert(locked);
        refresh();
        QCOMPARE(c.Dir1->path(), m_folder);
    }

    void eachVolumeKeepsItsWorkingFolderAndOneNotReadyGivesWayToHome()
    {
        const QString dcim = m_desktop->makeFolder(m_desktop->otherVolume() + u"/DCIM"_s);
        Form1Controls &c = start();
        const Volume home = m_desktop->volumes.volumes[0], stick = m_desktop->volumes.volumes[1];
        c.Drive1->setDrive(stick);
        QCOMPARE(c.Dir1->path(), m_desktop->otherVolume()); // not visited yet: its root
        QVERIFY(c.Dir1->setPath(dcim) && QDir::currentPath() == dcim);
        c.Drive1->setDrive(home);
        QVERIFY(c.Dir1->path() == m_folder && QDir::currentPath() == m_folder);
        c.Drive1->setDrive(stick);
        QVERIFY(c.Dir1->path() == dcim && m_form->windowTitle() == titleFor(dcim));
        QVERIFY(shown().isEmpty());

        c.Drive1->setDrive(home);
        m_desktop->volumes.notReady.insert(stick.root);
        c.Drive1->setDrive(stick);
        QCOMPARE(told(), Said{kNotReady});
        QVERIFY(c.Drive1->drive().root == m_desktop->home() && c.Dir1->path() == m_folder);

        // A volume that vanishes while open is noticed on the next refresh.
        m_desktop->volumes.notReady.clear();
        c.Drive1->setDrive(stick);
        QCOMPARE(c.Dir1->path(), dcim);
        QVERIFY(QDir(m_desktop->otherVolume()).removeRecursively());
        refresh();
        QCOMPARE(told(), Said{kNotReady});
        QVERIFY(c.Drive1->drive().root == m_desktop->home() && c.Dir1->path() == m_folder &&
                QDir::currentPath() == m_folder);

        // With home unusable too, the fallback ends on the root with one message, and stays.
        m_desktop->makeFolder(dcim);
        c.Drive1->setDrive(stick);
        QVERIFY(c.Dir1->setPath(dcim));
        m_desktop->volumes.notReady = {m_desktop->home(), stick.root};
        QVERIFY(QDir(m_desktop->otherVolume()).removeRecursively());
        for (int again = 0; again < 2; ++again) {
            if (again)
                c.Drive1->setDrive(stick);
            else
                refresh();
            QCOMPARE(told(), Said{kNotReady});
            QVERIFY(c.Dir1->path() == "/" && c.Drive1->drive().root == "/" &&
                    m_form->windowTitle() == titleFor(u"/"_s));
        }
    }

    void leavingTheFilterUnchangedKeepsThePicture()
    {
        const QString path =
            m_desktop->makePicture(m_folder + u"/shown.bmp"_s, 20, 10, QColor(200, 30, 30));
        Form1Controls &c = start();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form));
        c.File1->selectFile(u"shown.bmp"_s);
        // Into the filter text and out again with Tab, changing nothing.
        c.Combo1->lineEdit()->setFocus();
        QTRY_VERIFY(c.Combo1->lineEdit()->hasFocus());
        QTest::keyClick(c.Combo1->lineEdit(), Qt::Key_Tab);
        QTRY_VERIFY(!c.Combo1->lineEdit()->hasFocus());
        QVERIFY(c.Label3->text() == path && c.File1->fileName() == "shown.bmp");
        QVERIFY(m_form->windowTitle() == titleFor(path) &&
                c.Image1->picture() != c.Picture2->picture());
    }
};

QTEST_MAIN(TestFolderBrowser)
#include "tst_folderbrowser.moc"
