#include "browse/Said.h"
#include "fileops/ClipboardCommands.h"
#include "fileops/FavouriteFolders.h"
#include "fileops/FileCommands.h"
#include "picture/PictureTestData.h"
#include "platform/desktop/ClipboardPictures.h"
#include "support/TestFiles.h"

#include <QDir>

using Category = FavouriteFolders::Category;

namespace {

const RecordedMessage kInvalid = said(u"Invalid Clipboard Format!"_s, 16);

RecordedMessage finished(const QString &category)
{
    return {u"Process Finished!"_s, 0, u"Copy --> C:\\VozeviZire\\"_s + category};
}

RecordedMessage copyFailed(const QString &reason)
{
    return {u"Copy Failed!\n\n"_s + reason, 16, u"Copy --> C:\\VozeviZire\\HomePage"_s};
}

RecordedMessage trashQuestion(const QString &path)
{
    return {u"Are you sure you want to move \"%1\" to the Trash?"_s.arg(path), 32,
            u"Delete File"_s};
}

// A BMP whose header claims a size; only the header is there.
QByteArray bmpClaiming(qint32 width, qint32 height)
{
    QByteArray bytes = testdata::encoded(QImage(1, 1, QImage::Format_RGB32), "BMP");
    for (int i = 0; i < 4; ++i) {
        bytes[18 + i] = char((width >> (8 * i)) & 0xff);
        bytes[22 + i] = char((height >> (8 * i)) & 0xff);
    }
    return bytes;
}

QImage filled(int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class TestFileOps : public FeatureTest {
    Q_OBJECT

    QString m_picture; // a name that quoting, percent signs or accents must not break
    const QString m_name = u"-50% \"off\" café.bmp"_s;

    Form1Controls &start(bool selected)
    {
        Form1Controls &c = FeatureTest::start();
        if (selected)
            c.File1->selectFile(m_name);
        return c;
    }

    // Each file command refuses: nothing is copied, opened or trashed.
    void verifyFileCommandsRefused()
    {
        const Form1Menus &m = m_form->controls().menus;
        for (MenuItem *item : {m.clip1, m.run1, m.delete_, m.work1})
            item->click();
        QCOMPARE(told(), Said({kPleaseSelect, kPleaseSelect, kPleaseSelect, kNoFileSelected}));
        QVERIFY(m_desktop->clipboard.placed.isNull() && m_desktop->shell.opened.isEmpty() &&
                m_desktop->shell.trashed.isEmpty());
    }

private Q_SLOTS:
    void init()
    {
        makeDesktop(u"My Pictures"_s);
        m_picture = m_desktop->makePicture(m_folder + u'/' + m_name, 500, 400, Qt::darkCyan);
        m_desktop->makePicture(m_folder + u"/other.bmp"_s, 20, 10, Qt::blue);
    }

    void nothingShownIsRefusedByEveryCommand()
    {
        Form1Controls &c = start(false);
        verifyFileCommandsRefused();
        // The favourite folder is made all the same, and only that one.
        QVERIFY(QDir(FavouriteFolders::folderOf(Category::ForWork)).isEmpty());
        QCOMPARE(QDir(FavouriteFolders::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"For Work"});

        // A selected file gone: the reload reports it and starts over, leaving nothing to copy.
        c.File1->selectFile(u"other.bmp"_s);
        QVERIFY(QFile::remove(m_folder + u"/other.bmp"_s));
        c.menus.temp1->click();
        QCOMPARE(told(), Said({kNotSupported, kNoFileSelected}));
        QVERIFY(QDir(FavouriteFolders::folderOf(Category::Temp)).isEmpty());
    }

    void fileMenuCopiesTheSelectionIntoEachCategory()
    {
        // An older file of that name is replaced without a question.
        m_desktop->makeFile(FavouriteFolders::folderOf(Category::ForWork) + '/' + m_name, "older");
        Form1Controls &c = start(true);
        const Form1Menus &m = c.menus;
        const std::pair<MenuItem *, QString> categories[] = {
            {m.temp1, "Temp"},    {m.home1, "HomePage"},     {m.work1, "For Work"},
            {m.per1, "Personal"}, {m.future1, "Future Use"},
        };
        for (const auto &[item, name] : categories) {
            item->click();
            QCOMPARE(told(), Said{finished(name)});
            const QString folder = m_desktop->home() + u"/VozeviZire/"_s + name;
            QCOMPARE(readFile(folder + '/' + m_name), readFile(m_picture));
            QCOMPARE(c.File3->path(), folder);
            // The reload left the picture shown and the selection as it was.
            QVERIFY(c.Label3->text() == m_picture && c.File1->fileName() == m_name);
        }
    }

    void viewMyVozeviZireOpensTheTreeSilently()
    {
        // Started on the other volume, so the drive changes too.
        m_folder = m_desktop->otherVolume();
        Form1Controls &c = start(false);
        m_desktop->makePicture(FavouriteFolders::root() + u"/loose.bmp"_s, 8, 8, Qt::black);
        for (int run = 0; run < 2; ++run) {
            c.menus.go1->click();
            QVERIFY(shown().isEmpty() && c.Drive1->drive().root == m_desktop->home());
            QVERIFY(c.Dir1->path() == FavouriteFolders::root() &&
                    m_form->windowTitle() == titleFor(FavouriteFolders::root()));
            QCOMPARE(entriesOf(*c.File1), QStringList{"loose.bmp"});
        }
        QCOMPARE(QDir(FavouriteFolders::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{"For Work", "Future Use", "HomePage", "Personal", "Temp"}));
    }

    void copyPutsThePictureAtItsNaturalSizeAndAFailedCopyIsReported()
    {
        Form1Controls &c = start(true);
        // Auto-Fit shrank it; zoomed and stretched views change only the panel too.
        QVERIFY(c.Image1->width() < 500);
        for (MenuItem *mode : {c.menus.auto1, c.menus.St1, c.menus.In1}) {
            if (mode == c.menus.In1)
                c.menus.Act1->click();
            mode->click();
            c.menus.clip1->click();
            QCOMPARE(told(), Said{said(u"Process Finished!"_s)});
            QCOMPARE(m_desktop->clipboard.placed, filled(500, 400, Qt::darkCyan));
        }
        m_desktop->clipboard.refusesPictures = true;
        c.menus.clip1->click();
        QCOMPARE(told(), Said{kInvalid});

        // A failed copy is reported, not finished.
        const QString root = FavouriteFolders::root();
        // A folder where the copy goes.
        m_desktop->makeFolder(root + u"/HomePage/"_s + m_name);
        c.menus.home1->click();
        QCOMPARE(told(), Said{copyFailed(root + u"/HomePage/"_s + m_name + u" is a folder"_s)});
        // A file where the tree goes.
        QVERIFY(QDir(root).removeRecursively());
        m_desktop->makeFile(root);
        c.File1->selectFile(m_name);
        c.menus.home1->click();
        QCOMPARE(told(), Said{copyFailed(u"Cannot create the folder %1: File exists"_s.arg(root))});
    }

    void pasteRefusesWithoutAPictureAndShowsOneUntitled()
    {
        Form1Controls &c = start(true);
        const PictureRef picture = c.Image1->picture();
        const QString title = m_form->windowTitle();
        // Nothing on the clipboard: nothing changes.
        c.menus.view2->click();
        QCOMPARE(told(), Said{said(u"No Image/Picture is Found in ClipBoard"_s, 32)});
        QVERIFY(c.Image1->picture() == picture && m_form->windowTitle() == title);
        QVERIFY(c.File1->fileName() == m_name && !c.Label7->text().isEmpty());

        // A picture offered that cannot be had: still the folder re-read and the title set.
        m_desktop->clipboard.offered = {ClipboardPicture::Unreadable, {}};
        c.menus.view2->click();
        QCOMPARE(told(), Said{kInvalid});
        QVERIFY(c.Image1->picture() == c.Picture2->picture() &&
                m_form->windowTitle() == "Quorvel    -- Untitled");
        QVERIFY(c.File1->fileName().isEmpty() && c.Label7->text().isEmpty());

        const QImage wide = filled(1200, 300, Qt::magenta);
        m_desktop->clipboard.offered = {ClipboardPicture::Found, wide};
        // A file that appeared meanwhile shows: the folder is read again.
        m_desktop->makePicture(m_folder + u"/new.bmp"_s, 5, 5, Qt::red);
        c.menus.view2->click();
        QVERIFY(shown().isEmpty() && m_form->windowTitle() == "Quorvel    -- Untitled");
        QCOMPARE(c.Image1->picture()->toImage(), wide);
        // Not fitted, even in Auto-Fit: it overflows with scroll bars.
        QCOMPARE(c.Image1->rect(), QRectF(0, 0, 1200, 300));
        QVERIFY(!c.HScroll1->isHidden() && c.VScroll1->isHidden());
        QCOMPARE(textsOf(c.Label9, c.Label3, c.Label7, c.Label8),
                 (QStringList{"1200 X 300", "", "", ""}));
        QCOMPARE(entriesOf(*c.File1), (QStringList{m_name, "new.bmp", "other.bmp"}));
        QCOMPARE(c.File1->fileName(), QString());

        // A second paste shows the clipboard's current picture.
        m_desktop->clipboard.offered = {ClipboardPicture::Found, filled(60, 40, Qt::yellow)};
        c.menus.view2->click();
        QVERIFY(c.Image1->picture()->toImage() == m_desktop->clipboard.offered.image &&
                c.Label9->text() == "60 X 40");
        QCOMPARE(m_desktop->clipboard.reads, 4); // one read a paste

        // A pasted picture belongs to no file: the file commands refuse it.
        verifyFileCommandsRefused();
        QVERIFY(QFile::exists(m_picture));
    }

    void clipboardBytesAreReadWithinLimits()
    {
        // The type to fetch: the best picture type offered; text alone is no picture.
        QCOMPARE(readablePictureTypes({"text/plain", "image/jpeg", "image/png", "TARGETS"}),
                 (QStringList{"image/png", "image/jpeg"}));
        QCOMPARE(readablePictureTypes({"image/x-portable-pixmap", "text/html"}),
                 QStringList{"image/x-portable-pixmap"});
        QVERIFY(readablePictureTypes({"text/plain", "UTF8_STRING"}).isEmpty());
        for (const char *format : {"PNG", "BMP", "JPEG"}) {
            const ClipboardPicture picture =
                decodeClipboardPicture(testdata::encoded(filled(20, 10, Qt::green), format));
            QVERIFY(picture.status == ClipboardPicture::Found &&
                    picture.image.size() == QSize(20, 10));
        }
        // Refused from the header alone: nothing of that size is ever allocated.
        for (const QByteArray &bytes : {bmpClaiming(70000, 10), bmpClaiming(30000, 30000),
                                        QByteArray("not a picture at all"), QByteArray()})
            QCOMPARE(decodeClipboardPicture(bytes).status, ClipboardPicture::Unreadable);
    }

    void runOpensTheShownFileAndDeleteAsksThenKeepsOrTrashesAndReadsTheFolderAgain()
    {
        Form1Controls &c = start(true);
        c.menus.run1->click();
        QCOMPARE(m_desktop->shell.opened,
                 (QList<FakeShell::Opened>{{m_picture, m_desktop->application.folder}}));
        // Nothing is re-read: the picture stays shown.
        QVERIFY(shown().isEmpty() && c.Label3->text() == m_picture);
        // A type that nothing opens is reported.
        m_desktop->shell.openFailure = u"None registered"_s;
        c.menus.run1->click();
        QCOMPARE(told(),
                 Said{said(u"Cannot open \"%1\":\n%2"_s.arg(m_picture, u"None registered"_s), 16)});

        // Delete answered No: the file stays, and the folder is read again all the same.
        m_desktop->messages.confirmAnswer = false;
        c.menus.delete_->click();
        QCOMPARE(told(), Said{trashQuestion(m_picture)});
        QCOMPARE(m_desktop->messages.confirmDefaults,
                 QList<MessageBoxes::DefaultAnswer>{MessageBoxes::DefaultNo});
        QVERIFY(m_desktop->shell.trashed.isEmpty() && QFile::exists(m_picture));
        QVERIFY(c.Label7->text().isEmpty() && c.File1->fileName().isEmpty() &&
                m_form->windowTitle() == titleFor(m_folder));

        // Failing, the file stays and the reason is given.
        c.File1->selectFile(m_name);
        m_desktop->messages.confirmAnswer = true;
        m_desktop->shell.trashFailure = u"Unable to find or create trash directory"_s;
        c.menus.delete_->click();
        const QString cannotMove = u"Cannot move \"%1\" to the Trash:\n%2"_s;
        QCOMPARE(told(),
                 Said({trashQuestion(m_picture),
                       said(cannotMove.arg(m_picture, m_desktop->shell.trashFailure), 16)}));
        QVERIFY(QFile::exists(m_picture) && entriesOf(*c.File1).size() == 2);
        QVERIFY(c.Label7->text().isEmpty());

        // Answered Yes: to the trash.
        c.File1->selectFile(m_name);
        m_desktop->shell.trashFailure.clear();
        c.menus.delete_->click();
        QCOMPARE(shown(), Said{trashQuestion(m_picture)});
        QCOMPARE(m_desktop->shell.trashed, (QStringList{m_picture, m_picture}));
        QCOMPARE(entriesOf(*c.File1), QStringList{"other.bmp"});
        verifyStartedOver(c);
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
    }
};

QTEST_MAIN(TestFileOps)
#include "tst_fileops.moc"
