#include "browse/ViewingModes.h"
#include "fileops/ClipboardCommands.h"
#include "picture/PictureTestData.h"
#include "platform/desktop/ClipboardPictures.h"
#include "support/TestDesktop.h"

#include <QTest>

using testdata::encoded;

namespace {

const RecordedMessage kPleaseSelect{QStringLiteral("Please Select A File"), 16,
                                    QStringLiteral("Quorvel")};
const RecordedMessage kInvalid{QStringLiteral("Invalid Clipboard Format!"), 16,
                               QStringLiteral("Quorvel")};
const RecordedMessage kNothing{QStringLiteral("No Image/Picture is Found in ClipBoard"), 32,
                               QStringLiteral("Quorvel")};
const RecordedMessage kFinished{QStringLiteral("Process Finished!"), 0, QStringLiteral("Quorvel")};

// A BMP whose header claims a size; only the header is there.
QByteArray bmpClaiming(qint32 width, qint32 height)
{
    QByteArray bytes = encoded(QImage(1, 1, QImage::Format_RGB32), "BMP");
    for (int i = 0; i < 4; ++i) {
        bytes[18 + i] = char((width >> (8 * i)) & 0xff);
        bytes[22 + i] = char((height >> (8 * i)) & 0xff);
    }
    return bytes;
}

} // namespace

class TestClipboardCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void copyPutsThePictureAtItsNaturalSize();
    void pasteRefusesWithoutAPictureAndShowsOneUntitled();
    void clipboardBytesAreReadWithinLimits();

private:
    std::unique_ptr<TestDesktop> m_desktop;
    QString m_folder;
};

void TestClipboardCommands::init()
{
    m_desktop = std::make_unique<TestDesktop>();
    m_folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Pictures"));
    m_desktop->makePicture(m_folder + QStringLiteral("/big.bmp"), 900, 700, Qt::darkCyan);
}

void TestClipboardCommands::cleanup()
{
    m_desktop.reset();
}

void TestClipboardCommands::copyPutsThePictureAtItsNaturalSize()
{
    Form1 &form = m_desktop->started(m_folder);
    Form1Controls &c = form.controls();
    // Nothing shown yet: refused, and the clipboard is left alone.
    c.menus.clip1->click();
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{kPleaseSelect});
    QVERIFY(m_desktop->clipboard.placed.isNull());

    c.File1->selectFile(QStringLiteral("big.bmp"));
    // Auto-Fit shrank it; zoomed and stretched views change only the panel too.
    QVERIFY(c.Image1->width() < 900);
    for (MenuItem *mode : {c.menus.auto1, c.menus.St1, c.menus.In1}) {
        if (mode == c.menus.In1)
            c.menus.Act1->click();
        mode->click();
        m_desktop->messages.shown.clear();
        c.menus.clip1->click();
        QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{kFinished});
        QCOMPARE(m_desktop->clipboard.placed.size(), QSize(900, 700));
        QCOMPARE(m_desktop->clipboard.placed.pixelColor(450, 350), QColor(Qt::darkCyan));
    }

    // A clipboard that will not take the picture.
    m_desktop->clipboard.refusesPictures = true;
    m_desktop->messages.shown.clear();
    c.menus.clip1->click();
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{kInvalid});
}

void TestClipboardCommands::pasteRefusesWithoutAPictureAndShowsOneUntitled()
{
    Form1 &form = m_desktop->started(m_folder);
    Form1Controls &c = form.controls();
    c.File1->selectFile(QStringLiteral("big.bmp"));
    const PictureRef shown = c.Image1->picture();
    const QString title = form.windowTitle();

    // Nothing on the clipboard: nothing changes.
    c.menus.view2->click();
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{kNothing});
    QCOMPARE(c.Image1->picture(), shown);
    QCOMPARE(form.windowTitle(), title);
    QCOMPARE(c.File1->fileName(), QStringLiteral("big.bmp"));
    QVERIFY(!c.Label7->text().isEmpty());
    m_desktop->messages.shown.clear();

    // A picture offered that cannot be had: the folder is re-read and the title set
    // before that shows.
    m_desktop->clipboard.offered = {ClipboardPicture::Unreadable, {}};
    c.menus.view2->click();
    QCOMPARE(m_desktop->messages.shown, QList<RecordedMessage>{kInvalid});
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel    -- Untitled"));
    QVERIFY(c.File1->fileName().isEmpty() && c.Label7->text().isEmpty());
    m_desktop->messages.shown.clear();

    QImage wide(1200, 300, QImage::Format_RGB32);
    wide.fill(Qt::magenta);
    m_desktop->clipboard.offered = {ClipboardPicture::Found, wide};
    // A file that appeared meanwhile shows: the folder is read again.
    m_desktop->makePicture(m_folder + QStringLiteral("/new.bmp"), 5, 5, Qt::red);

    c.menus.view2->click();
    QVERIFY(m_desktop->messages.shown.isEmpty());
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel    -- Untitled"));
    QCOMPARE(c.Image1->picture()->toImage(), wide);
    // Not fitted, even in Auto-Fit: it overflows with scroll bars.
    QCOMPARE(c.Image1->rect(), QRectF(0, 0, 1200, 300));
    QVERIFY(!c.HScroll1->isHidden() && c.VScroll1->isHidden());
    QCOMPARE(c.Label9->text(), QStringLiteral("1200 X 300"));
    QVERIFY(c.Label3->text().isEmpty() && c.Label7->text().isEmpty() && c.Label8->text().isEmpty());
    QCOMPARE(entriesOf(*c.File1), (QStringList{"big.bmp", "new.bmp"}));
    QVERIFY(c.File1->fileName().isEmpty());

    // A second paste shows the clipboard's current picture.
    QImage small(60, 40, QImage::Format_RGB32);
    small.fill(Qt::yellow);
    m_desktop->clipboard.offered = {ClipboardPicture::Found, small};
    c.menus.view2->click();
    QCOMPARE(c.Image1->picture()->toImage(), small);
    QCOMPARE(c.Label9->text(), QStringLiteral("60 X 40"));
    QCOMPARE(m_desktop->clipboard.reads, 4); // one read a paste

    // A pasted picture belongs to no file: the file commands refuse it.
    m_desktop->messages.shown.clear();
    c.menus.clip1->click();
    c.menus.temp1->click();
    c.menus.run1->click();
    c.menus.delete_->click();
    QCOMPARE(m_desktop->messages.shown,
             (QList<RecordedMessage>{
                 kPleaseSelect,
                 {QStringLiteral("No File Selected!"), 16, QStringLiteral("Quorvel")},
                 kPleaseSelect,
                 kPleaseSelect}));
    QVERIFY(m_desktop->clipboard.placed.isNull());
    QVERIFY(m_desktop->shell.opened.isEmpty() && m_desktop->shell.trashed.isEmpty());
    QVERIFY(QFile::exists(m_folder + QStringLiteral("/big.bmp")));
}

void TestClipboardCommands::clipboardBytesAreReadWithinLimits()
{
    // The type to fetch: the best picture type offered; text alone is no picture.
    QCOMPARE(readablePictureTypes({"text/plain", "image/jpeg", "image/png", "TARGETS"}),
             (QStringList{"image/png", "image/jpeg"}));
    QCOMPARE(readablePictureTypes({"image/x-portable-pixmap", "text/html"}),
             QStringList{"image/x-portable-pixmap"});
    QVERIFY(readablePictureTypes({"text/plain", "UTF8_STRING"}).isEmpty());

    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::green);
    for (const char *format : {"PNG", "BMP", "JPEG"}) {
        const ClipboardPicture picture = decodeClipboardPicture(encoded(image, format));
        QCOMPARE(picture.status, ClipboardPicture::Found);
        QCOMPARE(picture.image.size(), QSize(20, 10));
    }
    // Refused from the header alone: nothing of that size is ever allocated.
    QCOMPARE(decodeClipboardPicture(bmpClaiming(70000, 10)).status, ClipboardPicture::Unreadable);
    QCOMPARE(decodeClipboardPicture(bmpClaiming(30000, 30000)).status,
             ClipboardPicture::Unreadable);
    QCOMPARE(decodeClipboardPicture("not a picture at all").status, ClipboardPicture::Unreadable);
    QCOMPARE(decodeClipboardPicture({}).status, ClipboardPicture::Unreadable);
}

QTEST_MAIN(TestClipboardCommands)
#include "tst_clipboardcommands.moc"
