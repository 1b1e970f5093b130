#include "browse/Said.h"
#include "fileops/ClipboardCommands.h"
#include "fileops/FavouriteFolders.h"
#include "fileops/FileCommands.h"
#include "picture/PictureTestData.h"
#include "platform/desktop/ClipboardPictures.h"
#include "show/WindowSlideShow.h"
#include "support/TestFiles.h"

#include <QDir>

using Category = FavouriteFolders::Category;

namespace {

const RecordedMessage kInvalid = said(QStringLiteral("Invalid Clipboard Format!"), 16);

RecordedMessage finished(const QString &category)
{
    return {QStringLiteral("Process Finished!"), 0,
            QStringLiteral("Copy --> C:\\VozeviZire\\") + category};
}

RecordedMessage trashQuestion(const QString &path)
{
    return {QStringLiteral("Are you sure you want to move \"%1\" to the Trash?").arg(path), 32,
            QStringLiteral("Delete File")};
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

// Copying to the favourite folders and the clipboard, pasting, running and deleting.
class TestFileOps : public QObject {
    Q_OBJECT

    std::optional<TestDesktop> m_desktop;
    Form1 *m_form = nullptr;
    QString m_folder;
    QString m_picture; // a name that quoting, percent signs or accents must not break
    const QString m_name = QStringLiteral("-50% \"off\" café.bmp");

    Form1Controls &start(bool selected)
    {
        m_form = &m_desktop->started(m_folder);
        if (selected)
            m_form->controls().File1->selectFile(m_name);
        return m_form->controls();
    }
    Said &shown() { return m_desktop->messages.shown; }

private Q_SLOTS:
    void init()
    {
        m_desktop.emplace();
        m_folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/My Pictures"));
        m_picture =
            m_desktop->makePicture(m_folder + QLatin1Char('/') + m_name, 500, 400, Qt::darkCyan);
        m_desktop->makePicture(m_folder + QStringLiteral("/other.bmp"), 20, 10, Qt::blue);
    }

    void nothingShownIsRefusedByEveryCommand()
    {
        Form1Controls &c = start(false);
        const Form1Menus &m = c.menus;
        for (MenuItem *item : {m.clip1, m.run1, m.delete_, m.work1})
            item->click();
        QCOMPARE(shown(), Said({kPleaseSelect, kPleaseSelect, kPleaseSelect, kNoFileSelected}));
        QVERIFY(m_desktop->clipboard.placed.isNull());
        QVERIFY(m_desktop->shell.opened.isEmpty() && m_desktop->shell.trashed.isEmpty());
        // The favourite folder is made all the same, and only that one.
        QVERIFY(QDir(FavouriteFolders::folderOf(Category::ForWork)).isEmpty());
        QCOMPARE(QDir(FavouriteFolders::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"For Work"});

        // A selected file that can no longer be read is reported by the reload, which
        // starts the browser over; then nothing is selected to copy.
        c.File1->selectFile(QStringLiteral("other.bmp"));
        QVERIFY(QFile::remove(m_folder + QStringLiteral("/other.bmp")));
        shown().clear();
        m.temp1->click();
        QCOMPARE(shown(), Said({kNotSupported, kNoFileSelected}));
        QVERIFY(QDir(FavouriteFolders::folderOf(Category::Temp)).isEmpty());
    }

    void fileMenuCopiesTheSelectionIntoEachCategory()
    {
        // An older file of that name is replaced without a question.
        m_desktop->makeFile(FavouriteFolders::folderOf(Category::ForWork) + '/' + m_name, "older");
        Form1Controls &c = start(true);
        const Form1Menus &m = c.menus;
        const QList<std::pair<MenuItem *, QString>> categories = {{m.temp1, "Temp"},
                                                                  {m.home1, "HomePage"},
                                                                  {m.work1, "For Work"},
                                                                  {m.per1, "Personal"},
                                                                  {m.future1, "Future Use"}};
        for (const auto &[item, name] : categories) {
            shown().clear();
            item->click();
            QCOMPARE(shown(), Said{finished(name)});
            const QString folder = m_desktop->home() + QStringLiteral("/VozeviZire/") + name;
            QCOMPARE(readFile(folder + '/' + m_name), readFile(m_picture));
            QCOMPARE(c.File3->path(), folder);
            // The reload left the picture shown and the selection as it was.
            QCOMPARE(c.Label3->text(), m_picture);
            QCOMPARE(c.File1->fileName(), m_name);
        }
    }

    void failedCopyIsReportedNotFinished_data()
    {
        QTest::addColumn<QString>(
            "inTheWay");                      // below the tree's root; a folder when it ends in '/'
        QTest::addColumn<QString>("failure"); // %1: the tree's root, %2: the file's name
        QTest::newRow("a folder where the copy goes") << "/HomePage/-50% \"off\" café.bmp/"
                                                      << "%1/HomePage/%2 is a folder";
        QTest::newRow("a file where the tree goes") << ""
                                                    << "Cannot create the folder %1: File exists";
    }
    void failedCopyIsReportedNotFinished()
    {
        QFETCH(QString, inTheWay);
        QFETCH(QString, failure);
        const QString path = FavouriteFolders::root() + inTheWay;
        if (path.endsWith(QLatin1Char('/')))
            m_desktop->makeFolder(path);
        else
            m_desktop->makeFile(path);
        start(true).menus.home1->click();
        const QString reason = failure.contains(QLatin1String("%2"))
                                   ? failure.arg(FavouriteFolders::root(), m_name)
                                   : failure.arg(FavouriteFolders::root());
        QCOMPARE(shown(), Said({{QStringLiteral("Copy Failed!\n\n") + reason, 16,
                                 QStringLiteral("Copy --> C:\\VozeviZire\\HomePage")}}));
    }

    void slideShowCopyTakesTheGivenPicture()
    {
        // The paused window-mode show copies the slide on screen, whatever the list selects.
        Form1Controls &c = start(false);
        c.File1->selectFile(QStringLiteral("other.bmp"));
        c.menus.viewmenu->click();
        m_form->windowShow().Timer1_Timer();
        c.menus.pause1->click();
        QCOMPARE(c.Label12->text(), m_picture);
        const QString title = m_form->windowTitle();
        c.menus.per2->click();
        QCOMPARE(shown(), Said{finished("Personal")});
        QCOMPARE(readFile(FavouriteFolders::folderOf(Category::Personal) + '/' + m_name),
                 readFile(m_picture));
        // Neither reloaded nor re-read: the show stays paused on its slide.
        QVERIFY(c.menus.play1->isVisible());
        QCOMPARE(m_form->windowTitle(), title);
    }

    void viewMyVozeviZireOpensTheTreeSilently()
    {
        // Started on the other volume, so the drive changes too.
        m_folder = m_desktop->otherVolume();
        Form1Controls &c = start(false);
        m_desktop->makePicture(FavouriteFolders::root() + QStringLiteral("/loose.bmp"), 8, 8,
                               Qt::black);
        for (int run = 0; run < 2; ++run) {
            c.menus.go1->click();
            QVERIFY(shown().isEmpty());
            QCOMPARE(c.Drive1->drive().root, m_desktop->home());
            QCOMPARE(c.Dir1->path(), FavouriteFolders::root());
            QCOMPARE(entriesOf(*c.File1), QStringList{"loose.bmp"});
            QCOMPARE(m_form->windowTitle(), titleFor(FavouriteFolders::root()));
        }
        QStringList folders =
            QDir(FavouriteFolders::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        folders.sort();
        QCOMPARE(folders, (QStringList{"For Work", "Future Use", "HomePage", "Personal", "Temp"}));
    }

    void copyPutsThePictureAtItsNaturalSize()
    {
        Form1Controls &c = start(true);
        // Auto-Fit shrank it; zoomed and stretched views change only the panel too.
        QVERIFY(c.Image1->width() < 500);
        for (MenuItem *mode : {c.menus.auto1, c.menus.St1, c.menus.In1}) {
            if (mode == c.menus.In1)
                c.menus.Act1->click();
            mode->click();
            shown().clear();
            c.menus.clip1->click();
            QCOMPARE(shown(), Said{said(QStringLiteral("Process Finished!"))});
            QCOMPARE(m_desktop->clipboard.placed, filled(500, 400, Qt::darkCyan));
        }
        // A clipboard that will not take the picture.
        m_desktop->clipboard.refusesPictures = true;
        shown().clear();
        c.menus.clip1->click();
        QCOMPARE(shown(), Said{kInvalid});
    }

    void pasteRefusesWithoutAPictureAndShowsOneUntitled()
    {
        Form1Controls &c = start(true);
        const PictureRef picture = c.Image1->picture();
        const QString title = m_form->windowTitle();
        // Nothing on the clipboard: nothing changes.
        c.menus.view2->click();
        QCOMPARE(shown(), Said{said(QStringLiteral("No Image/Picture is Found in ClipBoard"), 32)});
        QCOMPARE(c.Image1->picture(), picture);
        QCOMPARE(m_form->windowTitle(), title);
        QCOMPARE(c.File1->fileName(), m_name);
        QVERIFY(!c.Label7->text().isEmpty());
        shown().clear();

        // A picture offered that cannot be had: the folder is re-read and the title set
        // before that shows.
        m_desktop->clipboard.offered = {ClipboardPicture::Unreadable, {}};
        c.menus.view2->click();
        QCOMPARE(shown(), Said{kInvalid});
        QCOMPARE(c.Image1->picture(), c.Picture2->picture());
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Quorvel    -- Untitled"));
        QVERIFY(c.File1->fileName().isEmpty() && c.Label7->text().isEmpty());
        shown().clear();

        const QImage wide = filled(1200, 300, Qt::magenta);
        m_desktop->clipboard.offered = {ClipboardPicture::Found, wide};
        // A file that appeared meanwhile shows: the folder is read again.
        m_desktop->makePicture(m_folder + QStringLiteral("/new.bmp"), 5, 5, Qt::red);
        c.menus.view2->click();
        QVERIFY(shown().isEmpty());
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Quorvel    -- Untitled"));
        QCOMPARE(c.Image1->picture()->toImage(), wide);
        // Not fitted, even in Auto-Fit: it overflows with scroll bars.
        QCOMPARE(c.Image1->rect(), QRectF(0, 0, 1200, 300));
        QVERIFY(!c.HScroll1->isHidden() && c.VScroll1->isHidden());
        QCOMPARE(c.Label9->text(), QStringLiteral("1200 X 300"));
        QVERIFY(c.Label3->text().isEmpty() && c.Label7->text().isEmpty() &&
                c.Label8->text().isEmpty());
        QCOMPARE(entriesOf(*c.File1), (QStringList{m_name, "new.bmp", "other.bmp"}));
        QVERIFY(c.File1->fileName().isEmpty());

        // A second paste shows the clipboard's current picture.
        m_desktop->clipboard.offered = {ClipboardPicture::Found, filled(60, 40, Qt::yellow)};
        c.menus.view2->click();
        QCOMPARE(c.Image1->picture()->toImage(), m_desktop->clipboard.offered.image);
        QCOMPARE(c.Label9->text(), QStringLiteral("60 X 40"));
        QCOMPARE(m_desktop->clipboard.reads, 4); // one read a paste

        // A pasted picture belongs to no file: the file commands refuse it.
        shown().clear();
        for (MenuItem *item : {c.menus.clip1, c.menus.temp1, c.menus.run1, c.menus.delete_})
            item->click();
        QCOMPARE(shown(), Said({kPleaseSelect, kNoFileSelected, kPleaseSelect, kPleaseSelect}));
        QVERIFY(m_desktop->clipboard.placed.isNull());
        QVERIFY(m_desktop->shell.opened.isEmpty() && m_desktop->shell.trashed.isEmpty());
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
            QCOMPARE(picture.status, ClipboardPicture::Found);
            QCOMPARE(picture.image.size(), QSize(20, 10));
        }
        // Refused from the header alone: nothing of that size is ever allocated.
        for (const QByteArray &bytes : {bmpClaiming(70000, 10), bmpClaiming(30000, 30000),
                                        QByteArray("not a picture at all"), QByteArray()})
            QCOMPARE(decodeClipboardPicture(bytes).status, ClipboardPicture::Unreadable);
    }

    void runOpensTheShownFileFromTheProgramsFolderAndNothingElse()
    {
        Form1Controls &c = start(true);
        c.menus.run1->click();
        QVERIFY(shown().isEmpty());
        QCOMPARE(m_desktop->shell.opened,
                 (QList<FakeShell::Opened>{{m_picture, m_desktop->application.folder}}));
        // Nothing is re-read: the picture stays shown.
        QCOMPARE(c.Label3->text(), m_picture);
        // A type that nothing opens is reported.
        m_desktop->shell.openFailure = QStringLiteral("No application is registered for this file");
        c.menus.run1->click();
        QCOMPARE(shown(), Said{said(QStringLiteral("Cannot open \"%1\":\n%2")
                                        .arg(m_picture, m_desktop->shell.openFailure),
                                    16)});
    }

    void deleteAsksThenKeepsOrTrashesAndReadsTheFolderAgain()
    {
        // Answered No: the file stays, and the folder is read again all the same.
        Form1Controls &c = start(true);
        m_desktop->messages.confirmAnswer = false;
        c.menus.delete_->click();
        QCOMPARE(shown(), Said{trashQuestion(m_picture)});
        QCOMPARE(m_desktop->messages.confirmDefaults,
                 QList<MessageBoxes::DefaultAnswer>{MessageBoxes::DefaultNo});
        QVERIFY(m_desktop->shell.trashed.isEmpty());
        QVERIFY(QFile::exists(m_picture));
        QVERIFY(c.Label7->text().isEmpty() && c.File1->fileName().isEmpty());
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));

        // Failing, the file stays and the reason is given.
        shown().clear();
        c.File1->selectFile(m_name);
        m_desktop->messages.confirmAnswer = true;
        m_desktop->shell.trashFailure = QStringLiteral("Unable to find or create trash directory");
        c.menus.delete_->click();
        QCOMPARE(shown(), Said({trashQuestion(m_picture),
                                said(QStringLiteral("Cannot move \"%1\" to the Trash:\n%2")
                                         .arg(m_picture, m_desktop->shell.trashFailure),
                                     16)}));
        QVERIFY(QFile::exists(m_picture));
        QCOMPARE(entriesOf(*c.File1).size(), 2);
        QVERIFY(c.Label7->text().isEmpty());

        // Answered Yes: to the trash.
        shown().clear();
        c.File1->selectFile(m_name);
        m_desktop->shell.trashFailure.clear();
        c.menus.delete_->click();
        QCOMPARE(shown(), Said{trashQuestion(m_picture)});
        QCOMPARE(m_desktop->shell.trashed, (QStringList{m_picture, m_picture}));
        QCOMPARE(entriesOf(*c.File1), QStringList{"other.bmp"});
        QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
        verifyStartedOver(c);
    }
};

QTEST_MAIN(TestFileOps)
#include "tst_fileops.moc"
